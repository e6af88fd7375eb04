// Owns the 2D back-end of strings: the straight path writes glyphs into the
// draw target's image, the blended path composes the string on the font's
// drawing surface and draws that surface through the 2D draw, or, for
// anti-aliased strings in software where that draws the same, blends each
// glyph straight onto the target. Calls the font system's string worker, the
// 2D draw preparation, the 1:1 blit's rules and the MEMIMG layer.
#include "graphics/d3d/d3ddraw.h"
#include "graphics/soft/backend2d.h"

#include <algorithm>

#include "graphics/soft/draw2d.h"
#include "graphics/drawstate.h"
#include "graphics/font/font.h"
#include "graphics/kernel_entries.h"
#include "graphics/matrix.h"
#include "graphics/screen.h"
#include "graphics/soft/surface2d.h"
#include "softrender/pixelops/image_ops.h"

namespace {

// An anti-aliased string blended glyph by glyph straight onto the software
// destination, where that draws what composing it would: 1 when drawn, 0
// when it must be composed.
int BlendStringInPlace(int x, int y, const char* text, DWORD colour, int font)
{
    const MEMIMG* blendImage = GetBlendGraphMemImg();
    const KERNELPARAMS k = ReadKernelParams(blendImage);
    // The composed string's clear pixels draw too under the modes past subtraction.
    const int mode = softpix::SelectImageMode(k.Mode, k.Param, false);
    if (blendImage != nullptr || mode < 0 || mode > ToInt(BlendMode::Subtract)) return 0;
    if (RefreshFontCacheSurfaces(font) < 0) return 0;
    const FONTREC* f = GetFontRecord(font);
    const SURF2DREC* surface = f != nullptr ? GetSurface2DRecord(f->DrawSurface) : nullptr;
    const IMGSURFREC* is = surface != nullptr ? GetImageSurfaceRecord(surface->ImageSurface) : nullptr;
    if (is == nullptr || IsMemImgAlive(&is->Image) == 0) return 0;
    KERNELPARAMS untinted = k;
    untinted.Bright = 0xFFFFFF;
    return BlendStringWithFontCache(untinted, SoftwareDestination(), is->Image.Body, x, y, text, colour, font, nullptr);
}

} // namespace

int DrawFontString2D(int x, int y, const char* text, DWORD colour, int font, DWORD edgeColour, int vertical)
{
    if (HasScreenLayer() == 0) return -1;
    FONTREC* f = GetFontRecord(font);
    if (f == nullptr) return -1;
    const DRAWSTATE& d = DrawState;
    const bool straight = ScreenState.ColorBits == 8 ||
                          ((f->Type & FONTTYPE_ANTIALIAS) == 0 &&
                           (d.BlendMode == 0 || (d.BlendMode == 1 && d.BlendParam == 255)));
    if (!straight && vertical == 0 && f->Type == FONTTYPE_ANTIALIAS && IsSoftwareDrawing() == 1) {
        if (BlendStringInPlace(x, y, text, colour, font) == 1) return 0;
    }
    // Drawing straight into the software image needs no size: the measure is skipped there.
    SIZE size{};
    if (!straight || IsSoftwareDrawing() == 0) {
        RenderStringWithFontCache(0, x, y, 0, 1.0, 1.0, text, colour, nullptr, nullptr, 1, font, edgeColour, -1,
                                  vertical, &size);
    }
    if (straight) {
        if (IsSoftwareDrawing() == 1) {
            MEMIMG* dest = ScreenState.DrawImage;
            if (dest == nullptr || IsMemImgAlive(dest) == 0) return -1;
            return RenderStringWithFontCache(1, x, y, 0, 1.0, 1.0, text, colour, dest, &d.DrawArea, 1, font,
                                             edgeColour, -1, vertical, nullptr) < 0
                       ? -1
                       : 0;
        }
        G_D3D_EndCurrentScene();
        const RECT rect{x, y, x + size.cx, y + size.cy};
        // The worker takes screen values: it brightens them and writes them in
        // the prepared destination's layout itself.
        if (PrepareSurface2DDraw(nullptr, 0, nullptr, &rect, 1, nullptr, nullptr) < 0) return -1;
        const RECT clip = Draw2DBlock.DestRect;
        RenderStringWithFontCache(1, x, y, 0, 1.0, 1.0, text, colour, const_cast<MEMIMG*>(Draw2DBlock.Dest), &clip, 1,
                                  font, edgeColour, -1, vertical, nullptr);
        FinishSurface2DDraw();
        return 0;
    }

    RefreshFontCacheSurfaces(font);
    const SURF2DREC* surface = GetSurface2DRecord(f->DrawSurface);
    IMGSURFREC* is = surface != nullptr ? GetImageSurfaceRecord(surface->ImageSurface) : nullptr;
    if (is == nullptr || IsMemImgAlive(&is->Image) == 0) return -1;
    MEMIMG* image = &is->Image;
    const RECT savedArea = DrawState.DrawArea;
    const DWORD savedBright = DrawState.DrawBright;
    int sw = 0;
    int sh = 0;
    GetScreenPixelSize(&sw, &sh);
    const RECT composeArea{0, 0, std::min<LONG>(size.cx, sw), std::min<LONG>(size.cy, sh)};
    DWORD key = 0;
    if (image->Body->UseAlpha == 0) {
        // The key must differ from what the worker writes, brightness applied,
        // or ink the colour of the key would vanish.
        const DWORD ink = GetBrightenedTextColor(colour);
        const DWORD edgeInk = GetBrightenedTextColor(edgeColour);
        key = image->Body->ColorKey;
        while (key == ink || key == edgeInk || key == ScreenColorInKernelLayout(ink) ||
               key == ScreenColorInKernelLayout(edgeInk)) {
            ++key;
        }
        image->Body->ColorKey = key;
    }
    FillMemImgRectRaw(image, &composeArea, key);
    if (RenderStringWithFontCache(1, 0, 0, 0, 1.0, 1.0, text, colour, image, &composeArea, 1, font, edgeColour, -1,
                                  vertical, nullptr) < 0) {
        return -1;
    }
    // Plain and edged glyphs are written as screen colour values, but the
    // image is drawn as the kernels' layout, which the screen's may not be.
    if ((f->Type & FONTTYPE_ANTIALIAS) == 0) ConvertImageRectToKernelLayout(image, composeArea, key);
    // The whole string takes the blend mode once: drawn untinted, since the
    // worker already applied the brightness.
    DrawState.DrawBright = 0xFFFFFF;
    RECT area{x, y, x + size.cx, y + size.cy};
    ClipRectAgainstRect(&area, &savedArea);
    DrawState.DrawArea = area;
    const int result = DrawSurface2DAt(x, y, f->DrawSurface, 1);
    DrawState.DrawArea = savedArea;
    DrawState.DrawBright = savedBright;
    return result < 0 ? -1 : 0;
}
