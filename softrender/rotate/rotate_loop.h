// The rotate kernel's per-draw record and its pixel walk: 14.18 source
// positions stepped per pixel and per row, each row's exact span inside the
// source, row tables for the source and the blend graph, then the shared
// image operator or the vector level's span (rotate_avx2.cpp).
// Filled by rotate.cpp; instantiated by the rotate_loops*.cpp units.
#pragma once

#include "softrender/pixelops/dispatch.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "graphics/memimg.h"
#include "softrender/pixelops/image_ops.h"

namespace softrender {

// One row's span of n pixels whose every source position lies inside the
// source: u, v the first pixel's position and dUx, dVx the steps, all 14.18
// taken modulo 2^32 (exact, since every position in the span is below 2^31).
// A keyed span leaves the pixels whose texel is the key.
using RotateSpanFn = void (*)(BYTE* dst, int n, std::uint32_t u, std::uint32_t v, std::uint32_t dUx,
                              std::uint32_t dVx, const BYTE* src, int srcPitch, std::uint32_t key);

// The AVX2 spans (rotate_avx2.cpp), reached only when the processor has it.
RotateSpanFn RotateCopySpan32Avx2(bool keyed);

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
    const BYTE* srcPixels;
    int srcPitch;
    RotateSpanFn span;  // the vector level's span of a plain or keyed 32-bit copy, or null
};

// One edge of the rows' spans: the pixels i with A + i B >= 0, where A moves
// by dA from one row to the next. B > 0 bounds i from below, at
// ceil(-A / B); B < 0 from above, at floor(A / -B); B = 0 passes every pixel
// or none. The bound is stepped exactly from row to row as a whole quotient
// and a remainder, so no row divides or estimates.
class SpanEdge {
public:
    SpanEdge(std::int64_t a, std::int64_t da, std::int64_t b) : a_(a), da_(da), size_(b < 0 ? -b : b)
    {
        kind_ = b > 0 ? 1 : (b < 0 ? -1 : 0);
        if (kind_ == 0) return;
        // Both remainders are A - floor(A / |B|) |B|, in [0, |B|): the lowest
        // i is ceil(-A / B) = -floor(A / B), the highest floor(A / -B).
        const std::int64_t whole = FloorDiv(a, size_);
        rem_ = a - whole * size_;
        at_ = kind_ > 0 ? -whole : whole;
        q_ = FloorDiv(da, size_);
        r_ = da - q_ * size_;
    }

    int Kind() const { return kind_; }
    std::int64_t At() const { return at_; }
    bool Passes() const { return a_ >= 0; }  // the flat edge

    void NextRow()
    {
        if (kind_ == 0) {
            a_ += da_;
            return;
        }
        rem_ += r_;
        const bool carry = rem_ >= size_;
        rem_ -= carry ? size_ : 0;
        at_ += kind_ > 0 ? -q_ - carry : q_ + carry;
    }

private:
    static std::int64_t FloorDiv(std::int64_t n, std::int64_t d)  // d > 0
    {
        const std::int64_t q = n / d;
        return q - (n % d < 0 ? 1 : 0);
    }

    std::int64_t a_, da_, size_;
    std::int64_t at_ = 0, rem_ = 0, q_ = 0, r_ = 0;
    int kind_;
};

// The four edges of a draw: 0 <= u < boundU and 0 <= v < boundV, with the
// positions whole 14.18 numbers, so u < boundU is boundU - 1 - u >= 0.
// Row r's span [lo, hi) is exactly the pixels of [0, cols) inside the source.
class RowSpans {
public:
    RowSpans(std::int64_t u0, std::int64_t v0, std::int64_t dUx, std::int64_t dVx, std::int64_t dUy,
             std::int64_t dVy, std::uint64_t boundU, std::uint64_t boundV)
        : edges_{SpanEdge(u0, dUy, dUx), SpanEdge(static_cast<std::int64_t>(boundU) - 1 - u0, -dUy, -dUx),
                 SpanEdge(v0, dVy, dVx), SpanEdge(static_cast<std::int64_t>(boundV) - 1 - v0, -dVy, -dVx)}
    {
    }

