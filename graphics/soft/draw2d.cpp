// Owns the 2D draw block, its preparation and finish, and the 2D callers of
// the 1:1, stretch, rotate and 3D-triangle kernels. Reads SCREENSTATE and
// DRAWSTATE, locks DirectDraw surfaces through platform/ddraw, wraps them as
// MEMIMGs and calls the kernels in softrender/.
#include "graphics/d3d/d3ddraw.h"
#include "graphics/soft/draw2d.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/number.h"
#include "graphics/drawstate.h"
#include "graphics/matrix.h"
#include "graphics/screen.h"
#include "graphics/kernel_entries.h"
#include "graphics/mask.h"
#include "softrender/blit/blit.h"
#include "softrender/rotate/rotate.h"
#include "softrender/stretch/stretch.h"
#include "softrender/triangle3d/triangle3d.h"

DRAW2DBLOCK Draw2DBlock;

namespace {

int ScreenMemImgFormat()
{
    return ScreenState.ColorBits == 16 ? MEMIMG_FORMAT_RGB565 : MEMIMG_FORMAT_XRGB8888;
}

bool NeedsBlend(const SURF2DREC* source)
{
    const DRAWSTATE& d = DrawState;
    if (d.BlendMode == ToInt(BlendMode::Blend) ? d.BlendParam != 255 : d.BlendMode != ToInt(BlendMode::Copy)) return true;
    if (d.BlendGraph != -1) return true;
    if (source != nullptr) {
        const IMGSURFREC* is = GetImageSurfaceRecord(source->ImageSurface);
        if (is != nullptr && is->Format.AlphaChFlag == 1) return true;
    }
    return false;
}

// Wraps locked pixels as a MEMIMG whose origin lies `originX`, `originY`
// pixels before the locked point, so the kernels work in target coordinates.
bool WrapLocked(MEMIMG* header, void* lockPointer, int pitch, int originX, int originY, int width, int height,
                DWORD key)
{
    const int format = ScreenMemImgFormat();
    const int bpp = format == MEMIMG_FORMAT_RGB565 ? 2 : 4;
    BYTE* origin = static_cast<BYTE*>(lockPointer) - static_cast<std::ptrdiff_t>(originY) * pitch -
                   static_cast<std::ptrdiff_t>(originX) * bpp;
    std::memset(header, 0, sizeof *header);
    return AllocateMemImg(header, width, height, pitch, key, format, 0, 0, 0, origin) == 0;
}

const COLORFMT* KernelFormat()
{
    return LookupMemImgColorFormat(ScreenMemImgFormat(), 0, 0);
}

// RGB 5:5:5 and layouts other than the kernels' two are drawn in a converted copy.
bool ScreenNeedsConversion()
{
    return ScreenState.FormatKind == 1 || ScreenState.FormatKind == 3;
}

bool DestInVideoMemory()
{
    if (MaskScreen.Active == 1 && MaskScreen.Surface != nullptr && ScreenState.DrawSurface == MaskScreen.Surface) {
        return MaskScreen.VideoMemory == 1;
    }
    return DrawState.TargetInVideoMemory == 1;
}

// Re-encodes a locked rectangle in place between two layouts of one pixel size.
void ConvertLockedPixels(BYTE* first, int pitch, int width, int height, const COLORFMT* to, const COLORFMT* from)
{
    for (int y = 0; y < height; ++y) {
        BYTE* p = first + static_cast<std::ptrdiff_t>(y) * pitch;
        if (from->BytesPerPixel == 2) {
            for (int x = 0; x < width; ++x, p += 2) {
                WORD v;
                std::memcpy(&v, p, 2);
                v = static_cast<WORD>(ConvertColorValueBetweenFormats(to, from, v));
                std::memcpy(p, &v, 2);
            }
        } else {
            for (int x = 0; x < width; ++x, p += 4) {
                DWORD v;
                std::memcpy(&v, p, 4);
                v = ConvertColorValueBetweenFormats(to, from, v);
                std::memcpy(p, &v, 4);
            }
        }
    }
}

bool LockWaiting(IDirectDrawSurface7* surface, RECT* rect, DDSURFACEDESC2* desc)
{
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = sizeof *desc;
    return SUCCEEDED(surface->Lock(rect, desc, DDLOCK_WAIT, nullptr));
}

// A work surface holds a rectangle only at positions inside it.
bool FitsIn(IDirectDrawSurface7* work, const RECT& r)
{
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (work == nullptr || FAILED(work->GetSurfaceDesc(&desc))) return false;
    return r.left >= 0 && r.top >= 0 && r.right <= static_cast<LONG>(desc.dwWidth) &&
           r.bottom <= static_cast<LONG>(desc.dwHeight);
}

void UnlockAll(DRAW2DBLOCK& b)
{
    if (b.SourceLocked == 1) {
        RECT whole{0, 0, b.SourceLockRect.right - b.SourceLockRect.left,
                   b.SourceLockRect.bottom - b.SourceLockRect.top};
        if (b.SourceViaWork == 1)
            ScreenState.WorkSurface2->Unlock(&whole);
        else if (b.SourceSurface != nullptr)
            b.SourceSurface->Unlock(&b.SourceLockRect);
    }
    if (b.DestLocked == 1) {
        if (b.DestViaWork == 1)
            ScreenState.WorkSurface1->Unlock(&b.DestRect);
        else if (b.DestSurface != nullptr)
            b.DestSurface->Unlock(&b.DestLockRect);
    }
    b.SourceLocked = 0;
    b.DestLocked = 0;
}

// Locks the destination surface's clipped rectangle, through work surface 1
// where it fits or straight, and wraps it for the kernels; shape colours
// follow a conversion. False with nothing locked when it cannot.
bool PrepareDestSurface(DRAW2DBLOCK& b, IDirectDrawSurface7* destSurface, bool blend, int shapeDraw, DWORD* colour,
                        DWORD* secondColour)
{
    // The kernels have no 8-bit layout to draw in.
    if (destSurface == nullptr || ScreenState.ColorBits == 8) return false;
    const DRAWSTATE& d = DrawState;
    const RECT& clipped = b.DestRect;
    const bool convert = ScreenNeedsConversion();
    const bool wantWork = (DestInVideoMemory() && blend) || (convert && (blend || shapeDraw == 0));
    const int ox = d.TargetScreenRect.left + ScreenState.DrawOffsetX;
    const int oy = d.TargetScreenRect.top + ScreenState.DrawOffsetY;
    b.DestSurface = destSurface;
    b.DestLockRect = RECT{clipped.left + ox, clipped.top + oy, clipped.right + ox, clipped.bottom + oy};
    // A graph target larger than the screen-sized work surface is drawn in place.
    const bool viaWork = wantWork && FitsIn(ScreenState.WorkSurface1, clipped);
    if (viaWork && CopySurfaceRect(ScreenState.WorkSurface1, destSurface, clipped.left, clipped.top, &b.DestLockRect,
                                   -1) != 0) {
        return false;
    }
    RECT lockRect = viaWork ? clipped : b.DestLockRect;
    DDSURFACEDESC2 desc;
    if (!LockWaiting(viaWork ? ScreenState.WorkSurface1 : destSurface, &lockRect, &desc)) return false;
    b.DestViaWork = viaWork ? 1 : 0;
    b.DestLocked = 1;
    b.DestPixels = static_cast<BYTE*>(desc.lpSurface);
    b.DestPitch = desc.lPitch;
    if (wantWork && convert) {
        const COLORFMT* kernel = KernelFormat();
        const COLORFMT* screen = &ScreenState.ColorFormat;
        ConvertLockedPixels(b.DestPixels, b.DestPitch, clipped.right - clipped.left, clipped.bottom - clipped.top,
                            kernel, screen);
        b.DestConverted = 1;
        if (colour != nullptr) *colour = ScreenColorInKernelLayout(*colour);
        if (secondColour != nullptr) *secondColour = ScreenColorInKernelLayout(*secondColour);
    }
    if (!WrapLocked(&b.DestImage, desc.lpSurface, desc.lPitch, clipped.left, clipped.top, clipped.right,
                    clipped.bottom, 0)) {
        return false;
    }
    b.Dest = &b.DestImage;
    return true;
}

// Locks a DirectDraw source, through work surface 2 where it fits or
// straight, and wraps it in the kernels' layout.
bool PrepareSourceSurface(DRAW2DBLOCK& b, const SURF2DREC* source, const IMGSURFREC* image)
{
    if (image->Surface == nullptr || ScreenState.ColorBits == 8) return false;
    const bool convert = ScreenNeedsConversion();
    b.SourceSurface = image->Surface;
    b.SourceLockRect = RECT{source->SourceX, source->SourceY, source->SourceX + source->Width,
                            source->SourceY + source->Height};
    const RECT whole{0, 0, source->Width, source->Height};
    const bool viaWork = (image->Format.SystemMemory == 0 || convert) && FitsIn(ScreenState.WorkSurface2, whole);
    if (viaWork && CopySurfaceRect(ScreenState.WorkSurface2, image->Surface, 0, 0, &b.SourceLockRect, -1) != 0) {
        return false;
    }
    RECT lockRect = viaWork ? whole : b.SourceLockRect;
    DDSURFACEDESC2 desc;
    if (!LockWaiting(viaWork ? ScreenState.WorkSurface2 : image->Surface, &lockRect, &desc)) return false;
    b.SourceViaWork = viaWork ? 1 : 0;
    b.SourceLocked = 1;
    b.SourcePixels = static_cast<BYTE*>(desc.lpSurface);
    b.SourcePitch = desc.lPitch;
    DWORD key = ConvertRGBToScreenColor((image->ColorKey >> 16) & 0xFF, (image->ColorKey >> 8) & 0xFF,
                                        image->ColorKey & 0xFF);
    if (convert) {
        const COLORFMT* kernel = KernelFormat();
        ConvertLockedPixels(b.SourcePixels, b.SourcePitch, source->Width, source->Height, kernel,
                            &ScreenState.ColorFormat);
        key = ConvertColorValueBetweenFormats(kernel, &ScreenState.ColorFormat, key);
        b.SourceConverted = 1;
    }
    if (!WrapLocked(&b.SourceImage, desc.lpSurface, desc.lPitch, 0, 0, source->Width, source->Height, key)) {
        return false;
    }
    b.Source = &b.SourceImage;
    return true;
}

int ClampToInt(double v)
{
    return TruncateClamped(v, -1000000000, 1000000000, -1000000000);
}

} // namespace

