#include "core/api.h"
#include "core/imageforwarders.h"
#include "core/menu.h"
#include "core/msgloop.h"
#include "core/sysstate.h"
#include "core/windowmode.h"
#include "core/winproc.h"
#include "graphics/drawstate.h"
#include "graphics/image/graphimage.h"
#include "graphics/screen.h"
#include "platform/display/display.h"
#include "platform/window/window.h"
#include "support/library_fixture.h"

#include <SDL_keycode.h>
#include <gtest/gtest.h>

namespace {

class WindowModeTest : public StartedLibraryTest<640, 480> {
protected:
    void TearDown() override
    {
        SysState.ModeChangeAllowed = 0;
        SimulateCursorPos(nullptr);
        StartedLibraryTest::TearDown();
    }
    // One back-screen pixel, from its software image or its surface.
    static DWORD BackPixel(int x, int y)
    {
        const MEMIMG& image = ScreenState.BackImage;
        if (IsMemImgAlive(&image) != 0) {
            return *reinterpret_cast<const DWORD*>(image.Pixels + y * image.Body->Pitch + x * 4) & 0xFFFFFF;
        }
        if (ScreenState.BackSurface == nullptr) return 0;
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (ScreenState.BackSurface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return 0;
        const DWORD v = *reinterpret_cast<DWORD*>(static_cast<BYTE*>(desc.lpSurface) + y * desc.lPitch + x * 4);
        ScreenState.BackSurface->Unlock(nullptr);
        return v & 0xFFFFFF;
    }
};

} // namespace

TEST_F(WindowModeTest, FullScreenAndBackKeepTheBackScreenAndFollowTheSdlWindowAndCursor)
{
    DrawCircleShape(100, 100, 20, GetColorValue(255, 0, 0), 1);
    ASSERT_EQ(BackPixel(100, 100), 0xFF0000u);
    EXPECT_GE(GetCursorDisplayCount(), 0);
    EXPECT_FALSE(IsWindowFullScreen(window));

    ASSERT_EQ(SelectWindowMode(0), 0);
    EXPECT_TRUE(IsWindowFullScreen(window));
    EXPECT_EQ(SysState.DisplayChangeFlag, 1);
    EXPECT_EQ(BackPixel(100, 100), 0xFF0000u);
    EXPECT_LT(GetCursorDisplayCount(), 0);
    EXPECT_EQ(SysState.CursorVisible, 0);
    RECT client{};
    GetClientAreaRect(&client);
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.right, 640);

    ASSERT_EQ(SelectWindowMode(1), 0);
    EXPECT_FALSE(IsWindowFullScreen(window));
    EXPECT_EQ(BackPixel(100, 100), 0xFF0000u);
    EXPECT_GE(GetCursorDisplayCount(), 0);
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
}

TEST_F(WindowModeTest, AltEnterSwitchesOnlyWhenModeChangesAreAllowed)
{
    const auto altEnter = [this] {
        SimulateSdlKey(window, SDLK_RETURN, KMOD_LALT, true);
        SimulateSdlKey(window, SDLK_RETURN, KMOD_LALT, false);
        PumpMessages();
        PumpMessages();
    };
    altEnter();
    EXPECT_EQ(SysState.WindowModeFlag, 1);

    SysState.ModeChangeAllowed = 1;
    altEnter();
    EXPECT_EQ(SysState.WindowModeFlag, 0);
    EXPECT_TRUE(IsWindowFullScreen(window));
}

TEST_F(WindowModeTest, ASwitchWhoseDisplayChangeNeverComesEndsAfterATimeOut)
{
    SetDisplayChangeListener(nullptr);
    EXPECT_EQ(ChangeWindowMode(0), 0);
    EXPECT_EQ(SysState.DisplayChangeFlag, 0);
    EXPECT_EQ(SysState.ModeChangeInProgress, 0);
    EXPECT_EQ(SysState.WindowModeFlag, 0);
}

TEST_F(WindowModeTest, CursorPositionIsScaledInAWindowAndPlainInFullScreen)
{
    SysState.WindowScale = 2.0;
    const RECT c = SysState.WindowClientRect;
    const POINT p{c.left + 100, c.top + 41};
    SimulateCursorPos(&p);
    int x = -1;
    int y = -1;
    ReadCursorClientPos(&x, &y);
    EXPECT_EQ(x, 50);
    EXPECT_EQ(y, 20);
    ReadCursorClientPos(nullptr, nullptr);

    SysState.WindowScale = 1.0;
    ASSERT_EQ(SelectWindowMode(0), 0);
    const POINT q{300, 7};
    SimulateCursorPos(&q);
    ReadCursorClientPos(&x, &y);
    EXPECT_EQ(x, 300);
    EXPECT_EQ(y, 7);
}

TEST_F(WindowModeTest, FittingUsesScaleOrUserSizeAndMovesFollowTheClientArea)
{
    SysState.WindowScale = 0.5;
    FitWindowToScreen();
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 240);

    SysState.WindowScale = 1.0;
    SysState.UserSizeFlag = 1;
    SysState.UserWidth = 800;  // limited to the scaled screen
    SysState.UserHeight = 200;
    FitWindowToScreen();
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 200);
    SysState.UserSizeFlag = 0;

    // A move of the window takes the client area and the front screen's
    // drawing rectangle with it.
    SelectDrawTarget(-4);
    SendMessageA(window, WM_MOVE, 0, MakeLParam(-30, 12));
    EXPECT_EQ(SysState.WindowClientRect.left, -30);
    EXPECT_EQ(SysState.WindowClientRect.top, 12);
    EXPECT_EQ(SysState.WindowClientRect.right, -30 + 640);
}

