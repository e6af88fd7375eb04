// Owns SYSSTATE and its accessors; reads the desktop through platform/window
// and platform/gdi when the library is not running.
#include "core/sysstate.h"

#include "platform/gdi/gdi.h"
#include "platform/window/window.h"

#include <cstring>

SYSSTATE SysState;

void ClearSysStateKeepingKept()
{
    const SYSSTATE kept = SysState;
    SysState = SYSSTATE{};
    SYSSTATE& s = SysState;

    std::memcpy(s.OSText, kept.OSText, sizeof s.OSText);
    std::memcpy(s.CPUName, kept.CPUName, sizeof s.CPUName);
    s.CPUSpeed = kept.CPUSpeed;
    s.AvailPhysMemory = kept.AvailPhysMemory;
    s.TotalPhysMemory = kept.TotalPhysMemory;

    s.MainWindow = kept.MainWindow;
    s.WindowRegion = kept.WindowRegion;
    s.WindowStyle = kept.WindowStyle;
    s.UserWindowFlag = kept.UserWindowFlag;

    s.WindowModeFlag = kept.WindowModeFlag;
    s.ModeChangeAllowed = kept.ModeChangeAllowed;
    s.ModeChangeCallback = kept.ModeChangeCallback;
    s.ModeChangeCallbackData = kept.ModeChangeCallbackData;

    s.KeepWindowOnClose = kept.KeepWindowOnClose;
    s.NoQuitMessage = kept.NoQuitMessage;
    s.ScreenOption = kept.ScreenOption;
    s.ComInitFlag = kept.ComInitFlag;
    s.DoubleStartAllowed = kept.DoubleStartAllowed;
    s.ThreadFileMode = kept.ThreadFileMode;
    s.LogNoTimeStamp = kept.LogNoTimeStamp;

    s.BackgroundColorFlag = kept.BackgroundColorFlag;
    s.BackgroundRed = kept.BackgroundRed;
    s.BackgroundGreen = kept.BackgroundGreen;
    s.BackgroundBlue = kept.BackgroundBlue;

    s.StartupFlag = kept.StartupFlag;
    std::memcpy(s.StartDirectory, kept.StartDirectory, sizeof s.StartDirectory);
    std::memcpy(s.WindowTitle, kept.WindowTitle, sizeof s.WindowTitle);
    std::memcpy(s.ClassName, kept.ClassName, sizeof s.ClassName);
    std::memcpy(s.LogFileName, kept.LogFileName, sizeof s.LogFileName);
    s.LogOff = kept.LogOff;
    s.LogDatedName = kept.LogDatedName;

    s.AlwaysRun = kept.AlwaysRun;
    s.IconId = kept.IconId;
    s.MenuAlwaysShow = kept.MenuAlwaysShow;

    s.Resizable = kept.Resizable;
    s.WindowScale = kept.WindowScale;
    s.SizeByWindow = kept.SizeByWindow;
    s.UserSizeFlag = kept.UserSizeFlag;
    s.UserWidth = kept.UserWidth;
    s.UserHeight = kept.UserHeight;
    s.UserPosFlag = kept.UserPosFlag;
    s.UserX = kept.UserX;
    s.UserY = kept.UserY;
    s.HiddenWindow = kept.HiddenWindow;

    s.DirectXVersion = kept.DirectXVersion;
    s.OSCode = kept.OSCode;
    s.MMXFlag = kept.MMXFlag;
    s.SSEFlag = kept.SSEFlag;
    s.SSE2Flag = kept.SSE2Flag;
    s.TSCFlag = kept.TSCFlag;
    s.TSCFrequency = kept.TSCFrequency;
    s.MessageHook = kept.MessageHook;
    s.LogStartTime = kept.LogStartTime;

    s.NoWindow = kept.NoWindow;
    s.SkipGraphics = kept.SkipGraphics;
    s.SkipSound = kept.SkipSound;
    s.SkipInput = kept.SkipInput;
    s.ServiceSpare = kept.ServiceSpare;
}

int IsQuitRequested()
{
    return SysState.QuitFlag;
}

HWND GetMainWindowHandle()
{
    return SysState.MainWindow;
}

int IsWindowedMode()
{
    return SysState.WindowModeFlag;
}

int GetDesktopMetrics(int* width, int* height, int* bits)
{
    int w = SysState.DesktopWidth;
    int h = SysState.DesktopHeight;
    int b = SysState.DesktopColorBits;
    if (SysState.InitializeFlag == 0) {
        w = GetSystemMetrics(SM_CXSCREEN);
        h = GetSystemMetrics(SM_CYSCREEN);
        HDC dc = GetDC(nullptr);
        b = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
        ReleaseDC(nullptr, dc);
    }
    if (width != nullptr) *width = w;
    if (height != nullptr) *height = h;
    if (bits != nullptr) *bits = b;
    return 0;
}

int IsWindowActive()
{
    return SysState.ActiveFlag;
}

int IsMmxAvailable()
{
    return SysState.MMXFlag;
}

int IsCloseRequested()
{
    return SysState.CloseRequestFlag;
}

int HasWindowRegion()
{
    return SysState.WindowRegion != nullptr ? 1 : 0;
}

double GetWindowScale()
{
    if (SysState.WindowModeFlag == 0) return 1.0;
    if (SysState.WindowScale <= 0.0) SysState.WindowScale = 1.0;
    return SysState.WindowScale;
}