MEMIMG* SoftwareDestination()
{
    MEMIMG* image = ScreenState.DrawImage;
    return image != nullptr && IsMemImgAlive(image) ? image : nullptr;
}

DWORD ScreenColorInKernelLayout(DWORD colour)
{
    return ScreenNeedsConversion() ? ConvertColorValueBetweenFormats(KernelFormat(), &ScreenState.ColorFormat, colour)
                                   : colour;
}

void ConvertImageRectToKernelLayout(MEMIMG* image, const RECT& rect, DWORD keep)
{
    if (!ScreenNeedsConversion() || !IsMemImgAlive(image)) return;
    const int bytes = MemImgBytesPerPixel(image->Body);
    if (bytes != ScreenState.ColorBits / 8) return;
    const int right = std::min<int>(rect.right, image->Width);
    const int bottom = std::min<int>(rect.bottom, image->Height);
    for (int y = std::max<int>(rect.top, 0); y < bottom; ++y) {
        BYTE* row = image->Pixels + static_cast<std::ptrdiff_t>(y) * image->Body->Pitch;
        for (int x = std::max<int>(rect.left, 0); x < right; ++x) {
            DWORD v = 0;
            std::memcpy(&v, row + x * bytes, static_cast<std::size_t>(bytes));
            if (v == keep) continue;
            v = ScreenColorInKernelLayout(v);
            std::memcpy(row + x * bytes, &v, static_cast<std::size_t>(bytes));
        }
    }
}

