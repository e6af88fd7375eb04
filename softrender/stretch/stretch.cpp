// Stretch kernel frame: corner normalisation and mirroring, the same-size
// hand-over to the 1:1 blit, 16.16 ratios and the exact clipped start in
// 64-bit arithmetic, the image checks, and the dispatch to the loops of each
// source family (stretch_x8888.cpp, stretch_r565.cpp, stretch_palette.cpp).
// Reads its KERNELPARAMS; calls softrender/blit.
#include "softrender/stretch/stretch.h"

#include <cstdint>
#include <functional>

#include "graphics/matrix.h"
#include "softrender/blit/blit.h"
#include "softrender/pixelops/op_context.h"
#include "softrender/simd/isa.h"
#include "softrender/stretch/stretch_walk.h"

using namespace softpix;

namespace {

constexpr std::int64_t kOne = 65536;
constexpr std::int64_t kMaxSourceSide = 65536;  // the sampled column stays inside the source up to here

}  // namespace

void softrender::StretchBlitMemImg(const KERNELPARAMS& params, MEMIMG* dst, const MEMIMG* src,
                                   const STRETCHBLOCK* corners, int keyFlag)
{
    const MEMIMG* blendGraph = params.BlendGraph;
    if (dst == nullptr || src == nullptr || corners == nullptr) return;

    const int dirx = corners->x1 > corners->x2 ? -1 : 1, diry = corners->y1 > corners->y2 ? -1 : 1;
    const std::int64_t left = dirx < 0 ? corners->x2 : corners->x1, right = dirx < 0 ? corners->x1 : corners->x2;
    const std::int64_t top = diry < 0 ? corners->y2 : corners->y1, bottom = diry < 0 ? corners->y1 : corners->y2;
    const std::int64_t dw = right - left, dh = bottom - top;
    if (dw == 0 || dh == 0) return;

    // The same size, unmirrored, is the 1:1 blit's, before any clipping or check.
    if (dw == src->Width && dh == src->Height && dirx > 0 && diry > 0) {
        BlitMemImg(params, dst, src, static_cast<int>(left), static_cast<int>(top), keyFlag);
        return;
    }

    const std::int64_t w = src->Width, h = src->Height;
    if (w < 1 || h < 1 || w > kMaxSourceSide || h > kMaxSourceSide) return;
    const std::int64_t rx = dw * kOne / w, ry = dh * kOne / h;
    if (rx == 0 || ry == 0) return;

    if (dst->Body == nullptr || dst->Pixels == nullptr || src->Body == nullptr || src->Pixels == nullptr) return;
    RECT area = params.Area;
    const RECT whole{0, 0, dst->Width, dst->Height};
    ClipRectAgainstRect(&area, &whole);
    RECT clip{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)};
    ClipRectAgainstRect(&clip, &area);
    const std::int64_t cw = clip.right - clip.left, ch = clip.bottom - clip.top;
    if (cw <= 0 || ch <= 0) return;

    // The clipped start is the closed form at the first visible column and
    // row, so a clipped draw samples exactly as the unclipped one.
    const std::int64_t nx = (clip.left - left) * kOne, ny = (clip.top - top) * kOne;
    const std::int64_t qx = nx / rx, qy = ny / ry;

    const MEMIMGBODY* sb = src->Body;
    const MEMIMGBODY* db = dst->Body;
    if (sb->PixelFormat != MEMIMG_FORMAT_XRGB8888 && sb->PixelFormat != MEMIMG_FORMAT_RGB565) return;
    const bool x8888 = sb->PixelFormat == MEMIMG_FORMAT_XRGB8888;
    if (db->PixelFormat != sb->PixelFormat || db->UsePalette == 1) return;
    if (MemImgBytesPerPixel(db) != (x8888 ? 4 : 2)) return;  // an RGB565 destination with alpha has 4-byte pixels
    const bool palette = sb->UsePalette == 1;
    const bool alpha = !palette && sb->UseAlpha == 1;
    const int texelBytes = palette ? 1 : (x8888 || alpha) ? 4 : 2;
    if (MemImgBytesPerPixel(sb) != texelBytes) return;
    if (palette && sb->Palette == nullptr) return;
    if (blendGraph != nullptr) {
        if (blendGraph->Body == nullptr || blendGraph->Pixels == nullptr) return;
        if (blendGraph->Width < src->Width || blendGraph->Height < src->Height) return;
    }

    StretchChoice k{};
    k.Mode = SelectImageMode(params.Mode, params.Param, palette);
    if (k.Mode < 0) return;
    k.G = blendGraph != nullptr;
    k.W = IsWhite(params.Bright);
    k.A = alpha;
    k.K = keyFlag != 0;
    if (x8888 && k.Mode == ToInt(BlendMode::Subtract) && params.Param == 255 && !k.G && k.W && !k.A && params.Mmx)
        k.Mode = kModeByteSub;

    const std::int64_t sx0 = dirx > 0 ? qx : w - 1 - qx, sy0 = diry > 0 ? qy : h - 1 - qy;
    StretchWalk wk{};
    wk.Dst = dst->Pixels + clip.top * std::ptrdiff_t(db->Pitch) + clip.left * std::ptrdiff_t(x8888 ? 4 : 2);
    wk.DstPitch = db->Pitch;
    wk.Cols = cw;
    wk.Rows = ch;
    wk.Src = src->Pixels;
    wk.SrcStart = sy0 * sb->Pitch + sx0 * texelBytes;
    wk.SrcStepX = dirx * texelBytes;
    wk.SrcStepY = diry * std::ptrdiff_t(sb->Pitch);
    if (blendGraph != nullptr) {
        wk.Graph = blendGraph->Pixels;
        wk.GraphStart = sy0 * blendGraph->Body->Pitch + sx0;
        wk.GraphStepX = dirx;
        wk.GraphStepY = diry * std::ptrdiff_t(blendGraph->Body->Pitch);
    }
    wk.Rx = rx;
    wk.Ry = ry;
    wk.Ex0 = rx - nx % rx;
    wk.Ey0 = ry - ny % ry;
    {
        const std::uint8_t* sFirst = src->Pixels;
        const std::uint8_t* sEnd = sFirst + std::ptrdiff_t(sb->Pitch) * src->Height;
        const std::uint8_t* dFirst = dst->Pixels;
        const std::uint8_t* dEnd = dFirst + std::ptrdiff_t(db->Pitch) * dst->Height;
        wk.ReuseRows = !std::less<>{}(dFirst, sEnd) || !std::less<>{}(sFirst, dEnd);
    }
    wk.Isa = softrender::UsableIsaLevel(params.Isa);

    const ImageOpCtx ctx = MakeImageOpCtx(sb, params.Param, params.Bright);
    if (palette) RunStretchPalette(x8888, wk, ctx, k);
    else if (x8888) RunStretchX8888(wk, ctx, k);
    else RunStretchR565(wk, ctx, k);
}
