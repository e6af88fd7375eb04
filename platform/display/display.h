// The virtual display behind the screen layer: the desktop, the current
// display mode, the emulated vertical blank, and the picture the window shows.
// The window layer registers a presenter; without one (headless) the last
// presented picture is only kept, so tests can read it.
#pragma once

#include "platform/kernel/types.h"

#include <cstdint>

struct DisplayMode {
    int width;
    int height;
    int bits;      // 8, 16 or 32
    int refresh;   // Hz; 0 means the default of 60
};

// Desktop: 32 bits always; its size comes from the window layer (default 1920 x 1080).
void SetVirtualDesktopSize(int width, int height);
DisplayMode GetVirtualDesktopMode();

// Full-screen mode of the display; windowed means the desktop mode.
bool SetVirtualDisplayMode(const DisplayMode& mode);
void RestoreVirtualDisplayMode();
DisplayMode GetVirtualDisplayMode();
bool IsVirtualDisplayModeChanged();

// Called after the display mode changed (set or restored); the window layer
// turns it into WM_DISPLAYCHANGE for its windows.
using DisplayChangeListener = void (*)(const DisplayMode& mode);
void SetDisplayChangeListener(DisplayChangeListener listener);

// The window's client rectangle in screen coordinates (the primary's view).
void SetDisplayClientRect(const RECT& rect);
RECT GetDisplayClientRect();

// The desktop's pixels (XRGB8888, desktop size): the windowed primary and the
// window device context draw here. Null when they cannot be allocated.
std::uint32_t* GetDesktopPixels();
int GetDesktopPitch();

// Shows pixels in the window: windowed, the client area of the desktop;
// full screen, the whole picture scaled to the window.
struct PresentedPicture {
    const std::uint32_t* pixels;  // XRGB8888
    int width;
    int height;
    int pitch;                    // bytes
    bool fullScreen;
};
using DisplayPresenter = void (*)(const PresentedPicture& picture);
void SetDisplayPresenter(DisplayPresenter presenter);
void PresentDesktopClientArea();
void PresentFullScreenPixels(const void* pixels, int pitch, int width, int height, const struct DDPIXELFORMAT& format,
                             const struct PALETTEENTRY* palette);

// The last picture shown, XRGB8888, top-down (a test hook and the read-back source).
const std::uint32_t* GetLastPresentedPixels(int* width, int* height);
unsigned GetPresentCount();

// The clock of the emulated vertical blank, in microseconds; replaceable so
// tests run on a manual clock. The sleep hook waits (or advances a manual clock).
using DisplayClock = std::uint64_t (*)();
using DisplaySleep = void (*)(std::uint64_t microseconds);
void SetDisplayClock(DisplayClock clock, DisplaySleep sleep);
std::uint64_t DisplayNowMicroseconds();
void DisplaySleepMicroseconds(std::uint64_t microseconds);

// Vertical blank emulated at the mode's refresh rate (60 Hz by default):
// the blank is the last 45 of 525 lines of each period.
std::uint64_t GetVerticalBlankPeriodMicroseconds();
bool IsInVerticalBlank();
DWORD GetCurrentScanLine();
void WaitForVerticalBlankBegin();

// Clears everything back to a fresh desktop (tests).
void ResetVirtualDisplay();
