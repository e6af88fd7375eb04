// The MIDI play state: with the empty table every operation does nothing;
// with a record put in by the test, the MCI notice replays from the start,
// a stop closes the device and takes the temporary file, and the background
// music ends whichever kind it is.
#include "core/winproc.h"
#include "platform/window/window.h"
#include "sound/music.h"
#include "sound/sound.h"
#include "sound/soundrec.h"
#include "sound/soundsystem.h"
#include "support/sound_fixtures.h"
#include "support/sound_system_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

class MusicTest : public SoundTest {
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        TakeMciCommands();
    }
    void TearDown() override
    {
        SoundTest::TearDown();
        EXPECT_EQ(MusicState.Table.Count, 0u);
        std::memset(static_cast<void*>(&MusicState), 0, sizeof MusicState);
        TakeMciCommands();
    }

    // A record as a creator would leave it: MCI device 7 playing, replay on.
    int InjectPlayingMusic()
    {
        const int slot = FindFreeHandleSlot(MusicState.Table);
        MUSICREC* rec = AllocHandleRecord(MusicState.Table, slot, "", 0);
        rec->MusicDataSize = 64;
        rec->MusicData = static_cast<std::uint8_t*>(AllocMemory(64, "", 0));
        MusicState.MciDevice = 7;
        MusicState.ReplayFlag = 1;
        MusicState.MciPlayingFlag = 1;
        return CommitHandleRecord(MusicState.Table, slot);
    }
};

TEST_F(MusicTest, TheEmptyTableAnswersZeroEverywhereAndRefusesOtherHandles)
{
    EXPECT_EQ(PollMidiPlayStates(), 0);
    EXPECT_EQ(DeleteAllMusicHandles(), 0);
    EXPECT_EQ(EndBackgroundMusic(), 0);
    EXPECT_EQ(HandleMidiMciNotify(), 0);
    EXPECT_TRUE(TakeMciCommands().empty());
    const int sound = Load(WriteWav(PcmFmtBody(1, 8000, 16), RampPcm16(100)), 1);
    ASSERT_NE(sound, -1);
    for (int handle : {sound, MakeHandleValue(0, HANDLETAG_MUSIC, 0), -1}) {
        EXPECT_EQ(GetMidiHandlePlaying(handle), -1);
        EXPECT_EQ(StopMusicHandle(handle), -1);
        EXPECT_EQ(DeleteMusicHandle(handle), -1);
    }
    EXPECT_EQ(CheckSoundPlaying(sound), 0);
}

TEST_F(MusicTest, ANoticeWithTheReplayFlagPlaysFromTheStartAndAStopCloses)
{
    const int h = InjectPlayingMusic();
    EXPECT_EQ(GetMidiHandlePlaying(h), 1);
    // The window procedure hands the notice on, whatever it reports.
    MainWindowProc(nullptr, MM_MCINOTIFY, 4 /* failure */, 7);
    std::vector<MCICOMMAND> sent = TakeMciCommands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Device, 7u);
    EXPECT_EQ(sent[0].Message, MCI_PLAY);
    EXPECT_EQ(sent[0].Flags, MCI_NOTIFY | MCI_FROM);
    ASSERT_TRUE(sent[0].HasPlayParms);
    EXPECT_EQ(sent[0].Play.dwFrom, 0u);
    EXPECT_EQ(MusicState.MciPlayingFlag, 1);

    const std::string temp = SoundScratchDir() + "/music.mid";
    std::fclose(std::fopen(temp.c_str(), "wb"));
    std::snprintf(MusicState.TempPath, sizeof MusicState.TempPath, "%s", temp.c_str());
    MusicState.TempFileFlag = 1;
    ASSERT_EQ(StopMusicHandle(h), 0);
    sent = TakeMciCommands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Message, MCI_CLOSE);
    EXPECT_EQ(MusicState.ReplayFlag, 0);
    EXPECT_EQ(GetMidiHandlePlaying(h), 0);
    EXPECT_FALSE(std::filesystem::exists(temp));
    EXPECT_EQ(MusicState.TempFileFlag, 0);
    // Closed already: a further notice sends nothing.
    EXPECT_EQ(HandleMidiMciNotify(), 0);
    EXPECT_TRUE(TakeMciCommands().empty());
    ASSERT_EQ(DeleteMusicHandle(h), 0);
    EXPECT_EQ(MusicState.Table.Count, 0u);
    EXPECT_EQ(MusicState.Table.HighWater, 0u);
}

TEST_F(MusicTest, DeletingAPlayingHandleClosesTheDeviceAndTheShutdownDeletesTheRest)
{
    const int h = InjectPlayingMusic();
    const int other = InjectPlayingMusic();
    ASSERT_EQ(DeleteMusicHandle(other), 0);
    std::vector<MCICOMMAND> sent = TakeMciCommands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Message, MCI_CLOSE);
    EXPECT_EQ(GetMidiHandlePlaying(h), 0);
    EXPECT_EQ(MusicState.Table.Count, 1u);
    // The rest goes with the sound system (checked in TearDown).
}

TEST_F(MusicTest, TheBackgroundMusicEndsAsMusicOrAsASound)
{
    const int music = InjectPlayingMusic();
    MusicState.BackgroundMusic = music;
    ASSERT_EQ(EndBackgroundMusic(), 0);
    EXPECT_EQ(MusicState.BackgroundMusic, 0);
    EXPECT_EQ(MusicState.Table.Count, 0u);
    EXPECT_EQ(TakeMciCommands().size(), 1u);

    const int sound = Load(WriteWav(PcmFmtBody(1, 8000, 16), RampPcm16(8000)), 1);
    ASSERT_EQ(PlaySoundToHandle(sound, SOUND_PLAYTYPE_LOOP, 1), 0);
    MusicState.BackgroundMusic = sound;
    MusicState.BackgroundIsSound = 1;
    ASSERT_EQ(EndBackgroundMusic(), 0);
    EXPECT_EQ(CheckSoundPlaying(sound), -1);
    EXPECT_EQ(SoundState.Table.Count, 0u);
    EXPECT_TRUE(TakeMciCommands().empty());
}

TEST(Music, WithoutTheSoundSystemEveryOperationIsRefused)
{
    EXPECT_EQ(PollMidiPlayStates(), -1);
    EXPECT_EQ(DeleteAllMusicHandles(), -1);
    EXPECT_EQ(GetMidiHandlePlaying(MakeHandleValue(1, HANDLETAG_MUSIC, 0)), -1);
}

} // namespace
