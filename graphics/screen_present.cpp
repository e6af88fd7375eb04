// Presents the back screen whenever the screen is not a plain full-screen
// flip, and the two vertical-blank waits presents use. Reads SCREENSTATE and
// the drawing state; calls platform/ddraw, platform/gdi, the MEMIMG layer,
// the message loop and the clocks.
#include "graphics/d3d/d3ddraw.h"
#include "graphics/screen.h"
#include "graphics/screen_dib.h"

#include "core/fatalexit.h"
#include "core/inactivewait.h"
#include "core/number.h"
#include "core/sysstate.h"
#include "graphics/debugconsole.h"
#include "graphics/drawstate.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/clock.h"
#include "platform/winmm/timer.h"

#include <climits>
#include <cstring>

namespace {

bool WantsVSync()
{
    return DrawState.NoVSync == 0;
}

int TruncToInt(double v)
{
    return TruncateClamped(v, INT_MIN, INT_MAX, 0);
}

void RelockBackImage(int width, int height)
{
    SCREENSTATE& s = ScreenState;
    DDSURFACEDESC2 lock{};
    lock.dwSize = sizeof lock;
    if (FAILED(s.BackSurface->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr))) {
        ExitWithFatalError("バックサーフェスのロックに失敗しました");
    }
    DropMemImgReference(&s.BackImage);
    std::memset(&s.BackImage, 0, sizeof s.BackImage);
    const int format = GetRequestedColorBits() == 16 ? MEMIMG_FORMAT_RGB565 : MEMIMG_FORMAT_XRGB8888;
    AllocateMemImg(&s.BackImage, width, height, lock.lPitch, 0, format, 0, 0, 0, lock.lpSurface);
}

// The GDI-only copy of the back image into the window's client area.
void PresentThroughGdi(const RECT& src, const RECT& dst, int width, int height, bool partial)
{
    SCREENSTATE& s = ScreenState;
    BitFieldHeader info = MakeBitFieldHeader(&s.BackImage, width, height);
    HDC dc = GetDC(SysState.MainWindow);
    if (dc == nullptr) return;
    const BITMAPINFO* bmi = reinterpret_cast<const BITMAPINFO*>(&info);
    const int dw = dst.right - dst.left;
    const int dh = dst.bottom - dst.top;
    if (partial) {
        // A paint rectangle repaints its own part of the client area; the
        // source row is counted from the bottom of the picture.
        const RECT& c = SysState.WindowClientRect;
        const int sw = src.right - src.left;
        const int sh = src.bottom - src.top;
        StretchDIBits(dc, dst.left - c.left, dst.top - c.top, dw, dh, src.left, height - src.bottom, sw, sh,
                      s.BackImage.Pixels, bmi, DIB_RGB_COLORS, SRCCOPY);
    } else if (dw == width && dh == height) {
        SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                          static_cast<UINT>(height), s.BackImage.Pixels, bmi, DIB_RGB_COLORS);
    } else {
        StretchDIBits(dc, 0, 0, dw, dh, 0, 0, width, height, s.BackImage.Pixels, bmi, DIB_RGB_COLORS, SRCCOPY);
    }
    ReleaseDC(SysState.MainWindow, dc);
}

} // namespace

DWORD WaitVerticalBlankPaced()
{
    SCREENSTATE& s = ScreenState;
    const int limit = s.VSyncWaitLimit;
    if (static_cast<int>(timeGetTime() - s.LastVSyncTime) >= limit) {
        Sleep(0);
        BOOL inBlank = FALSE;
        if (s.DirectDraw != nullptr) {
            s.DirectDraw->GetVerticalBlankStatus(&inBlank);
            if (!inBlank) s.DirectDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
        }
    } else {
        while (static_cast<int>(timeGetTime() - s.LastVSyncTime) < limit) Sleep(1);
        if (s.DirectDraw != nullptr) s.DirectDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    }
    s.LastVSyncTime = timeGetTime();
    return s.LastVSyncTime;
}

int WaitVerticalBlanks(int count)
{
    if (ScreenState.DirectDraw == nullptr) return -1;
    WaitWhileInactive();
    if (count < 0) return 0;
    // The pump may rebuild a lost screen with a new object or release it, so
    // the object is read again after every pass.
    auto pollUntil = [](BOOL wanted) {
        for (;;) {
            if (PumpMessageLoop() != 0) return;
            IDirectDraw7* dd = ScreenState.DirectDraw;
            if (dd == nullptr) return;
            BOOL inBlank = FALSE;
            dd->GetVerticalBlankStatus(&inBlank);
            if ((inBlank != FALSE) == (wanted != FALSE)) return;
        }
    };
    if (count == 0) {
        pollUntil(TRUE);
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        pollUntil(FALSE);
        if (PumpMessageLoop() < 0) return -1;
        pollUntil(TRUE);
        if (PumpMessageLoop() < 0) return -1;
    }
    return 0;
}

