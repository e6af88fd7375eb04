// Owns the 2D surface table, the per-graph surface operations, the image
// transfers into 2D surfaces, the 2D draw-target switch (the current-target
// fields of SCREENSTATE) and the blend-graph services. Calls the image
// surfaces, the MEMIMG layer, the converting copy, the screen layer and the
// window layer's timer.
#include "graphics/d3d/d3ddevice.h"
#include "graphics/soft/surface2d.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "core/sysstate.h"
#include "graphics/blendtable.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/graph_movie.h"
#include "graphics/image/convert.h"
#include "graphics/image/dib.h"
#include "graphics/screen.h"
#include "platform/window/window.h"

SURF2DTABLE Surface2DTable;

namespace {

bool ClipperWanted()
{
    return SysState.WindowModeFlag == 1 || ScreenState.GdiSurfaceRequest == 1 || SysState.MenuUse == 1;
}

IMGSURFREC* ImageOf(const SURF2DREC* s)
{
    return s != nullptr ? GetImageSurfaceRecord(s->ImageSurface) : nullptr;
}

// Index of the first palette entry equal to the transparent colour in the
// image's own format, 0 when none is.
DWORD PaletteKeyIndex(const MEMIMG* image, int alpha)
{
    const MEMIMGBODY* body = image->Body;
    const COLORFMT* direct = LookupMemImgColorFormat(body->PixelFormat, alpha, 0);
    const DWORD t = DrawState.TransColor;
    const DWORD key = GetColorValueInFormat(direct, (t >> 16) & 0xFF, (t >> 8) & 0xFF, t & 0xFF, 255);
    const bool wide = body->PixelFormat == MEMIMG_FORMAT_XRGB8888;
    const DWORD mask = wide ? 0xFFFFFF : 0xFFFF;
    for (int i = 0; i < 256; ++i) {
        DWORD entry;
        if (wide) {
            std::memcpy(&entry, body->Palette + i * 4, 4);
        } else {
            WORD e16;
            std::memcpy(&e16, body->Palette + i * 2, 2);
            entry = e16;
        }
        if ((entry & mask) == (key & mask)) return static_cast<DWORD>(i);
    }
    return 0;
}

// The 8-bit screen's transfer: the image goes through a DIB section and GDI
// picks each pixel's nearest palette entry. 0, or -1.
int TransferThroughDIBSection(IDirectDrawSurface7* surface, const GraphImage* image, const RECT& src, int destX,
                              int destY)
{
    HDC memory = CreateCompatibleDC(nullptr);
    if (memory == nullptr) return -1;
    HDC surfaceDc = nullptr;
    if (FAILED(surface->GetDC(&surfaceDc))) {
        DeleteDC(memory);
        return -1;
    }
    auto fail = [&](const char* message) {
        if (message != nullptr) WriteLog(message);
        surface->ReleaseDC(surfaceDc);
        DeleteDC(memory);
        return -1;
    };
    auto* info = static_cast<BITMAPINFO*>(AllocMemoryZeroed(sizeof(BITMAPINFO), __FILE__, __LINE__));
    if (info == nullptr) return fail(nullptr);
    void* bits = nullptr;
    const int made = ConvertGraphImageToDIB(image, info, &bits);
    if (made == 0) {
        // The section's failures free the picture handed to them: never the image's own pixels.
        const std::size_t size = static_cast<std::size_t>(image->Pitch) * image->Height;
        void* copy = size != 0 ? AllocMemory(size, __FILE__, __LINE__) : nullptr;
        if (copy != nullptr) std::memcpy(copy, bits, size);
        bits = copy;
    }
    if (bits == nullptr) {
        FreeMemory(info);
        return fail("GraphImage を BMP に変換する処理が失敗しました");
    }
    HBITMAP section = CreateDIBGraph(info, bits);
    if (section == nullptr) return fail("ＢＭＰデータからＢＭＰハンドルを作成する処理が失敗しました");
    HGDIOBJ old = SelectObject(memory, section);
    BitBlt(surfaceDc, destX, destY, src.right - src.left, src.bottom - src.top, memory, src.left, src.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(section);
    FreeMemory(bits);
    FreeMemory(info);
    surface->ReleaseDC(surfaceDc);
    DeleteDC(memory);
    return 0;
}

} // namespace

void ResetSurface2DTable()
{
    ResetHandleTable(Surface2DTable);
}

int GetSurface2DHighWater()
{
    return static_cast<int>(Surface2DTable.HighWater);
}

int GetSurface2DImageSurfaceOfSlot(int slot)
{
    if (slot < 0 || slot >= GetSurface2DHighWater()) return -1;
    const SURF2DREC* r = Surface2DTable.Records[slot];
    return r != nullptr ? r->ImageSurface : -1;
}

int GetSurface2DHandleOfSlot(int slot)
{
    if (slot < 0 || slot >= GetSurface2DHighWater()) return -1;
    const SURF2DREC* r = Surface2DTable.Records[slot];
    return r != nullptr ? MakeHandleValue(r->Head.Check, HANDLETAG_SURFACE2D, static_cast<std::uint32_t>(slot)) : -1;
}

SURF2DREC* GetSurface2DRecord(int handle)
{
    return GetHandleRecord(Surface2DTable, handle);
}

int AddSurface2D(WORD w, WORD h, WORD xInGraph, WORD yInGraph, DWORD owner, const SURF2DREC* share, WORD sourceX,
                 WORD sourceY, const IMGFLAGS* flags)
{
    if (HasScreenLayer() == 0) {
        WriteLog("ＺＡＲＶＯが初期化されていません\n");
        return -1;
    }
    const int slot = FindFreeHandleSlot(Surface2DTable);
    if (slot < 0) {
        WriteLog("２Ｄグラフィックの量が許容量を越えました\n");
        return -1;
    }
    SURF2DREC* r = AllocHandleRecord(Surface2DTable, slot, __FILE__, __LINE__);
    int image = -1;
    if (r != nullptr) {
        if (share != nullptr) {
            image = share->ImageSurface;
            if (IncImageSurfaceRef(image) < 0) image = -1;
        } else {
            image = AddImageSurface(1, w, h, DrawState.TransColor, flags);
        }
    }
    if (r == nullptr || image < 0) {
        WriteLog("メモリの確保に失敗しました in AddSurface2D \n");
        if (r != nullptr) DiscardHandleRecord(Surface2DTable, slot);
        return -1;
    }
    r->XInGraph = xInGraph;
    r->YInGraph = yInGraph;
    r->SourceX = sourceX;
    r->SourceY = sourceY;
    r->Width = w;
    r->Height = h;
    r->Owner = owner;
    r->ImageSurface = image;
    return CommitHandleRecord(Surface2DTable, slot);
}

int AttachSurface2DDeleteFlag(int handle, int* flag)
{
    BindHandleDeletedFlag(Surface2DTable, handle, flag);
    return 0;
}

int DeleteSurface2D(int handle)
{
    SURF2DREC* r = GetSurface2DRecord(handle);
    if (r == nullptr) return 0;
    if (DecImageSurfaceRef(r->ImageSurface) == 0) DeleteImageSurface(r->ImageSurface);
    ReleaseHandleRecord(Surface2DTable, handle);
    return 0;
}

int CreateGraphSurface2D(GRAPHREC* g)
{
    if (HasScreenLayer() == 0) return -1;
    g->SurfaceCount = 1;
    g->Surfaces[0] = AddSurface2D(static_cast<WORD>(g->Width), static_cast<WORD>(g->Height), 0, 0,
                                  static_cast<DWORD>(g->Handle), nullptr, 0, 0, &g->Format);
    return g->Surfaces[0] < 0 ? -1 : 0;
}

int CreateDerivedSurface2D(GRAPHREC* g, int x, int y, int w, int h, const GRAPHREC* parent)
{
    const SURF2DREC* ps = GetSurface2DRecord(parent->Surfaces[0]);
    if (ps == nullptr) return -1;
    g->Surfaces[0] = AddSurface2D(static_cast<WORD>(w), static_cast<WORD>(h), 0, 0, static_cast<DWORD>(g->Handle), ps,
                                  static_cast<WORD>(ps->SourceX + x), static_cast<WORD>(ps->SourceY + y), &g->Format);
    g->SurfaceCount = 1;
    return g->Surfaces[0] < 0 ? -1 : 0;
}

int DeleteGraphSurfaces2D(GRAPHREC* g)
{
    if (HasScreenLayer() == 0) return -1;
    int result = 0;
    for (int i = 0; i < g->SurfaceCount; ++i) result |= DeleteSurface2D(g->Surfaces[i]);
    g->SurfaceCount = 0;
    return result;
}

int RestoreGraphSurfaces2D(GRAPHREC* g)
{
    int result = 0;
    for (int i = 0; i < g->SurfaceCount; ++i) {
        const SURF2DREC* s = GetSurface2DRecord(g->Surfaces[i]);
        if (s == nullptr) return -1;
        result |= RestoreImageSurfaceIfLost(s->ImageSurface);
    }
    return result;
}

int RestoreAllSurfaces2D()
{
    int result = RestoreLostOutputSurfaces() == -1 ? -1 : 0;
    for (int slot = 0; slot < GetSurface2DHighWater(); ++slot) {
        const int image = GetSurface2DImageSurfaceOfSlot(slot);
        if (image != -1) result |= RestoreImageSurfaceIfLost(image);
    }
    return result;
}

int FillGraphSurfaces2D(GRAPHREC* g, int red, int green, int blue, int alpha)
{
    if (HasScreenLayer() == 0) return -1;
    for (int i = 0; i < g->SurfaceCount; ++i) {
        const SURF2DREC* s = GetSurface2DRecord(g->Surfaces[i]);
        if (s == nullptr || FillImageSurfaceColor(s->ImageSurface, red, green, blue, alpha) != 0) return -1;
    }
    return 0;
}

int TransferImageRectToSurface2D(const COLORFMT*, HBITMAP, HBITMAP, const RECT* sourceRect, int destX, int destY,
                                 int surface, int, GraphImage* image, GraphImage* alpha, DWORD option)
{
    if (HasScreenLayer() == 0) return -1;
    const SURF2DREC* s = GetSurface2DRecord(surface);
    IMGSURFREC* is = ImageOf(s);
    if (is == nullptr || image == nullptr || image->Pixels == nullptr) return -1;

    // The rectangle is clipped to the image (and mask) and to the image
    // surface, so a shorter image than the rectangle asks for never reads
    // past its pixels.
    RECT src = *sourceRect;
    int limitW = image->Width;
    int limitH = image->Height;
    if (alpha != nullptr && alpha->Pixels != nullptr) {
        limitW = std::min(limitW, alpha->Width);
        limitH = std::min(limitH, alpha->Height);
    }
    if (src.left < 0) {
        destX -= src.left;
        src.left = 0;
    }
    if (src.top < 0) {
        destY -= src.top;
        src.top = 0;
    }
    if (destX < 0) {
        src.left -= destX;
        destX = 0;
    }
    if (destY < 0) {
        src.top -= destY;
        destY = 0;
    }
    src.right = std::min<LONG>(src.right, limitW);
    src.bottom = std::min<LONG>(src.bottom, limitH);
    src.right = std::min<LONG>(src.right, src.left + (is->Width - destX));
    src.bottom = std::min<LONG>(src.bottom, src.top + (is->Height - destY));
    if (src.right <= src.left || src.bottom <= src.top) {
        SetImageSurfaceColorKey(s->ImageSurface);
        return 0;
    }
    const int w = src.right - src.left;
    const int h = src.bottom - src.top;

    if (ScreenState.ColorBits == 8 && is->Software == 0) {
        if (is->Surface == nullptr || TransferThroughDIBSection(is->Surface, image, src, destX, destY) != 0) return -1;
    } else if (is->Software == 1) {
        if (!IsMemImgAlive(&is->Image)) return -1;
        TransferGraphImageToMemImg(image, alpha, &is->Image, src.left, src.top, w, h, destX, destY, 1);
        MEMIMGBODY* body = is->Image.Body;
        if (body->UsePalette == 1 && alpha == nullptr) body->ColorKey = PaletteKeyIndex(&is->Image, body->UseAlpha);
    } else {
        if (is->Surface == nullptr) return -1;
        RECT dst{destX, destY, destX + w, destY + h};
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (FAILED(is->Surface->Lock(&dst, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr))) {
            WriteLog("２Ｄサーフェスのロックに失敗しました\n");
            return -1;
        }
        CopyPixelsConvertingFormat(desc.lpSurface, desc.lPitch, GetScreenColorFormatRecord(), image->Pixels,
                                   image->Pitch, &image->Format, nullptr, 0, nullptr, 0, 0, &src, 0, 0, 0, 0, 0,
                                   static_cast<int>(option), 0, 0);
        is->Surface->Unlock(&dst);
    }
    SetImageSurfaceColorKey(s->ImageSurface);
    return 0;
}

int TransferImageToSurface2D(const COLORFMT* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap, int x, int y,
                             int surface, int sourceKind, GraphImage* image, GraphImage* alpha, DWORD option)
{
    const SURF2DREC* s = GetSurface2DRecord(surface);
    if (s == nullptr) return -1;
    RECT src{x, y, x + s->Width, y + s->Height};
    return TransferImageRectToSurface2D(bitmapFormat, colourBitmap, alphaBitmap, &src, s->SourceX, s->SourceY, surface,
                                        sourceKind, image, alpha, option);
}

int TransferImageToGraph2D(const COLORFMT* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap, int sourceX,
                           int sourceY, GRAPHREC* g, int sourceKind, GraphImage* image, GraphImage* alpha)
{
    for (int i = 0; i < g->SurfaceCount; ++i) {
        const SURF2DREC* s = GetSurface2DRecord(g->Surfaces[i]);
        if (s == nullptr) return -1;
        if (TransferImageToSurface2D(bitmapFormat, colourBitmap, alphaBitmap, s->XInGraph + sourceX,
                                     s->YInGraph + sourceY, g->Surfaces[i], sourceKind, image, alpha,
                                     g->SingleChannelOption) != 0) {
            return -1;
        }
    }
    return 0;
}

int TransferImageRectToGraph2D(const COLORFMT* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap,
                               const RECT* sourceRect, int destX, int destY, GRAPHREC* g, int sourceKind,
                               GraphImage* image, GraphImage* alpha)
{
    const int w = sourceRect->right - sourceRect->left;
    const int h = sourceRect->bottom - sourceRect->top;
    for (int i = 0; i < g->SurfaceCount; ++i) {
        const SURF2DREC* s = GetSurface2DRecord(g->Surfaces[i]);
        if (s == nullptr) return -1;
        const int left = std::max(destX, static_cast<int>(s->XInGraph));
        const int top = std::max(destY, static_cast<int>(s->YInGraph));
        const int right = std::min(destX + w, s->XInGraph + s->Width);
        const int bottom = std::min(destY + h, s->YInGraph + s->Height);
        if (right <= left || bottom <= top) continue;
        RECT src{sourceRect->left + (left - destX), sourceRect->top + (top - destY),
                 sourceRect->left + (right - destX), sourceRect->top + (bottom - destY)};
        if (TransferImageRectToSurface2D(bitmapFormat, colourBitmap, alphaBitmap, &src,
                                         s->SourceX + (left - s->XInGraph), s->SourceY + (top - s->YInGraph),
                                         g->Surfaces[i], sourceKind, image, alpha, 0) != 0) {
            return -1;
        }
    }
    return 0;
}

int SelectSurface2DDrawTarget(int target, int oldTarget)
{
    SCREENSTATE& s = ScreenState;
    s.DrawImage = nullptr;
    const bool viaTemp = s.FrontViaTempPrimary == 1 && s.TempPrimarySurface != nullptr;
    if (oldTarget == DRAWTARGET_FRONT && viaTemp) {
        KillTimer(s.Window, FRONT_COPY_TIMER_ID);
        CopyTempPrimaryToPrimary();
    }
    if (target == DRAWTARGET_FRONT) {
        s.DrawSurface = viaTemp ? s.TempPrimarySurface : s.PrimarySurface;
        s.DrawImage = s.FrontImage.Tag == MEMIMG_TAG ? &s.FrontImage : nullptr;
        s.DrawDepthImage = nullptr;
        s.DrawOffsetX = 0;
        s.DrawOffsetY = 0;
        if (s.GdiOnly != 1 && s.PrimarySurface != nullptr) {
            if (ClipperWanted()) s.PrimarySurface->SetClipper(nullptr);
            if (viaTemp) {
                s.PrimarySurface->SetClipper(s.Clipper);
                CopyPrimaryToTempPrimary();
                SetTimer(s.Window, FRONT_COPY_TIMER_ID, 17, FrontCopyTimerProc);
            }
        }
    } else if (target == DRAWTARGET_BACK) {
        s.DrawSurface = s.BackSurface;
        s.DrawImage = s.BackImage.Tag == MEMIMG_TAG ? &s.BackImage : nullptr;
        s.DrawDepthImage = s.DepthImage.Tag == MEMIMG_TAG ? &s.DepthImage : nullptr;
        s.DrawOffsetX = 0;
        s.DrawOffsetY = 0;
    } else {
        GRAPHREC* g = GetGraphRecord(target);
        if (g == nullptr) return -1;
        if (g->Format.Texture == 1) {
            // The Direct3D switch binds a texture target; 2D work has no surface to draw on.
            if (CurrentD3DDevice() == nullptr) return -1;
            s.DrawSurface = nullptr;
            s.DrawDepthImage = nullptr;
            s.DrawOffsetX = 0;
            s.DrawOffsetY = 0;
            DrawState.TargetInVideoMemory = 1;
            return 0;
        }
        const SURF2DREC* surface = GetSurface2DRecord(g->Surfaces[0]);
        IMGSURFREC* is = ImageOf(surface);
        if (is == nullptr) return -1;
        s.DrawDepthImage = nullptr;
        if (is->Software == 0) {
            s.DrawSurface = is->Surface;
            s.DrawOffsetX = surface->SourceX;
            s.DrawOffsetY = surface->SourceY;
        } else {
            s.DrawSurface = nullptr;
            s.DrawImage = IsMemImgAlive(&is->Image) ? &is->Image : nullptr;
            s.DrawOffsetX = 0;
            s.DrawOffsetY = 0;
        }
        if (IsMemImgAlive(&is->DepthImage)) s.DrawDepthImage = &is->DepthImage;
    }
    if (target != DRAWTARGET_FRONT && s.GdiOnly != 1 && s.PrimarySurface != nullptr && ClipperWanted()) {
        s.PrimarySurface->SetClipper(s.Clipper);
    }
    DDSCAPS2 caps{};
    if (s.DrawSurface != nullptr) s.DrawSurface->GetCaps(&caps);
    DrawState.TargetInVideoMemory = (s.DrawSurface != nullptr && (caps.dwCaps & DDSCAPS_VIDEOMEMORY)) ? 1 : 0;
    return 0;
}

MEMIMG* GetBlendGraphMemImg()
{
    if (DrawState.BlendGraph == -1) return nullptr;
    GRAPHREC* g = GetGraphRecord(DrawState.BlendGraph);
    if (g == nullptr || g->Format.Texture == 1) return nullptr;
    IMGSURFREC* is = ImageOf(GetSurface2DRecord(g->Surfaces[0]));
    if (is == nullptr || !IsMemImgAlive(&is->Image)) return nullptr;
    return &is->Image;
}

const MEMIMG* GetSurface2DMemImg(const SURF2DREC* surface, MEMIMG* view)
{
    IMGSURFREC* is = ImageOf(surface);
    if (is == nullptr || !IsMemImgAlive(&is->Image)) return nullptr;
    if (surface->SourceX == 0 && surface->SourceY == 0 && surface->Width == is->Image.Width &&
        surface->Height == is->Image.Height) {
        return &is->Image;
    }
    std::memset(view, 0, sizeof *view);
    ShareMemImgRegion(view, &is->Image, surface->SourceX, surface->SourceY, surface->Width, surface->Height);
    return IsMemImgAlive(view) ? view : nullptr;
}

void ReleaseSurface2DView(const MEMIMG* image, MEMIMG* view)
{
    if (image == view) DropMemImgReference(view);
}

int TransferMovieFrameToGraph2D(MOVIEREC* movie, void* data)
{
    // Nothing new from the player: the graph already shows this frame.
    GraphImage* picture = GraphMovieService().GetPicture(movie, 1);
    if (picture == nullptr) return 0;
    GRAPHREC* g = static_cast<GRAPHREC*>(data);
    return TransferImageToGraph2D(nullptr, nullptr, nullptr, g->SourceX, g->SourceY, g, 0,
                                  picture, nullptr);
}
