// Stream sounds through the null device: sources played in order with their
// repeats, loops, the ring kept ahead by the pump, the position, sharing a
// ring, and the refusals and ends of bad or empty sources.
#include "core/file/filefuncs.h"
#include "core/msgloop.h"
#include "core/sysstate.h"
#include "platform/kernel/clock.h"
#include "sound/sound.h"
#include "sound/soundsystem.h"
#include "sound/soundrec.h"
#include "sound/streamsound.h"
#include "support/sound_fixtures.h"
#include "support/sound_system_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

// Mono 16-bit frames whose values name the source and the frame.
std::vector<std::int16_t> Tone(int source, std::size_t frames)
{
    std::vector<std::int16_t> s(frames);
    for (std::size_t i = 0; i < frames; ++i) s[i] = static_cast<std::int16_t>(source * 6000 - 9000 + (i * 7) % 5000);
    return s;
}

Bytes Pcm(const std::vector<std::int16_t>& samples)
{
    Bytes b;
    for (std::int16_t v : samples) PutLe16(b, static_cast<std::uint16_t>(v));
    return b;
}

class StreamSoundTest : public SoundTest {
protected:
    // The message loop runs its per-pass work without a window, and answers -1
    // after a quit an earlier test may have left behind.
    void SetUp() override
    {
        SoundTest::SetUp();
        SysState.NoWindow = 1;
        SysState.QuitFlag = 0;
    }
    void TearDown() override
    {
        SysState.NoWindow = 0;
        SoundTest::TearDown();
    }

    Bytes MonoWav(const std::vector<std::int16_t>& s, int r = 0) { return WriteWav(PcmFmtBody(1, r ? r : rate, 16), Pcm(s)); }

    int AddImage(int h, const Bytes& wav, int loops, int dataType = 2, int share = -1)
    {
        return AddStreamSoundMemImage(wav.data(), static_cast<int>(wav.size()), loops, h, dataType, share);
    }

    std::uint32_t Cursor(int h)
    {
        SOUNDREC* rec = LookupSoundRecord(h);
        PLAYBUF* buffer = nullptr;
        ClaimStreamBuffer(h, rec, &buffer, 0);
        std::uint32_t pc = 0;
        GetPlayBufferCursor(buffer, &pc);
        return pc;
    }

    // Runs the device and the message loop together, one mixer period per pass, and
    // answers the left channel as 16-bit samples. Checks after every pass
    // that the ring holds three to four seconds ahead of the cursor.
    std::vector<std::int16_t> Pump(int h, double seconds)
    {
        SOUNDREC* rec = LookupSoundRecord(h);
        const std::uint32_t a = rec->BufferFormat.nAvgBytesPerSec;
        StartNullSoundCapture();
        const auto passes = static_cast<int>(seconds * rate / period);
        // At the output rate and without loops, the position is the frames the mixer took.
        const bool follows = rec->BufferFormat.nSamplesPerSec == static_cast<DWORD>(rate) &&
                             rec->StreamPlayType != SOUND_PLAYTYPE_LOOP && CheckSoundPlaying(h) == 1;
        const double startMs = GetSoundPlayPositionMs(h);
        for (int i = 0; i < passes; ++i) {
            const bool playing = CheckSoundPlaying(h) == 1;
            AdvanceNullSoundDevice(period);
            EXPECT_EQ(ServiceMessageLoop(), 0);
            if (follows && playing) {
                const double ms = startMs + (i + 1.0) * period * 1000.0 / rate;
                EXPECT_NEAR(GetSoundPlayPositionMs(h), std::min<double>(ms, GetSoundTotalTimeMs(h)), 1.0) << "pass " << i;
            }
            if (rec->EndMarkFlag == 0 && rec->DataEndFlag == 0 && CheckSoundPlaying(h) == 1) {
                const std::uint32_t pc = Cursor(h);
                const std::uint32_t ring = 6 * a;  // a sharer's own RingSize stays 0
                const std::uint32_t lead = (static_cast<std::uint32_t>(rec->WritePos) + ring - pc) % ring;
                EXPECT_GE(lead, 3 * a - a / 64) << "pass " << i;
                EXPECT_LE(lead, 4 * a + a / 8) << "pass " << i;
            }
        }
        const std::vector<float> out = TakeNullSoundCapture();
        std::vector<std::int16_t> left(out.size() / 2);
        for (std::size_t i = 0; i < left.size(); ++i) left[i] = static_cast<std::int16_t>(std::lround(out[2 * i] * 32768.0f));
        return left;
    }
};

