// The stretch kernel's pixel walk: 16.16 error stepping in 64 bits over the
// clipped rectangle (columns through a map made once per draw), templated on the image operator, and the per-family
// entry points that instantiate it (one translation unit per family).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "softrender/kernelparams.h"
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
    bool ReuseRows;         // source and destination pixels do not overlap
    IsaLevel Isa;           // already lowered to the processor's
};

// One row of whole 32-bit texels through the column map, in wide stores:
// a destination missing from the caches costs per store, not per byte.
[[gnu::always_inline]] inline void GatherRow32(std::uint8_t* d, const std::uint8_t* s, const std::int32_t* col,
                                               std::size_t cols)
{
    std::size_t i = 0;
    for (; i + 2 <= cols; i += 2) {
        const std::uint64_t v = Load32(s + col[i]) | static_cast<std::uint64_t>(Load32(s + col[i + 1])) << 32;
        std::memcpy(d + 4 * i, &v, 8);
    }
    if (i < cols) Store32(d + 4 * i, Load32(s + col[i]));
}

// The same with the AVX2 gather (stretch_avx2.cpp).
void GatherRow32Avx2(std::uint8_t* d, const std::uint8_t* s, const std::int32_t* col, std::size_t cols);

struct StretchChoice {
    int Mode;  // SelectImageMode result, or kModeByteSub
    bool G, W, A, K;
};

// The source offset (and blend-graph offset) of every visited column, from
// the first one of the row: the error stepping runs once per draw, not per
// row. Short rows use the stack.
class ColumnMap {
public:
    ColumnMap(const StretchWalk& w, bool graph)
    {
        const std::size_t n = static_cast<std::size_t>(w.Cols);
        src_ = n <= kInline ? srcInline_ : (srcHeap_.resize(n), srcHeap_.data());
        if (graph) graph_ = n <= kInline ? graphInline_ : (graphHeap_.resize(n), graphHeap_.data());
        constexpr std::int64_t one = 65536;
        std::ptrdiff_t s = 0, g = 0;
        std::int64_t e = w.Ex0;
        for (std::size_t i = 0;; ++i) {
            src_[i] = static_cast<std::int32_t>(s);
            if (graph) graph_[i] = static_cast<std::int32_t>(g);
            if (i + 1 == n) break;
            for (e -= one; e <= 0; e += w.Rx) {
                s += w.SrcStepX;
                g += w.GraphStepX;
            }
        }
    }
    ColumnMap(const ColumnMap&) = delete;
    ColumnMap& operator=(const ColumnMap&) = delete;
    const std::int32_t* Src() const { return src_; }
    const std::int32_t* Graph() const { return graph_; }

private:
    static constexpr std::size_t kInline = 1024;
    std::int32_t* src_ = nullptr;
    std::int32_t* graph_ = nullptr;
    std::int32_t srcInline_[kInline];
    std::int32_t graphInline_[kInline];
    std::vector<std::int32_t> srcHeap_, graphHeap_;
};

// Rows walk the column map with the loop state in locals. A row whose
// source row is the one before's is a copy of the row above when the rule
// writes the texel alone (reuseRows: no key, alpha, blend graph, tint or
// blend, and no overlap of source and destination).
template <class Op>
void StretchLoop(const StretchWalk& w, const ImageOpCtx& c)
{
    constexpr std::int64_t one = 65536;
    const ColumnMap map(w, Op::UsesGraph);
    const std::int32_t* const srcCol = map.Src();
    const std::int32_t* const graphCol = map.Graph();
    const std::uint8_t* const src = w.Src;
    const std::uint8_t* const graph = w.Graph;
    const std::ptrdiff_t dstPitch = w.DstPitch, srcStepY = w.SrcStepY, graphStepY = w.GraphStepY;
    const std::int64_t rows = w.Rows, ry = w.Ry;
    const std::size_t cols = static_cast<std::size_t>(w.Cols);
    const bool reuseRows = Op::OverwritesFromTexel && w.ReuseRows;
    const bool avx2 = w.Isa == IsaLevel::Avx2;
    std::uint8_t* dRow = w.Dst;
    std::ptrdiff_t sRow = w.SrcStart, gRow = w.GraphStart;
    std::int64_t ey = w.Ey0;
    bool sameSource = false;
    for (std::int64_t j = 0;; ++j) {
        if (reuseRows && sameSource) {
            std::memcpy(dRow, dRow - dstPitch, cols * Op::DstBytes);
        } else {
            const std::uint8_t* const s = src + sRow;
            std::uint8_t* d = dRow;
            if constexpr (Op::OverwritesFromTexel && Op::DstBytes == 4 && Op::TexelBytes == 4) {
                if (avx2) GatherRow32Avx2(d, s, srcCol, cols);
                else GatherRow32(d, s, srcCol, cols);
            } else if constexpr (Op::UsesGraph) {
                const std::uint8_t* const g = graph + gRow;
                for (std::size_t i = 0; i < cols; ++i, d += Op::DstBytes) Op::Apply(c, d, s + srcCol[i], g[graphCol[i]]);
            } else {
                for (std::size_t i = 0; i < cols; ++i, d += Op::DstBytes) Op::Apply(c, d, s + srcCol[i], 0);
            }
        }
        if (j + 1 == rows) break;
        dRow += dstPitch;
        sameSource = true;
        for (ey -= one; ey <= 0; ey += ry) {
            sameSource = false;
            sRow += srcStepY;
            if constexpr (Op::UsesGraph) gRow += graphStepY;
        }
    }
}

void RunStretchX8888(const StretchWalk& w, const ImageOpCtx& c, const StretchChoice& k);
void RunStretchR565(const StretchWalk& w, const ImageOpCtx& c, const StretchChoice& k);
void RunStretchPalette(bool x8888, const StretchWalk& w, const ImageOpCtx& c, const StretchChoice& k);

}  // namespace softpix
