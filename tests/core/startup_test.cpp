#include "core/api.h"
#include "core/apilock.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/startup.h"
#include "core/sysstate.h"
#include "support/library_fixture.h"
#include "platform/com/com.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/file.h"
#include "platform/kernel/system.h"
#include "platform/window/window.h"
#include "platform/winmm/timer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class StartupTest : public LibraryTest {
protected:
    void TearDown() override
    {
        EndLibrary();
        SetWindowCreationFailure(false);
        SetCoInitializeFailure(false);
        SetDesktopBitsForTest(0);
        SetCpuidStub(nullptr);
        LibraryTest::TearDown();
    }
};

// Index of the first log line (stamp removed) that holds `text`, or -1.
int LineOf(const std::vector<std::string>& lines, const std::string& text)
{
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (Contains(lines[i], text)) return static_cast<int>(i);
    return -1;
}

} // namespace

TEST_F(StartupTest, StartsInOrderAndEndsWithTheLeakReportLast)
{
    ASSERT_EQ(StartLibrary(), 0);
    EXPECT_EQ(SysState.InitializeFlag, 1);
    EXPECT_EQ(SysState.StartupFlag, 0);
    EXPECT_EQ(SysState.ComInitFlag, 1);
    EXPECT_NE(SysState.MainWindow, nullptr);
    EXPECT_EQ(SysState.OSCode, 0x108);
    EXPECT_STREQ(SysState.OSText, "WindowsVista ( Build 7601  )");
    EXPECT_EQ(StartLibrary(), 0);  // already started

    ASSERT_EQ(EndLibrary(), 0);
    EXPECT_EQ(SysState.InitializeFlag, 0);
    EXPECT_EQ(SysState.MainWindow, nullptr);
    EXPECT_EQ(SysState.EndingState, 1);
    EXPECT_EQ(ApiLock.CreatedFlag, 0);
    EXPECT_EQ(GetComInitCount(), 0);

    const auto lines = LogLinesWithoutStamps();
    const int report = LineOf(lines, "システムの情報を出力します");
    const int version = LineOf(lines, "\tＺＡＲＶＯ Ver0.1.0");
    const int com = LineOf(lines, "ＣＯＭの初期化... 成功しました");
    const int timer = LineOf(lines, "タイマーの精度を検査します");
    const int window = LineOf(lines, "ウインドウの作成に成功しました");
    const int close = LineOf(lines, "ウインドウを閉じようとしています");
    const int comEnd = LineOf(lines, "ＣＯＭを終了... 完了");
    const int dump = LineOf(lines, "Alloc memory dump");
    EXPECT_TRUE(report >= 0 && report < version && version < com && com < timer && timer < window &&
                window < close && close < comEnd && comEnd < dump)
        << report << " " << version << " " << com << " " << timer << " " << window << " " << close << " "
        << comEnd << " " << dump;
    EXPECT_EQ(lines[dump + 1], "\tTotal size:0(0.000kb)  Alloc num:0");
    EXPECT_EQ(lines.back(), "");  // the report's closing line feed ends the file
}

TEST_F(StartupTest, ProcessorLevelsFollowTheFeatureFlags)
{
    struct Case {
        DWORD edx;
        int mmx, sse, sse2;
        const char* lastLine;
    } cases[] = {
        {1u << 23, 1, 0, 0, "ＭＭＸ命令を使用します"},
        {(1u << 23) | (1u << 26), 1, 0, 0, "ＭＭＸ命令を使用します"},  // SSE2 without SSE
        {(1u << 23) | (1u << 25) | (1u << 26), 1, 1, 1, "ＳＳＥ２命令が使用可能です"},
        {0, 0, 0, 0, "ＭＭＸは使えません"},
    };
    GetCurrentDirectoryA(sizeof SysState.StartDirectory, SysState.StartDirectory);
    for (const Case& c : cases) {
        CPUIDSTUB stub{true, "VendorTest12", c.edx | (1u << 4), 0x80000004u, "Test Processor", 3000};
        SetCpuidStub(&stub);
        SysState.SSEFlag = SysState.SSE2Flag = 0;
        CreateLogFile();
        WriteSystemReport();
        EXPECT_EQ(SysState.MMXFlag, c.mmx);
        EXPECT_EQ(SysState.SSEFlag, c.sse);
        EXPECT_EQ(SysState.SSE2Flag, c.sse2);
        // 3000 counts per microsecond over at least 100 ms of the clock.
        EXPECT_GE(SysState.CPUSpeed, 3000u);
        EXPECT_LT(SysState.CPUSpeed, 3100u);
        EXPECT_STREQ(SysState.CPUName, "Test Processor");
        const std::string log = ReadLogFile();
        EXPECT_TRUE(Contains(log, std::string(c.lastLine) + "\r\n")) << c.edx;
        EXPECT_TRUE(Contains(log, "\tＣＰＵベンダ：VendorTest12\r\n"));
        EXPECT_TRUE(Contains(log, "\tＣＰＵ動作速度：大体3.0"));
    }
    CPUIDSTUB none{false, "", 0, 0, "", 0};
    SetCpuidStub(&none);
    CreateLogFile();
    WriteSystemReport();
    EXPECT_EQ(SysState.MMXFlag, 0);
    EXPECT_EQ(SysState.TSCFlag, 0);
    EXPECT_TRUE(Contains(ReadLogFile(), "ＣＰＵＩＤ命令は使えません\r\n"));
    EXPECT_EQ(SysState.LogIndent, 0);
}

