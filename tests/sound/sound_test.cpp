// Whole sounds through the null device: overlapping plays summed at the
// game's volumes, seamless loops, play and wait, stop and resume, buffer
// counts, refused files and the sound table's rules.
#include "core/api.h"
#include "core/file/filefuncs.h"
#include "core/log.h"
#include "core/sysstate.h"
#include "platform/com/com.h"
#include "platform/dsound/dsound.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/debug.h"
#include "sound/sound.h"
#include "sound/soundrec.h"
#include "sound/soundsystem.h"
#include "support/library_fixture.h"
#include "support/sound_system_fixture.h"
#include "support/sound_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

namespace {

std::vector<float> Capture(DWORD frames)
{
    AdvanceNullSoundDevice(frames);
    return TakeNullSoundCapture();
}

TEST(SoundVolume, GivesTheHundredthsOfADecibelOfTheScale)
{
    const int cases[][2] = {{255, 0},     {300, 0},     {128, -299},  {100, -406},   {64, -600},     {25, -1008},
                            {5, -1707},   {3, -1929},   {1, -2406},   {0, -10000},   {-5, -10000}};
    for (const auto& c : cases) EXPECT_EQ(VolumeToHundredthsOfDecibel(c[0]), c[1]) << c[0];
}

TEST_F(SoundTest, ThreeBuffersOverlapAndMixToTheSumAtTheGamesVolumes)
{
    const DWORD frames = period * 3 + 50;
    const Bytes pcm = RampPcm16(frames);
    const Bytes wav = WriteWav(PcmFmtBody(1, rate, 16), pcm);
    for (int volume : {1, 3, 5, 25}) {
        const int h = Load(wav, 3);
        ASSERT_NE(h, -1);
        ASSERT_EQ(SetSoundVolume(volume, h), 0);
        StartNullSoundCapture();
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(StartSound(h, 1, 1), 0);
            AdvanceNullSoundDevice(period);
        }
        const std::vector<float> out = Capture(period * 4);
        const double gain = std::pow(10.0, VolumeToHundredthsOfDecibel(volume) / 2000.0);
        for (std::size_t t = 0; t < out.size() / 2; ++t) {
            double expected = 0;
            for (std::size_t i = 0; i < 3; ++i) {
                const std::size_t start = i * period;
                if (t >= start && t - start < frames)
                    expected += static_cast<std::int16_t>(pcm[2 * (t - start)] | pcm[2 * (t - start) + 1] << 8) /
                                32768.0 * gain;
            }
            ASSERT_NEAR(out[2 * t], expected, 1e-5) << "volume " << volume << " frame " << t;
        }
        EXPECT_EQ(CheckSoundPlaying(h), 0);
        ASSERT_EQ(DiscardSoundHandle(h), 0);
    }
}

TEST_F(SoundTest, AFourthQuickPlayIsDroppedOrRestartsTheFirstBuffer)
{
    const int h = Load(WriteWav(PcmFmtBody(2, rate, 16), RampPcm16(period * 20)), 3);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(StartSound(h, 1, 1), 0);
    AdvanceNullSoundDevice(period * 2);
    SOUNDREC* rec = LookupSoundRecord(h);
    EXPECT_EQ(StartSound(h, 1, 0), 0);  // the first buffer still plays: nothing happens
    DWORD cursor = 0;
    rec->Buffer[0].DSBuffer->GetCurrentPosition(&cursor, nullptr);
    EXPECT_EQ(cursor, period * 2 * 4);
    EXPECT_EQ(rec->BufferPlayIndex, 1);  // the turn has still moved on
    rec->Buffer[1].DSBuffer->GetCurrentPosition(&cursor, nullptr);
    EXPECT_EQ(cursor, period * 2 * 4);
    EXPECT_EQ(StartSound(h, 1, 1), 0);  // restarts the next one in turn from 0
    rec->Buffer[2].DSBuffer->GetCurrentPosition(&cursor, nullptr);
    EXPECT_EQ(cursor, 0u);
    DiscardSoundHandle(h);
}

TEST_F(SoundTest, PlayTypesOutsideWaitBackgroundAndLoopAreRefusedWithALogLine)
{
    const int h = Load(WriteWav(PcmFmtBody(1, rate, 16), RampPcm16(period * 4)), 1);
    ASSERT_NE(h, -1);
    for (int type : {2, 7, -1, 4}) {
        EXPECT_EQ(StartSound(h, type, 1), -1) << type;
        EXPECT_TRUE(LogHasLine("再生タイプ " + std::to_string(type) + " はありません（0, 1, 3）")) << type;
        EXPECT_EQ(CheckSoundPlaying(h), 0) << type;  // nothing was started
    }
    EXPECT_EQ(StartSound(h, 1, 1), 0);
    EXPECT_EQ(CheckSoundPlaying(h), 1);
    DiscardSoundHandle(h);
}