TEST_F(StreamSoundTest, ThreeSourcesPlayInOrderWithTheirRepeatsThenSilenceAndStop)
{
    const auto one = Tone(1, rate * 3 / 2), two = Tone(2, rate), three = Tone(3, rate * 2);
    std::vector<std::int16_t> expected = one;
    for (const auto* part : {&two, &two, &three}) expected.insert(expected.end(), part->begin(), part->end());
    const std::string path = SoundScratchDir() + "/stream_three.wav";
    {
        const Bytes wav = MonoWav(three);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
    }
    // Decoded now, held as the file image, and read from an open file.
    for (int dataType : {0, 2, 3}) {
        SCOPED_TRACE(dataType);
        const int h = AddSoundData(-1);
        ASSERT_EQ(AddImage(h, MonoWav(one), 0, dataType == 3 ? 2 : dataType), 0);
        ASSERT_EQ(AddImage(h, MonoWav(two), 1, dataType == 3 ? 2 : dataType), 0);
        ASSERT_EQ(AddStreamSoundFile(path.c_str(), 0, h, dataType, -1), 0);
        EXPECT_EQ(GetSoundTotalSample(h), static_cast<int>(one.size() + two.size() + three.size()));
        ASSERT_EQ(PrimeStreamSound(h), 0);
        ASSERT_EQ(PlaySoundToHandle(h, SOUND_PLAYTYPE_BACK, 1), 0);
        const std::vector<std::int16_t> played = Pump(h, 7.5);
        ASSERT_GE(played.size(), expected.size() + rate / 16);
        for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(played[i], expected[i]) << "frame " << i;
        // Silence follows the end until the pump sees the cursor pass it and stops the ring.
        for (std::size_t i = expected.size(); i < played.size(); ++i) ASSERT_EQ(played[i], 0) << "frame " << i;
        EXPECT_EQ(CheckSoundPlaying(h), 0);
        // The count goes on through the repeat, so the position is capped at the length.
        EXPECT_EQ(GetSoundPlayPositionMs(h), GetSoundTotalTimeMs(h));
        ASSERT_EQ(DiscardSoundHandle(h), 0);
    }
}

TEST_F(StreamSoundTest, AHeldFileIsClosedAtOnceAReadOneWhenTheSoundGoes)
{
    auto openFiles = [] {
        const std::filesystem::directory_iterator fds("/proc/self/fd");
        return std::distance(begin(fds), end(fds));
    };
    const std::string path = SoundScratchDir() + "/stream_held.wav";
    WriteFileBytes(path, MonoWav(Tone(1, 1000)));
    const auto before = openFiles();
    const int held = AddSoundData(-1);
    ASSERT_EQ(AddStreamSoundFile(path.c_str(), 0, held, 2, -1), 0);
    EXPECT_EQ(openFiles(), before);
    const int read = AddSoundData(-1);
    ASSERT_EQ(AddStreamSoundFile(path.c_str(), 0, read, 3, -1), 0);
    EXPECT_EQ(openFiles(), before + 1);
    ASSERT_EQ(DiscardSoundHandle(read), 0);
    EXPECT_EQ(openFiles(), before);
    // A failed add closes what it opened.
    const std::string bad = SoundScratchDir() + "/stream_bad.wav";
    WriteFileBytes(bad, Bytes(300, 9));
    EXPECT_EQ(AddStreamSoundFile(bad.c_str(), 0, held, 3, -1), -1);
    EXPECT_EQ(AddStreamSoundFile((path + ".missing").c_str(), 0, held, 3, -1), -1);
    EXPECT_EQ(openFiles(), before);
    ASSERT_EQ(DiscardSoundHandle(held), 0);
}

