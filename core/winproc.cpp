// Owns the main window procedure; works on SYSSTATE and calls the log, the
// network, the window and GDI layers. Calls into subsystems that are not
// part of the library yet are marked where they belong.
#include "core/winproc.h"

#include "core/input.h"
#include "core/log.h"
#include "core/menu.h"
#include "core/sysstate.h"
#include "core/textinput.h"
#include "core/windowmode.h"
#include "graphics/backend.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3dtexture.h"
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "graphics/soft/surface2d.h"
#include "movie/movie.h"
#include "network/network.h"
#include "platform/gdi/gdi.h"
#include "platform/window/dragdrop.h"
#include "platform/window/window.h"
#include "sound/music.h"

GraphImage InactiveImage{};

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
        if (TextInput.ImeEnabled == 1 && TextInput.ImeOpen == 1) TextInput.RefreshState = 1;
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
                SelectGraphicsBackend();
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

// Editing keys reach the character queue as its codes.
void QueueEditKey(WPARAM key)
{
    BYTE code = 0;
    switch (key) {
    case VK_DELETE: code = CTRL_CODE_DEL; break;
    case VK_LEFT: code = CTRL_CODE_LEFT; break;
    case VK_RIGHT: code = CTRL_CODE_RIGHT; break;
    case VK_UP: code = CTRL_CODE_UP; break;
    case VK_DOWN: code = CTRL_CODE_DOWN; break;
    default: return;
    }
    PushInputChar(code);
}

void QueueTypedChar(WPARAM wParam)
{
    const BYTE c = static_cast<BYTE>(wParam);
    if (c == 0x0A) {
        PushInputChar(CTRL_CODE_CR);
        return;
    }
    if (c >= 0x20 || c == CTRL_CODE_BS || c == CTRL_CODE_TAB || c == CTRL_CODE_CR || c == CTRL_CODE_DEL ||
        c == CTRL_CODE_ESC) {
        PushInputChar(c);
    }
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
        if (s.WindowModeFlag == 1 && s.ModeChangeInProgress == 0) HandleWindowMove(lParam);
        break;
    case WM_SIZE:
        if (wParam == SIZE_MAXIMIZED) {
            if (s.ModeChangeAllowed == 1 && s.ModeChangeInProgress == 0 && s.WindowCreatingFlag == 0 &&
                s.WindowModeFlag == 1) {
                s.ModeChangeRequest = 1;
            }
        } else {
            FitWindowToScreen();
        }
        if (s.ToolbarUse == 1 && MenuState.Toolbar != nullptr) SendMessageA(MenuState.Toolbar, message, wParam, lParam);
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
        QueueEditKey(wParam);
        break;
    case WM_CHAR:
        QueueTypedChar(wParam);
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
        return HandleImeMessage(window, message, wParam, lParam);
    case WM_COMMAND:
        HandleMenuCommand(LoWord(wParam));
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER) return 1;
        if ((wParam & 0xFFF0) == SC_KEYMENU && s.SysKeyBlock == 1) return 0;
        break;
    case WM_MOUSEWHEEL:
        s.WheelCount += static_cast<short>(HiWord(wParam)) > 0 ? 1 : -1;
        break;
    case WM_SIZING:
        if (s.WindowModeFlag == 1 && s.UserWindowFlag == 0 && lParam != 0) {
            ConstrainWindowSizing(wParam, reinterpret_cast<RECT*>(lParam));
        }
        break;
    case WM_MOVING:
        // A full-screen window stays where it is.
        if (s.WindowModeFlag == 0 && lParam != 0) GetWindowRect(window, reinterpret_cast<RECT*>(lParam));
        break;
    case WM_DROPFILES:
        StoreDroppedFiles(reinterpret_cast<HDROP>(wParam));
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
    SYSSTATE& s = SysState;
    if (s.EndingState == 1) return 0;
    if (s.InactiveImageFlag == 0) return -1;
    // The draws below must not wait for the window to come back.
    const int alwaysRun = s.AlwaysRun;
    s.AlwaysRun = 1;
    if (IsGraphHandleValid(s.InactiveImageGraph) == 0) {
        s.InactiveImageGraph = NewGraphFromGraphImage(&InactiveImage, nullptr, 1, 0, 0);
        if (s.InactiveImageGraph == -1) {
            s.AlwaysRun = alwaysRun;
            return -1;
        }
    }
    const int target = GetCurrentDrawTarget();
    const int filter = GetTextureFilterMode();
    const int vsync = GetFlipVSyncWait();
    SwitchDrawTarget(DRAWTARGET_BACK);
    StoreTextureFilterMode(1);
    SetFlipVSyncWait(0);

    int width = 0;
    int height = 0;
    GetScreenPixelSize(&width, &height);
    const int saved = CreateBlankGraph(width, height, 0);
    if (saved != -1) CaptureDrawScreenToGraph(0, 0, width, height, saved, 0);
    int imageWidth = 0;
    int imageHeight = 0;
    GetGraphDimensions(s.InactiveImageGraph, &imageWidth, &imageHeight);
    if (imageWidth == width && imageHeight == height) {
        RenderGraphAt(0, 0, s.InactiveImageGraph, 0);
    } else {
        DrawGraphStretched(0, 0, width, height, s.InactiveImageGraph, 0);
    }
    PresentBackScreen(nullptr);
    if (saved != -1) {
        RenderGraphAt(0, 0, saved, 0);
        DestroyGraphHandle(saved, 0);
    }
    SwitchDrawTarget(target);
    StoreTextureFilterMode(filter);
    SetFlipVSyncWait(vsync);
    s.AlwaysRun = alwaysRun;
    return 0;
}