int IsSoftwareDrawing()
{
    return (ScreenState.SoftwareRendering == 1 && ScreenState.ColorBits > 8) ? 1 : 0;
}

int PrepareSurface2DDraw(const SURF2DREC* source, int plainAllowed, const RECT* sourceRect, const RECT* destRect,
                         int shapeDraw, DWORD* colour, DWORD* secondColour)
{
    if (IsSoftwareDrawing() == 1) return 0;
    DRAW2DBLOCK& b = Draw2DBlock;
    std::memset(&b, 0, sizeof b);
    const DRAWSTATE& d = DrawState;
    IDirectDrawSurface7* destSurface = ScreenState.DrawSurface;
    const bool blend = NeedsBlend(source);
    const bool tint = !IsDrawBrightWhite(d.DrawBright);
    const IMGSURFREC* sourceImage = source != nullptr ? GetImageSurfaceRecord(source->ImageSurface) : nullptr;
    if (source != nullptr && sourceImage == nullptr) return -1;

    if (plainAllowed == 1 && source != nullptr && !blend && !tint && sourceImage->Software == 0 &&
        destSurface != nullptr && sourceImage->Surface != nullptr &&
        (sourceImage->Format.SystemMemory == 0) == DestInVideoMemory()) {
        b.Plain = 1;
        b.SourceSurface = sourceImage->Surface;
        b.SourceRect = RECT{sourceRect->left + source->SourceX, sourceRect->top + source->SourceY,
                            sourceRect->right + source->SourceX, sourceRect->bottom + source->SourceY};
        b.DestSurface = destSurface;
        b.DestX = destRect->left + d.TargetScreenRect.left + ScreenState.DrawOffsetX;
        b.DestY = destRect->top + d.TargetScreenRect.top + ScreenState.DrawOffsetY;
        return 0;
    }

    RECT clipped = *destRect;
    ClipRectAgainstRect(&clipped, &d.DrawArea);
    if (clipped.right <= clipped.left || clipped.bottom <= clipped.top) return -1;
    b.DestRect = clipped;

    if (MEMIMG* soft = SoftwareDestination(); soft != nullptr) {
        b.Dest = soft;
    } else if (!PrepareDestSurface(b, destSurface, blend, shapeDraw, colour, secondColour)) {
        FinishSurface2DDraw();
        return -1;
    }

    if (source != nullptr) {
        if (sourceImage->Software == 1) {
            const MEMIMG* image = GetSurface2DMemImg(source, &b.SourceImage);
            if (image == nullptr) {
                FinishSurface2DDraw();
                return -1;
            }
            b.SourceIsView = image == &b.SourceImage ? 1 : 0;
            b.Source = image;
        } else if (!PrepareSourceSurface(b, source, sourceImage)) {
            FinishSurface2DDraw();
            return -1;
        }
    }
    return 0;
}