TEST_F(StreamSoundTest, PlayTypeThreeLoopsTheListAndThePositionStartsAgain)
{
    const auto tone = Tone(1, rate * 5 / 2);
    const int h = AddSoundData(-1);
    ASSERT_EQ(AddImage(h, MonoWav(tone), 0), 0);
    ASSERT_EQ(PrimeStreamSound(h), 0);
    ASSERT_EQ(PlaySoundToHandle(h, SOUND_PLAYTYPE_LOOP, 1), 0);
    StartNullSoundCapture();
    const std::uint32_t b = 2;
    int lastMs = -1;
    int restarts = 0;
    std::vector<float> out;
    for (DWORD done = 0; done < static_cast<DWORD>(rate) * 9; done += period) {
        AdvanceNullSoundDevice(period);
        RefillAllStreamSounds();
        const int ms = GetSoundPlayPositionMs(h);
        // The position follows the mixer's cursor through the ring, from the loop point on.
        const std::uint32_t playedFrames = LookupSoundRecord(h)->PlayedBytes / b;
        EXPECT_EQ(ms, static_cast<int>(std::min<std::uint64_t>(playedFrames * 1000ull / rate, GetSoundTotalTimeMs(h))));

        if (ms < lastMs) ++restarts;
        lastMs = ms;
    }
    out = TakeNullSoundCapture();
    EXPECT_EQ(restarts, 3);
    EXPECT_EQ(CheckSoundPlaying(h), 1);
    for (std::size_t i = 0; i < out.size() / 2; ++i)
        ASSERT_EQ(std::lround(out[2 * i] * 32768.0f), tone[i % tone.size()]) << "frame " << i;
    ASSERT_EQ(DiscardSoundHandle(h), 0);
}

TEST_F(StreamSoundTest, TheRingIsFilledAtTheRatesOfItsFormat)
{
    // 44,100 Hz 16-bit stereo: A = 176,400.
    const int h = AddSoundData(-1);
    const Bytes wav = WriteWav(PcmFmtBody(2, 44100, 16), RampPcm16(2 * 44100 * 12));
    ASSERT_EQ(AddImage(h, wav, 0), 0);
    SOUNDREC* rec = LookupSoundRecord(h);
    EXPECT_EQ(rec->RingSize, 1058400u);
    ASSERT_EQ(PrimeStreamSound(h), 0);
    EXPECT_EQ(rec->WritePos, 705600);
    EXPECT_EQ(rec->RefillGuardPos, 0);
    // Primed and stopped: nothing is written.
    EXPECT_EQ(RefillStreamSound(h), 0);
    EXPECT_EQ(rec->WritePos, 705600);
    ASSERT_EQ(PlaySoundToHandle(h, SOUND_PLAYTYPE_BACK, 0), 0);
    // A lead of four seconds: one eighth of a second in whole frames.
    EXPECT_EQ(RefillStreamSound(h), 0);
    EXPECT_EQ(rec->WritePos, 705600 + 22048);
    // The cursor two seconds and an eighth on: the lead is two seconds, topped up to three.
    while (Cursor(h) < 176400u * 2 + 22048) AdvanceNullSoundDevice(period);
    const std::uint32_t pc = Cursor(h);
    const std::uint32_t lead = (705600 + 22048 - pc) * 128 / 176400;
    ASSERT_EQ(RefillStreamSound(h), 0);
    EXPECT_EQ(static_cast<std::uint32_t>(rec->WritePos), 705600 + 22048 + (384 - lead) * 176400 / 128 / 4 * 4);
    // Four seconds without a refill: the cursor ran past the data. The refill
    // reports it and writes three seconds on from the cursor.
    AdvanceNullSoundDevice(static_cast<DWORD>(rate) * 4);
    EXPECT_EQ(RefillStreamSound(h), -1);
    EXPECT_EQ(static_cast<std::uint32_t>(rec->WritePos), (Cursor(h) + 3 * 176400) % 1058400);
    ASSERT_EQ(DiscardSoundHandle(h), 0);
}

