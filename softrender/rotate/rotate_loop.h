// The rotate kernel's per-draw record and its pixel walk: 14.18 source
// positions stepped per pixel and per row, the unsigned bounds test, row
// tables for the source and the blend graph, then the shared image operator.
// Filled by rotate.cpp; instantiated by the rotate_loops*.cpp units.
#pragma once

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

template <class Op>
void RunRotateRows(const RotateDraw& d, const softpix::ImageOpCtx& ctx)
{
    BYTE* rowDst = d.dstPixels;
    for (int r = 0; r < d.rows; ++r) {
        std::int64_t u = d.u0 + r * d.dUy;
        std::int64_t v = d.v0 + r * d.dVy;
        BYTE* dp = rowDst;
        for (int i = 0; i < d.cols; ++i) {
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
        rowDst += d.dstPitch;
    }
}

void DrawRotated32(const RotateDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph, bool white,
                   bool alpha, bool trans);
void DrawRotated16(const RotateDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph, bool white,
                   bool alpha, bool trans);

}  // namespace softrender