    // The current row's span; false when it is empty. Then moves to the next row.
    bool Next(int cols, int* lo, int* hi)
    {
        std::int64_t first = 0, last = cols;
        bool any = true;
        for (SpanEdge& e : edges_) {
            if (e.Kind() > 0) first = std::max(first, e.At());
            else if (e.Kind() < 0) last = std::min(last, e.At() + 1);
            else any = any && e.Passes();
            e.NextRow();
        }
        if (!any || first >= last) return false;
        *lo = static_cast<int>(first);
        *hi = static_cast<int>(last);
        return true;
    }

private:
    SpanEdge edges_[4];
};

// The loop state lives in locals: the pixel stores may alias the record.
// VectorSpan: the op is a plain or keyed copy of 32-bit texels, which the
// draw's span function may take over.
template <class Op, bool VectorSpan>
void RunRotateRows(const RotateDraw& d, const softpix::ImageOpCtx& ctx)
{
    BYTE* rowDst = d.dstPixels;
    const std::uint64_t boundU = d.boundU, boundV = d.boundV;
    const std::int64_t dUx = d.dUx, dVx = d.dVx, dUy = d.dUy, dVy = d.dVy, u0 = d.u0, v0 = d.v0;
    const int rows = d.rows, cols = d.cols, dstPitch = d.dstPitch;
    const BYTE* const* const sourceRows = d.sourceRows;
    const BYTE* const* const graphRows = d.graphRows;
    const RotateSpanFn span = VectorSpan ? d.span : nullptr;
    const BYTE* const srcPixels = d.srcPixels;
    const int srcPitch = d.srcPitch;
    RowSpans spans(u0, v0, dUx, dVx, dUy, dVy, boundU, boundV);
    for (int r = 0; r < rows; ++r, rowDst += dstPitch) {
        int lo, hi;
        if (!spans.Next(cols, &lo, &hi)) continue;
        const std::int64_t rowU = u0 + r * dUy;
        const std::int64_t rowV = v0 + r * dVy;
        std::int64_t u = rowU + lo * dUx;
        std::int64_t v = rowV + lo * dVx;
        BYTE* dp = rowDst + static_cast<std::ptrdiff_t>(lo) * Op::DstBytes;
        if constexpr (VectorSpan) {
            if (span != nullptr) {
                span(dp, hi - lo, static_cast<std::uint32_t>(u), static_cast<std::uint32_t>(v),
                     static_cast<std::uint32_t>(dUx), static_cast<std::uint32_t>(dVx), srcPixels, srcPitch, ctx.Key);
                continue;
            }
        }
        for (int i = lo; i < hi; ++i) {
            const std::size_t ui = static_cast<std::size_t>(u >> 18);
            const std::size_t vi = static_cast<std::size_t>(v >> 18);
            std::uint8_t g = 0;
            if constexpr (Op::UsesGraph) g = graphRows[vi][ui];
            Op::Apply(ctx, dp, sourceRows[vi] + ui * Op::TexelBytes, g);
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
            constexpr bool copy = F == softpix::PixFmt::X8888 && !decltype(p)::value && !decltype(a)::value &&
                                  decltype(m)::value == 0 && !decltype(g)::value && decltype(w)::value;
            RunRotateRows<softpix::ImageOp<F, decltype(p)::value, decltype(a)::value, decltype(m)::value,
                                           decltype(g)::value, decltype(w)::value, decltype(k)::value,
                                           softpix::Family::RotTri3D>,
                          copy>(d, ctx);
        });
    });
}

// One translation unit per pixel format keeps the build parallel.
void DrawRotated32(const RotateDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph, bool white,
                   bool alpha, bool trans);
void DrawRotated16(const RotateDraw& d, const softpix::ImageOpCtx& ctx, int mode, bool palette, bool graph, bool white,
                   bool alpha, bool trans);

}  // namespace softrender