TEST_F(StartupTest, RefusesATwentyFourBitDesktopInAWindow)
{
    SetDesktopBitsForTest(24);
    EXPECT_EQ(StartLibrary(), -1);
    EXPECT_EQ(SysState.StartupFlag, 0);
    EXPECT_EQ(SysState.InitializeFlag, 0);
    EXPECT_EQ(SysState.ComInitFlag, 0);
    const auto lines = LogLinesWithoutStamps();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "ＺＡＲＶＯは２４ビットカラーモードに対応していません");

    // Full screen on a 24-bit desktop passes.
    SysState.WindowModeFlag = 0;
    EXPECT_EQ(StartLibrary(), 0);
}

TEST_F(StartupTest, FailedStartUpUndoesItsStepsSoTheNextOneSucceeds)
{
    SetWindowCreationFailure(true);
    EXPECT_EQ(StartLibrary(), -1);
    EXPECT_EQ(SysState.StartupFlag, 0);
    EXPECT_EQ(SysState.InitializeFlag, 0);
    EXPECT_EQ(SysState.ComInitFlag, 0);
    EXPECT_EQ(GetComInitCount(), 0);
    EXPECT_TRUE(Contains(ReadLogFile(), "ウインドウの作成に失敗しました\r\n"));
    EXPECT_FALSE(Contains(ReadLogFile(), "Alloc memory dump"));  // the shutdown did nothing

    SetWindowCreationFailure(false);
    EXPECT_EQ(StartLibrary(), 0);
    EXPECT_NE(SysState.MainWindow, nullptr);
}

TEST_F(StartupTest, ComFailureIsLoggedAndAnsweredWithMinusOne)
{
    SetCoInitializeFailure(true);
    EXPECT_EQ(StartLibrary(), -1);
    EXPECT_TRUE(Contains(ReadLogFile(), "ＣＯＭの初期化... ＣＯＭの初期化に失敗しました\r\n"));
    EXPECT_EQ(SysState.MainWindow, nullptr);
    SetCoInitializeFailure(false);
    EXPECT_EQ(StartLibrary(), 0);
}

TEST_F(StartupTest, SecondInstanceIsRefused)
{
    // A window of the library's class already exists.
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "D123987X";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND first = CreateWindowExA(0, "D123987X", "first", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(StartLibrary(), -1);
    EXPECT_TRUE(Contains(ReadLogFile(), "ソフトの二重起動検査... 二重起動されています、ソフトを終了します\r\n"));
    EXPECT_EQ(SysState.QuitFlag, 1);
    DestroyWindow(first);
    UnregisterClassA("D123987X", nullptr);
}

TEST_F(StartupTest, ShutdownWhileNotStartedWritesNothing)
{
    GetCurrentDirectoryA(sizeof SysState.StartDirectory, SysState.StartDirectory);
    CreateLogFile();
    EXPECT_EQ(RunShutdownSequence(), 0);
    EXPECT_EQ(ReadLogFile(), "");
}

TEST_F(StartupTest, TimerPeriodIsRaisedTwiceAndLoweredOnce)
{
    const int before = GetTimerPeriodRaiseCount();
    ASSERT_EQ(StartLibrary(), 0);
    EXPECT_EQ(GetTimerPeriodRaiseCount(), before + 2);
    EndLibrary();
    EXPECT_EQ(GetTimerPeriodRaiseCount(), before + 1);
}

using FatalExitDeathTest = StartupTest;

TEST_F(FatalExitDeathTest, LogsRunsTheShutdownAndEndsWithMinusOne)
{
    EXPECT_EXIT(
        {
            if (StartLibrary() == 0) ExitWithFatalErrorFormat("致命的な失敗 %d", 7);
        },
        testing::ExitedWithCode(255), "");
    const auto lines = LogLinesWithoutStamps();
    const int fatal = LineOf(lines, "致命的な失敗 7");
    const int close = LineOf(lines, "ウインドウを閉じようとしています");
    const int dump = LineOf(lines, "Alloc memory dump");
    EXPECT_GE(fatal, 0);
    EXPECT_LT(fatal, close);
    EXPECT_LT(close, dump);
}

TEST_F(FatalExitDeathTest, BeforeStartUpOnlyLogsAndExits)
{
    EXPECT_EXIT(
        {
            GetCurrentDirectoryA(sizeof SysState.StartDirectory, SysState.StartDirectory);
            CreateLogFile();
            ExitWithFatalError("早すぎる失敗");
        },
        testing::ExitedWithCode(255), "");
    EXPECT_EQ(LogLinesWithoutStamps()[0], "早すぎる失敗");
    EXPECT_FALSE(Contains(ReadLogFile(), "Alloc memory dump"));
}

using NoDisplayDeathTest = StartupTest;

// Without a reachable display SDL would fall back to its headless driver and
// the program would run unseen; only an asked-for headless driver is taken.
TEST_F(NoDisplayDeathTest, StartWithoutADisplayFailsUnlessHeadlessWasAskedFor)
{
    // A process of its own: this one has its video up already.
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("SDL_VIDEODRIVER");
            unsetenv("WAYLAND_DISPLAY");
            setenv("DISPLAY", ":31999", 1);
            const int started = StartLibrary();
            const bool logged = Contains(ReadLogFile(), "ウインドウの作成に失敗しました") &&
                                Contains(CapturedDebugOutput(), "No display could be opened");
            std::error_code ec;
            if (const char* dir = std::getenv("ZARVO_TEST_DIR")) std::filesystem::remove_all(dir, ec);
            std::_Exit(started == -1 && logged ? 3 : 4);
        },
        testing::ExitedWithCode(3), "");
    GTEST_FLAG_SET(death_test_style, style);
}
