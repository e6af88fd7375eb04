// SYSSTATE: the application core's block of global state, and the
// accessors through which other subsystems read it. The window creation
// clears the block except its kept fields (ClearSysStateKeepingKept). The
// allocator's state and the API lock are used across threads and are kept
// anyway, so they live in blocks of their own (memory.cpp, apilock.cpp)
// and are never copied or cleared.
#pragma once

#include "platform/kernel/types.h"

using SYSWNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct SYSSTATE {
    // processor and OS (kept)
    char OSText[512] = {};
    char CPUName[256] = {};
    DWORD CPUSpeed = 0;
    ULONGLONG AvailPhysMemory = 0;
    ULONGLONG TotalPhysMemory = 0;

    // window
    HINSTANCE Instance = nullptr;
    HWND MainWindow = nullptr;          // kept
    HRGN WindowRegion = nullptr;        // kept
    int WindowStyle = 0;                // kept, 0-7
    int UserWindowFlag = 0;             // kept
    SYSWNDPROC UserWindowProc = nullptr;
    HANDLE WindowThread = nullptr;
    int WindowThreadEnded = 0;
    DWORD WindowThreadId = 0;
    RECT WindowClientRect = {};

    // mode
    int WindowModeFlag = 0;             // kept: 1 windowed
    int ModeChangeInProgress = 0;
    int ModeChangeAllowed = 0;          // kept
    void (*ModeChangeCallback)(void* data) = nullptr;  // kept
    void* ModeChangeCallbackData = nullptr;           // kept

    // life
    int QuitFlag = 0;
    int CloseRequestFlag = 0;
    int WindowDestroyFlag = 0;
    int DisplayChangeFlag = 0;
    int ActiveFlag = 0;
    int ModeChangeRequest = 0;
    int KeepWindowOnClose = 0;          // kept
    int NoQuitMessage = 0;              // kept
    int EndingState = 0;                // 0 running, 1 shutdown, 4 closed by a close message
    int PaintingFlag = 0;
    DWORD InactiveSince = 0;

    int ScreenOption = 0;               // kept

    // cursor
    int CursorRequestVisible = 0;
    int CursorVisible = 0;
    int WheelCount = 0;

    // clocks
    int PerfCounterFlag = 0;
    ULONGLONG PerfCounterFrequency = 0;

    // desktop
    int DesktopWidth = 0;
    int DesktopHeight = 0;
    int DesktopColorBits = 0;

    int ComInitFlag = 0;                // kept

    // creation
    int WindowCreatingFlag = 0;
    int DoubleStartAllowed = 0;         // kept
    int ThreadFileMode = 0;             // kept

    // log
    int LogIndent = 0;
    int LogMidLine = 0;
    int LogNoTimeStamp = 0;             // kept

    RECT FrontDrawArea = {};

    // inactive image (its GraphImage comes with the image layer)
    int InactiveImageFlag = 0;
    int InactiveImageGraph = -1;

    // background colour (kept)
    int BackgroundColorFlag = 0;
    int BackgroundRed = 0;
    int BackgroundGreen = 0;
    int BackgroundBlue = 0;

    void (*ActivateCallback)(int active, void* data) = nullptr;
    void* ActivateCallbackData = nullptr;

    // library flags
    int InitializeFlag = 0;
    int StartupFlag = 0;                // kept

    // texts (kept)
    char StartDirectory[260] = {};
    char WindowTitle[256] = {};
    char ClassName[256] = {};
    char LogFileName[256] = {};

    // log settings (kept)
    int LogOff = 0;
    int LogDatedName = 0;

    // debug console font
    int ConsoleFontCreated = 0;
    int ConsoleFontDeleted = 0;
    int ConsoleFontHandle = -1;

    int AlwaysRun = 0;                  // kept
    int IconId = 0;                     // kept

    // menu and toolbar
    HACCEL Accelerator = nullptr;
    int MenuUse = 0;
    int MenuAlwaysShow = 0;             // kept
    int ToolbarUse = 0;

    // window size (kept unless noted)
    int Resizable = 0;
    double WindowScale = 1.0;
    int SizeByWindow = 0;
    int UserSizeFlag = 0;
    int UserWidth = 0;
    int UserHeight = 0;
    int UserPosFlag = 0;
    int UserX = 0;
    int UserY = 0;
    int WindowVisibleStyle = 0;         // not kept
    int HiddenWindow = 0;

    // system keys
    int SysKeyBlock = 0;

    int DirectXVersion = 0;             // kept
    int OSCode = 0;                     // kept

    // processor features (kept); 1 on x86-64 before start-up, since the
    // pixel kernels read the flag without a start-up.
#if defined(__x86_64__) || defined(__i386__)
    int MMXFlag = 1;
#else
    int MMXFlag = 0;
#endif
    int SSEFlag = 0;
    int SSE2Flag = 0;
    int TSCFlag = 0;
    ULONGLONG TSCFrequency = 0;

    SYSWNDPROC MessageHook = nullptr;   // kept

    DWORD LogStartTime = 0;             // kept

    // extra windows and a dialog
    HWND ExtraWindows[100] = {};
    int ExtraWindowCount = 0;
    HWND DialogHandle = nullptr;

    // service switches (kept)
    int NoWindow = 0;
    int SkipGraphics = 0;
    int SkipSound = 0;
    int SkipInput = 0;
    int ServiceSpare = 0;

    int CodePageFlag = 0;               // 2 when the OEM code page is 949, else 1
};

extern SYSSTATE SysState;

// Clears SysState except its kept fields.
void ClearSysStateKeepingKept();

int IsQuitRequested();
HWND GetMainWindowHandle();
int IsWindowedMode();
int GetDesktopMetrics(int* width, int* height, int* bits);
int IsWindowActive();
int IsMmxAvailable();
int IsCloseRequested();
int HasWindowRegion();
double GetWindowScale();
