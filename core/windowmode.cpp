// Owns the window-mode switch, the per-mode window styles and the installed
// screen services; reads and writes the mode fields of SYSSTATE, calls the
// window layer, the menu, the message loop and those services.
#include "core/windowmode.h"

#include "core/inactivewait.h"
#include "core/log.h"
#include "core/menu.h"
#include "core/number.h"
#include "core/sysstate.h"
#include "platform/window/window.h"
#include "platform/winmm/timer.h"

const WINDOWSTYLES WindowStyleTable[8] = {
    {0x80CA0000u, 0x300, 0x80000000u, 0x8}, {0x80080000u, 0x300, 0x80000000u, 0x8},
    {0x80080000u, 0x0, 0x80000000u, 0x8},   {0x80CA0000u, 0x80, 0x80000000u, 0x8},
    {0x80080000u, 0x80, 0x80000000u, 0x8},  {0x80C80000u, 0x100, 0x0, 0x0},
    {0x80CA0000u, 0x300, 0x0, 0x0},         {0x80CB0000u, 0x0, 0x0, 0x0},
};

namespace {

constexpr DWORD kDisplayChangeWaitMs = 3000;

WINDOWMODESCREEN g_screen{};

void ReadScreenSize(int* width, int* height)
{
    if (g_screen.ScreenSize != nullptr) {
        g_screen.ScreenSize(width, height);
        return;
    }
    *width = 640;
    *height = 480;
}

void SetWindowedFlag(int flag)
{
    SysState.WindowModeFlag = flag;
    WriteLog(flag == 1 ? "ウインドウモードフラグが立てられました\n" : "ウインドウモードフラグが倒されました\n");
    AttachMenuForMode(flag);
}

bool ReadClientRectOnScreen()
{
    RECT client{};
    POINT origin{0, 0};
    if (!GetClientRect(SysState.MainWindow, &client) || !ClientToScreen(SysState.MainWindow, &origin)) return false;
    SysState.WindowClientRect = RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    return true;
}

void FinishStyleChange()
{
    SetForegroundWindow(SysState.MainWindow);
    PostMessageA(SysState.MainWindow, WM_SETCURSOR, reinterpret_cast<WPARAM>(SysState.MainWindow), 0);
}

} // namespace

WINDOWMODESCREEN InstallWindowModeScreen(const WINDOWMODESCREEN& screen)
{
    const WINDOWMODESCREEN previous = g_screen;
    g_screen = screen;
    return previous;
}

void ReshowGDISurfaceForMenu()
{
    if (g_screen.ReshowGDISurface != nullptr) g_screen.ReshowGDISurface();
}

int ChangeWindowMode(int windowed)
{
    SYSSTATE& s = SysState;
    const int flag = windowed != 0 ? 1 : 0;
    WriteLog("ChangeWindowMode実行 \n");
    if (flag == s.WindowModeFlag) return 0;
    s.WindowVisibleStyle = 1;
    s.DisplayChangeFlag = 0;
    SetWindowedFlag(flag);
    if (s.MainWindow == nullptr || s.UserWindowFlag == 1) return 0;
    s.ModeChangeInProgress = 1;
    ApplyWindowStyle();
    const int result = g_screen.RebuildKeepingBackScreen != nullptr ? g_screen.RebuildKeepingBackScreen() : 0;
    // A switch that leaves the display as it was brings no display change;
    // the wait for one ends after a while instead of never.
    const DWORD start = timeGetTime();
    while (PumpMessageLoop() == 0 && s.DisplayChangeFlag == 0 && timeGetTime() - start < kDisplayChangeWaitMs) {
    }
    s.ModeChangeInProgress = 0;
    return result;
}

