// Owns the 2D back-ends of shapes, quads, the screen-to-graph copy and the
// clear of the draw target. Calls the 2D draw preparation, the shape,
// triangle and blit kernels, the MEMIMG layer, the screen layer and the
// background colour of SYSSTATE.
#include "graphics/d3d/d3ddraw.h"
#include "graphics/soft/backend2d.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/number.h"
#include "core/sysstate.h"
#include "graphics/soft/draw2d.h"
#include "graphics/drawstate.h"
#include "graphics/image/convert.h"
#include "graphics/screen.h"
#include "graphics/kernel_entries.h"
#include "softrender/shapes/shapes.h"
#include "softrender/triangle/fill_triangle.h"

namespace {

int TruncateToDrawable(float v)
{
    return TruncateClamped(v, -1000000000, 1000000000, -1000000000);
}

// Runs a shape kernel on the software draw image, or on the prepared
// destination over `rect`.
template <class Kernel>
int DrawShape(const RECT& rect, DWORD colour, Kernel kernel)
{
    if (IsSoftwareDrawing() == 1) {
        if (MEMIMG* dest = SoftwareDestination(); dest != nullptr) kernel(dest, colour);
        return 0;
    }
    G_D3D_EndCurrentScene();
    if (PrepareSurface2DDraw(nullptr, 0, nullptr, &rect, 1, &colour, nullptr) < 0) return -1;
    kernel(const_cast<MEMIMG*>(Draw2DBlock.Dest), colour);
    FinishSurface2DDraw();
    return 0;
}

} // namespace

int DrawTriangle2D(const int vertices[3][4], GRAPHREC* graph, int trans, DWORD colour)
{
    if (HasScreenLayer() == 0) return -1;
    const SURF2DREC* s = nullptr;
    if (graph != nullptr) {
        s = GetSurface2DRecord(graph->Surfaces[0]);
        if (s == nullptr) return -1;
    }
    const MEMIMG* blendImage = GetBlendGraphMemImg();
    if (IsSoftwareDrawing() == 1) {
        DrawWithSoftwareSource(s, [&](MEMIMG* dest, const MEMIMG* src) {
            softrender::FillMemImgTriangle(ReadKernelParams(blendImage), dest, src, &vertices[0][0], trans, colour);
        });
        return 0;
    }
    RECT dst{1000000, 1000000, -1000000, -1000000};
    RECT src{1000000, 1000000, -1000000, -1000000};
    for (int i = 0; i < 3; ++i) {
        dst.left = std::min<LONG>(dst.left, vertices[i][0]);
        dst.top = std::min<LONG>(dst.top, vertices[i][1]);
        dst.right = std::max<LONG>(dst.right, vertices[i][0]);
        dst.bottom = std::max<LONG>(dst.bottom, vertices[i][1]);
        src.left = std::min<LONG>(src.left, vertices[i][2]);
        src.top = std::min<LONG>(src.top, vertices[i][3]);
        src.right = std::max<LONG>(src.right, vertices[i][2]);
        src.bottom = std::max<LONG>(src.bottom, vertices[i][3]);
    }
    if (PrepareSurface2DDraw(s, 0, &src, &dst, 0, nullptr, nullptr) < 0) return -1;
    softrender::FillMemImgTriangle(ReadKernelParams(blendImage), const_cast<MEMIMG*>(Draw2DBlock.Dest),
                                   Draw2DBlock.Source, &vertices[0][0], trans, colour);
    FinishSurface2DDraw();
    return 0;
}

int DrawGraph2DQuad(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GRAPHREC* graph, int trans)
{
    const int w = graph->Width;
    const int h = graph->Height;
    const int first[3][4] = {{x1, y1, 0, 0}, {x2, y2, w, 0}, {x3, y3, 0, h}};
    const int second[3][4] = {{x2, y2, w, 0}, {x3, y3, 0, h}, {x4, y4, w, h}};
    DrawTriangle2D(first, graph, trans, 0);
    DrawTriangle2D(second, graph, trans, 0);
    return 0;
}

