// Filled rectangle kernel: corner sorting, clipping to the draw area and one
// row loop per (format, mode) over the flat-colour operators.
// Calls shapes/shape_target and graphics/matrix.
#include <cstring>
#include <type_traits>
#include <utility>

#include "graphics/matrix.h"
#include "softrender/shapes/shape_target.h"
#include "softrender/shapes/shapes.h"

using namespace softpix;

namespace {

template <class Op>
void FillRows(std::uint8_t* row, std::ptrdiff_t pitch, int w, int h, const FlatOpCtx& c)
{
    constexpr int n = Op::DstBytes;
    for (int y = 0; y < h; ++y, row += pitch) {
        std::uint8_t* p = row;
        for (int x = 0; x < w; ++x, p += n) Op::Apply(c, p);
    }
}

// Mode 0 never reads the destination: fill one row, copy it to the others.
template <int N>
void StoreRows(std::uint8_t* row, std::ptrdiff_t pitch, int w, int h, std::uint32_t colour)
{
    std::uint8_t* first = row;
    for (int x = 0; x < w; ++x) {
        if constexpr (N == 4) Store32(first + 4 * x, colour);
        else Store16(first + 2 * x, static_cast<std::uint16_t>(colour));
    }
    for (int y = 1; y < h; ++y) std::memcpy(first + y * pitch, first, static_cast<std::size_t>(w) * N);
}

}  // namespace

void softrender::FillMemImgRect(const KERNELPARAMS& k, MEMIMG* dst, const RECT* rect, DWORD colour)
{
    ShapeTarget t;
    if (!PrepareShapeTarget(k, dst, colour, true, &t)) return;

    RECT r = rect ? *rect : RECT{0, 0, dst->Width, dst->Height};
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    ClipRectAgainstRect(&r, &t.Area);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;

    std::uint8_t* row = t.Pixels + r.top * t.Pitch + std::ptrdiff_t(r.left) * t.BytesPerPixel;
    WithFlatOp(t, [&](auto* op) {
        using Op = std::remove_pointer_t<decltype(op)>;
        if (t.Mode == 0) StoreRows<Op::DstBytes>(row, t.Pitch, w, h, t.Ctx.Colour);
        else FillRows<Op>(row, t.Pitch, w, h, t.Ctx);
    });
}

void softrender::FillMemImgRectByCorners(const KERNELPARAMS& k, MEMIMG* dst, int x1, int y1, int x2, int y2,
                                         DWORD colour)
{
    const RECT r{x1, y1, x2, y2};
    FillMemImgRect(k, dst, &r, colour);
}