int ApplyWindowStyle()
{
    SYSSTATE& s = SysState;
    if (s.MainWindow == nullptr || s.UserWindowFlag == 1) return 0;
    const WINDOWSTYLES& styles = WindowStyleTable[s.WindowStyle & 7];
    int width = 0;
    int height = 0;
    ReadScreenSize(&width, &height);
    if (s.WindowModeFlag == 1) {
        WriteLog("ウインドウスタイルをウインドウモード用に変更します... ");
        DWORD style = styles.Windowed;
        if (s.ModeChangeAllowed == 1) style += 0x10000;
        if (s.WindowVisibleStyle == 1) style += 0x10000000;
        if (s.Resizable == 1) style += 0x40000;
        SetWindowLongA(s.MainWindow, GWL_EXSTYLE, static_cast<LONG>(styles.WindowedEx));
        SetWindowLongA(s.MainWindow, GWL_STYLE, static_cast<LONG>(style));
        const double scale = GetWindowScale();
        RECT r{0, 0, TruncDoubleToInt(width * scale), TruncDoubleToInt(height * scale) + GetToolbarHeight()};
        if (s.UserSizeFlag == 1) r = RECT{0, 0, s.UserWidth, s.UserHeight};
        AdjustWindowRectEx(&r, style, FALSE, styles.WindowedEx);
        const int w = r.right - r.left;
        const int h = r.bottom - r.top;
        int x = (s.DesktopWidth - w) / 2;
        int y = (s.DesktopHeight - h) / 2;
        if (s.UserPosFlag == 1) {
            x = s.UserX;
            y = s.UserY;
        }
        SetWindowPos(s.MainWindow, nullptr, x, y, w, h, 0);
        ReadClientRectOnScreen();
        // The client area starts on the screen unless the user placed it.
        if (s.UserPosFlag != 1 && (s.WindowClientRect.left < 0 || s.WindowClientRect.top < 0)) {
            if (s.WindowClientRect.left < 0) x -= s.WindowClientRect.left;
            if (s.WindowClientRect.top < 0) y -= s.WindowClientRect.top;
            SetWindowPos(s.MainWindow, nullptr, x, y, w, h, 0);
            ReadClientRectOnScreen();
        }
        SetMouseCursorVisible(1);
        WriteLog("完了\n");
    } else {
        WriteLog("ウインドウスタイルをフルスクリーンモード用に変更します... ");
        SetWindowLongA(s.MainWindow, GWL_EXSTYLE, static_cast<LONG>(styles.FullScreenEx));
        SetWindowLongA(s.MainWindow, GWL_STYLE, static_cast<LONG>(styles.FullScreen));
        s.WindowClientRect = RECT{0, 0, width, height};
        ShowWindow(s.MainWindow, SW_SHOW);
        UpdateWindow(s.MainWindow);
        SetWindowPos(s.MainWindow, HWND_TOPMOST, 0, 0, width, height, SWP_NOREDRAW);
        SetMouseCursorVisible(0);
        WriteLog("完了\n");
    }
    FinishStyleChange();
    return 0;
}

int FitWindowToScreen()
{
    SYSSTATE& s = SysState;
    if (s.UserWindowFlag == 1 || s.MainWindow == nullptr) return 0;
    RECT windowRect{};
    RECT client{};
    if (!GetWindowRect(s.MainWindow, &windowRect) || !GetClientRect(s.MainWindow, &client)) return 0;
    int sw = 0;
    int sh = 0;
    ReadScreenSize(&sw, &sh);
    double scale = 1.0;
    if (s.WindowModeFlag == 1) {
        if (s.WindowScale <= 0.0) s.WindowScale = 1.0;
        scale = s.WindowScale;
    }
    const int limitW = TruncDoubleToInt(sw * scale);
    const int limitH = TruncDoubleToInt(sh * scale);
    int w = limitW;
    int h = limitH;
    if (s.UserSizeFlag == 1 || s.SizeByWindow == 1) {
        if (s.UserSizeFlag == 1) {
            w = s.UserWidth;
            h = s.UserHeight;
        } else {
            w = client.right;
            h = client.bottom - GetToolbarHeight();
        }
        if (w > limitW) w = limitW;
        if (h > limitH) h = limitH;
        if (s.UserSizeFlag == 1 && s.SizeByWindow == 1 && s.StartupFlag == 0) s.UserSizeFlag = 0;
    }
    const int frameW = (windowRect.right - windowRect.left) - client.right;
    const int frameH = (windowRect.bottom - windowRect.top) - client.bottom;
    int x = windowRect.left;
    int y = windowRect.top;
    if (s.UserPosFlag == 1) {
        x = s.UserX;
        y = s.UserY;
        if (s.StartupFlag == 0) s.UserPosFlag = 0;
    }
    MoveWindow(s.MainWindow, x, y, w + frameW, h + frameH + GetToolbarHeight(), TRUE);
    if (s.WindowModeFlag == 1) ReadClientRectOnScreen();
    if (s.WindowModeFlag == 1 && s.WindowVisibleStyle == 0) {
        s.WindowVisibleStyle = 1;
        ApplyWindowStyle();
    }
    return 0;
}