TEST_F(StreamSoundTest, EightBitSilenceBehindTheEndIsAnEighthOfASecondOf127)
{
    // 22,050 Hz 8-bit mono, one second: the end is written in the first fill.
    const int h = AddSoundData(-1);
    ASSERT_EQ(AddImage(h, WriteWav(PcmFmtBody(1, 22050, 8), Bytes(22050, 200)), 0), 0);
    ASSERT_EQ(PrimeStreamSound(h), 0);
    SOUNDREC* rec = LookupSoundRecord(h);
    EXPECT_EQ(rec->EndMarkFlag, 1);
    EXPECT_EQ(rec->EndDataPos, 22050);
    // Primed, not played: one more eighth of a second, then the ring is full.
    EXPECT_EQ(RefillStreamSound(h), 0);
    EXPECT_EQ(rec->WritePos, 4 * 22050 + 2756);
    EXPECT_EQ(RefillStreamSound(h), 0);
    EXPECT_EQ(rec->WritePos, 4 * 22050 + 2756);
    const Bytes ring = RingBytes(h);
    EXPECT_EQ(ring[22049], 200);
    for (std::uint32_t i = 22050; i < 4 * 22050 + 2756; ++i) ASSERT_EQ(ring[i], 127) << i;
    ASSERT_EQ(DiscardSoundHandle(h), 0);
}

TEST_F(StreamSoundTest, StopResumesWhereItStoppedFromTopRestartsAndAnEndedSoundStaysStopped)
{
    const auto tone = Tone(1, rate * 5);
    const int h = AddSoundData(-1);
    ASSERT_EQ(AddImage(h, MonoWav(tone), 0), 0);
    ASSERT_EQ(PrimeStreamSound(h), 0);
    ASSERT_EQ(PlaySoundToHandle(h, SOUND_PLAYTYPE_BACK, 0), 0);
    Pump(h, 1.0);
    ASSERT_EQ(StopSoundToHandle(h), 0);
    const std::uint32_t stoppedAt = Cursor(h);
    const int ms = GetSoundPlayPositionMs(h);
    Pump(h, 0.5);
    EXPECT_EQ(Cursor(h), stoppedAt);
    ASSERT_EQ(PlaySoundToHandle(h, SOUND_PLAYTYPE_BACK, 0), 0);
    std::vector<std::int16_t> played = Pump(h, 0.5);
    const std::size_t at = stoppedAt / 2;
    for (std::size_t i = 0; i < played.size(); ++i) ASSERT_EQ(played[i], tone[at + i]) << i;
    EXPECT_GT(GetSoundPlayPositionMs(h), ms);

    ASSERT_EQ(PlaySoundToHandle(h, SOUND_PLAYTYPE_BACK, 1), 0);
    played = Pump(h, 0.25);
    for (std::size_t i = 0; i < played.size(); ++i) ASSERT_EQ(played[i], tone[i]) << i;

    Pump(h, 6.0);
    ASSERT_EQ(CheckSoundPlaying(h), 0);
    // Nothing is left to resume: the play answers 0 and the sound stays silent.
    EXPECT_EQ(PlaySoundToHandle(h, SOUND_PLAYTYPE_BACK, 0), 0);
    EXPECT_EQ(CheckSoundPlaying(h), 0);
    EXPECT_EQ(RefillStreamSound(h), 0);
    // A change of the loop bit starts it again.
    ASSERT_EQ(PlaySoundToHandle(h, SOUND_PLAYTYPE_LOOP, 0), 0);
    EXPECT_EQ(CheckSoundPlaying(h), 1);
    ASSERT_EQ(DiscardSoundHandle(h), 0);
}