void FinishSurface2DDraw()
{
    DRAW2DBLOCK& b = Draw2DBlock;
    if (IsMemImgAlive(&b.SourceImage)) DropMemImgReference(&b.SourceImage);
    if (IsMemImgAlive(&b.DestImage)) DropMemImgReference(&b.DestImage);
    if (b.DestConverted == 1 && b.DestLocked == 1) {
        ConvertLockedPixels(b.DestPixels, b.DestPitch, b.DestRect.right - b.DestRect.left,
                            b.DestRect.bottom - b.DestRect.top, &ScreenState.ColorFormat, KernelFormat());
    }
    // A source converted in its own surface gets its layout back; a copy needs nothing.
    if (b.SourceConverted == 1 && b.SourceViaWork == 0 && b.SourceLocked == 1) {
        ConvertLockedPixels(b.SourcePixels, b.SourcePitch, b.SourceLockRect.right - b.SourceLockRect.left,
                            b.SourceLockRect.bottom - b.SourceLockRect.top, &ScreenState.ColorFormat, KernelFormat());
    }
    const bool copyBack = b.DestViaWork == 1 && b.DestLocked == 1;
    UnlockAll(b);
    if (copyBack) CopySurfaceRect(b.DestSurface, ScreenState.WorkSurface1, b.DestLockRect.left, b.DestLockRect.top,
                                  &b.DestRect, -1);
    b.DestConverted = 0;
    b.DestViaWork = 0;
    b.SourceConverted = 0;
    b.Dest = nullptr;
    b.Source = nullptr;
}

int DrawSurface2DAt(int x, int y, int surface, int trans)
{
    if (HasScreenLayer() == 0) return -1;
    const SURF2DREC* s = GetSurface2DRecord(surface);
    if (s == nullptr) return -1;
    const MEMIMG* blendImage = GetBlendGraphMemImg();
    if (IsSoftwareDrawing() == 1) {
        DrawWithSoftwareSource(s, [&](MEMIMG* dest, const MEMIMG* src) {
            softrender::BlitMemImg(ReadKernelParams(blendImage), dest, src, x, y, trans);
        });
        return 0;
    }
    G_D3D_EndCurrentScene();
    RECT rect{x, y, x + s->Width, y + s->Height};
    ClipRectAgainstRect(&rect, &DrawState.DrawArea);
    if (rect.right <= rect.left || rect.bottom <= rect.top) return 0;
    RECT whole{0, 0, s->Width, s->Height};
    RECT dest{x, y, x + s->Width, y + s->Height};
    if (PrepareSurface2DDraw(s, 1, &whole, &dest, 0, nullptr, nullptr) < 0) return -1;
    DRAW2DBLOCK& b = Draw2DBlock;
    if (b.Plain == 1) {
        // The plain copy is clipped to the draw area like the kernels' draws.
        RECT src = b.SourceRect;
        src.left += rect.left - x;
        src.top += rect.top - y;
        src.right -= dest.right - rect.right;
        src.bottom -= dest.bottom - rect.bottom;
        b.DestSurface->BltFast(static_cast<DWORD>(b.DestX + rect.left - x), static_cast<DWORD>(b.DestY + rect.top - y),
                               b.SourceSurface, &src, trans != 0 ? DDBLTFAST_SRCCOLORKEY : DDBLTFAST_NOCOLORKEY);
        return 0;
    }
    softrender::BlitMemImg(ReadKernelParams(blendImage), const_cast<MEMIMG*>(b.Dest), b.Source, x, y, trans);
    FinishSurface2DDraw();
    return 0;
}