int DrawGraph2DQuadFromFloats(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                              GRAPHREC* graph, int trans)
{
    return DrawGraph2DQuad(TruncateToDrawable(x1), TruncateToDrawable(y1), TruncateToDrawable(x2),
                           TruncateToDrawable(y2), TruncateToDrawable(x3), TruncateToDrawable(y3),
                           TruncateToDrawable(x4), TruncateToDrawable(y4), graph,
                           trans);
}

int FillRect2D(int x1, int y1, int x2, int y2, DWORD colour)
{
    if (HasScreenLayer() == 0) return -1;
    const RECT rect{x1, y1, x2, y2};
    return DrawShape(rect, colour, [&](MEMIMG* dest, DWORD c) {
        softrender::FillMemImgRect(ReadKernelParams(nullptr), dest, &rect, c);
    });
}

int DrawLine2D(int x1, int y1, int x2, int y2, DWORD colour)
{
    if (HasScreenLayer() == 0) return -1;
    if (IsSoftwareDrawing() == 0 && x1 == x2 && y1 == y2) return 0;
    const RECT rect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2) + 1, std::max(y1, y2) + 1};
    return DrawShape(rect, colour, [&](MEMIMG* dest, DWORD c) {
        softrender::PlotMemImgLine(ReadKernelParams(nullptr), dest, x1, y1, x2, y2, c);
    });
}

int DrawCircle2D(int x, int y, int r, DWORD colour, int fill)
{
    if (HasScreenLayer() == 0) return -1;
    if (IsSoftwareDrawing() == 0 && r == 0) return 0;
    const RECT rect{x - r - 1, y - r - 1, x + r + 1, y + r + 1};
    return DrawShape(rect, colour, [&](MEMIMG* dest, DWORD c) {
        softrender::PlotMemImgCircle(ReadKernelParams(nullptr), dest, x, y, r, c, fill);
    });
}

int SetSpareBitsInRect(const RECT* rect, void* pixels, int pitch, const COLORFMT* format, DWORD value)
{
    if (format->SpareMask == 0) return 0;
    RECT r = *rect;
    OrderRectCorners(&r);
    for (int y = r.top; y < r.bottom; ++y) {
        BYTE* row = static_cast<BYTE*>(pixels) + static_cast<std::ptrdiff_t>(y) * pitch;
        for (int x = r.left; x < r.right; ++x) {
            if (format->BytesPerPixel == 2) {
                WORD p;
                std::memcpy(&p, row + x * 2, 2);
                p = static_cast<WORD>(p | (value << format->SpareShift));
                std::memcpy(row + x * 2, &p, 2);
            } else if (format->BytesPerPixel == 4) {
                DWORD p;
                std::memcpy(&p, row + x * 4, 4);
                p |= format->SpareMask == 0xFF000000 ? (value << 24) : (value << format->SpareShift);
                std::memcpy(row + x * 4, &p, 4);
            }
        }
    }
    return 0;
}