TEST_F(StreamSoundTest, AddingSourcesIsRefusedWhenFullPlayingMismatchedOrOfAnUnknownType)
{
    const int h = AddSoundData(-1);
    const Bytes a = WriteWav(PcmFmtBody(1, 44100, 16), Pcm(Tone(1, 44100)));
    const Bytes b = WriteWav(PcmFmtBody(1, 44100, 16), Pcm(Tone(2, 22050)));
    const Bytes c = WriteWav(PcmFmtBody(1, 44100, 16), Pcm(Tone(3, 1000)));
    ASSERT_EQ(AddImage(h, a, 0), 0);
    for (const Bytes& other : {WriteWav(PcmFmtBody(1, 22050, 16), Pcm(Tone(1, 10))),
                               WriteWav(PcmFmtBody(2, 44100, 16), Pcm(Tone(1, 10))),
                               WriteWav(PcmFmtBody(1, 44100, 8), Bytes(10, 1))})
        EXPECT_EQ(AddImage(h, other, 0), -1);
    ASSERT_EQ(AddImage(h, b, 0), 0);
    ASSERT_EQ(AddImage(h, c, 0), 0);
    EXPECT_EQ(GetSoundTotalSample(h), 67150);
    EXPECT_EQ(AddImage(h, c, 0), -1);
    EXPECT_EQ(LookupSoundRecord(h)->StreamNum, 3);

    const int g = AddSoundData(-1);
    ASSERT_EQ(AddImage(g, a, 0), 0);
    ASSERT_EQ(PrimeStreamSound(g), 0);
    ASSERT_EQ(PlaySoundToHandle(g, SOUND_PLAYTYPE_BACK, 0), 0);
    EXPECT_EQ(AddImage(g, b, 0), -1);
    // Data types without a way to get the PCM are refused, as is garbage.
    const int k = AddSoundData(-1);
    for (int type : {1, 4, -1}) EXPECT_EQ(AddImage(k, a, 0, type), -1) << type;
    EXPECT_EQ(AddImage(k, Bytes(100, 7), 0), -1);
    EXPECT_EQ(LookupSoundRecord(k)->StreamNum, 0);
    EXPECT_EQ(LookupSoundRecord(k)->Buffer[0].Valid, 0u);
    ASSERT_EQ(SetSoundLoadMode(1), 0);
    EXPECT_EQ(CreateSoundFromMemory(a.data(), static_cast<int>(a.size()), 1, -1), -1);
    ASSERT_EQ(SetSoundLoadMode(0), 0);
    ASSERT_EQ(DeleteAllSounds(), 0);
}

TEST_F(StreamSoundTest, ASharerPlaysThroughTheOwnersRingAndATakeOverStartsFromItsTop)
{
    const auto mine = Tone(1, rate * 6), theirs = Tone(3, rate * 6);
    ASSERT_EQ(SetSoundLoadMode(2), 0);
    const Bytes ownerWav = MonoWav(mine), sharerWav = MonoWav(theirs);
    const int owner = CreateSoundFromMemory(ownerWav.data(), static_cast<int>(ownerWav.size()), 1, -1);
    const int sharer = CreateSoundFromMemory(sharerWav.data(), static_cast<int>(sharerWav.size()), 1, owner);
    ASSERT_EQ(SetSoundLoadMode(0), 0);
    ASSERT_NE(owner, -1);
    ASSERT_NE(sharer, -1);
    EXPECT_EQ(LookupSoundRecord(owner)->ShareCount, 1);
    EXPECT_EQ(LookupSoundRecord(sharer)->ShareHandle, owner);
    EXPECT_EQ(LookupSoundRecord(sharer)->Buffer[0].Valid, 0u);
    // Not a ring owner, or another format: a ring of its own, without a word.
    const int third = AddSoundData(-1);
    ASSERT_EQ(AddImage(third, MonoWav(theirs), 0, 2, sharer), 0);
    EXPECT_EQ(LookupSoundRecord(third)->ShareHandle, -1);
    const int fourth = AddSoundData(-1);
    ASSERT_EQ(AddImage(fourth, MonoWav(theirs, rate / 2), 0, 2, owner), 0);
    EXPECT_EQ(LookupSoundRecord(fourth)->ShareHandle, -1);

    ASSERT_EQ(PlaySoundToHandle(owner, SOUND_PLAYTYPE_BACK, 0), 0);
    Pump(owner, 1.0);
    PLAYBUF* buffer = nullptr;
    EXPECT_EQ(ClaimStreamBuffer(sharer, LookupSoundRecord(sharer), &buffer, 0), -1);
    EXPECT_EQ(IsStreamSoundPlaying(sharer), 0);
    // The take-over stops the owner; the ring then holds the sharer's own data from its top.
    ASSERT_EQ(PlaySoundToHandle(sharer, SOUND_PLAYTYPE_BACK, 0), 0);
    EXPECT_EQ(IsStreamSoundPlaying(owner), 0);
    std::vector<std::int16_t> played = Pump(sharer, 1.0);
    for (std::size_t i = 0; i < played.size(); ++i) ASSERT_EQ(played[i], theirs[i]) << i;
    // And back: the owner starts again from its own top.
    ASSERT_EQ(PlaySoundToHandle(owner, SOUND_PLAYTYPE_BACK, 0), 0);
    played = Pump(owner, 0.5);
    for (std::size_t i = 0; i < played.size(); ++i) ASSERT_EQ(played[i], mine[i]) << i;
    // The owner's deletion waits for its last sharer.
    ASSERT_EQ(DiscardSoundHandle(owner), 0);
    EXPECT_NE(LookupSoundRecord(owner), nullptr);
    ASSERT_EQ(DiscardSoundHandle(sharer), 0);
    EXPECT_EQ(LookupSoundRecord(owner), nullptr);
    ASSERT_EQ(DeleteAllSounds(), 0);
}

