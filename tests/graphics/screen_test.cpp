// The screen layer end to end on the manual clock: start with the software
// fall-back and its log, paced presents of the cleared back screen, the
// mode-change spacing, windowed and full-screen switching, the measurements
// of a DirectDraw-surface screen and its recovery from lost surfaces.
#include <gtest/gtest.h>

#include "core/api.h"
#include "core/log.h"
#include "core/mainwindow.h"
#include "core/startup.h"
#include "core/sysstate.h"
#include "core/windowmode.h"
#include "graphics/drawstate.h"
#include "graphics/screen.h"
#include "platform/com/com.h"
#include "platform/ddraw/ddraw_test.h"
#include "platform/dinput/input_hook.h"
#include "platform/display/display.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/file.h"
#include "platform/window/window.h"
#include "platform/winmm/timer.h"
#include "support/library_fixture.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Log lines without their time stamps, indentation kept.
std::vector<std::string> ReadLogLines()
{
    std::ifstream in("Log.txt", std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    std::vector<std::string> lines;
    std::string line;
    std::istringstream text(all.str());
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && colon > 0 && line.find_first_not_of("0123456789") == colon) {
            line = line.substr(colon + 1);
        }
        lines.push_back(line);
    }
    return lines;
}

// Index of the first line at or after `from` equal to `wanted`, or -1.
int FindLine(const std::vector<std::string>& lines, const std::string& wanted, int from = 0)
{
    for (int i = from; i < static_cast<int>(lines.size()); ++i) {
        if (lines[i] == wanted) return i;
    }
    return -1;
}

bool LogContains(const std::string& part)
{
    for (const std::string& line : ReadLogLines()) {
        if (line.find(part) != std::string::npos) return true;
    }
    return false;
}

// Every pixel of the last picture shown, or a mismatch count.
int CountPixelsOtherThan(std::uint32_t rgb, int* width, int* height)
{
    const std::uint32_t* pixels = GetLastPresentedPixels(width, height);
    int other = 0;
    for (int i = 0; i < *width * *height; ++i) other += (pixels[i] & 0xFFFFFF) != rgb ? 1 : 0;
    return other;
}

void ExpectArea(int x1, int y1, int x2, int y2)
{
    int a[4];
    ReadDrawArea(a);
    EXPECT_EQ(a[0], x1);
    EXPECT_EQ(a[1], y1);
    EXPECT_EQ(a[2], x2);
    EXPECT_EQ(a[3], y2);
}

class LibraryScreen : public testing::Test {
protected:
    void SetUp() override
    {
        ResetLibraryProcessState();
        UseManualClock(100000, 20);
        SysState.DoubleStartAllowed = 1;  // tests run side by side
        SysState.BackgroundColorFlag = 1;
        SysState.BackgroundRed = 10;
        SysState.BackgroundGreen = 200;
        SysState.BackgroundBlue = 30;
        SetScreenMode(640, 480, 32, 60);
        SelectWindowMode(1);
        ASSERT_EQ(StartLibrary(), 0);
        SelectDrawTarget(-2);
    }

    void TearDown() override
    {
        EndLibrary();
        UseRealClock();
    }
};

