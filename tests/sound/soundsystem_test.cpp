// Sound start-up and shutdown: the no-device start of the whole library,
// the device report and its indentation, the primary format from the
// capabilities, and the failures that leave the library silent.
#include "core/api.h"
#include "core/file/filefuncs.h"
#include "core/log.h"
#include "core/sysstate.h"
#include "platform/com/com.h"
#include "platform/dsound/dsound.h"
#include "platform/kernel/module.h"
#include "sound/soundrec.h"
#include "sound/soundsystem.h"
#include "support/library_fixture.h"
#include "support/sound_fixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

class SoundSystemTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        ClearSoundFaults();
        SetSoundDeviceCaps(nullptr);
        SelectSoundOutput(SoundOutputChoice::NullOnly);
    }

    void TearDown() override
    {
        EndLibrary();
        ShutdownSoundSystem();
        CoUninitialize();
        HideModule("DSOUND.DLL", false);
        SetSoundDeviceCaps(nullptr);
        ClearSoundFaults();
        SelectSoundOutput(SoundOutputChoice::SdlThenNull);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        LibraryTest::TearDown();
    }

    static void StartAlone()
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        SelectFileFunctionTable(nullptr);
        GetFileFunctionTable()->GetDir(SysState.StartDirectory);
        CreateLogFile();
    }
};

int Tabs(const std::string& line)
{
    int n = 0;
    while (n < static_cast<int>(line.size()) && line[static_cast<std::size_t>(n)] == '\t') ++n;
    return n;
}

int LineOf(const std::vector<std::string>& lines, const std::string& text)
{
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (Contains(lines[i], text)) return static_cast<int>(i);
    return -1;
}

TEST_F(SoundSystemTest, WithoutASoundDeviceTheLibraryLogsTheChoiceAndPlaysSilently)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SelectSoundOutput(SoundOutputChoice::SdlThenNull);
    ASSERT_EQ(StartLibrary(), 0);
    EXPECT_EQ(IsNullSoundDeviceOpen(), 1);
    const std::vector<std::string> lines = LogLinesWithoutStamps();
    const int device = LineOf(lines, "null  ドライバ記述:No sound device: silent output");
    ASSERT_GE(device, 0);
    EXPECT_LT(LineOf(lines, "DirectSound の初期化を行います"), device);
    EXPECT_GT(LineOf(lines, "DirectSound の初期化は正常に終了しました"), device);

    const Bytes wav = WriteWav(PcmFmtBody(2, 44100, 16), RampPcm16(4410 * 2));  // 0.1 s
    std::ofstream("shot.wav", std::ios::binary).write(reinterpret_cast<const char*>(wav.data()), wav.size());
    const int h = LoadSoundFile("shot.wav", 3, -1);
    ASSERT_NE(h, -1);
    EXPECT_EQ(SetSoundVolume(5, h), 0);
    EXPECT_EQ(StartSound(h, 0, 1), 0);  // the wait ends on the null device's clock
    EXPECT_EQ(HaltSound(h), 0);
    ASSERT_EQ(EndLibrary(), 0);
    EXPECT_EQ(SoundState.DirectSound, nullptr);
    EXPECT_EQ(GetLiveSoundBufferCount(), 0);
    EXPECT_TRUE(Contains(ReadLogFile(), "DirectSound の終了処理は正常に終了しました"));
}

TEST_F(SoundSystemTest, TheDeviceReportIsIndentedAndBalancedOnEveryPath)
{
    for (bool hidden : {false, true}) {
        StartAlone();
        HideModule("DSOUND.DLL", hidden);
        ASSERT_EQ(StartupSoundSystem(), 0);
        EXPECT_EQ(SysState.LogIndent, 0);
        const std::vector<std::string> lines = LogLinesWithoutStamps();
        const int heading = LineOf(lines, "DirectSound デバイスを列挙します");
        ASSERT_GE(heading, 0);
        EXPECT_EQ(Tabs(lines[static_cast<std::size_t>(heading)]), 1);
        EXPECT_EQ(Tabs(lines[static_cast<std::size_t>(LineOf(lines, "DirectSound の初期化は正常に終了しました"))]), 0);
        if (hidden) {
            EXPECT_EQ(Tabs(lines[static_cast<std::size_t>(LineOf(lines, "DSOUND.DLL のロードに失敗しました"))]), 2);
            EXPECT_EQ(LineOf(lines, "利用可能チャンネル"), -1);
        } else {
            EXPECT_EQ(Tabs(lines[static_cast<std::size_t>(LineOf(lines, "モジュール名:"))]), 2);
            EXPECT_EQ(Tabs(lines[static_cast<std::size_t>(LineOf(lines, "最大サンプリングレート:200.00KHz"))]), 1);
            EXPECT_EQ(Tabs(lines[static_cast<std::size_t>(LineOf(lines, " セカンダリ MONO = OK  STEREO = OK"))]), 1);
        }
        ASSERT_EQ(ShutdownSoundSystem(), 0);
        CoUninitialize();
    }
}

TEST_F(SoundSystemTest, ThePrimaryFormatFollowsTheDeviceCapabilities)
{
    const struct {
        DWORD flags;
        DWORD maxRate;
        WORD channels, bits;
        DWORD rate;
    } cases[] = {
        {DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY16BIT, 22050, 2, 16, 22050},
        {DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY16BIT, 48000, 2, 16, 44100},
        {DSCAPS_PRIMARYMONO | DSCAPS_PRIMARY8BIT, 44100, 1, 8, 44100},
    };
    for (const auto& c : cases) {
        DSCAPS caps{};
        caps.dwFlags = c.flags;
        caps.dwMinSecondarySampleRate = 100;
        caps.dwMaxSecondarySampleRate = c.maxRate;
        caps.dwTotalHwMemBytes = 1048576;
        SetSoundDeviceCaps(&caps);
        StartAlone();
        ASSERT_EQ(StartupSoundSystem(), 0);
        WAVEFORMATEX f{};
        ASSERT_EQ(SoundState.PrimaryBuffer->GetFormat(&f, sizeof f, nullptr), DS_OK);
        EXPECT_EQ(f.nChannels, c.channels);
        EXPECT_EQ(f.wBitsPerSample, c.bits);
        EXPECT_EQ(f.nSamplesPerSec, c.rate);
        EXPECT_EQ(f.nBlockAlign, c.channels * c.bits / 8);
        EXPECT_TRUE(Contains(ReadLogFile(), "総サウンドメモリ領域:1024.00KB"));
        ASSERT_EQ(ShutdownSoundSystem(), 0);
        CoUninitialize();
    }
}

TEST_F(SoundSystemTest, AFailedStartLeavesEverySoundOperationRefused)
{
    StartAlone();
    SetSoundFault(SoundFault::Initialize, 0);
    EXPECT_EQ(StartupSoundSystem(), -1);
    EXPECT_EQ(SoundState.DirectSound, nullptr);
    EXPECT_TRUE(Contains(ReadLogFile(), "初期化に失敗しました"));
    EXPECT_EQ(ShutdownSoundSystem(), -1);
    EXPECT_EQ(DeleteAllSounds(), -1);
    EXPECT_EQ(LoadSoundFile("none.wav", 3, -1), -1);
    ClearSoundFaults();

    // A silent buffer that cannot be made only costs its log line.
    SetSoundFault(SoundFault::CreateBuffer, 0);
    EXPECT_EQ(StartupSoundSystem(), 0);
    EXPECT_EQ(SoundState.SilentBuffer, nullptr);
    EXPECT_TRUE(LogHasLine("無音バッファの作成に失敗しました"));
}

} // namespace