TEST_F(StreamSoundTest, AFailedLockWritesNothingAndTheNextRefillCatchesUp)
{
    const auto tone = Tone(2, rate * 8);
    const int h = AddSoundData(-1);
    ASSERT_EQ(AddImage(h, MonoWav(tone), 0), 0);
    ASSERT_EQ(PrimeStreamSound(h), 0);
    ASSERT_EQ(PlaySoundToHandle(h, SOUND_PLAYTYPE_BACK, 0), 0);
    SOUNDREC* rec = LookupSoundRecord(h);
    AdvanceNullSoundDevice(static_cast<DWORD>(rate));
    const int w = rec->WritePos, readPos = rec->StreamReadPos;
    SetSoundFault(SoundFault::Lock, 0);
    EXPECT_EQ(RefillStreamSound(h), 0);
    EXPECT_EQ(rec->WritePos, w);
    EXPECT_EQ(rec->StreamReadPos, readPos);
    EXPECT_EQ(rec->StreamPlayIndex, 0);
    SetSoundFault(SoundFault::Lock, -1);
    const std::size_t at = Cursor(h) / 2;
    const std::vector<std::int16_t> played = Pump(h, 3.0);
    for (std::size_t i = 0; i < played.size(); ++i) ASSERT_EQ(played[i], tone[at + i]) << i;
    ASSERT_EQ(DiscardSoundHandle(h), 0);
}

TEST_F(StreamSoundTest, EmptyAndTinyLoopingSourcesEndInsteadOfSpinning)
{
    struct Case {
        Bytes data;
        int loops;
        int playType;
    };
    const Case cases[] = {
        {Bytes{}, 0, SOUND_PLAYTYPE_LOOP},
        {Bytes{}, 255, SOUND_PLAYTYPE_BACK},
        {Pcm({100, 200, 300, 400}), 0, SOUND_PLAYTYPE_LOOP},
        {Pcm({100, 200}), 255, SOUND_PLAYTYPE_LOOP},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data.size());
        const int h = AddSoundData(-1);
        ASSERT_EQ(AddImage(h, WriteWav(PcmFmtBody(1, rate, 16), c.data), c.loops), 0);
        LookupSoundRecord(h)->StreamPlayType = c.playType;
        ASSERT_EQ(PrimeStreamSound(h), 0);
        ASSERT_EQ(PlaySoundToHandle(h, c.playType, 0), 0);
        Pump(h, 1.0);
        EXPECT_EQ(CheckSoundPlaying(h), 0);
        ASSERT_EQ(DiscardSoundHandle(h), 0);
    }
}