TEST_F(SoundTest, LoopingPlayJoinsItsEndToItsStart)
{
    const DWORD frames = 300;
    const Bytes pcm = RampPcm16(frames * 2);
    const int h = Load(WriteWav(PcmFmtBody(2, rate, 16), pcm), 1);
    ASSERT_EQ(SetSoundVolume(255, h), 0);
    StartNullSoundCapture();
    ASSERT_EQ(StartSound(h, 3, 1), 0);
    const std::vector<float> out = Capture(period * 4);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t s = i % (frames * 2);
        ASSERT_FLOAT_EQ(out[i], static_cast<std::int16_t>(pcm[2 * s] | pcm[2 * s + 1] << 8) / 32768.0f) << i;
    }
    EXPECT_EQ(CheckSoundPlaying(h), 1);
    EXPECT_EQ(HaltSound(h), 0);
    EXPECT_EQ(CheckSoundPlaying(h), 0);
    DiscardSoundHandle(h);
}

TEST_F(SoundTest, StopKeepsThePositionAndFromStartRestarts)
{
    const Bytes pcm = RampPcm16(static_cast<std::size_t>(period) * 10);
    const int h = Load(WriteWav(PcmFmtBody(1, rate, 16), pcm), 1);
    ASSERT_EQ(StartSound(h, 1, 1), 0);
    AdvanceNullSoundDevice(period * 2);
    ASSERT_EQ(HaltSound(h), 0);
    AdvanceNullSoundDevice(period * 2);
    const int stoppedAt = GetSoundPlayPositionMs(h);
    EXPECT_EQ(stoppedAt, static_cast<int>(period * 2 * 1000.0 / rate));

    // From-start 0 resumes: the next period is the PCM after the stop.
    StartNullSoundCapture();
    ASSERT_EQ(StartSound(h, 1, 0), 0);
    std::vector<float> out = Capture(period);
    const std::size_t resumed = static_cast<std::size_t>(period) * 2;
    EXPECT_FLOAT_EQ(out[0], static_cast<std::int16_t>(pcm[2 * resumed] | pcm[2 * resumed + 1] << 8) / 32768.0f);
    ASSERT_EQ(HaltSound(h), 0);
    StartNullSoundCapture();
    ASSERT_EQ(StartSound(h, 1, 1), 0);
    out = Capture(period);
    EXPECT_FLOAT_EQ(out[0], static_cast<std::int16_t>(pcm[0] | pcm[1] << 8) / 32768.0f);
    DiscardSoundHandle(h);
}

TEST_F(SoundTest, PlayAndWaitReturnsAtTheEndOrAtOnceWhenTheLoopQuits)
{
    UseManualClock(1000, 100);
    SelectNullSoundClock(NullSoundClock::Kernel);
    const int h = Load(WriteWav(PcmFmtBody(2, 22050, 16), RampPcm16(2205 * 2)), 1);  // 0.1 s
    const ULONGLONG before = ReadClockMicroseconds();
    ASSERT_EQ(StartSound(h, 0, 1), 0);
    EXPECT_GE(ReadClockMicroseconds() - before, 100000u);
    EXPECT_EQ(CheckSoundPlaying(h), 0);

    SysState.QuitFlag = 1;  // the message loop answers -1
    const ULONGLONG quitting = ReadClockMicroseconds();
    ASSERT_EQ(StartSound(h, 0, 1), 0);
    EXPECT_LT(ReadClockMicroseconds() - quitting, 10000u);
    EXPECT_EQ(CheckSoundPlaying(h), 1);
    DiscardSoundHandle(h);
}

TEST_F(SoundTest, BufferCountsAreCutRefusedOrLeaveNothingToPlay)
{
    const Bytes wav = WriteWav(PcmFmtBody(1, 22050, 8), Bytes(2000, 0x90));
    std::ofstream("twenty.wav", std::ios::binary).write(reinterpret_cast<const char*>(wav.data()), wav.size());
    const int ten = LoadSoundFile("twenty.wav", 20, -1);
    ASSERT_NE(ten, -1);
    EXPECT_EQ(LookupSoundRecord(ten)->BufferNum, 10);
    EXPECT_EQ(GetLiveSoundBufferCount(), 11);  // with the silent buffer
    EXPECT_EQ(Load(wav, 11), -1);

    const int none = Load(wav, 0);
    ASSERT_NE(none, -1);
    EXPECT_EQ(StartSound(none, 1, 1), -1);
    EXPECT_EQ(GetSoundPlayPositionMs(none), -1);

    SetSoundFault(SoundFault::Duplicate, 1);  // the second duplicate fails
    const int two = Load(wav, 3);
    ASSERT_NE(two, -1);
    EXPECT_EQ(LookupSoundRecord(two)->BufferNum, 2);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(StartSound(two, 1, 0), 0);
    EXPECT_EQ(GetSoundTotalSample(two), 2000);
    EXPECT_EQ(GetSoundTotalTimeMs(two), 90);
}

