// Owns the virtual display: desktop pixels, mode, client rectangle, presenter,
// and the clock of the emulated vertical blank. Used by the DirectDraw and GDI
// stand-ins and registered with by the window layer.
#include "platform/display/display.h"

#include "platform/ddraw/ddraw.h"
#include "platform/display/pixel.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/heap.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

constexpr int kDefaultDesktopWidth = 1920;
constexpr int kDefaultDesktopHeight = 1080;
constexpr std::uint64_t kLinesPerFrame = 525;
constexpr std::uint64_t kBlankLines = 45;

struct DisplayState {
    int desktopWidth = kDefaultDesktopWidth;
    int desktopHeight = kDefaultDesktopHeight;
    DisplayMode mode{};
    bool modeChanged = false;
    RECT client{0, 0, 640, 480};
    HeapArray<std::uint32_t> desktop;
    std::size_t desktopSize = 0;
    HeapArray<std::uint32_t> shown;
    std::size_t shownSize = 0;
    int shownWidth = 0;
    int shownHeight = 0;
    unsigned presents = 0;
    DisplayPresenter presenter = nullptr;
    DisplayChangeListener changeListener = nullptr;
    DisplayClock clock = nullptr;
    DisplaySleep sleep = nullptr;
};

DisplayState g_display;

// Without a clock of its own the display follows the kernel's clock, so a
// test's manual clock paces the vertical blank too.
std::uint64_t KernelMicroseconds()
{
    return ReadClockMicroseconds();
}

void KernelSleep(std::uint64_t microseconds)
{
    if (IsManualClock()) {
        AdvanceManualClock(microseconds);
    } else {
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
    }
}

// False when the desktop's pixels cannot be had.
bool EnsureDesktop()
{
    const std::size_t size = static_cast<std::size_t>(g_display.desktopWidth) * g_display.desktopHeight;
    if (g_display.desktop == nullptr || g_display.desktopSize != size) {
        g_display.desktop = AllocZeroedHeapArray<std::uint32_t>(size);
        g_display.desktopSize = g_display.desktop != nullptr ? size : 0;
    }
    return g_display.desktop != nullptr;
}

// A cleared picture of width x height to show; false (nothing shown) when
// memory ran out.
bool PrepareShown(int width, int height)
{
    const std::size_t size = static_cast<std::size_t>(width) * height;
    if (g_display.shown != nullptr && g_display.shownSize == size) {
        std::fill_n(g_display.shown.get(), size, 0u);
    } else {
        g_display.shown = AllocZeroedHeapArray<std::uint32_t>(size);
        g_display.shownSize = g_display.shown != nullptr ? size : 0;
    }
    g_display.shownWidth = g_display.shown != nullptr ? width : 0;
    g_display.shownHeight = g_display.shown != nullptr ? height : 0;
    return g_display.shown != nullptr;
}

void Show(bool fullScreen)
{
    ++g_display.presents;
    if (g_display.presenter != nullptr) {
        PresentedPicture picture{g_display.shown.get(), g_display.shownWidth, g_display.shownHeight,
                                 g_display.shownWidth * 4, fullScreen};
        g_display.presenter(picture);
    }
}

} // namespace

void SetVirtualDesktopSize(int width, int height)
{
    if (width <= 0 || height <= 0) return;
    g_display.desktopWidth = width;
    g_display.desktopHeight = height;
    g_display.desktop.reset();
    g_display.desktopSize = 0;
}

DisplayMode GetVirtualDesktopMode()
{
    return DisplayMode{g_display.desktopWidth, g_display.desktopHeight, 32, 60};
}

bool SetVirtualDisplayMode(const DisplayMode& mode)
{
    if (mode.width <= 0 || mode.height <= 0) return false;
    if (mode.bits != 8 && mode.bits != 16 && mode.bits != 32) return false;
    if (mode.refresh != 0 && (mode.refresh < 50 || mode.refresh > 240)) return false;
    g_display.mode = mode;
    g_display.modeChanged = true;
    if (g_display.changeListener != nullptr) g_display.changeListener(GetVirtualDisplayMode());
    return true;
}

void RestoreVirtualDisplayMode()
{
    const bool wasChanged = g_display.modeChanged;
    g_display.mode = DisplayMode{};
    g_display.modeChanged = false;
    if (wasChanged && g_display.changeListener != nullptr) g_display.changeListener(GetVirtualDisplayMode());
}

void SetDisplayChangeListener(DisplayChangeListener listener)
{
    g_display.changeListener = listener;
}

DisplayMode GetVirtualDisplayMode()
{
    if (!g_display.modeChanged) return GetVirtualDesktopMode();
    return g_display.mode;
}

bool IsVirtualDisplayModeChanged()
{
    return g_display.modeChanged;
}

void SetDisplayClientRect(const RECT& rect)
{
    g_display.client = rect;
}

RECT GetDisplayClientRect()
{
    return g_display.client;
}

std::uint32_t* GetDesktopPixels()
{
    return EnsureDesktop() ? g_display.desktop.get() : nullptr;
}

int GetDesktopPitch()
{
    return g_display.desktopWidth * 4;
}

void SetDisplayPresenter(DisplayPresenter presenter)
{
    g_display.presenter = presenter;
}

