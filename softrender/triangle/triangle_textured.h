// The textured span loop of the 2D triangle: steps u and v along each span, skips texels
// outside the source, fetches the texel and the blend-graph byte at the texel position and
// applies the shared image operator. Included by the textured family units only.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "graphics/blendtable.h"
#include "softrender/pixelops/dispatch.h"
#include "softrender/pixelops/image_ops.h"
#include "softrender/pixelops/op_context.h"
#include "softrender/pixelrules/kernel_image.h"
#include "softrender/triangle/triangle_spans.h"

// Range [begin, end) of the pixels i of a span whose coordinate start + i * step lies in
// [0, limit). The coordinate is linear along the span, so the pixels inside form one run.
inline void GetTriangleInsideRun(std::int64_t start, std::int64_t step, std::int64_t limit, std::int64_t count,
                                 std::int64_t* begin, std::int64_t* end)
{
    auto floorDiv = [](std::int64_t a, std::int64_t b) {  // b > 0
        return a / b - (a % b != 0 && a < 0);
    };
    std::int64_t b = 0, e = count;
    if (step == 0) {
        if (start < 0 || start >= limit) e = 0;
    } else if (step > 0) {
        if (start < 0) b = floorDiv(-start - 1, step) + 1;  // first i with start + i * step >= 0
        e = floorDiv(limit - 1 - start, step) + 1;
    } else {
        if (start >= limit) b = floorDiv(start - limit, -step) + 1;
        e = floorDiv(start, -step) + 1;
    }
    *begin = std::max(std::max<std::int64_t>(b, 0), *begin);
    *end = std::min(std::min(e, count), *end);
}

// A span of whole 32-bit texels written unchanged: texel offsets stepped in
// 32 bits as the general loop steps them, several texels per store so that a
// destination missing from the caches costs per store, not per pixel.
inline void CopyTexelSpan32(std::uint8_t* out, const std::uint8_t* src, std::ptrdiff_t pitch, std::uint32_t iu,
                            std::uint32_t iv, std::uint32_t su, std::uint32_t sv, std::int64_t n)
{
    std::int64_t i = 0;
    // Inside the source the coordinates step without wrapping, so a span that
    // starts and ends on one texture row stays on it: only columns change.
    if (n > 0 && (iv >> TriangleFixedShift) == ((iv + static_cast<std::uint32_t>(n - 1) * sv) >> TriangleFixedShift)) {
        const std::uint8_t* row = src + static_cast<std::ptrdiff_t>(iv >> TriangleFixedShift) * pitch;
        auto texel = [&](std::uint32_t u) { return softpix::Load32(row + static_cast<std::ptrdiff_t>(u >> TriangleFixedShift) * 4); };
        for (; i + 4 <= n; i += 4, out += 16, iu += 4 * su) {
            const std::uint64_t a = texel(iu) | static_cast<std::uint64_t>(texel(iu + su)) << 32;
            const std::uint64_t b = texel(iu + 2 * su) | static_cast<std::uint64_t>(texel(iu + 3 * su)) << 32;
            std::memcpy(out, &a, 8);
            std::memcpy(out + 8, &b, 8);
        }
        for (; i < n; ++i, out += 4, iu += su) softpix::Store32(out, texel(iu));
        return;
    }
    auto texel = [&](std::uint32_t u, std::uint32_t v) {
        return softpix::Load32(src + static_cast<std::ptrdiff_t>(v >> TriangleFixedShift) * pitch +
                               static_cast<std::ptrdiff_t>(u >> TriangleFixedShift) * 4);
    };
    for (; i + 2 <= n; i += 2, out += 8, iu += 2 * su, iv += 2 * sv) {
        const std::uint64_t pair = texel(iu, iv) | static_cast<std::uint64_t>(texel(iu + su, iv + sv)) << 32;
        std::memcpy(out, &pair, 8);
    }
    if (i < n) softpix::Store32(out, texel(iu, iv));
}

// The same with eight texels per AVX2 gather or permute (triangle_avx2.cpp);
// width: the source's, in texels.
void CopyTexelSpan32Avx2(std::uint8_t* out, const std::uint8_t* src, std::ptrdiff_t pitch, std::int32_t width,
                         std::uint32_t iu, std::uint32_t iv, std::uint32_t su, std::uint32_t sv, std::int64_t n);

