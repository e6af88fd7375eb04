// The sound table's rules, the buffers of a stream sound and the silence
// fill of a locked ring range.
#include "platform/dsound/dsound.h"
#include "sound/sound.h"
#include "sound/soundrec.h"
#include "sound/soundsystem.h"
#include "sound/streamsound.h"
#include "support/library_fixture.h"
#include "support/sound_system_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST_F(SoundTest, TheTableFillsUpReusesSlotsAndWrapsItsCheckValue)
{
    SoundState.Table.CheckCounter = 0;
    std::vector<int> handles;
    for (int i = 0; i < 4096; ++i) handles.push_back(AddSoundData(-1));
    EXPECT_EQ(handles[2048] & 0x07FF0000, 0);  // the 2049th gets check value 0 again
    EXPECT_EQ(AddSoundData(-1), -1);
    EXPECT_TRUE(Contains(ReadLogFile(), "サウンドの数が許容量を越えました"));
    ASSERT_EQ(DiscardSoundHandle(handles[5]), 0);
    const int reused = AddSoundData(-1);
    EXPECT_EQ(reused & 0xFFFF, 5);
    handles[5] = reused;
    ASSERT_EQ(DiscardSoundHandle(handles[4095]), 0);
    EXPECT_EQ(SoundState.Table.HighWater, 4095u);
    EXPECT_EQ(AddSoundData(-1) & 0xFFFF, 4095);
    EXPECT_EQ(AddSoundData(handles[7]), -1);  // an occupied slot is not re-made
    ASSERT_EQ(DeleteAllSounds(), 0);
    EXPECT_EQ(SoundState.Table.HighWater, 0u);
}

TEST_F(SoundTest, AGivenHandleIsRemadeInItsOwnSlotAndDeletedWithTheRest)
{
    const int given = MakeHandleValue(123, HANDLETAG_SOUND, 3000);
    ASSERT_EQ(AddSoundData(given), given);
    ASSERT_NE(LookupSoundRecord(given), nullptr);
    EXPECT_EQ(LookupSoundRecord(given)->Check, 123u);
    EXPECT_EQ(AddSoundData(given), -1);  // now occupied
    EXPECT_EQ(AddSoundData(MakeHandleValue(1, HANDLETAG_GRAPH, 7)), -1);
    ASSERT_EQ(DeleteAllSounds(), 0);
    EXPECT_EQ(LookupSoundRecord(given), nullptr);
}

TEST_F(SoundTest, AStreamSoundGetsOneSixSecondRingAndJoinsTheStreamList)
{
    const int h = AddSoundData(-1);
    const WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 22050, 22050, 1, 8, 0};
    ASSERT_EQ(CreateSoundBuffers(&f, 123, 1, 5, h), 0);
    SOUNDREC* rec = LookupSoundRecord(h);
    EXPECT_EQ(rec->StreamFlag, 1);
    EXPECT_EQ(rec->BufferNum, 1);
    void* p1;
    void* p2;
    std::uint32_t s1, s2;
    EXPECT_EQ(LockPlayBuffer(&rec->Buffer[0], 6 * 22050 - 1, 1, &p1, &s1, &p2, &s2), 0);
    EXPECT_EQ(LockPlayBuffer(&rec->Buffer[0], 6 * 22050, 1, &p1, &s1, &p2, &s2), -1);
    EXPECT_EQ(SoundState.StreamListFirst.Next, &rec->StreamListNode);
    EXPECT_EQ(rec->StreamListNode.Handle, h);
    EXPECT_EQ(RefillAllStreamSounds(), 0);
    ASSERT_EQ(DiscardSoundHandle(h), 0);
    EXPECT_EQ(SoundState.StreamListFirst.Next, &SoundState.StreamListLast);
}

TEST(SoundSilence, FillsEightBitWith127OthersWith0AndStopsAtTheEnd)
{
    for (int bits : {8, 16}) {
        SOUNDREC rec{};
        rec.BufferFormat.wBitsPerSample = static_cast<WORD>(bits);
        std::vector<std::uint8_t> one(10, 0xEE), two(6, 0xEE);
        LOCKAREA area{0, one.data(), two.data(), 10, 6, 4, 0, 6, 6};
        FillSoundAreaWithSilence(&rec, &area, 100);
        const std::uint8_t silence = bits == 8 ? 127 : 0;
        EXPECT_EQ(one, (std::vector<std::uint8_t>{0xEE, 0xEE, 0xEE, 0xEE, silence, silence, silence, silence, silence,
                                                  silence}));
        EXPECT_EQ(two, std::vector<std::uint8_t>(6, silence));
        EXPECT_EQ(area.Left1 + area.Left2, 0u);
        EXPECT_EQ(area.Used1 + area.Used2, 16u);
    }
}

} // namespace