int DrawGraph2DAt(int x, int y, GRAPHREC* graph, int trans)
{
    // A draw that could not be prepared is reported, not answered as done.
    return DrawSurface2DAt(x, y, graph->Surfaces[0], trans) < 0 ? -1 : 0;
}

int DrawGraph2DStretched(int x1, int y1, int x2, int y2, GRAPHREC* graph, int trans, int surface)
{
    if (HasScreenLayer() == 0) return -1;
    const STRETCHBLOCK block{x1, y1, x2, y2};
    const bool mirrorX = x1 > x2;
    const bool mirrorY = y1 > y2;
    RECT ordered{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};

    const int handle = surface != -1 ? surface : graph->Surfaces[0];
    const SURF2DREC* s = GetSurface2DRecord(handle);
    if (s == nullptr) return -1;
    const int sw = surface != -1 ? s->Width : graph->Width;
    const int sh = surface != -1 ? s->Height : graph->Height;
    const MEMIMG* blendImage = GetBlendGraphMemImg();

    if (IsSoftwareDrawing() == 1) {
        DrawWithSoftwareSource(s, [&](MEMIMG* dest, const MEMIMG* src) {
            softrender::StretchBlitMemImg(ReadKernelParams(blendImage), dest, src, &block, trans);
        });
        return 0;
    }
    const long long dw = static_cast<long long>(ordered.right) - ordered.left;
    const long long dh = static_cast<long long>(ordered.bottom) - ordered.top;
    if (dw == 0 || dh == 0) return -1;
    if (dw == sw && dh == sh && !mirrorX && !mirrorY) {
        return surface != -1 ? DrawSurface2DAt(x1, y1, surface, trans) : DrawGraph2DAt(x1, y1, graph, trans);
    }
    // Steps in 16.16 fixed point, kept in 64 bits so wide rectangles cannot overflow.
    const long long rx = (dw << 16) / sw;
    const long long ry = (dh << 16) / sh;
    if (rx <= 0 || ry <= 0) return -1;
    RECT clipped = ordered;
    ClipRectAgainstRect(&clipped, &DrawState.DrawArea);
    if (clipped.right <= clipped.left || clipped.bottom <= clipped.top) return -1;
    auto span = [](long long clippedStart, long long orderedStart, long long clippedSize, long long r, int size,
                   bool mirror, LONG* first, LONG* last) {
        long long start = clippedStart > orderedStart ? ((clippedStart - orderedStart) << 16) / r : 0;
        long long end = start + ((clippedSize << 16) + r - 1) / r;
        start = std::min<long long>(start, size);
        end = std::min<long long>(end, size);
        if (mirror) {
            *first = static_cast<LONG>(size - end);
            *last = static_cast<LONG>(size - start);
        } else {
            *first = static_cast<LONG>(start);
            *last = static_cast<LONG>(end);
        }
    };
    RECT src{};
    span(clipped.left, ordered.left, clipped.right - clipped.left, rx, sw, mirrorX, &src.left, &src.right);
    span(clipped.top, ordered.top, clipped.bottom - clipped.top, ry, sh, mirrorY, &src.top, &src.bottom);
    if (PrepareSurface2DDraw(s, 0, &src, &clipped, 0, nullptr, nullptr) < 0) return -1;
    softrender::StretchBlitMemImg(ReadKernelParams(blendImage), const_cast<MEMIMG*>(Draw2DBlock.Dest),
                                  Draw2DBlock.Source, &block, trans);
    FinishSurface2DDraw();
    return 0;
}

