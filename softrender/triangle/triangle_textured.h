// The textured span loop of the 2D triangle: steps u and v along each span, skips texels
// outside the source, fetches the texel and the blend-graph byte at the texel position and
// applies the shared image operator. Included by the textured family units only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/blendtable.h"
#include "softrender/pixelops/dispatch.h"
#include "softrender/pixelops/image_ops.h"
#include "softrender/pixelops/op_context.h"
#include "softrender/triangle/triangle_spans.h"

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
    // Texel positions as unsigned: negative ones fail the same test as those past the end.
    const std::uint64_t limitU = static_cast<std::uint64_t>(draw.Src->Width) << TriangleFixedShift;
    const std::uint64_t limitV = static_cast<std::uint64_t>(draw.Src->Height) << TriangleFixedShift;
    const std::int64_t stepU = s.GradUX, stepV = s.GradVX;

    WalkTriangleRows(s, draw.Clip, [&](std::int32_t y, std::int32_t x, std::int32_t count) {
        std::int64_t u, v;
        GetTriangleTexelAt(s, x, y, &u, &v);
        std::uint8_t* out = dstPixels + y * dstPitch + static_cast<std::ptrdiff_t>(x) * Op::DstBytes;
        for (std::int32_t i = 0; i < count; ++i, out += Op::DstBytes, u += stepU, v += stepV) {
            if (static_cast<std::uint64_t>(u) >= limitU || static_cast<std::uint64_t>(v) >= limitV) continue;
            const std::ptrdiff_t tx = static_cast<std::ptrdiff_t>(u >> TriangleFixedShift);
            const std::ptrdiff_t ty = static_cast<std::ptrdiff_t>(v >> TriangleFixedShift);
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
    const int mode = SelectImageMode(draw.BlendMode, draw.BlendParam, Pal);
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
