// Owns the main window procedure; works on SYSSTATE and calls the log, the
// network, the window and GDI layers. Calls into subsystems that are not
// part of the library yet are marked where they belong.
#include "core/winproc.h"

#include "core/input.h"
#include "core/log.h"
#include "core/sysstate.h"
#include "graphics/d3ddevice.h"
#include "graphics/d3dtexture.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "graphics/surface2d.h"
#include "movie/movie.h"
#include "network/network.h"
#include "platform/gdi/gdi.h"
#include "platform/window/window.h"
#include "sound/music.h"

namespace {

constexpr UINT WM_SOCKET_EVENT = 0x505;
constexpr UINT WM_PAD_FLAG_A = 0x46F;
constexpr UINT WM_PAD_FLAG_B = 0x470;

void HandleActivation(HWND window, int active, WPARAM wParam)
{
    SYSSTATE& s = SysState;
    s.ActiveFlag = active;
    if (s.WindowCreatingFlag == 1) return;

    if (active) {
        // Refreshing the IME comes with text input.
        RestoreAllSurfaces2D();
        G_D3D_RestoreAllSurface3DData();
        const bool fullScreen = s.WindowModeFlag == 0 && s.InitializeFlag == 1;
        if (fullScreen && HiWord(wParam) == 0) RecreateLostScreen();
        if (fullScreen || s.AlwaysRun != 1) ResumeSystemPausedMovies();
        ReacquireInputDevices();
    } else {
        if (s.WindowModeFlag == 0 && IsDisplayModeChanged() == 1) {
            if (IsDirectDrawInUse() == 0) {
                ReleaseDirectDrawObject();
                ShowWindow(window, SW_MINIMIZE);
            } else {
                G_D3D_ReleaseDirect3DObject();
            }
        }
        // A restore callback is
        // always installed, so a lost full screen never closes the window
        // here: its movies are paused.
        if ((s.WindowModeFlag == 0 && IsDisplayModeChanged() == 1) || s.AlwaysRun != 1) PauseAllMoviesBySystem();
        ReacquireInputDevices();
        HDC dc = GetDC(window);
        if (dc != nullptr) {
            RedrawInactiveWindow(dc);
            ReleaseDC(window, dc);
        }
    }
    ApplyPadVibration();
    if (s.ActivateCallback != nullptr) s.ActivateCallback(s.ActiveFlag, s.ActivateCallbackData);
    // Blocking system keys is a setting the library never turns on.
}

// false when the library closes because it cannot follow the change.
bool HandleDisplayChange(int bits, int width, int height)
{
    SYSSTATE& s = SysState;
    if (s.WindowModeFlag != 1 || s.ModeChangeInProgress != 0) return true;
    int screenWidth = 0;
    int screenHeight = 0;
    int screenBits = 0;
    ReadScreenModeInfo(&screenWidth, &screenHeight, &screenBits);
    if (screenBits == bits && screenWidth == width && screenHeight == height) return true;
    if (HasRestoreCallback() == 0 || bits == 24 || (bits != screenBits && bits == 8) || screenWidth > width ||
        screenHeight > height) {
        WriteLog("復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します\n");
        WriteLog("またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\n");
        if (s.CloseRequestFlag == 0) {
            s.CloseRequestFlag = 1;
            PostMessageA(s.MainWindow, WM_CLOSE, 0, 0);
        }
        return false;
    }
    ReleaseAllMovieStreams();
    ReadScreenColorInfo();
    RecreateLostScreen();
    ResumeSystemPausedMovies();
    return true;
}

void HandlePaint(HWND window)
{
    SYSSTATE& s = SysState;
    PAINTSTRUCT ps{};
    if (BeginPaint(window, &ps) == nullptr) return;
    if (s.WindowModeFlag == 1) {
        s.PaintingFlag = 1;
        if (s.ActiveFlag == 0 && s.InactiveImageFlag == 1 && s.AlwaysRun == 0) {
            RedrawInactiveWindow(ps.hdc);
        } else if (s.StartupFlag == 1 && s.WindowRegion == nullptr) {
            HBRUSH brush = nullptr;
            if (s.BackgroundColorFlag == 1) brush = CreateSolidBrush(RGB(s.BackgroundRed, s.BackgroundGreen, s.BackgroundBlue));
            if (brush != nullptr) {
                FillRect(ps.hdc, &ps.rcPaint, brush);
                DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
            } else {
                FillRect(ps.hdc, &ps.rcPaint, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            }
        } else if (GetCurrentDrawTarget() == DRAWTARGET_BACK) {
            const int vsync = GetFlipVSyncWait();
            SetFlipVSyncWait(0);
            PresentBackScreen(&ps.rcPaint);
            SetFlipVSyncWait(vsync);
        }
        s.PaintingFlag = 0;
    }
    EndPaint(window, &ps);
}

} // namespace

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    SYSSTATE& s = SysState;
    LRESULT userResult = 0;
    if (s.UserWindowFlag == 1 && s.UserWindowProc != nullptr) userResult = s.UserWindowProc(window, message, wParam, lParam);
    if (s.MessageHook != nullptr) s.MessageHook(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        // Window regions are never set by the library.
        break;
    case WM_DESTROY:
        if (s.UserWindowFlag != 1) {
            WriteLog("ウインドウが破棄されようとしています\n");
            s.WindowDestroyFlag = 1;
            WriteLog("ソフトを終了する準備が整いました\n");
            if (s.NoQuitMessage != 1) PostQuitMessage(0);
            s.QuitFlag = 1;
        }
        break;
    case WM_MOVE:
        // Following the window's move comes with the window-mode and size code.
        break;
    case WM_SIZE:
        if (wParam == SIZE_MAXIMIZED) {
            if (s.ModeChangeAllowed == 1 && s.ModeChangeInProgress == 0 && s.WindowCreatingFlag == 0 &&
                s.WindowModeFlag == 1) {
                s.ModeChangeRequest = 1;
            }
        }
        // Fitting the window to the screen comes with the window-mode and size code.
        break;
    case WM_ACTIVATE:
        HandleActivation(window, LoWord(wParam) != 0 ? 1 : 0, wParam);
        break;
    case WM_ACTIVATEAPP:
        if (wParam == 0) HandleActivation(window, 0, 0);
        break;
    case WM_PAINT:
        HandlePaint(window);
        break;
    case WM_CLOSE:
        if (s.UserWindowFlag != 1) {
            WriteLog("ウインドウを閉じようとしています\n");
            const int ending = s.EndingState;
            if (s.KeepWindowOnClose == 0 || ending == 1) DestroyWindow(window);
            if (ending == 0) s.EndingState = 4;
            return 0;
        }
        break;
    case WM_SETCURSOR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        if (s.CursorVisible == 0) {
            SetCursor(nullptr);
            while (ShowCursor(FALSE) >= 0) {
            }
        }
        break;
    case WM_DISPLAYCHANGE:
        if (!HandleDisplayChange(static_cast<int>(wParam), LoWord(static_cast<std::uintptr_t>(lParam)),
                                 HiWord(static_cast<std::uintptr_t>(lParam)))) {
            break;
        }
        s.DisplayChangeFlag = 1;
        break;
    case WM_KEYDOWN:
    case WM_CHAR:
        // The character queue comes with text input.
        break;
    case WM_SYSCHAR:
        if ((wParam & 0xFF) == 0x0D && s.ModeChangeAllowed != 0) {
            s.ModeChangeRequest = 1;
            return 0;
        }
        break;
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_SETCONTEXT:
    case WM_IME_NOTIFY:
        // The input method's handling comes with text input.
        return 0;
    case WM_COMMAND:
        // Menu and toolbar commands come with menus.
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER) return 1;
        if ((wParam & 0xFFF0) == SC_KEYMENU && s.SysKeyBlock == 1) return 0;
        break;
    case WM_MOUSEWHEEL:
        s.WheelCount += static_cast<short>(HiWord(wParam)) > 0 ? 1 : -1;
        break;
    case WM_SIZING:
    case WM_MOVING:
        // Sizing and moving rules come with the window-mode and size code.
        break;
    case WM_DROPFILES:
        // Dropped files come with drops; the window never accepts them.
        break;
    case MM_MCINOTIFY:
        HandleMidiMciNotify();
        break;
    case WM_PAD_FLAG_A:
        if (wParam == 1) SetPadMessageFlagA();
        else ClearPadMessageFlagA();
        break;
    case WM_PAD_FLAG_B:
        if (wParam == 1) SetPadMessageFlagB();
        else ClearPadMessageFlagB();
        break;
    case WM_SOCKET_EVENT:
        return HandleNetWorkSocketEvent(static_cast<std::uintptr_t>(wParam), static_cast<DWORD>(lParam));
    default:
        break;
    }

    if (s.UserWindowFlag == 1) return userResult;
    return DefWindowProcA(window, message, wParam, lParam);
}

int RedrawInactiveWindow(HDC)
{
    if (SysState.EndingState == 1) return 0;
    if (SysState.InactiveImageFlag == 0) return -1;
    // Drawing the inactive image comes with the graph layer; the library never sets one.
    return -1;
}
