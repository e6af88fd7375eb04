// Owns the 2D back-ends' clear of the draw target; reads SCREENSTATE, the
// drawing state and the background colour of SYSSTATE, fills through
// platform/ddraw or the MEMIMG layer.
#include "graphics/backend2d.h"

#include "core/sysstate.h"
#include "graphics/drawstate.h"
#include "graphics/screen.h"

int ClearDrawTarget2D()
{
    SCREENSTATE& s = ScreenState;
    if (HasScreenLayer() == 0) return -1;
    const int target = DrawState.DrawTarget;
    if (s.SoftwareRendering == 1 || s.GdiOnly == 1) {
        if (s.DrawImage == nullptr || s.DrawImage->Tag != MEMIMG_TAG) return target < 0 ? 0 : -1;
        const DWORD value = GetColorValueInFormat(s.DrawImage->Body->ColorFormat, SysState.BackgroundRed,
                                                  SysState.BackgroundGreen, SysState.BackgroundBlue, 255);
        RECT whole{0, 0, s.DrawImage->Width, s.DrawImage->Height};
        FillMemImgRectRaw(s.DrawImage, &whole, value);
        if (s.DrawDepthImage != nullptr && s.DrawDepthImage->Tag == MEMIMG_TAG) {
            RECT depth{0, 0, s.DrawDepthImage->Width, s.DrawDepthImage->Height};
            FillMemImgRectRaw(s.DrawDepthImage, &depth, 0xFFFF);
        }
        return 0;
    }
    // Graph targets have no 2D surfaces until the graph layer makes them.
    if (target != -2 && target != -4) return -1;
    if (s.DrawSurface == nullptr) return 0;
    int w = 0;
    int h = 0;
    GetScreenPixelSize(&w, &h);
    RECT rect{0, 0, w, h};
    if (target == -4 && SysState.WindowModeFlag == 1 && s.DrawSurface == s.PrimarySurface) {
        const RECT& c = SysState.WindowClientRect;
        rect = RECT{c.left, c.top, c.left + w, c.top + h};
    }
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = static_cast<DWORD>(
        ConvertRGBToScreenColor(SysState.BackgroundRed, SysState.BackgroundGreen, SysState.BackgroundBlue));
    s.DrawSurface->Blt(&rect, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    if (s.DepthSurface != nullptr) {
        RECT depth{0, 0, w, h};
        DDBLTFX z{};
        z.dwSize = sizeof z;
        z.dwFillDepth = 0xFFFF;
        s.DepthSurface->Blt(&depth, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &z);
    }
    return 0;
}