namespace {

// Locks `rect` of a surface (wait, plus write-only when asked); false when it cannot.
bool LockSurfaceRect(IDirectDrawSurface7* surface, RECT* rect, DWORD flags, DDSURFACEDESC2* desc)
{
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = sizeof *desc;
    return SUCCEEDED(surface->Lock(rect, desc, flags, nullptr));
}

// The copies of the draw target into a graph outside software rendering, by
// where each side keeps its pixels: 0, or -1 when a step fails.
int CopyTargetSurfacesIntoGraph(const RECT& from, const SURF2DREC* s, IMGSURFREC* is)
{
    SCREENSTATE& screen = ScreenState;
    const int w = from.right - from.left;
    const int h = from.bottom - from.top;
    // The target's pixels lie at the front screen's place on the primary,
    // and at a derived graph's place in its parent.
    int ox = screen.DrawOffsetX;
    int oy = screen.DrawOffsetY;
    if (DrawState.DrawTarget == DRAWTARGET_FRONT) {
        RECT front{};
        GetFrontScreenRect(&front);
        ox += front.left;
        oy += front.top;
    }
    RECT source{from.left + ox, from.top + oy, from.right + ox, from.bottom + oy};
    RECT dest{s->SourceX, s->SourceY, s->SourceX + w, s->SourceY + h};
    const RECT local{0, 0, w, h};
    const COLORFMT* screenFormat = &screen.ColorFormat;
    IDirectDrawSurface7* drawSurface = screen.DrawSurface;
    MEMIMG* drawImage = SoftwareDestination();
    const bool graphSurface = is->Software == 0 && is->Surface != nullptr;
    const bool graphImage = is->Software == 1 && IsMemImgAlive(&is->Image);
    DDSURFACEDESC2 desc;

    if (drawSurface != nullptr && graphSurface) {
        if (FAILED(is->Surface->Blt(&dest, drawSurface, &source, DDBLT_WAIT, nullptr))) return -1;
        if (screenFormat->SpareMask == 0) return 0;
        if (!LockSurfaceRect(is->Surface, &dest, DDLOCK_WAIT | DDLOCK_WRITEONLY, &desc)) return -1;
        SetSpareBitsInRect(&local, desc.lpSurface, desc.lPitch, screenFormat, 0xFF);
        is->Surface->Unlock(&dest);
        return 0;
    }
    if (drawImage != nullptr && graphImage) {
        CopyMemImgRect(&is->Image, drawImage, &from, s->SourceX, s->SourceY);
        return 0;
    }
    if (drawSurface == nullptr && drawImage != nullptr && graphSurface) {
        if (!LockSurfaceRect(is->Surface, &dest, DDLOCK_WAIT, &desc)) return -1;
        CopyPixelsConvertingFormat(desc.lpSurface, desc.lPitch, screenFormat, drawImage->Pixels,
                                   drawImage->Body->Pitch, drawImage->Body->ColorFormat, nullptr, 0, nullptr, 0, 0,
                                   &from, 0, 0, 0, 0, 0, 0, 0, 0);
        SetSpareBitsInRect(&local, desc.lpSurface, desc.lPitch, screenFormat, 0xFF);
        is->Surface->Unlock(&dest);
        return 0;
    }
    if (drawSurface != nullptr && graphImage) {
        IDirectDrawSurface7* work = screen.WorkSurface1;
        DDSURFACEDESC2 size{};
        size.dwSize = sizeof size;
        // A graph target can be larger than the screen-sized work surface.
        if (work == nullptr || FAILED(work->GetSurfaceDesc(&size)) || w > static_cast<int>(size.dwWidth) ||
            h > static_cast<int>(size.dwHeight)) {
            return -1;
        }
        if (CopySurfaceRect(work, drawSurface, 0, 0, &source, -1) != 0) return -1;
        RECT workRect = local;
        if (!LockSurfaceRect(work, &workRect, DDLOCK_WAIT, &desc)) return -1;
        MEMIMG& image = is->Image;
        CopyPixelsConvertingFormat(image.Pixels, image.Body->Pitch, image.Body->ColorFormat, desc.lpSurface,
                                   desc.lPitch, screenFormat, nullptr, 0, nullptr, s->SourceX, s->SourceY, &local, 0,
                                   0, 0, 0, 0, 0, 0, 0);
        BYTE* first = image.Pixels + static_cast<std::ptrdiff_t>(s->SourceY) * image.Body->Pitch;
        const RECT columns{s->SourceX, 0, s->SourceX + w, h};
        SetSpareBitsInRect(&columns, first, image.Body->Pitch, image.Body->ColorFormat, 0xFF);
        work->Unlock(&workRect);
        return 0;
    }
    return -1;
}

} // namespace