TEST_F(WindowModeTest, AWindowCentredOffTheDesktopIsShiftedOntoIt)
{
    SysState.DesktopWidth = 300;  // smaller than the window: centring puts it left of 0
    SysState.DesktopHeight = 200;
    ApplyWindowStyle();
    EXPECT_EQ(SysState.WindowClientRect.left, 0);
    EXPECT_EQ(SysState.WindowClientRect.top, 0);
}

TEST_F(WindowModeTest, SizingKeepsTheScreensShapeAndMovingInFullScreenStaysPut)
{
    RECT frame{};
    RECT client{};
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    const int fw = (frame.right - frame.left) - client.right;
    const int fh = (frame.bottom - frame.top) - client.bottom;
    struct Case {
        WPARAM edge;
        int w, h;
        int wantW, wantH;
    };
    const Case cases[] = {
        {2, 320, 100, 320, 240},   // right edge: height follows
        {6, 100, 120, 160, 120},   // bottom edge: width follows
        {8, 400, 100, 400, 300},   // corner, wider: height follows
        {8, 100, 300, 400, 300},   // corner, taller: width follows
    };
    for (const Case& c : cases) {
        RECT r{10, 10, 10 + c.w + fw, 10 + c.h + fh};
        SendMessageA(window, WM_SIZING, c.edge, reinterpret_cast<LPARAM>(&r));
        EXPECT_EQ(r.right - r.left - fw, c.wantW) << c.edge;
        EXPECT_EQ(r.bottom - r.top - fh, c.wantH) << c.edge;
    }
    EXPECT_DOUBLE_EQ(SysState.WindowScale, 400.0 / 640.0);
    SysState.WindowScale = 1.0;

    ASSERT_EQ(SelectWindowMode(0), 0);
    RECT r{50, 50, 60, 60};
    SendMessageA(window, WM_MOVING, 0, reinterpret_cast<LPARAM>(&r));
    GetWindowRect(window, &frame);
    EXPECT_EQ(r.left, frame.left);
    EXPECT_EQ(r.right, frame.right);
}

TEST_F(WindowModeTest, AnInactiveWindowShowsTheInactiveImageStretchedAndKeepsTheBackScreen)
{
    EXPECT_EQ(RedrawInactiveWindow(nullptr), -1);  // no inactive image set

    ASSERT_EQ(MakeXrgbGraphImage(8, 8, &InactiveImage), 0);
    for (int y = 0; y < 8; ++y) {
        auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(InactiveImage.Pixels) + y * InactiveImage.Pitch);
        for (int x = 0; x < 8; ++x) row[x] = 0x0000FF;
    }
    SysState.InactiveImageFlag = 1;
    SysState.InactiveImageGraph = -1;
    DrawCircleShape(100, 100, 20, GetColorValue(255, 0, 0), 1);

    SimulateFocusChange(window, false);
    int width = 0;
    int height = 0;
    const std::uint32_t* shown = GetLastPresentedPixels(&width, &height);
    ASSERT_EQ(width, 640);
    EXPECT_EQ(shown[0] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(shown[479 * width + 639] & 0xFFFFFF, 0x0000FFu);  // stretched over the screen
    EXPECT_EQ(BackPixel(100, 100), 0xFF0000u);
    EXPECT_EQ(BackPixel(0, 0), 0u);
    EXPECT_EQ(SysState.AlwaysRun, 0);
    EXPECT_EQ(GetCurrentDrawTarget(), -2);

    SimulateFocusChange(window, true);
    SysState.InactiveImageFlag = 0;
    DiscardGraphImage(&InactiveImage);
}

namespace {

// A plain window and no screen services: what a program without the screen
// layer has.
class WindowModeWithoutScreenTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        installed = InstallWindowModeScreen({});
        window = StandInMainWindow("ModeTestClass", DefWindowProcA);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        InstallWindowModeScreen(installed);
        DestroyWindow(window);
        SysState = SYSSTATE{};
        LibraryTest::TearDown();
    }
    WINDOWMODESCREEN installed{};
    HWND window = nullptr;
};

} // namespace

TEST_F(WindowModeWithoutScreenTest, SwitchAndMoveRunAndTheScreenReadsAsSixFortyByFourEighty)
{
    EXPECT_EQ(ChangeWindowMode(0), 0);
    EXPECT_EQ(SysState.WindowModeFlag, 0);
    const RECT full = SysState.WindowClientRect;
    EXPECT_EQ(full.right - full.left, 640);
    EXPECT_EQ(full.bottom - full.top, 480);
    EXPECT_EQ(HandleWindowMove((20 << 16) | 10), 0);
    EXPECT_EQ(SysState.WindowClientRect.left, 10);
    EXPECT_EQ(UpdateMenuAutoShow(), 0);
}
