// Per-call operator contexts built from BLENDTABLES: the table rows of the
// blend parameter and of the brightness bytes, the graph factors, and the
// source's palette and key. Every software kernel that uses the image or
// flat-colour operators builds its context here. Reads graphics/blendtable.
#pragma once

#include <cstdint>

#include "graphics/memimg.h"
#include "softrender/pixelops/flat_ops.h"
#include "softrender/pixelops/image_ops.h"

namespace softpix {

// src is the source image's body (palette and key); p and bright come from
// the drawing state.
ImageOpCtx MakeImageOpCtx(const MEMIMGBODY* src, int p, std::uint32_t bright);

// colour is already tinted by the caller's own rule (TintShapeColour for the
// shape kernels).
FlatOpCtx MakeFlatOpCtx(std::uint32_t tintedColour, PixFmt f, int p);

}  // namespace softpix
