// The rotate kernel's frame: entry checks, sine and cosine, the rotated
// corners, the mirrored path through the quad split, and for the direct path
// the clipped box, the inverse mapping and the row tables, then the dispatch
// to the loop units (rotate_loops*.cpp).
// Reads its KERNELPARAMS and BLENDTABLES; calls core/number for the conversions.
#include "softrender/rotate/rotate.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "core/number.h"
#include "graphics/matrix.h"
#include "softrender/pixelops/op_context.h"
#include "softrender/pixelrules/kernel_image.h"
#include "softrender/rotate/rotate_loop.h"
#include "softrender/simd/isa.h"

namespace softrender {
namespace {

// Sizes from here on do not fit the 14.18 source positions.
constexpr std::uint32_t kMaxSourceSize = 8192;

// Row tables: every source row, and the blend graph's rows over the source's
// height; a source is never taller than kMaxSourceSize.
const BYTE* gSourceRows[kMaxSourceSize];
const BYTE* gGraphRows[kMaxSourceSize];

// Sine and cosine of the angle in double, rounded to float, times 2^18, truncated.
void SinCos18(float angle, int* s18, int* c18)
{
    const float s = static_cast<float>(std::sin(static_cast<double>(angle)));
    const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    *s18 = TruncFloatToInt(s * 262144.0f);
    *c18 = TruncFloatToInt(c * 262144.0f);
}

std::int32_t ClampToInt32(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace
}  // namespace softrender

void softrender::RotateScaleBlitMemImg(const KERNELPARAMS& k, MEMIMG* dst, const MEMIMG* src, int cx, int cy,
                                       float angle, float rate, int trans, int turn)
{
    const MEMIMG* blendGraph = k.BlendGraph;
    if (!IsDrawableImage(dst) || !IsDrawableImage(src)) return;
    const MEMIMGBODY* db = dst->Body;
    const MEMIMGBODY* sb = src->Body;
    if (sb->PixelFormat != db->PixelFormat || db->UsePalette == 1 || db->UseAlpha == 1) return;
    const std::uint32_t width = static_cast<std::uint32_t>(src->Width);
    const std::uint32_t height = static_cast<std::uint32_t>(src->Height);
    if (width >= kMaxSourceSize || height >= kMaxSourceSize) return;
    if (!std::isfinite(angle) || !std::isfinite(rate)) return;

    int sn18, cn18, s18, c18;
    SinCos18(-angle, &sn18, &cn18);
    SinCos18(angle, &s18, &c18);
    const long double w2 = static_cast<long double>(width) * rate * 0.5L;
    const long double h2 = static_cast<long double>(height) * rate * 0.5L;
    const float cw = static_cast<float>(c18 * w2);
    const float sw = static_cast<float>(s18 * w2);
    const float ch = static_cast<float>(c18 * h2);
    const float sh = static_cast<float>(s18 * h2);
    // Corners K0..K3: the rotated top-left, bottom-left, bottom-right and top-right.
    static constexpr float kSigns[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
    std::int64_t kx[4], ky[4];
    for (int i = 0; i < 4; ++i) {
        const float ex = kSigns[i][0], ey = kSigns[i][1];
        kx[i] = TruncFloatToInt(ex * cw - ey * sh) + static_cast<std::int64_t>(cx) * 262144;
        ky[i] = TruncFloatToInt(ex * sw + ey * ch) + static_cast<std::int64_t>(cy) * 262144;
    }

    if (turn != 0) {
        // Texel column 0 on the rotated right edge: the mirrored image.
        const int order[4] = {3, 0, 2, 1};
        int corners[8];
        for (int i = 0; i < 4; ++i) {
            corners[2 * i] = ClampToInt32(kx[order[i]] / 262144);
            corners[2 * i + 1] = ClampToInt32(ky[order[i]] / 262144);
        }
        SplitMemImgQuadToTriangles(k, dst, src, corners, trans);
        return;
    }

    const int format = sb->PixelFormat;
    if (format != MEMIMG_FORMAT_RGB565 && format != MEMIMG_FORMAT_XRGB8888) return;
    if (blendGraph != nullptr) {
        // Read through the source's own coordinates: it must cover the source.
        if (!IsDrawableImage(blendGraph) || blendGraph->Width < src->Width || blendGraph->Height < src->Height) return;
    }
    const bool palette = sb->UsePalette == 1;
    const int p = k.Param;
    const int mode = softpix::SelectImageMode(k.Mode, p, palette);
    if (mode < 0) return;

    const float inv = 1.0f / rate;
    const std::int64_t dUx = TruncFloatToInt(static_cast<float>(c18) * inv);
    const std::int64_t dVx = TruncFloatToInt(static_cast<float>(sn18) * inv);

    const std::int64_t minX = *std::min_element(kx, kx + 4), maxX = *std::max_element(kx, kx + 4);
    const std::int64_t minY = *std::min_element(ky, ky + 4), maxY = *std::max_element(ky, ky + 4);
    RECT box{ClampToInt32(minX / 262144 - 2), ClampToInt32(minY / 262144 - 2), ClampToInt32(maxX / 262144 + 4),
             ClampToInt32(maxY / 262144 + 4)};
    // The draw area, and the destination itself, are the clip.
    RECT area = k.Area;
    const RECT bounds{0, 0, dst->Width, dst->Height};
    ClipRectAgainstRect(&area, &bounds);
    ClipRectAgainstRect(&box, &area);
    if (box.left == box.right || box.top == box.bottom) return;
    if (ky[0] == ky[1] && ky[1] == ky[2] && ky[2] == ky[3]) return;
    const int rows = box.bottom - box.top;
    const int cols = box.right - box.left;

    // Source position of the destination pixel corner (x, y).
    const std::int64_t halfU = static_cast<std::int64_t>(width >> 1) * 262144;
    const std::int64_t halfV = static_cast<std::int64_t>(height >> 1) * 262144;
    auto sourceAt = [&](std::int64_t x, std::int64_t y, std::int64_t* u, std::int64_t* v) {
        const std::int64_t sumU = (x - cx) * cn18 - (y - cy) * sn18;
        const std::int64_t sumV = (y - cy) * cn18 + (x - cx) * sn18;
        *u = TruncFloatToInt(static_cast<float>(static_cast<long double>(sumU) * inv)) + halfU;
        *v = TruncFloatToInt(static_cast<float>(static_cast<long double>(sumV) * inv)) + halfV;
    };
    RotateDraw d{};
    std::int64_t u1, v1;
    sourceAt(box.left, box.top, &d.u0, &d.v0);
    sourceAt(box.left, box.bottom, &u1, &v1);
    d.dUx = dUx;
    d.dVx = dVx;
    d.dUy = (u1 - d.u0) / rows;
    d.dVy = (v1 - d.v0) / rows;
    d.rows = rows;
    d.cols = cols;
    const int dstBytes = format == MEMIMG_FORMAT_XRGB8888 ? 4 : 2;
    d.dstPixels = dst->Pixels + static_cast<std::ptrdiff_t>(box.top) * db->Pitch +
                  static_cast<std::ptrdiff_t>(box.left) * dstBytes;
    d.dstPitch = db->Pitch;
    d.boundU = static_cast<std::uint64_t>(width) << 18;
    d.boundV = static_cast<std::uint64_t>(height) << 18;
    for (std::uint32_t i = 0; i < height; ++i) gSourceRows[i] = src->Pixels + static_cast<std::ptrdiff_t>(i) * sb->Pitch;
    d.sourceRows = gSourceRows;
    d.srcPixels = src->Pixels;
    d.srcPitch = sb->Pitch;
    if (format == MEMIMG_FORMAT_XRGB8888 && UsableIsaLevel(k.Isa) == IsaLevel::Avx2)
        d.span = RotateCopySpan32Avx2(trans != 0);
    if (blendGraph != nullptr) {
        for (std::uint32_t i = 0; i < height; ++i)
            gGraphRows[i] = blendGraph->Pixels + static_cast<std::ptrdiff_t>(i) * blendGraph->Body->Pitch;
        d.graphRows = gGraphRows;
    }

    const softpix::ImageOpCtx ctx = softpix::MakeImageOpCtx(sb, p, k.Bright);
    const bool white = softpix::IsWhite(k.Bright);
    const bool alpha = !palette && sb->UseAlpha == 1;
    if (format == MEMIMG_FORMAT_XRGB8888) DrawRotated32(d, ctx, mode, palette, blendGraph != nullptr, white, alpha, trans != 0);
    else DrawRotated16(d, ctx, mode, palette, blendGraph != nullptr, white, alpha, trans != 0);
}
