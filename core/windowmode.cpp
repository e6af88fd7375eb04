// Owns the window-mode switch and the per-mode window styles; reads and
// writes the mode fields of SYSSTATE, calls the window layer, the message
// loop and the screen layer's rebuild.
#include "core/windowmode.h"

#include "core/log.h"
#include "core/mainwindow.h"
#include "core/msgloop.h"
#include "core/sysstate.h"
#include "graphics/screen.h"
#include "platform/window/window.h"
#include "platform/winmm/timer.h"

namespace {

constexpr DWORD kDisplayChangeWaitMs = 3000;

void SetWindowedFlag(int flag)
{
    SysState.WindowModeFlag = flag;
    WriteLog(flag == 1 ? "ウインドウモードフラグが立てられました\n" : "ウインドウモードフラグが倒されました\n");
    // Menus come with the menu code; nothing is attached or detached yet.
}

void ReadClientRectOnScreen()
{
    RECT client{};
    GetClientRect(SysState.MainWindow, &client);
    POINT origin{0, 0};
    ClientToScreen(SysState.MainWindow, &origin);
    SysState.WindowClientRect = RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
}

} // namespace

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
    const int result = RebuildScreenForMode(-1, -1, -1, 1, -1);
    // A switch that leaves the display as it was brings no display change;
    // the wait for one ends after a while instead of never.
    const DWORD start = timeGetTime();
    while (ServiceMessageLoop() == 0 && s.DisplayChangeFlag == 0 && timeGetTime() - start < kDisplayChangeWaitMs) {
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
    GetScreenPixelSize(&width, &height);
    if (s.WindowModeFlag == 1) {
        WriteLog("ウインドウスタイルをウインドウモード用に変更します... ");
        DWORD style = styles.Windowed;
        if (s.ModeChangeAllowed == 1) style += 0x10000;
        if (s.WindowVisibleStyle == 1) style += 0x10000000;
        if (s.Resizable == 1) style += 0x40000;
        SetWindowLongA(s.MainWindow, GWL_EXSTYLE, static_cast<LONG>(styles.WindowedEx));
        SetWindowLongA(s.MainWindow, GWL_STYLE, static_cast<LONG>(style));
        const double scale = GetWindowScale();
        RECT r{0, 0, static_cast<int>(width * scale), static_cast<int>(height * scale)};
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
        s.CursorVisible = 1;
        WriteLog("完了\n");
    } else {
        WriteLog("ウインドウスタイルをフルスクリーンモード用に変更します... ");
        SetWindowLongA(s.MainWindow, GWL_EXSTYLE, static_cast<LONG>(styles.FullScreenEx));
        SetWindowLongA(s.MainWindow, GWL_STYLE, static_cast<LONG>(styles.FullScreen));
        s.WindowClientRect = RECT{0, 0, width, height};
        ShowWindow(s.MainWindow, SW_SHOW);
        UpdateWindow(s.MainWindow);
        SetWindowPos(s.MainWindow, HWND_TOPMOST, 0, 0, width, height, SWP_NOREDRAW);
        s.CursorVisible = 0;
        WriteLog("完了\n");
    }
    return 0;
}
