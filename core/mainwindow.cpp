// Owns the main window's creation and end; works on SYSSTATE, calls the
// window procedure (core/winproc), the message loop and the window, GDI,
// IME and kernel layers.
#include "core/mainwindow.h"

#include "core/format.h"
#include "core/random.h"
#include "core/inactivewait.h"
#include "core/log.h"
#include "core/menu.h"
#include "core/number.h"
#include "core/sysstate.h"
#include "graphics/screen.h"
#include "core/text.h"
#include "core/textinput.h"
#include "core/windowmode.h"
#include "core/winproc.h"
#include "platform/gdi/gdi.h"
#include "platform/imm/imm.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/sync.h"
#include "platform/kernel/system.h"
#include "platform/window/window.h"
#include "platform/winmm/timer.h"

namespace {


void RunTimerTest()
{
    WriteLog("タイマーの精度を検査します\n");
    int timerUpdates = 0;
    int counterUpdates = 0;
    DWORD lastMs = timeGetTime();
    LARGE_INTEGER lastCount;
    QueryPerformanceCounter(&lastCount);
    const DWORD start = timeGetTime();
    int loop = PumpMessageLoop();
    while (loop == 0) {
        if (timerUpdates >= 60 || counterUpdates >= 60 || timeGetTime() - start >= 1000) break;
        LARGE_INTEGER count;
        QueryPerformanceCounter(&count);
        if (count.QuadPart != lastCount.QuadPart) {
            ++counterUpdates;
            lastCount = count;
        }
        DWORD ms = timeGetTime();
        if (ms != lastMs) {
            ++timerUpdates;
            lastMs = ms;
        }
        loop = PumpMessageLoop();
    }
    WriteLogFormat("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d", timerUpdates,
                   counterUpdates);
    WriteLog(" ");
    if (timerUpdates > counterUpdates) {
        TIMECAPS caps{};
        timeGetDevCaps(&caps, sizeof caps);
        WriteLogFormat("マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms ", static_cast<int>(caps.wPeriodMin));
        SysState.PerfCounterFlag = 0;
    } else {
        WriteLogFormat("パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz ",
                       static_cast<double>(SysState.PerfCounterFrequency) * 0.001);
    }
    WriteLog(" ");
}

} // namespace