void PresentDesktopClientArea()
{
    if (!EnsureDesktop()) return;
    RECT c = g_display.client;
    int w = c.right - c.left;
    int h = c.bottom - c.top;
    if (w <= 0 || h <= 0 || !PrepareShown(w, h)) return;
    for (int y = 0; y < h; ++y) {
        int sy = c.top + y;
        if (sy < 0 || sy >= g_display.desktopHeight) continue;
        for (int x = 0; x < w; ++x) {
            int sx = c.left + x;
            if (sx < 0 || sx >= g_display.desktopWidth) continue;
            g_display.shown[static_cast<std::size_t>(y) * w + x] =
                g_display.desktop[static_cast<std::size_t>(sy) * g_display.desktopWidth + sx];
        }
    }
    Show(false);
}

void PresentFullScreenPixels(const void* pixels, int pitch, int width, int height, const DDPIXELFORMAT& format,
                             const PALETTEENTRY* palette)
{
    if (pixels == nullptr || width <= 0 || height <= 0 || !PrepareShown(width, height)) return;
    const auto* base = static_cast<const std::uint8_t*>(pixels);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = base + static_cast<std::ptrdiff_t>(y) * pitch;
        std::uint32_t* out = &g_display.shown[static_cast<std::size_t>(y) * width];
        for (int x = 0; x < width; ++x) {
            std::uint32_t v = 0;
            switch (format.dwRGBBitCount) {
            case 8: {
                BYTE i = row[x];
                if (palette != nullptr)
                    v = (static_cast<std::uint32_t>(palette[i].peRed) << 16) |
                        (static_cast<std::uint32_t>(palette[i].peGreen) << 8) | palette[i].peBlue;
                break;
            }
            case 16: {
                std::uint32_t p = static_cast<std::uint32_t>(row[2 * x]) | (static_cast<std::uint32_t>(row[2 * x + 1]) << 8);
                v = (ExpandChannel(p, format.dwRBitMask) << 16) | (ExpandChannel(p, format.dwGBitMask) << 8) |
                    ExpandChannel(p, format.dwBBitMask);
                break;
            }
            default: {
                std::uint32_t p = static_cast<std::uint32_t>(row[4 * x]) | (static_cast<std::uint32_t>(row[4 * x + 1]) << 8) |
                                  (static_cast<std::uint32_t>(row[4 * x + 2]) << 16) |
                                  (static_cast<std::uint32_t>(row[4 * x + 3]) << 24);
                v = (ExpandChannel(p, format.dwRBitMask) << 16) | (ExpandChannel(p, format.dwGBitMask) << 8) |
                    ExpandChannel(p, format.dwBBitMask);
                break;
            }
            }
            out[x] = v;
        }
    }
    Show(true);
}

const std::uint32_t* GetLastPresentedPixels(int* width, int* height)
{
    if (width != nullptr) *width = g_display.shownWidth;
    if (height != nullptr) *height = g_display.shownHeight;
    return g_display.shown.get();
}

unsigned GetPresentCount()
{
    return g_display.presents;
}

void SetDisplayClock(DisplayClock clock, DisplaySleep sleep)
{
    g_display.clock = clock;
    g_display.sleep = sleep;
}

std::uint64_t DisplayNowMicroseconds()
{
    return g_display.clock != nullptr ? g_display.clock() : KernelMicroseconds();
}

void DisplaySleepMicroseconds(std::uint64_t microseconds)
{
    if (g_display.sleep != nullptr)
        g_display.sleep(microseconds);
    else
        KernelSleep(microseconds);
}

std::uint64_t GetVerticalBlankPeriodMicroseconds()
{
    int refresh = GetVirtualDisplayMode().refresh;
    if (refresh <= 0) refresh = 60;
    return 1000000u / static_cast<std::uint64_t>(refresh);
}

DWORD GetCurrentScanLine()
{
    std::uint64_t period = GetVerticalBlankPeriodMicroseconds();
    std::uint64_t phase = DisplayNowMicroseconds() % period;
    return static_cast<DWORD>(phase * kLinesPerFrame / period);
}

bool IsInVerticalBlank()
{
    return GetCurrentScanLine() >= kLinesPerFrame - kBlankLines;
}

void WaitForVerticalBlankBegin()
{
    std::uint64_t period = GetVerticalBlankPeriodMicroseconds();
    // Rounded up so the wait ends on the blank's first line, not just before it.
    std::uint64_t blankStart = (period * (kLinesPerFrame - kBlankLines) + kLinesPerFrame - 1) / kLinesPerFrame;
    std::uint64_t now = DisplayNowMicroseconds();
    std::uint64_t phase = now % period;
    std::uint64_t wait = phase < blankStart ? blankStart - phase : period - phase + blankStart;
    DisplaySleepMicroseconds(wait);
}

void ResetVirtualDisplay()
{
    DisplayPresenter presenter = g_display.presenter;
    DisplayClock clock = g_display.clock;
    DisplaySleep sleep = g_display.sleep;
    DisplayChangeListener listener = g_display.changeListener;
    g_display = DisplayState{};
    g_display.changeListener = listener;
    g_display.presenter = presenter;
    g_display.clock = clock;
    g_display.sleep = sleep;
}