TEST_F(SoundTest, AnAdpcmSoundLastsItsFactCountWholeOrStreamed)
{
    // IMA ADPCM, mono, two blocks of 505 frames of which the fact chunk counts 700.
    Bytes blocks(512, 0x37);
    blocks[2] = blocks[256 + 2] = 40;
    Bytes count;
    PutLe32(count, 700);
    const Bytes wav = WriteWav(WavFmtBody(0x11, 1, 22050, 11155, 256, 4, Bytes{0xF9, 0x01}), blocks, {{"fact", count}});
    for (int mode : {0, 2}) {
        ASSERT_EQ(SetSoundLoadMode(mode), 0);
        const int h = CreateSoundFromMemory(wav.data(), static_cast<int>(wav.size()), 1, -1);
        ASSERT_NE(h, -1) << mode;
        EXPECT_EQ(GetSoundTotalSample(h), 700) << mode;
        EXPECT_EQ(GetSoundTotalTimeMs(h), 31) << mode;
        EXPECT_EQ(DiscardSoundHandle(h), 0);
    }
    ASSERT_EQ(SetSoundLoadMode(0), 0);
}

TEST_F(SoundTest, BadFilesAnswerMinusOneAndLeaveNothingBehind)
{
    const Bytes fmt = PcmFmtBody(2, 44100, 16);
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"empty data", WriteWav(fmt, {})},
        {"one byte of 16-bit stereo", WriteWav(fmt, {1})},
        {"six channels", WriteWav(PcmFmtBody(6, 44100, 16), Bytes(1200, 1))},
        {"three float channels", WriteWav(WavFmtBody(3, 3, 44100, 44100 * 12, 12, 32), Bytes(1200, 0))},
        {"no wave at all", Bytes(64, 'x')},
        {"nothing", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CreateSoundFromMemory(c.file.data(), static_cast<int>(c.file.size()), 3, -1), -1) << c.name;
        EXPECT_EQ(SoundState.Table.Count, 0u) << c.name;
    }
    // No image at all, to be decoded whole or streamed.
    for (int mode : {0, 2}) {
        ASSERT_EQ(SetSoundLoadMode(mode), 0);
        EXPECT_EQ(CreateSoundFromMemory(nullptr, 100, 1, -1), -1) << mode;
        EXPECT_EQ(SoundState.Table.Count, 0u) << mode;
    }
    ASSERT_EQ(SetSoundLoadMode(0), 0);
    EXPECT_EQ(LoadSoundFile("missing.wav", 3, -1), -1);
    const std::string log = ReadLogFile();
    EXPECT_TRUE(Contains(log, "音声ファイルのＰＣＭへの変換に失敗しました"));
    EXPECT_TRUE(Contains(log, "右記のファイルのオープンに失敗しました：missing.wav"));
    EXPECT_TRUE(Contains(log, "右記の音声ファイルのロードに失敗しました_1：missing.wav"));
    EXPECT_EQ(GetLiveSoundBufferCount(), 1);
}

TEST_F(SoundTest, EveryOperationRefusesStaleHandlesAndWorksOnlyWhileStarted)
{
    const Bytes wav = WriteWav(PcmFmtBody(1, 22050, 16), RampPcm16(100));
    const int h = Load(wav, 1);
    ASSERT_EQ(DiscardSoundHandle(h), 0);
    const int again = Load(wav, 1);
    EXPECT_EQ(again & 0xFFFF, h & 0xFFFF);  // same slot, new check value
    for (int bad : {h, -1, again ^ 0x10000000 ^ 0x08000000, again + 1}) {
        EXPECT_EQ(StartSound(bad, 1, 1), -1);
        EXPECT_EQ(HaltSound(bad), -1);
        EXPECT_EQ(SetSoundVolume(100, bad), -1);
        EXPECT_EQ(GetSoundTotalSample(bad), -1);
        EXPECT_EQ(DiscardSoundHandle(bad), -1);
    }
    EXPECT_EQ(SetSoundLoadMode(4), -1);
    EXPECT_EQ(GetSoundLoadMode(), 0);

    ASSERT_EQ(ShutdownSoundSystem(), 0);  // deletes the sound
    EXPECT_EQ(ShutdownSoundSystem(), -1);
    EXPECT_EQ(StartSound(again, 1, 1), -1);
    EXPECT_EQ(LoadSoundFile("any.wav", 1, -1), -1);
    ASSERT_EQ(StartupSoundSystem(), 0);
    EXPECT_EQ(StartupSoundSystem(), -1);
}

} // namespace
