// The rotate kernel's per-draw record and its pixel walk: 14.18 source
// positions stepped per pixel and per row, the unsigned bounds test, row
// tables for the source and the blend graph, then the shared image operator.
// Filled by rotate.cpp; instantiated by the rotate_loops*.cpp units.
#pragma once

#include "softrender/pixelops/dispatch.h"

#include <algorithm>
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
// superset (floor divisions, one pixel to spare), so the walk can skip the
// parts of a row outside the source while the exact test stays per pixel.
inline void RowRangeInBounds(std::int64_t a, std::int64_t b, std::int64_t bound, int cols, int* lo, int* hi)
{
    auto floorDiv = [](std::int64_t n, std::int64_t m) { return n / m - ((n % m != 0) && ((n < 0) != (m < 0))); };
    std::int64_t first, last;
    if (b == 0) {
        first = 0;
        last = (a >= 0 && a < bound) ? cols : -1;
    } else if (b > 0) {
        first = floorDiv(-a, b);
        last = floorDiv(bound - 1 - a, b) + 1;
    } else {
        first = floorDiv(a - bound + 1, -b);
        last = floorDiv(a, -b) + 1;
    }
    *lo = static_cast<int>(std::clamp<std::int64_t>(first, 0, cols));
    *hi = static_cast<int>(std::clamp<std::int64_t>(last + 1, 0, cols));
}

template <class Op>
void RunRotateRows(const RotateDraw& d, const softpix::ImageOpCtx& ctx)
{
    BYTE* rowDst = d.dstPixels;
    const std::int64_t boundU = static_cast<std::int64_t>(d.boundU), boundV = static_cast<std::int64_t>(d.boundV);
    for (int r = 0; r < d.rows; ++r, rowDst += d.dstPitch) {
        const std::int64_t rowU = d.u0 + r * d.dUy;
        const std::int64_t rowV = d.v0 + r * d.dVy;
        int loU, hiU, loV, hiV;
        RowRangeInBounds(rowU, d.dUx, boundU, d.cols, &loU, &hiU);
        RowRangeInBounds(rowV, d.dVx, boundV, d.cols, &loV, &hiV);
        const int lo = std::max(loU, loV), hi = std::min(hiU, hiV);
        std::int64_t u = rowU + lo * d.dUx;
        std::int64_t v = rowV + lo * d.dVx;
        BYTE* dp = rowDst + static_cast<std::ptrdiff_t>(lo) * Op::DstBytes;
        for (int i = lo; i < hi; ++i) {
            if (static_cast<std::uint64_t>(u) < d.boundU && static_cast<std::uint64_t>(v) < d.boundV) {
                const std::size_t ui = static_cast<std::size_t>(u >> 18);
                const std::size_t vi = static_cast<std::size_t>(v >> 18);
                std::uint8_t g = 0;
                if constexpr (Op::UsesGraph) g = d.graphRows[vi][ui];
                Op::Apply(ctx, dp, d.sourceRows[vi] + ui * Op::TexelBytes, g);
            }
            u += d.dUx;
            v += d.dVx;
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
