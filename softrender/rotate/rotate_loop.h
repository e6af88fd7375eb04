// The rotate kernel's per-draw record and its pixel walk: 14.18 source
// positions stepped per pixel and per row, the unsigned bounds test, row
// tables for the source and the blend graph, then the shared image operator.
// Filled by rotate.cpp; instantiated by the rotate_loops*.cpp units.
#pragma once

#include "softrender/pixelops/dispatch.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "graphics/memimg.h"
#include "softrender/pixelops/image_ops.h"

namespace softrender {

struct RotateDraw {
    BYTE* dstPixels;  // the box's top-left pixel
    int dstPitch;
    int rows;
    int cols;
    // Source position of the box's top-left pixel corner and its steps, 14.18,
    // in 64 bits so that no sum overflows.
    std::int64_t u0, v0;
    std::int64_t dUx, dVx;  // per pixel
    std::int64_t dUy, dVy;  // per row
    std::uint64_t boundU, boundV;  // width and height in 14.18
    const BYTE* const* sourceRows;
    const BYTE* const* graphRows;  // null without a blend graph
};

// The pixels i in [0, cols) for which a + i * b may lie in [0, bound): a
// superset (two pixels to spare on each side), so the walk can skip the
// parts of a row outside the source while the exact test stays per pixel.
// invB is 1 / b: a multiply per row instead of 64-bit divisions, whose
// rounding the spare pixels cover.
inline void RowRangeInBounds(std::int64_t a, std::int64_t b, double invB, std::int64_t bound, int cols, int* lo,
                             int* hi)
{
    if (b == 0) {
        const bool inside = a >= 0 && a < bound;
        *lo = 0;
        *hi = inside ? cols : 0;
        return;
    }
    const double t0 = static_cast<double>(-a) * invB, t1 = static_cast<double>(bound - a) * invB;
    const double first = std::floor(std::min(t0, t1)) - 2, last = std::ceil(std::max(t0, t1)) + 2;
    *lo = static_cast<int>(std::clamp(first, 0.0, static_cast<double>(cols)));
    *hi = static_cast<int>(std::clamp(last, 0.0, static_cast<double>(cols)));
}

// The loop state lives in locals: the pixel stores may alias the record.
template <class Op>
void RunRotateRows(const RotateDraw& d, const softpix::ImageOpCtx& ctx)
{
    BYTE* rowDst = d.dstPixels;
    const std::uint64_t boundU = d.boundU, boundV = d.boundV;
    const std::int64_t dUx = d.dUx, dVx = d.dVx, dUy = d.dUy, dVy = d.dVy, u0 = d.u0, v0 = d.v0;
    const int rows = d.rows, cols = d.cols, dstPitch = d.dstPitch;
    const BYTE* const* const sourceRows = d.sourceRows;
    const BYTE* const* const graphRows = d.graphRows;
    const double invUx = dUx != 0 ? 1.0 / static_cast<double>(dUx) : 0.0;
    const double invVx = dVx != 0 ? 1.0 / static_cast<double>(dVx) : 0.0;
    for (int r = 0; r < rows; ++r, rowDst += dstPitch) {
        const std::int64_t rowU = u0 + r * dUy;
        const std::int64_t rowV = v0 + r * dVy;
        int loU, hiU, loV, hiV;
        RowRangeInBounds(rowU, dUx, invUx, static_cast<std::int64_t>(boundU), cols, &loU, &hiU);
        RowRangeInBounds(rowV, dVx, invVx, static_cast<std::int64_t>(boundV), cols, &loV, &hiV);
        const int lo = std::max(loU, loV), hi = std::min(hiU, hiV);
        std::int64_t u = rowU + lo * dUx;
        std::int64_t v = rowV + lo * dVx;
        BYTE* dp = rowDst + static_cast<std::ptrdiff_t>(lo) * Op::DstBytes;
        for (int i = lo; i < hi; ++i) {
            if (static_cast<std::uint64_t>(u) < boundU && static_cast<std::uint64_t>(v) < boundV) {
                const std::size_t ui = static_cast<std::size_t>(u >> 18);
                const std::size_t vi = static_cast<std::size_t>(v >> 18);
                std::uint8_t g = 0;
                if constexpr (Op::UsesGraph) g = graphRows[vi][ui];
                Op::Apply(ctx, dp, sourceRows[vi] + ui * Op::TexelBytes, g);
            }
            u += dUx;
            v += dVx;
            dp += Op::DstBytes;
        }
    }
}

// Every loop of one pixel format: one per source kind, blend mode and key.
template <softpix::PixFmt F>
void DrawRotatedLoops(const RotateDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph,
                      bool white, bool alpha, bool trans)
{
    softpix::WithBool(white, [&](auto w) {
        softpix::WithTexturedKeys(mode, palette, alpha, graph, trans, [&](auto m, auto p, auto a, auto g, auto k) {
            RunRotateRows<softpix::ImageOp<F, decltype(p)::value, decltype(a)::value, decltype(m)::value,
                                           decltype(g)::value, decltype(w)::value, decltype(k)::value,
                                           softpix::Family::RotTri3D>>(d, ctx);
        });
    });
}

// One translation unit per pixel format keeps the build parallel.
void DrawRotated32(const RotateDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph, bool white,
                   bool alpha, bool trans);
void DrawRotated16(const RotateDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph, bool white,
                   bool alpha, bool trans);

}  // namespace softrender