TEST_F(LibraryScreen, StartLogsTheScreenStepsInOrderAndFallsBackToSoftwareOnce)
{
    EndLibrary();
    EXPECT_EQ(GetLiveDirectDrawSurfaceCount(), 0);
    const std::vector<std::string> lines = ReadLogLines();
    const char* expected[] = {
        "DirectDraw 関連の初期化を行います",
        "\tDirectDraw オブジェクトの取得を行います....  成功",
        "\t画面モード変更処理を開始します",
        "\t\t画面モードの変更処理を開始します 640 x 480  32 bit ",
        "\t\t\tウインドウモードにします",
        "\t\t出力画面用の DirectDrawSurface を作成します",
        "\t\tDirect3Dオブジェクトの作成に失敗しました",
        "DirectDraw 関連の終了処理は正常に終了しました",
        "ソフトウエアレンダリングモードに変更します",
        "DirectDraw 関連の初期化を行います",
        "\t\t\t\tPrimaryBuffer : SYSTEMMEMORY( MEMIMG ) ",
        "\t\tグラフィック管理系の初期化を行います",
        "\t\t画面モード変更処理は正常に終了しました",
        "DirectDraw 関連の初期化は正常に終了しました",
        "DirectDraw 関連の終了処理をおこないます",
        "\tグラフィック管理系の終了処理は正常に終了しました",
        "DirectDraw 関連の終了処理は正常に終了しました",
    };
    int at = 0;
    for (const char* line : expected) {
        const int found = FindLine(lines, line, at);
        ASSERT_GE(found, 0) << "missing or out of order: " << line;
        at = found + 1;
    }
    int fallbacks = 0;
    for (const std::string& line : lines) fallbacks += line == "ソフトウエアレンダリングモードに変更します" ? 1 : 0;
    EXPECT_EQ(fallbacks, 1);
}

TEST_F(LibraryScreen, ClearedFramesReachTheWindowInTheBackgroundColour)
{
    EXPECT_EQ(ScreenState.GdiOnly, 1);
    EXPECT_EQ(EraseScreen(), 0);
    EXPECT_EQ(PresentScreen(), 0);
    int width = 0;
    int height = 0;
    EXPECT_EQ(CountPixelsOtherThan(0x0AC81E, &width, &height), 0);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
}

TEST_F(LibraryScreen, PresentsArePacedByTheSixtyHertzBlank)
{
    PresentScreen();
    const ULONGLONG start = ReadClockMicroseconds();
    const unsigned before = GetPresentCount();
    const ULONGLONG countBefore = GetFlipCounter();
    for (int i = 0; i < 60; ++i) {
        AdvanceManualClock(3000);  // a frame's drawing
        ASSERT_EQ(PresentScreen(), 0);
    }
    const ULONGLONG elapsed = ReadClockMicroseconds() - start;
    EXPECT_GE(elapsed, 59u * 16666u);
    EXPECT_LE(elapsed, 61u * 16667u);
    EXPECT_EQ(GetPresentCount() - before, 60u);
    EXPECT_EQ(GetFlipCounter() - countBefore, 60u);
}

TEST_F(LibraryScreen, ModeChangeSoonAfterAnotherWaitsUntil2060ms)
{
    AdvanceManualClock(5000000);
    ASSERT_EQ(SetScreenMode(640, 480, 16, -1), 0);
    const DWORD first = ScreenState.LastModeChangeTime;
    AdvanceManualClock(500000);
    ASSERT_EQ(SetScreenMode(640, 480, 32, -1), 0);
    const DWORD waited = ScreenState.LastModeChangeTime - first;
    EXPECT_GE(waited, 2060u);
    EXPECT_LT(waited, 2100u);
    EXPECT_EQ(ScreenState.BackImage.Width, 640);
    EXPECT_EQ(ScreenState.BackImage.Body->ColorFormat->BitsPerPixel, 32);
}

TEST_F(LibraryScreen, UnsupportedModeRequestsAreRefused)
{
    EXPECT_EQ(SetScreenMode(-1, -1, 24, -1), -1);
    EXPECT_EQ(SetScreenMode(0, 480, 32, -1), -1);
    int w = 0;
    int h = 0;
    int bits = 0;
    ReadScreenModeInfo(&w, &h, &bits);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(bits, 32);
}