int CreateMainWindow()
{
    ClearSysStateKeepingKept();
    SYSSTATE& s = SysState;
    s.InactiveSince = 0xFFFFFFFFu;

    if (s.ClassName[0] == '\0') CopyText(s.ClassName, s.WindowTitle[0] != '\0' ? s.WindowTitle : "D123987X");
    s.Instance = GetModuleHandleA(nullptr);
    s.WindowThreadId = GetCurrentThreadId();

    MEMORYSTATUS memory{};
    GlobalMemoryStatus(&memory);
    WriteLogFormat("メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", static_cast<double>(memory.dwTotalPhys) / 1048576.0,
                   static_cast<double>(memory.dwAvailPhys) / 1048576.0);
    char available[64];
    FormatToBuffer(available, sizeof available, "%.2fMB\n", static_cast<double>(memory.dwAvailPhys) / 1048576.0);
    OutputDebugStringA(available);
    s.AvailPhysMemory = memory.dwAvailPhys;
    s.TotalPhysMemory = memory.dwTotalPhys;

    s.DesktopWidth = GetSystemMetrics(SM_CXSCREEN);
    s.DesktopHeight = GetSystemMetrics(SM_CYSCREEN);
    HDC dc = GetDC(nullptr);
    s.DesktopColorBits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    ReleaseDC(nullptr, dc);

    int screenWidth;
    int screenHeight;
    GetScreenPixelSize(&screenWidth, &screenHeight);

    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    s.PerfCounterFrequency = static_cast<ULONGLONG>(frequency.QuadPart);
    s.PerfCounterFlag = frequency.QuadPart != 0 ? 1 : 0;
    TIMECAPS caps{};
    timeGetDevCaps(&caps, sizeof caps);
    timeBeginPeriod(caps.wPeriodMin);

    if (s.PerfCounterFlag == 1) RunTimerTest();

    SeedRandomGenerator(timeGetTime());

    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDCHANGE);

    if (s.NoWindow == 1) return 0;

    WriteLog("ソフトの二重起動検査... ");
    if (FindWindowA(s.ClassName, nullptr) != nullptr) {
        if (s.DoubleStartAllowed == 0) {
            WriteLog("二重起動されています、ソフトを終了します\n");
            s.QuitFlag = 1;
            return -1;
        }
        WriteLog("二重起動されていますが続行します\n");
    } else {
        WriteLog("二重起動はされていませんでした\n");
    }

    MenuState.ItemCount = 0;
    if (SysState.MenuUse == 1) CollectMenuItems(MenuState.Menu);

    if (s.UserWindowFlag != 1) {
        WNDCLASSA wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = MainWindowProc;
        wc.hInstance = s.Instance;
        wc.hIcon = LoadIconA(s.Instance, MakeIntResource(s.IconId != 0 ? static_cast<WORD>(s.IconId)
                                                                       : IDI_APPLICATION_ID));
        wc.hCursor = LoadCursorA(nullptr, MakeIntResource(IDC_ARROW_ID));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
        wc.lpszClassName = s.ClassName;
        s.WindowCreatingFlag = 1;
        WriteLog("ウインドウクラスを登録します... ");
        if (RegisterClassA(&wc) == 0) {
            WriteLog("ウインドウクラスの登録に失敗しました\n");
            s.QuitFlag = 1;
            return -1;
        }
        WriteLog("登録に成功しました\n");

        if (s.WindowTitle[0] == '\0') CopyText(s.WindowTitle, "Zarvo");

        const WINDOWSTYLES& styles = WindowStyleTable[s.WindowStyle & 7];
        HWND window = nullptr;
        if (s.WindowModeFlag == 1) {
            WriteLog("ウインドウモード起動用のウインドウを作成します\n");
            s.CursorRequestVisible = 1;
            DWORD style = styles.Windowed;
            DWORD exStyle = styles.WindowedEx;
            if (s.ModeChangeAllowed == 1) style += 0x10000;
            if (s.WindowVisibleStyle == 1) style += 0x10000000;
            if (s.Resizable == 1) style += 0x40000;
            if (s.HiddenWindow == 1) exStyle += 0x20;
            const double scale = GetWindowScale();
            RECT r{0, 0, TruncDoubleToInt(screenWidth * scale), TruncDoubleToInt(screenHeight * scale)};
            if (s.UserSizeFlag == 1) r = RECT{0, 0, s.UserWidth, s.UserHeight};
            AdjustWindowRectEx(&r, style, FALSE, exStyle);
            const int width = r.right - r.left;
            const int height = r.bottom - r.top;
            r.left += (s.DesktopWidth - width) / 2;
            r.top += (s.DesktopHeight - height) / 2;
            if (s.UserPosFlag == 1) {
                r.left = s.UserX;
                r.top = s.UserY;
            }
            window = CreateWindowExA(exStyle, s.ClassName, s.WindowTitle, style, r.left, r.top, width, height,
                                     nullptr, nullptr, s.Instance, nullptr);
        } else {
            WriteLog("フルスクリーンモード用のウインドウを作成します\n");
            s.CursorRequestVisible = 0;
            window = CreateWindowExA(styles.FullScreenEx, s.ClassName, s.WindowTitle, styles.FullScreen, 0, 0,
                                     screenWidth, screenHeight, nullptr, nullptr, s.Instance, nullptr);
        }
        if (window == nullptr) {
            WriteLog("ウインドウの作成に失敗しました\n");
            // A class left behind would make the next start-up's registration fail.
            UnregisterClassA(s.ClassName, s.Instance);
            s.QuitFlag = 1;
            return -1;
        }
        WriteLog("ウインドウの作成に成功しました\n");
        s.MainWindow = window;

        if (s.HiddenWindow != 1) {
            ShowWindow(window, SW_SHOW);
            UpdateWindow(window);
        } else {
            ShowWindow(window, SW_HIDE);
            WriteLog("ウインドウを表示します\n");
        }
    }
    // A window of the user's own keeps its procedure; the library never makes one.

    s.CloseRequestFlag = 0;
    s.WindowDestroyFlag = 0;
    s.ActiveFlag = 1;

    if (s.WindowModeFlag == 0) {
        WriteLog("カーソルを不可視にしました\n");
        SetCursor(nullptr);
    }
    WriteLog("ＩＭＥを無効にしました\n");
    WINNLSEnableIME(s.MainWindow, FALSE);

    if (s.WindowModeFlag == 1) {
        RECT client{};
        GetClientRect(s.MainWindow, &client);
        POINT origin{0, 0};
        ClientToScreen(s.MainWindow, &origin);
        s.WindowClientRect = RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    }
    s.CodePageFlag = GetOEMCP() == 949 ? 2 : 1;
    // The system's cursor starts shown.
    s.CursorVisible = 1;
    SetMouseCursorVisible(s.CursorRequestVisible);
    s.EndingState = 0;

    if (s.UserWindowFlag != 1) {
        if (s.HiddenWindow != 1) BringWindowToTop(s.MainWindow);
        const DWORD start = timeGetTime();
        while (timeGetTime() - start < 200) PumpMessageLoop();
        FitWindowToScreen();
        s.WindowCreatingFlag = 0;
    }
    return 0;
}

int CloseMainWindow()
{
    SYSSTATE& s = SysState;
    if (s.MainWindow == nullptr) return 0;
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDCHANGE);

    if (s.NoWindow != 1) {
        WINNLSEnableIME(s.MainWindow, TRUE);
        SetMouseCursorVisible(1);
        ReleaseMenuAndDrops();
        // No keyboard hook, message hook or window region is ever made by
        // the library, so none is released here.
        if (s.UserWindowFlag == 1) {
            s.QuitFlag = 1;
        } else {
            if (s.CloseRequestFlag == 0) {
                s.CloseRequestFlag = 1;
                PostMessageA(s.MainWindow, WM_CLOSE, 0, 0);
            }
            while (PumpMessageLoop() == 0) {
            }
            // A quit message the loop stopped short of would end the next
            // start-up's window at once.
            MSG stale;
            while (PeekMessageA(&stale, reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1)), 0, 0, PM_REMOVE)) {
            }
            UnregisterClassA(s.ClassName, s.Instance);
        }
        ReleaseTextInputHandles();
    } else {
        s.QuitFlag = 1;
    }

    TIMECAPS caps{};
    timeGetDevCaps(&caps, sizeof caps);
    timeEndPeriod(caps.wPeriodMin);
    s.MainWindow = nullptr;
    return 0;
}

void ForceWindowForeground(HWND window, int topmost)
{
    SetForegroundWindow(window);
    if (topmost == 1) {
        SetWindowPos(SysState.MainWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW);
    }
}
