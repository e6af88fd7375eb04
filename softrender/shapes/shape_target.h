// What the shape kernels share per call: the destination checks, the clip
// area (the draw area inside the image), the tinted colour, the operator
// selection and the lift of (format, mode) to a FlatOp type.
// Reads its KERNELPARAMS and the operator contexts of pixelops/.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/memimg.h"
#include "softrender/kernelparams.h"
#include "softrender/pixelops/dispatch.h"
#include "softrender/pixelops/flat_ops.h"

namespace softpix {

struct ShapeTarget {
    std::uint8_t* Pixels;
    std::ptrdiff_t Pitch;
    int BytesPerPixel;
    PixFmt Format;
    RECT Area;  // non-empty, inside the image
    int Mode;   // selected flat mode
    FlatOpCtx Ctx;
};

// False when nothing can be drawn: dead or null image, a format other than
// RGB565/XRGB8888, a palette destination, an alpha destination when
// refuseAlpha, an empty clip area, or a mode that draws nothing.
bool PrepareShapeTarget(const KERNELPARAMS& k, MEMIMG* dst, std::uint32_t colour, bool refuseAlpha, ShapeTarget* t);

// Calls fn(FlatOp type tag) for the target's (format, mode).
template <class Fn>
inline void WithFlatOp(const ShapeTarget& t, Fn&& fn)
{
    WithDrawingMode(t.Mode, [&](auto m) {
        if (t.Format == PixFmt::X8888) fn(static_cast<FlatOp<PixFmt::X8888, decltype(m)::value>*>(nullptr));
        else fn(static_cast<FlatOp<PixFmt::R565, decltype(m)::value>*>(nullptr));
    });
}

}  // namespace softpix