TEST_F(LibraryScreen, FullScreenAndBackKeepTheScreenSizeAndFollowTheDisplay)
{
    SysState.DisplayChangeFlag = 0;
    ASSERT_EQ(SelectWindowMode(0), 0);
    EXPECT_EQ(IsWindowedMode(), 0);
    EXPECT_EQ(IsDisplayModeChanged(), 1);
    EXPECT_TRUE(IsVirtualDisplayModeChanged());
    const DisplayMode mode = GetVirtualDisplayMode();
    EXPECT_EQ(mode.width, 640);
    EXPECT_EQ(mode.height, 480);
    EXPECT_EQ(SysState.DisplayChangeFlag, 1);  // the window procedure saw the change
    EXPECT_EQ(ScreenState.BackImage.Width, 640);
    EXPECT_EQ(ScreenState.BackImage.Height, 480);
    EraseScreen();
    PresentScreen();
    int width = 0;
    int height = 0;
    EXPECT_EQ(CountPixelsOtherThan(0x0AC81E, &width, &height), 0);
    EXPECT_EQ(width, 640);

    AdvanceManualClock(3000000);
    ASSERT_EQ(SelectWindowMode(1), 0);
    EXPECT_FALSE(IsVirtualDisplayModeChanged());
    EXPECT_EQ(ScreenState.BackImage.Width, 640);
    EraseScreen();
    PresentScreen();
    EXPECT_EQ(CountPixelsOtherThan(0x0AC81E, &width, &height), 0);
    EXPECT_EQ(height, 480);
}