TEST_F(StreamSoundTest, ARestartedShortSoundLeavesSilenceNotOldAudioBehindItsEnd)
{
    const auto tone = Tone(1, rate);
    const int h = AddSoundData(-1);
    ASSERT_EQ(AddImage(h, MonoWav(tone), 0), 0);
    ASSERT_EQ(PrimeStreamSound(h), 0);
    // Looped for a while, every part of the ring holds the tone.
    ASSERT_EQ(PlaySoundToHandle(h, SOUND_PLAYTYPE_LOOP, 0), 0);
    Pump(h, 7.0);
    ASSERT_EQ(StopSoundToHandle(h), 0);
    ASSERT_EQ(PlaySoundToHandle(h, SOUND_PLAYTYPE_BACK, 1), 0);
    ASSERT_EQ(StopSoundToHandle(h), 0);
    const std::vector<std::int16_t> ring = Ring16(h);
    for (std::size_t i = 0; i < tone.size(); ++i) ASSERT_EQ(ring[i], tone[i]) << i;
    for (std::size_t i = tone.size(); i < 4u * rate; ++i) ASSERT_EQ(ring[i], 0) << i;
    ASSERT_EQ(DiscardSoundHandle(h), 0);
}

// A game that stops pumping (loading) while a stream sound plays: the null
// device and the library's clock both follow the kernel's manual clock.
class StreamStallTest : public StreamSoundTest {
protected:
    void SetUp() override
    {
        StreamSoundTest::SetUp();
        UseManualClock(1000, 0);
        SelectNullSoundClock(NullSoundClock::Kernel);
    }

    // Stereo 16-bit frames at the output rate whose two channels spell the
    // frame's number; no frame is silent.
    Bytes NumberedWav(std::size_t frames)
    {
        Bytes pcm;
        for (std::size_t i = 0; i < frames; ++i) {
            PutLe16(pcm, static_cast<std::uint16_t>(1 + (i & 0x3FFF)));
            PutLe16(pcm, static_cast<std::uint16_t>(1 + (i >> 14)));
        }
        return WriteWav(PcmFmtBody(2, rate, 16), pcm);
    }

    // The frame number of each captured frame, -1 where none is heard.
    static std::vector<long> Numbers(const std::vector<float>& out)
    {
        std::vector<long> n(out.size() / 2);
        for (std::size_t i = 0; i < n.size(); ++i) {
            const long lo = std::lround(out[2 * i] * 32768.0f) - 1;
            const long hi = std::lround(out[2 * i + 1] * 32768.0f) - 1;
            n[i] = lo < 0 || hi < 0 ? -1 : lo | hi << 14;
        }
        return n;
    }

    // Game frames at 60 per second: the pump runs, then the frame's time passes.
    void Frames(int count)
    {
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(ServiceMessageLoop(), 0);
            AdvanceManualClock(16667);
        }
    }

    // The stall: time passes without a pump; the device catches up with it
    // when the cursor is read.
    void Stall(int h, double seconds)
    {
        AdvanceManualClock(static_cast<ULONGLONG>(seconds * 1000000.0));
        Cursor(h);
    }
};

TEST_F(StreamStallTest, AtSixtyFramesASecondEveryRefillSucceedsAndTheLeadStaysThreeToFourSeconds)
{
    const int h = AddSoundData(-1);
    ASSERT_EQ(AddImage(h, NumberedWav(static_cast<std::size_t>(rate) * 20), 0), 0);
    ASSERT_EQ(PrimeStreamSound(h), 0);
    ASSERT_EQ(PlaySoundToHandle(h, SOUND_PLAYTYPE_BACK, 0), 0);
    SOUNDREC* rec = LookupSoundRecord(h);
    const std::uint32_t a = rec->BufferFormat.nAvgBytesPerSec;
    int refused = 0;
    for (int i = 0; i < 600; ++i) {
        AdvanceManualClock(16667);
        if (RefillStreamSound(h) != 0) ++refused;
        const std::uint32_t lead = (static_cast<std::uint32_t>(rec->WritePos) + 6 * a - Cursor(h)) % (6 * a);
        ASSERT_GE(lead, 3 * a) << i;
        ASSERT_LE(lead, 4 * a + a / 8) << i;
    }
    EXPECT_EQ(refused, 0);
    ASSERT_EQ(DiscardSoundHandle(h), 0);
}