int HandleWindowMove(LPARAM lParam)
{
    SYSSTATE& s = SysState;
    if (s.UserWindowFlag == 1) return 0;
    RECT client{};
    if (!GetClientRect(s.MainWindow, &client)) return 0;
    const int x = static_cast<short>(LoWord(static_cast<std::uintptr_t>(lParam)));
    const int y = static_cast<short>(HiWord(static_cast<std::uintptr_t>(lParam)));
    s.WindowClientRect = RECT{x, y, x + client.right, y + client.bottom};
    if (g_screen.AimFrontAtClientRect != nullptr) g_screen.AimFrontAtClientRect(s.WindowClientRect, s.FrontDrawArea);
    return 0;
}

int GetClientAreaRect(RECT* rect)
{
    *rect = SysState.WindowClientRect;
    const int toolbar = GetToolbarHeight();
    rect->top += toolbar;
    rect->bottom += toolbar;
    return 0;
}

int SetMouseCursorVisible(int flag)
{
    SYSSTATE& s = SysState;
    s.CursorRequestVisible = flag;
    int visible = flag == 1 ? 1 : 0;
    if (visible == 0 && s.MainWindow != nullptr && s.MenuUse == 1 && MenuState.Hidden == 0 &&
        (s.MenuAlwaysShow == 1 || s.WindowModeFlag == 1 || MenuState.ShownByCursor == 1)) {
        visible = 1;
    }
    if (visible == s.CursorVisible) return 0;
    if (visible == 0) {
        while (ShowCursor(FALSE) >= 0) {
        }
    } else {
        while (ShowCursor(TRUE) < 0) {
        }
    }
    if (s.MainWindow != nullptr) PostMessageA(s.MainWindow, WM_SETCURSOR, reinterpret_cast<WPARAM>(s.MainWindow), 0);
    s.CursorVisible = visible;
    return 0;
}

int ReadCursorClientPos(int* x, int* y)
{
    const SYSSTATE& s = SysState;
    POINT p{0, 0};
    GetCursorPos(&p);
    if (s.WindowModeFlag == 1) {
        const double scale = GetWindowScale();
        p.x = TruncDoubleToInt((p.x - s.WindowClientRect.left) / scale);
        p.y = TruncDoubleToInt((p.y - (s.WindowClientRect.top + GetToolbarHeight())) / scale);
    }
    if (x != nullptr) *x = p.x;
    if (y != nullptr) *y = p.y;
    return 0;
}

int ConstrainWindowSizing(WPARAM edge, RECT* proposed)
{
    SYSSTATE& s = SysState;
    RECT windowRect{};
    RECT client{};
    GetWindowRect(s.MainWindow, &windowRect);
    GetClientRect(s.MainWindow, &client);
    const int frameW = (windowRect.right - windowRect.left) - client.right;
    const int frameH = (windowRect.bottom - windowRect.top) - client.bottom;
    const int w = (proposed->right - proposed->left) - frameW;
    const int h = (proposed->bottom - proposed->top) - frameH;
    int sw = 0;
    int sh = 0;
    ReadScreenSize(&sw, &sh);
    if (sw <= 0 || sh <= 0) return 0;
    if (s.SizeByWindow == 0 && s.UserSizeFlag == 0) {
        // w / sw > h / sh, compared without division.
        const bool wider = static_cast<long long>(w) * sh > static_cast<long long>(h) * sw;
        const bool sideEdge = edge == 1 || edge == 2;
        const bool topOrBottom = edge == 3 || edge == 6;
        int finalW = w;
        if (sideEdge || (!topOrBottom && wider)) {
            proposed->bottom = proposed->top + static_cast<int>(static_cast<long long>(w) * sh / sw) + frameH;
        } else {
            finalW = static_cast<int>(static_cast<long long>(h) * sw / sh);
            proposed->right = proposed->left + finalW + frameW;
        }
        s.WindowScale = static_cast<double>(finalW) / sw;
    } else {
        const double scale = GetWindowScale();
        const int limitW = TruncDoubleToInt(sw * scale);
        const int limitH = TruncDoubleToInt(sh * scale);
        if (w > limitW) proposed->right = proposed->left + limitW + frameW;
        if (h > limitH) proposed->bottom = proposed->top + limitH + frameH;
    }
    return 0;
}
