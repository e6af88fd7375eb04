// Line kernel: box test, end clipping with double slopes from the unclipped
// ends, then an integer error-term walk along the major axis, one loop per
// (format, mode, major axis). Calls shapes/shape_target.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

#include "core/number.h"
#include "softrender/shapes/shape_target.h"
#include "softrender/shapes/shapes.h"

using namespace softpix;

namespace {

// Pixel k is the start + k major steps + floor(k * nMinor / nMajor) minor steps.
template <class Op>
void WalkLine(std::uint8_t* p, std::ptrdiff_t majorStep, std::ptrdiff_t minorStep, std::int64_t nMajor,
              std::int64_t nMinor, const FlatOpCtx& c)
{
    std::int64_t e = 0;
    for (std::int64_t k = 0;; ++k) {
        Op::Apply(c, p);
        if (k + 1 == nMajor) break;  // no step past the last pixel
        e += nMinor;
        p += majorStep;
        if (e >= nMajor) {
            p += minorStep;
            e -= nMajor;
        }
    }
}

}  // namespace

void softrender::PlotMemImgLine(const KERNELPARAMS& k, MEMIMG* dst, int x1, int y1, int x2, int y2, DWORD colour)
{
    ShapeTarget t;
    if (!PrepareShapeTarget(k, dst, colour, false, &t)) return;
    const RECT& a = t.Area;

    if (std::min(y1, y2) >= a.bottom || std::min(x1, x2) >= a.right || std::max(y1, y2) < a.top ||
        std::max(x1, x2) < a.left)
        return;

    // Differences of exactly converted ends: no 32-bit overflow at the extremes.
    const double dx = double(x2) - double(x1), dy = double(y2) - double(y1);
    const double kx = y1 == y2 ? 0.0 : dx / dy;
    const double ky = x1 == x2 ? 0.0 : dy / dx;
    const double bx = double(x1) - kx * double(y1);
    const double by = double(y1) - ky * double(x1);

    if (x1 < a.left) {
        x1 = a.left;
        y1 = TruncDoubleToInt(double(a.left) * ky + by);
    } else if (x1 >= a.right) {
        x1 = a.right - 1;
        y1 = TruncDoubleToInt(double(a.right - 1) * ky + by);
    }
    if (x2 < a.left) {
        x2 = a.left - 1;
        y2 = TruncDoubleToInt(double(a.left - 1) * ky + by);
    } else if (x2 >= a.right) {
        x2 = a.right;
        y2 = TruncDoubleToInt(double(a.right) * ky + by);
    }
    if (y1 < a.top) {
        y1 = a.top;
        x1 = TruncDoubleToInt(double(a.top) * kx + bx);
    } else if (y1 >= a.bottom) {
        y1 = a.bottom - 1;
        x1 = TruncDoubleToInt(double(a.bottom - 1) * kx + bx);
    }
    if (y2 < a.top) {
        y2 = a.top - 1;
        x2 = TruncDoubleToInt(double(a.top - 1) * kx + bx);
    } else if (y2 >= a.bottom) {
        y2 = a.bottom;
        x2 = TruncDoubleToInt(double(a.bottom) * kx + bx);
    }
    if (x1 < a.left) x1 = a.left;
    else if (x1 >= a.right) x1 = a.right - 1;
    if (x2 < a.left) x2 = a.left - 1;
    else if (x2 >= a.right) x2 = a.right;

    if (x1 == x2 && y1 == y2) return;
    const std::int64_t nx = std::llabs(std::int64_t(x2) - x1), ny = std::llabs(std::int64_t(y2) - y1);
    const std::ptrdiff_t xs = (x2 >= x1 ? 1 : -1) * std::ptrdiff_t(t.BytesPerPixel);
    const std::ptrdiff_t ys = (y2 >= y1 ? 1 : -1) * t.Pitch;
    std::uint8_t* p = t.Pixels + y1 * t.Pitch + std::ptrdiff_t(x1) * t.BytesPerPixel;

    WithFlatOp(t, [&](auto* op) {
        using Op = std::remove_pointer_t<decltype(op)>;
        if (nx >= ny) WalkLine<Op>(p, xs, ys, nx, ny, t.Ctx);
        else WalkLine<Op>(p, ys, xs, ny, nx, t.Ctx);
    });
}