int DrawGraph2DRotated(float x, float y, double rate, double angle, GRAPHREC* graph, int trans, int turn)
{
    const int ix = ClampToInt(x);
    const int iy = ClampToInt(y);
    if (HasScreenLayer() == 0) return -1;
    const SURF2DREC* s = GetSurface2DRecord(graph->Surfaces[0]);
    if (s == nullptr) return -1;
    const MEMIMG* blendImage = GetBlendGraphMemImg();
    if (IsSoftwareDrawing() == 1) {
        DrawWithSoftwareSource(s, [&](MEMIMG* dest, const MEMIMG* src) {
            softrender::RotateScaleBlitMemImg(ReadKernelParams(blendImage), dest, src, ix, iy,
                                              static_cast<float>(angle), static_cast<float>(rate), trans, turn);
        });
        return 0;
    }
    float sn = 0.0f;
    float cs = 0.0f;
    ComputeSinCos(static_cast<float>(angle), &sn, &cs);
    const float hw = static_cast<float>(s->Width * rate * 0.5);
    const float hh = static_cast<float>(s->Height * rate * 0.5);
    const float cx[4] = {-hw, hw, -hw, hw};
    const float cy[4] = {-hh, -hh, hh, hh};
    RECT box{0x7FFFFFFF, 0x7FFFFFFF, -0x7FFFFFFF, -0x7FFFFFFF};
    for (int i = 0; i < 4; ++i) {
        const int px = ClampToInt(cx[i] * cs - cy[i] * sn) + ix;
        const int py = ClampToInt(cx[i] * sn + cy[i] * cs) + iy;
        box.left = std::min<LONG>(box.left, px);
        box.top = std::min<LONG>(box.top, py);
        box.right = std::max<LONG>(box.right, px);
        box.bottom = std::max<LONG>(box.bottom, py);
    }
    RECT whole{0, 0, s->Width, s->Height};
    if (PrepareSurface2DDraw(s, 0, &whole, &box, 0, nullptr, nullptr) < 0) return -1;
    softrender::RotateScaleBlitMemImg(ReadKernelParams(blendImage), const_cast<MEMIMG*>(Draw2DBlock.Dest),
                                      Draw2DBlock.Source, ix, iy, static_cast<float>(angle), static_cast<float>(rate),
                                      trans, turn);
    FinishSurface2DDraw();
    return 0;
}

int DrawTriangleList2D(const TLVTXTEX* vertices, int triangles, GRAPHREC* graph, int trans, int mode, int depthFlag)
{
    if (HasScreenLayer() == 0) return -1;
    const SURF2DREC* s = nullptr;
    if (graph != nullptr) {
        s = GetSurface2DRecord(graph->Surfaces[0]);
        if (s == nullptr) return -1;
    }
    MEMIMG* depth = depthFlag == 1 ? ScreenState.DrawDepthImage : nullptr;
    const MEMIMG* blendImage = GetBlendGraphMemImg();
    if (IsSoftwareDrawing() == 1) {
        DrawWithSoftwareSource(s, [&](MEMIMG* dest, const MEMIMG* texture) {
            const int depthWrite = mode == 1 ? 0 : DrawState.DepthWrite;
            const int second = mode == 1 ? 0 : 1;
            const int third = mode == 1 ? 0 : 1;
            const KERNELPARAMS k = ReadKernelParams(blendImage);
            for (int i = 0; i < triangles; ++i) {
                softrender::RasterizeMemImgTriangle3D(k, dest, depth, texture, vertices + 3 * i, trans, depthWrite,
                                                      second, third, 0);
            }
        });
        return 0;
    }
    double minX = 1000000.0, minY = 1000000.0, maxX = -1000000.0, maxY = -1000000.0;
    for (int i = 0; i < triangles * 3; ++i) {
        minX = std::min<double>(minX, vertices[i].x);
        minY = std::min<double>(minY, vertices[i].y);
        maxX = std::max<double>(maxX, vertices[i].x);
        maxY = std::max<double>(maxY, vertices[i].y);
    }
    RECT box{ClampToInt(minX) - 1, ClampToInt(minY) - 1, ClampToInt(maxX) + 1, ClampToInt(maxY) + 1};
    RECT src = s != nullptr ? RECT{0, 0, s->Width, s->Height} : RECT{0, 0, 0, 0};
    if (PrepareSurface2DDraw(s, 0, &src, &box, 0, nullptr, nullptr) < 0) return -1;
    const KERNELPARAMS k = ReadKernelParams(blendImage);
    for (int i = 0; i < triangles; ++i) {
        softrender::RasterizeMemImgTriangle3D(k, const_cast<MEMIMG*>(Draw2DBlock.Dest), depth, Draw2DBlock.Source,
                                              vertices + 3 * i, trans, mode == 1 ? 0 : 1, mode == 1 ? 0 : 1, 0, 1);
    }
    FinishSurface2DDraw();
    return 0;
}