int ReadScreenIntoGraph2D(int x1, int y1, int x2, int y2, GRAPHREC* graph)
{
    if (HasScreenLayer() == 0) return -1;
    G_D3D_EndCurrentScene();
    const int w = x2 - x1;
    const int h = y2 - y1;
    if (w <= 0 || h <= 0 || w != graph->Width || h != graph->Height || x1 < 0 || y1 < 0 ||
        x2 > DrawState.TargetWidth || y2 > DrawState.TargetHeight) {
        return -1;
    }
    const SURF2DREC* s = GetSurface2DRecord(graph->Surfaces[0]);
    IMGSURFREC* is = s != nullptr ? GetImageSurfaceRecord(s->ImageSurface) : nullptr;
    if (is == nullptr) return -1;
    const RECT from{x1, y1, x2, y2};
    if (IsSoftwareDrawing() == 1) {
        if (DrawState.DrawTarget == DRAWTARGET_FRONT) RefreshFrontMemImg();
        MEMIMG* src = SoftwareDestination();
        if (src == nullptr || !IsMemImgAlive(&is->Image)) return -1;
        CopyMemImgRect(&is->Image, src, &from, s->SourceX, s->SourceY);
        return 0;
    }
    G_D3D_EndCurrentScene();
    return CopyTargetSurfacesIntoGraph(from, s, is);
}

int ClearDrawTarget2D()
{
    SCREENSTATE& s = ScreenState;
    if (HasScreenLayer() == 0) return -1;
    const int target = DrawState.DrawTarget;
    if (IsSoftwareDrawing() == 1 || s.GdiOnly == 1) {
        if (target >= 0 && GetGraphRecord(target) == nullptr) return -1;
        if (s.DrawImage == nullptr || s.DrawImage->Tag != MEMIMG_TAG) return target < 0 ? 0 : -1;
        const DWORD value = GetColorValueInFormat(s.DrawImage->Body->ColorFormat, SysState.BackgroundRed,
                                                  SysState.BackgroundGreen, SysState.BackgroundBlue, 255);
        FillMemImgRectRaw(s.DrawImage, nullptr, value);
        if (s.DrawDepthImage != nullptr && s.DrawDepthImage->Tag == MEMIMG_TAG) {
            FillMemImgRectRaw(s.DrawDepthImage, nullptr, 0xFFFF);
        }
        return 0;
    }
    if (target >= 0) {
        GRAPHREC* g = GetGraphRecord(target);
        if (g == nullptr) return -1;
        if (g->Format.Texture == 1) return 0;
        const SURF2DREC* surface = GetSurface2DRecord(g->Surfaces[0]);
        IMGSURFREC* is = surface != nullptr ? GetImageSurfaceRecord(surface->ImageSurface) : nullptr;
        if (is == nullptr) return -1;
        RECT rect{surface->SourceX, surface->SourceY, surface->SourceX + g->Width, surface->SourceY + g->Height};
        if (is->Software == 0) {
            if (is->DepthSurface != nullptr) {
                DDBLTFX z{};
                z.dwSize = sizeof z;
                z.dwFillDepth = 0xFFFF;
                is->DepthSurface->Blt(&rect, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &z);
            }
            DDBLTFX fx{};
            fx.dwSize = sizeof fx;
            fx.dwFillColor = ConvertRGBToScreenColor(SysState.BackgroundRed, SysState.BackgroundGreen,
                                                     SysState.BackgroundBlue);
            if (is->Surface != nullptr) is->Surface->Blt(&rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
        } else {
            if (IsMemImgAlive(&is->DepthImage)) FillMemImgRectRaw(&is->DepthImage, &rect, 0xFFFF);
            if (IsMemImgAlive(&is->Image)) {
                const DWORD value = GetColorValueInFormat(is->Image.Body->ColorFormat, SysState.BackgroundRed,
                                                          SysState.BackgroundGreen, SysState.BackgroundBlue, 255);
                softrender::FillMemImgRect(ReadKernelParams(nullptr), &is->Image, &rect, value);
            }
        }
        return 0;
    }
    if (s.DrawSurface == nullptr) return 0;
    int w = 0;
    int h = 0;
    GetScreenPixelSize(&w, &h);
    RECT rect{0, 0, w, h};
    if (target == DRAWTARGET_FRONT && SysState.WindowModeFlag == 1 && s.DrawSurface == s.PrimarySurface) {
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