template <class Op, bool G>
void RunTriangleTexturedSpans(const TRIANGLEDRAW& draw, const softpix::ImageOpCtx& ctx)
{
    const TRIANGLESETUP& s = *draw.Setup;
    std::uint8_t* const dstPixels = draw.Dst->Pixels;
    const std::ptrdiff_t dstPitch = draw.Dst->Body->Pitch;
    const std::uint8_t* const srcPixels = draw.Src->Pixels;
    const std::ptrdiff_t srcPitch = draw.Src->Body->Pitch;
    const std::uint8_t* const graphPixels = G ? draw.Graph->Pixels : nullptr;
    const std::ptrdiff_t graphPitch = G ? draw.Graph->Body->Pitch : 0;
    const std::int64_t limitU = static_cast<std::int64_t>(draw.Src->Width) << TriangleFixedShift;
    const std::int64_t limitV = static_cast<std::int64_t>(draw.Src->Height) << TriangleFixedShift;
    const std::int64_t stepU = s.GradUX, stepV = s.GradVX;
    const bool avx2 = draw.Isa == IsaLevel::Avx2;
    // The whole-texel copies read ahead of their stores.
    const bool copyAhead = !softrender::ImagesShareBytes(draw.Src, draw.Dst);

    WalkTriangleRows(s, draw.Clip, [&](std::int32_t y, std::int32_t x, std::int32_t count) {
        std::int64_t u, v;
        GetTriangleTexelAt(s, x, y, &u, &v);
        // Texels outside the source are skipped, neither wrapped nor clamped: only the run of
        // pixels whose texel lies inside is visited.
        std::int64_t begin = 0, end = count;
        GetTriangleInsideRun(u, stepU, limitU, count, &begin, &end);
        GetTriangleInsideRun(v, stepV, limitV, count, &begin, &end);
        if (begin >= end) return;
        // Inside the source both coordinates lie in [0, 2^32), so 32-bit steps are exact.
        std::uint32_t iu = static_cast<std::uint32_t>(u + begin * stepU);
        std::uint32_t iv = static_cast<std::uint32_t>(v + begin * stepV);
        const std::uint32_t su = static_cast<std::uint32_t>(stepU), sv = static_cast<std::uint32_t>(stepV);
        std::uint8_t* out = dstPixels + y * dstPitch + (static_cast<std::ptrdiff_t>(x) + begin) * Op::DstBytes;
        if constexpr (Op::OverwritesFromTexel && Op::DstBytes == 4 && Op::TexelBytes == 4) {
            if (copyAhead) {
                if (avx2) CopyTexelSpan32Avx2(out, srcPixels, srcPitch, draw.Src->Width, iu, iv, su, sv, end - begin);
                else CopyTexelSpan32(out, srcPixels, srcPitch, iu, iv, su, sv, end - begin);
                return;
            }
        }
        for (std::int64_t i = begin; i < end; ++i, out += Op::DstBytes, iu += su, iv += sv) {
            const std::ptrdiff_t tx = iu >> TriangleFixedShift;
            const std::ptrdiff_t ty = iv >> TriangleFixedShift;
            const std::uint8_t g = G ? graphPixels[ty * graphPitch + tx] : 0;
            Op::Apply(ctx, out, srcPixels + ty * srcPitch + tx * Op::TexelBytes, g);
        }
    });
}

// Selects the operator once per call and runs the loop made for it.
template <softpix::PixFmt F, bool Pal, bool A>
void DrawTriangleTexturedFamily(const TRIANGLEDRAW& draw)
{
    using namespace softpix;
    const int mode = SelectImageMode(draw.Mode, draw.BlendParam, Pal);
    if (mode < 0) return;
    const ImageOpCtx ctx = MakeImageOpCtx(draw.Src->Body, draw.BlendParam, draw.DrawBright);
    WithDrawingMode(mode, [&](auto m) {
        WithBool(draw.Graph != nullptr, [&](auto g) {
            WithBool(IsWhite(draw.DrawBright), [&](auto w) {
                WithBool(draw.Trans != 0, [&](auto k) {
                    using Op = ImageOp<F, Pal, A, decltype(m)::value, decltype(g)::value, decltype(w)::value,
                                       decltype(k)::value, Family::Tri2D>;
                    RunTriangleTexturedSpans<Op, decltype(g)::value>(draw, ctx);
                });
            });
        });
    });
}
