// Circle kernel: the midpoint walk of shapes/circle_walk.h, plotting the
// outline's points, or the disc's spans with one flag per row so that each
// row is drawn once. Coordinates and the decision value are 64-bit, so no
// radius or centre overflows.
// Calls shapes/shape_target, shapes/circle_walk and core/memory (row flags).
#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "core/memory.h"
#include "softrender/shapes/circle_walk.h"
#include "softrender/shapes/shape_target.h"
#include "softrender/shapes/shapes.h"

using namespace softpix;

namespace {

struct CircleWalk {
    std::uint8_t* Pixels;
    std::ptrdiff_t Pitch;
    std::int64_t Left, Top, Right, Bottom;  // inclusive clip bounds
    std::uint8_t* RowFlags;                 // disc: one byte per clip row
};

template <class Op>
class CirclePainter {
public:
    CirclePainter(const CircleWalk& w, const FlatOpCtx& c) : w_(w), c_(c) {}

    void Plot(std::int64_t col, std::int64_t row)
    {
        if (col < w_.Left || col > w_.Right || row < w_.Top || row > w_.Bottom) return;
        Op::Apply(c_, w_.Pixels + row * w_.Pitch + col * Op::DstBytes);
    }

    void Span(std::int64_t row, std::int64_t a, std::int64_t b)
    {
        if (row < w_.Top || row > w_.Bottom || b < w_.Left || a > w_.Right) return;
        std::uint8_t& flag = w_.RowFlags[row - w_.Top];
        if (flag) return;
        flag = 1;
        std::uint8_t* p = w_.Pixels + row * w_.Pitch;
        const std::int64_t last = std::min(b, w_.Right);
        for (std::int64_t col = std::max(a, w_.Left); col <= last; ++col) Op::Apply(c_, p + col * Op::DstBytes);
    }

    void Outline(std::int64_t x, std::int64_t y, std::int64_t r)
    {
        softrender::WalkCircleOutline(x, y, r, [this](std::int64_t col, std::int64_t row) { Plot(col, row); });
    }

    void Disc(std::int64_t x, std::int64_t y, std::int64_t r)
    {
        softrender::WalkCircleDisc(x, y, r,
                                   [this](std::int64_t row, std::int64_t a, std::int64_t b) { Span(row, a, b); });
    }

private:
    CircleWalk w_;
    FlatOpCtx c_;
};

}  // namespace

void softrender::PlotMemImgCircle(const KERNELPARAMS& k, MEMIMG* dst, int x, int y, int r, DWORD colour, int fill)
{
    ShapeTarget t;
    if (!PrepareShapeTarget(k, dst, colour, false, &t)) return;
    // A negative radius would walk the disc's spans backwards; the outline
    // keeps its four axis points at distance -r.
    if (fill && r < 0) return;

    const std::int64_t cx = x, cy = y, rr = r < 0 ? -std::int64_t(r) : r;
    CircleWalk w{t.Pixels, t.Pitch, t.Area.left, t.Area.top, t.Area.right - 1, t.Area.bottom - 1, nullptr};
    if (cx + rr < w.Left || cx - rr > w.Right || cy + rr < w.Top || cy - rr > w.Bottom) return;

    if (fill) {
        w.RowFlags = static_cast<std::uint8_t*>(AllocMemoryZeroed(std::size_t(w.Bottom - w.Top + 1), "", 0));
        if (w.RowFlags == nullptr) return;
    }
    WithFlatOp(t, [&](auto* op) {
        CirclePainter<std::remove_pointer_t<decltype(op)>> painter(w, t.Ctx);
        if (fill) painter.Disc(cx, cy, r);
        else painter.Outline(cx, cy, r);
    });
    FreeMemory(w.RowFlags);
}