int PresentBackScreen(const RECT* area)
{
    SCREENSTATE& s = ScreenState;
    if (HasScreenLayer() == 0) return -1;
    if (IsDebugConsoleEnabled() == 1) DrawDebugConsole();
    if (DrawState.DrawTarget == DRAWTARGET_FRONT) {
        IncrementFlipCounter();
        return WaitVerticalBlanks(1);
    }
    int w = 0;
    int h = 0;
    GetScreenPixelSize(&w, &h);
    RECT src{0, 0, w, h};
    RECT dst = src;
    const bool windowed = SysState.WindowModeFlag == 1;
    if (windowed) {
        const double scale = GetWindowScale();
        const RECT& c = SysState.WindowClientRect;
        dst = RECT{c.left, c.top, c.left + TruncToInt(scale * w), c.top + TruncToInt(scale * h)};
        if (area != nullptr) {
            // Only the part of the paint rectangle that shows the picture.
            RECT a = *area;
            if (a.left < 0) a.left = 0;
            if (a.top < 0) a.top = 0;
            if (a.right > dst.right - dst.left) a.right = dst.right - dst.left;
            if (a.bottom > dst.bottom - dst.top) a.bottom = dst.bottom - dst.top;
            if (a.right <= a.left || a.bottom <= a.top) return 0;
            dst = RECT{a.left + c.left, a.top + c.top, a.right + c.left, a.bottom + c.top};
            src = RECT{TruncToInt(a.left / scale), TruncToInt(a.top / scale), TruncToInt(a.right / scale),
                       TruncToInt(a.bottom / scale)};
        }
    }

    if ((s.SoftwareRendering == 1 || s.GdiOnly == 1) && s.ColorBits != 8) {
        const bool lockedBack = s.GdiOnly != 1 && s.BackImage.Tag == MEMIMG_TAG && s.BackImage.Body != nullptr &&
                                s.BackImage.Body->ExternalPixels == 1;
        if (s.GdiOnly == 1) {
            if (s.BackImage.Tag != MEMIMG_TAG || s.BackImage.Body == nullptr) return 0;
            if (WantsVSync()) WaitVerticalBlankPaced();
            PresentThroughGdi(src, dst, w, h, area != nullptr && windowed);
        } else if (lockedBack) {
            s.BackSurface->Unlock(nullptr);
            if (WantsVSync()) WaitVerticalBlankPaced();
            s.PrimarySurface->Blt(&dst, s.BackSurface, &src, DDBLT_WAIT, nullptr);
            RelockBackImage(w, h);
        } else if (s.BackSurface != nullptr) {
            DDSURFACEDESC2 lock{};
            lock.dwSize = sizeof lock;
            if (FAILED(s.BackSurface->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr))) {
                ExitWithFatalError("バックサーフェスのロックに失敗しました");
            }
            GraphImage target{};
            target.Format = s.ColorFormat;
            target.Width = w;
            target.Height = h;
            target.Pitch = lock.lPitch;
            target.Pixels = lock.lpSurface;
            CopyMemImgRectToGraphImage(&target, &s.BackImage, 0, 0, w, h, 0, 0, 0, 0);
            s.BackSurface->Unlock(nullptr);
            if (WantsVSync()) WaitVerticalBlankPaced();
            s.PrimarySurface->Blt(&dst, s.BackSurface, &src, DDBLT_WAIT, nullptr);
        }
        s.FrontImageStale = 1;
        IncrementFlipCounter();
        return 0;
    }

    G_D3D_EndCurrentScene();
    if (s.PrimarySurface != nullptr && s.BackSurface != nullptr) {
        const bool gdiShown = s.GdiSurfaceRequest == 1 || SysState.MenuUse == 1;
        if (windowed) {
            if (WantsVSync()) WaitVerticalBlankPaced();
            s.PrimarySurface->Blt(&dst, s.BackSurface, &src, DDBLT_WAIT, nullptr);
        } else if (SysState.OSCode == 0x108) {
            if (gdiShown) {
                s.BackSurface->Blt(nullptr, s.PrimarySurface, &src, DDBLT_WAIT, nullptr);
                s.DirectDraw->FlipToGDISurface();
            } else {
                s.BackSurface->BltFast(0, 0, s.PrimarySurface, &src, DDBLTFAST_WAIT);
            }
        } else {
            if (WantsVSync()) WaitVerticalBlankPaced();
            if (!gdiShown) {
                s.PrimarySurface->BltFast(0, 0, s.BackSurface, &src, DDBLTFAST_WAIT);
            } else {
                s.PrimarySurface->Blt(nullptr, s.BackSurface, &src, DDBLT_WAIT, nullptr);
            }
        }
    }
    IncrementFlipCounter();
    return 0;
}
