// The stretch kernel's pixel walk: 16.16 error stepping in 64 bits over the
// clipped rectangle, templated on the image operator, and the per-family
// entry points that instantiate it (one translation unit per family).
#pragma once

#include <cstddef>
#include <cstdint>

#include "softrender/pixelops/image_ops.h"

namespace softpix {

struct StretchWalk {
    std::uint8_t* Dst;  // first visited destination pixel
    std::ptrdiff_t DstPitch;
    std::int64_t Cols, Rows;
    // Offsets from Src / Graph; a pointer is formed only for a pixel read.
    const std::uint8_t* Src;
    std::ptrdiff_t SrcStart, SrcStepX, SrcStepY;
    const std::uint8_t* Graph;
    std::ptrdiff_t GraphStart, GraphStepX, GraphStepY;
    std::int64_t Rx, Ry;    // destination pixels per source pixel, 16.16
    std::int64_t Ex0, Ey0;  // starting errors of the clipped start, 1..Rx and 1..Ry
};

struct StretchChoice {
    int Mode;  // SelectImageMode result, or kModeByteSub
    bool G, W, A, K;
};

template <class Op>
void StretchLoop(const StretchWalk& w, const ImageOpCtx& c)
{
    constexpr std::int64_t one = 65536;
    std::uint8_t* dRow = w.Dst;
    std::ptrdiff_t sRow = w.SrcStart, gRow = w.GraphStart;
    std::int64_t ey = w.Ey0;
    for (std::int64_t j = 0; j < w.Rows; ++j) {
        std::uint8_t* d = dRow;
        std::ptrdiff_t s = sRow, g = gRow;
        std::int64_t e = w.Ex0;
        for (std::int64_t i = 0;; ++i) {
            Op::Apply(c, d, w.Src + s, Op::UsesGraph ? w.Graph[g] : std::uint8_t(0));
            if (i + 1 == w.Cols) break;
            d += Op::DstBytes;
            for (e -= one; e <= 0; e += w.Rx) {
                s += w.SrcStepX;
                if constexpr (Op::UsesGraph) g += w.GraphStepX;
            }
        }
        if (j + 1 == w.Rows) break;
        dRow += w.DstPitch;
        for (ey -= one; ey <= 0; ey += w.Ry) {
            sRow += w.SrcStepY;
            if constexpr (Op::UsesGraph) gRow += w.GraphStepY;
        }
    }
}

void RunStretchX8888(const StretchWalk& w, const ImageOpCtx& c, const StretchChoice& k);
void RunStretchR565(const StretchWalk& w, const ImageOpCtx& c, const StretchChoice& k);
void RunStretchPalette(bool x8888, const StretchWalk& w, const ImageOpCtx& c, const StretchChoice& k);

}  // namespace softpix