TEST_F(LibraryScreen, PaintOfAPartRepaintsOnlyThatPart)
{
    EraseScreen();
    PresentScreen();
    // Mark the back screen, then repaint a 20 x 20 part of the client area.
    RECT all{0, 0, 640, 480};
    FillMemImgRectRaw(&ScreenState.BackImage, &all, 0x00FF0000);
    RECT part{10, 10, 30, 30};
    SetFlipVSyncWait(0);
    ASSERT_EQ(PresentBackScreen(&part), 0);
    int width = 0;
    int height = 0;
    EXPECT_EQ(CountPixelsOtherThan(0x0AC81E, &width, &height), 400);
    const std::uint32_t* pixels = GetLastPresentedPixels(&width, &height);
    EXPECT_EQ(pixels[10 * width + 10] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(pixels[29 * width + 29] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(pixels[0] & 0xFFFFFF, 0x0AC81Eu);
}

TEST_F(LibraryScreen, FrontImageRectanglesReachTheWindowRowForRow)
{
    SelectDrawTarget(-4);
    EraseScreen();  // flushes the whole front image
    RECT all{0, 0, 640, 480};
    FillMemImgRectRaw(&ScreenState.FrontImage, &all, 0x0000FF);
    RECT part{10, 20, 30, 40};
    ASSERT_EQ(FlushFrontMemImgRect(&part), 0);
    int width = 0;
    int height = 0;
    EXPECT_EQ(CountPixelsOtherThan(0x0AC81E, &width, &height), 400);
    const std::uint32_t* pixels = GetLastPresentedPixels(&width, &height);
    EXPECT_EQ(pixels[20 * width + 10] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(pixels[39 * width + 29] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(pixels[40 * width + 10] & 0xFFFFFF, 0x0AC81Eu);
    RECT outside{700, 0, 800, 10};
    EXPECT_EQ(FlushFrontMemImgRect(&outside), 0);
}

TEST_F(LibraryScreen, StaleFrontImageIsReadBackFromTheWindow)
{
    RECT all{0, 0, 640, 480};
    FillMemImgRectRaw(&ScreenState.FrontImage, &all, 0x123456);
    EraseScreen();
    PresentScreen();  // the window now shows the cleared back screen
    EXPECT_EQ(ScreenState.FrontImageStale, 1);
    ASSERT_EQ(RefreshFrontMemImg(), 0);
    EXPECT_EQ(ScreenState.FrontImageStale, 0);
    const auto* front = reinterpret_cast<const std::uint32_t*>(ScreenState.FrontImage.Pixels);
    const int stride = ScreenState.FrontImage.Body->Pitch / 4;
    EXPECT_EQ(front[0] & 0xFFFFFF, 0x0AC81Eu);
    EXPECT_EQ(front[479 * stride + 639] & 0xFFFFFF, 0x0AC81Eu);
}

TEST_F(LibraryScreen, PaintMessageShowsTheBackScreenWithoutWaiting)
{
    EraseScreen();
    RECT all{0, 0, 640, 480};
    FillMemImgRectRaw(&ScreenState.BackImage, &all, 0x00FF00);
    const ULONGLONG before = ReadClockMicroseconds();
    SendMessageA(SysState.MainWindow, WM_PAINT, 0, 0);
    EXPECT_LT(ReadClockMicroseconds() - before, 1000u);  // no vertical-blank wait
    EXPECT_EQ(GetFlipVSyncWait(), 1);
    int width = 0;
    int height = 0;
    EXPECT_EQ(CountPixelsOtherThan(0x00FF00, &width, &height), 0);
    EXPECT_EQ(width, 640);
}

TEST_F(LibraryScreen, ShowingTheGdiSurfaceKeepsTargetAndArea)
{
    StoreDrawArea(5, 6, 70, 80);
    EXPECT_EQ(ShowGDISurface(1), 0);
    EXPECT_EQ(IsGDISurfaceShown(), 1);
    EXPECT_EQ(GetCurrentDrawTarget(), -2);
    ExpectArea(5, 6, 70, 80);
    EXPECT_EQ(ShowGDISurface(0), 0);
    EXPECT_EQ(IsGDISurfaceShown(), 0);
    ExpectArea(5, 6, 70, 80);
}

// A screen of DirectDraw surfaces: started directly with the software-start
// request, which keeps Direct3D out without switching to GDI.
class SurfaceScreen : public testing::Test {
protected:
    void SetUp() override
    {
        ResetLibraryProcessState();
        UseManualClock(100000, 20);
        SysState.DoubleStartAllowed = 1;  // tests run side by side
        SysState.WindowModeFlag = 1;
        GetCurrentDirectoryA(sizeof SysState.StartDirectory, SysState.StartDirectory);
        CreateLogFile();
        ASSERT_EQ(InitializeCom(), 0);
        ASSERT_EQ(CreateMainWindow(), 0);
        SysState.StartupFlag = 1;
        ApplyScreenMode(640, 480, 32, -1);
        StoreSoftwareStartRequest(1);
        ASSERT_EQ(StartScreenSystem(SysState.MainWindow), 0);
        SwitchDrawTarget(-2);
    }

    void TearDown() override
    {
        EndScreenSystem();
        CloseMainWindow();
        CoUninitialize();
        UseRealClock();
    }
};

TEST_F(SurfaceScreen, RebuildMeasuresFrameTimeAndCopyMethod)
{
    EXPECT_EQ(ScreenState.GdiOnly, 0);
    ASSERT_NE(ScreenState.PrimarySurface, nullptr);
    EXPECT_TRUE(ScreenState.FrameTime == 16 || ScreenState.FrameTime == 17) << ScreenState.FrameTime;
    EXPECT_EQ(ScreenState.VSyncWaitLimit, (2 * ScreenState.FrameTime - 4) / 3);
    EXPECT_EQ(ScreenState.MeasuredRefresh, 60);
    EXPECT_TRUE(ScreenState.CopyMethod == 0 || ScreenState.CopyMethod == 1);
    EXPECT_TRUE(LogContains("サーフェス間転送には "));
    EXPECT_TRUE(LogContains("１フレーム当たりの時間は "));
}

TEST_F(SurfaceScreen, LostSurfacesAreRestoredByTheNextPresent)
{
    EraseScreen();
    MarkAllDirectDrawSurfacesLost();
    ASSERT_EQ(ScreenState.PrimarySurface->IsLost(), DDERR_SURFACELOST);
    // The display went to another program: the window is inactive until a
    // timer brings it back while the present waits.
    SimulateFocusChange(SysState.MainWindow, false);
    ASSERT_EQ(SysState.ActiveFlag, 0);
    SetTimer(SysState.MainWindow, 77, 10, [](HWND window, UINT, std::uintptr_t id, DWORD) {
        KillTimer(window, id);
        SimulateFocusChange(window, true);
    });
    EXPECT_EQ(FlipScreenBuffers(), 0);
    EXPECT_EQ(ScreenState.PrimarySurface->IsLost(), DD_OK);
    EXPECT_EQ(ScreenState.BackSurface->IsLost(), DD_OK);
    EraseScreen();
    EXPECT_EQ(FlipScreenBuffers(), 0);
    int width = 0;
    int height = 0;
    EXPECT_EQ(CountPixelsOtherThan(0, &width, &height), 0);
    EXPECT_EQ(width, 640);
}

TEST_F(SurfaceScreen, EndReleasesEverySurface)
{
    EXPECT_GT(GetLiveDirectDrawSurfaceCount(), 0);
    EndScreenSystem();
    EXPECT_EQ(GetLiveDirectDrawSurfaceCount(), 0);
    EXPECT_EQ(GetDirectDrawInterface(), nullptr);
}

TEST_F(SurfaceScreen, SoftwareImagesArePresentedThroughTheBackSurface)
{
    // The back image lives in the locked back surface when the requested
    // depth is the screen's; otherwise it is converted at each present.
    for (int requested : {32, 16}) {
        SwitchDrawTarget(-4);
        ReleaseOutputSurfaces();
        ScreenState.SoftwareRendering = 1;
        ScreenState.RequestedColorBits = requested;
        ASSERT_EQ(CreateOutputSurfaces(), 0);
        EXPECT_EQ(ScreenState.BackImage.Body->ExternalPixels, requested == 32 ? 1 : 0);
        SwitchDrawTarget(-2);
        EraseScreen();
        RECT corner{0, 0, 10, 10};
        FillMemImgRectRaw(&ScreenState.BackImage, &corner, requested == 32 ? 0xFF0000u : 0xF800u);
        ASSERT_EQ(FlipScreenBuffers(), 0);
        int width = 0;
        int height = 0;
        const std::uint32_t* pixels = GetLastPresentedPixels(&width, &height);
        EXPECT_EQ(pixels[0] & 0xF8FCF8, 0xF80000u) << requested;  // red at 5:6:5 precision
        EXPECT_EQ(pixels[20 * width + 20] & 0xFFFFFF, 0u) << requested;
        EXPECT_EQ(ScreenState.FrontImageStale, 1);
        EXPECT_EQ(ScreenState.BackImage.Body->ExternalPixels, requested == 32 ? 1 : 0);  // locked again
        ScreenState.RequestedColorBits = 32;
    }
}

TEST_F(SurfaceScreen, FullScreenFlipsAndWindowedModeGetsTheDesktopBack)
{
    AdvanceManualClock(3000000);
    ASSERT_EQ(ChangeWindowMode(0), 0);
    EXPECT_EQ(IsDisplayModeChanged(), 1);
    EXPECT_EQ(GetVirtualDisplayMode().width, 640);
    EXPECT_EQ(SysState.DisplayChangeFlag, 1);
    EXPECT_EQ(ScreenState.CooperativeFlags & DDSCL_EXCLUSIVE, DDSCL_EXCLUSIVE);
    SwitchDrawTarget(-2);
    EraseScreen();
    RECT corner{0, 0, 4, 4};
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x00FF00;
    ScreenState.BackSurface->Blt(&corner, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    ASSERT_EQ(FlipScreenBuffers(), 0);
    int width = 0;
    int height = 0;
    EXPECT_EQ(CountPixelsOtherThan(0, &width, &height), 16);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);

    AdvanceManualClock(3000000);
    ASSERT_EQ(ChangeWindowMode(1), 0);
    EXPECT_FALSE(IsVirtualDisplayModeChanged());
    EXPECT_EQ(IsDisplayModeChanged(), 0);
    EraseScreen();
    ASSERT_EQ(FlipScreenBuffers(), 0);
    EXPECT_EQ(CountPixelsOtherThan(0, &width, &height), 0);
    EXPECT_EQ(width, 640);
}

TEST_F(SurfaceScreen, FullScreenReactivationRebuildsTheLostScreen)
{
    AdvanceManualClock(3000000);
    ASSERT_EQ(ChangeWindowMode(0), 0);
    SwitchDrawTarget(-2);
    const int surfaces = GetLiveDirectDrawSurfaceCount();
    MarkAllDirectDrawSurfacesLost();
    SimulateFocusChange(SysState.MainWindow, false);
    SysState.InitializeFlag = 1;  // the rebuild runs only for a started library
    const auto released = [] {
        int n = 0;
        for (const std::string& line : ReadLogLines()) n += line.find("ＤｉｒｅｃｔＤｒａｗオブジェクトを解放しました") != std::string::npos;
        return n;
    };
    const int releasedBefore = released();
    SimulateFocusChange(SysState.MainWindow, true);
    SysState.InitializeFlag = 0;
    EXPECT_EQ(released(), releasedBefore + 1);  // the object was made anew
    EXPECT_NE(GetDirectDrawInterface(), nullptr);
    EXPECT_EQ(GetLiveDirectDrawSurfaceCount(), surfaces);
    EXPECT_EQ(ScreenState.PrimarySurface->IsLost(), DD_OK);
    EXPECT_EQ(IsDisplayModeChanged(), 1);
    EXPECT_EQ(GetCurrentDrawTarget(), -2);
    EraseScreen();
    ASSERT_EQ(FlipScreenBuffers(), 0);
    int width = 0;
    int height = 0;
    EXPECT_EQ(CountPixelsOtherThan(0, &width, &height), 0);
    EXPECT_EQ(width, 640);
}

using SurfaceScreenDeathTest = SurfaceScreen;

TEST_F(SurfaceScreenDeathTest, RebuildWithoutADirectDrawObjectEndsThroughTheFatalExit)
{
    EXPECT_EXIT(
        {
            RegisterComClass(CLSID_DirectDraw7, []() -> IUnknown* { return nullptr; });
            ApplyScreenMode(640, 480, 16, -1);
        },
        testing::ExitedWithCode(255), "");
    EXPECT_TRUE(LogContains("DirectDraw オブジェクトの作成処理時にエラーが発生しました"));
}

TEST_F(SurfaceScreenDeathTest, WindowedModeLargerThanTheDesktopEndsThroughTheFatalExit)
{
    EXPECT_EXIT(
        {
            int modeChanged = 0;
            SwitchDisplayMode(ScreenState.DirectDraw, 600, 400, 640, 480, 32, nullptr, nullptr, 1, &modeChanged,
                              SysState.MainWindow);
        },
        testing::ExitedWithCode(255), "");
    EXPECT_TRUE(LogContains("デスクトップ画面のサイズが足りません、ソフトを終了します"));
}

TEST(ScreenAccessors, OverlayFormatNeedsAScreenOfAtLeast640By400)
{
    ScreenState.OverlayFormat = 1;
    ScreenState.Width = 640;
    ScreenState.Height = 399;
    EXPECT_EQ(GetOverlayPixelFormat(), nullptr);
    ScreenState.Height = 400;
    ASSERT_NE(GetOverlayPixelFormat(), nullptr);
    EXPECT_EQ(GetOverlayPixelFormat()->dwFourCC, 0x32595559u);
    ScreenState.OverlayFormat = -1;
    EXPECT_EQ(GetOverlayPixelFormat(), nullptr);
    int w = 0;
    int h = 0;
    ScreenState.Width = 0;
    ScreenState.Height = 0;
    GetScreenPixelSize(&w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
}

TEST(FrameMeasurement, FrameTimeIsTheFirstTrialRepeatedLaterInThePass)
{
    const int repeated[] = {17, 16, 17, 16};
    EXPECT_EQ(FindRepeatedFrameTime(repeated, 4), 17);
    const int distinct[] = {16, 17, 18, 19};
    EXPECT_EQ(FindRepeatedFrameTime(distinct, 4), -1);
}

TEST(FrameMeasurement, RefreshRateRoundsFromTheAverageFrame)
{
    EXPECT_EQ(EstimateRefreshRate(16667ull * 4, 4), 60);
    EXPECT_EQ(EstimateRefreshRate(16700ull * 4, 4), 60);
    // A beam answering within a microsecond gives no rate instead of a
    // division by zero.
    EXPECT_EQ(EstimateRefreshRate(3, 4), -1);
    EXPECT_EQ(EstimateRefreshRate(0, 0), -1);
}

TEST(FrameMeasurement, ModeChangeSleepIsClamped)
{
    struct Case {
        DWORD previous;
        DWORD now;
        DWORD sleep;
    } cases[] = {
        {0, 500, 1560},
        {1000, 1000 + 1999, 61},
        {0, 2000, 60},
        {0xFFFFFF00u, 0x100u, 1548},  // across the clock's wrap
        {5000, 4000, 2060},           // a clock that went backwards
    };
    for (const Case& c : cases) EXPECT_EQ(ModeChangeThrottleSleep(c.previous, c.now), c.sleep) << c.now;
}

} // namespace

TEST_F(LibraryScreen, AClipperThatCannotBeMadeIsLoggedInFullWidth)
{
    IDirectDrawClipper* clipper = nullptr;
    EXPECT_EQ(CreateWindowClipper(nullptr, &clipper, nullptr), -1);
    EXPECT_EQ(clipper, nullptr);
    const std::vector<std::string> lines = ReadLogLines();
    EXPECT_GE(FindLine(lines, "ＤｉｒｅｃｔＤｒａｗＣｌｉｐｐｅｒオブジェクトの作成に失敗しました", 0), 0);
}

namespace {

// The detailed video-card report is made only while Shift is held.
TEST_F(LibraryScreen, VideoCardReportNeedsShiftHeld)
{
    struct Case {
        bool shift;
        const char* driver;
        DWORD total;
        DWORD available;
    };
    const Case cases[] = {{false, "", 16777216, 0}, {true, "zarvo-memory", 16u << 20, 16u << 20}};
    UseInjectedInput(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shift);
        InjectKey(225, c.shift);  // left Shift by its USB usage code
        std::snprintf(ScreenState.VideoDriver, sizeof ScreenState.VideoDriver, "stale");
        IDirectDraw7* dd = nullptr;
        ASSERT_EQ(AcquireDirectDrawObject(&dd), 0);
        dd->Release();
        EXPECT_STREQ(ScreenState.VideoDriver, c.driver);
        EXPECT_EQ(ScreenState.VideoDescription[0] != '\0', c.shift);
        EXPECT_EQ(ScreenState.VideoMemoryTotal, c.total);
        EXPECT_EQ(ScreenState.VideoMemoryFree, c.available);
        EXPECT_EQ(LogContains("ビデオカードドライバ:zarvo-memory バージョン:1.0.0.0 "), c.shift);
    }
    ReleaseInjectedKeys();
    UseInjectedInput(false);
}

// The present's blank wait pumps messages; a focus loss and return in full
// screen rebuild the lost screen with a new DirectDraw object inside it.
TEST(FullScreenPresent, FocusLossAndReturnDuringTheBlankWaitRebuildTheScreen)
{
    ASSERT_EQ(StartDrawingLibrary(640, 480, 16), 0);
    ASSERT_EQ(SysState.WindowModeFlag, 0);
    ASSERT_EQ(SelectDrawTarget(-4), 0);
    // The new object may take the freed one's address: the log tells the rebuild.
    ASSERT_FALSE(LogContains("グラフィックを復帰します"));
    QueueFocusChange(SysState.MainWindow, false);
    QueueFocusChange(SysState.MainWindow, true);
    EXPECT_EQ(PresentScreen(), 0);
    EXPECT_EQ(SysState.ActiveFlag, 1);
    EXPECT_NE(ScreenState.DirectDraw, nullptr);
    EXPECT_TRUE(LogContains("グラフィックを復帰します"));
    EXPECT_EQ(PresentScreen(), 0);
    EndDrawingLibrary();
}

} // namespace