TEST_F(StreamStallTest, AfterAStallTheSoundGoesOnWhereItsDataEndedAndThePositionFollowsIt)
{
    struct Case {
        std::vector<double> stalls;  // one game frame between two stalls
        int playType;
        double length;  // seconds of sound
    };
    const Case cases[] = {
        // One frame after a stall tops the ring up to three seconds only.
        {{3.9, 3.9}, SOUND_PLAYTYPE_BACK, 30.0},
        {{5.0}, SOUND_PLAYTYPE_BACK, 30.0},
        {{8.0}, SOUND_PLAYTYPE_BACK, 30.0},
        {{3.9, 3.9}, SOUND_PLAYTYPE_LOOP, 2.5},
        {{5.0}, SOUND_PLAYTYPE_LOOP, 2.5},
        {{8.0}, SOUND_PLAYTYPE_LOOP, 30.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stalls.back() << " s after " << c.stalls.size() - 1
                                        << ", play type " << c.playType);
        const auto length = static_cast<long>(c.length * rate);
        const int h = AddSoundData(-1);
        ASSERT_EQ(AddImage(h, NumberedWav(static_cast<std::size_t>(length)), 0), 0);
        ASSERT_EQ(PrimeStreamSound(h), 0);
        ASSERT_EQ(PlaySoundToHandle(h, c.playType, 0), 0);
        StartNullSoundCapture();
        std::vector<float> out;
        auto take = [&out] {
            const std::vector<float> part = TakeNullSoundCapture();
            out.insert(out.end(), part.begin(), part.end());
            StartNullSoundCapture();
            return out.size() / 2;
        };
        Frames(60);
        // The captured frames that the stalls played: stale audio may be heard only there.
        std::vector<std::pair<std::size_t, std::size_t>> stalled;
        for (double seconds : c.stalls) {
            const std::size_t from = take();
            Stall(h, seconds);
            stalled.emplace_back(from, take());
            Frames(1);
        }
        Frames(60);
        Cursor(h);
        take();
        TakeNullSoundCapture();
        const std::vector<long> heard = Numbers(out);
        long next = 0;
        for (std::size_t i = 0; i < heard.size(); ++i) {
            if (heard[i] == next) {
                next = (next + 1) % length;
                continue;
            }
            const bool inStall = std::any_of(stalled.begin(), stalled.end(),
                                             [i](const auto& r) { return r.first <= i && i < r.second; });
            if (!inStall) {
                ADD_FAILURE() << "frame " << i << " plays " << heard[i] << " in place of " << next;
                break;
            }
        }
        EXPECT_EQ(CheckSoundPlaying(h), 1);
        EXPECT_NEAR(GetSoundPlayPositionMs(h), next * 1000.0 / rate, 20.0);
        ASSERT_EQ(DiscardSoundHandle(h), 0);
    }
}

TEST_F(StreamStallTest, APlayOnceSoundThatEndsInAStallIsStoppedAtItsEnd)
{
    struct Case {
        int channels, sampleRate, bits;
    };
    for (const Case& c : {Case{2, rate, 16}, Case{1, 22050, 8}}) {
        SCOPED_TRACE(c.bits);
        const int h = AddSoundData(-1);
        const std::size_t bytes = static_cast<std::size_t>(5 * c.sampleRate * c.channels * c.bits / 8);
        Bytes pcm(bytes);
        for (std::size_t i = 0; i < bytes; ++i) pcm[i] = static_cast<std::uint8_t>(40 + i % 7);
        ASSERT_EQ(AddImage(h, WriteWav(PcmFmtBody(c.channels, c.sampleRate, c.bits), pcm), 0), 0);
        ASSERT_EQ(PrimeStreamSound(h), 0);
        ASSERT_EQ(PlaySoundToHandle(h, SOUND_PLAYTYPE_BACK, 0), 0);
        Frames(180);
        // The end, two seconds on, falls inside the stall.
        Stall(h, 4.5);
        EXPECT_EQ(CheckSoundPlaying(h), 0);
        StartNullSoundCapture();
        Frames(1);
        EXPECT_EQ(CheckSoundPlaying(h), 0);
        Frames(120);
        for (float v : TakeNullSoundCapture()) ASSERT_EQ(v, 0.0f);
        EXPECT_EQ(CheckSoundPlaying(h), 0);
        EXPECT_EQ(GetSoundPlayPositionMs(h), GetSoundTotalTimeMs(h));
        ASSERT_EQ(DiscardSoundHandle(h), 0);
    }
}

} // namespace
