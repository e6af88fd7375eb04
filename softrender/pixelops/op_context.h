// Per-call operator contexts built from BLENDTABLES: the table rows of the
// blend parameter and of the brightness bytes, the graph factors, and the
// source's palette and key. Every software kernel that uses the image or
// flat-colour operators builds its context here. Reads graphics/blendtable.
#pragma once

#include <cstdint>

#include "graphics/blendtable.h"
#include "graphics/memimg.h"
#include "softrender/pixelops/flat_ops.h"
#include "softrender/pixelops/image_ops.h"

namespace softpix {

// src is the source image's body (palette and key); p and bright come from
// the drawing state. Inline: a small draw pays for it before its first pixel.
inline ImageOpCtx MakeImageOpCtx(const MEMIMGBODY* src, int p, std::uint32_t bright)
{
    ImageOpCtx c;
    c.Pp = BlendTables.ProductTable[p & 0xFF];
    c.Pb[0] = BlendTables.ProductTable[bright & 0xFF];
    c.Pb[1] = BlendTables.ProductTable[(bright >> 8) & 0xFF];
    c.Pb[2] = BlendTables.ProductTable[(bright >> 16) & 0xFF];
    c.Sp = SignedProductRow(p & 0xFF);
    c.GraphFactor = BlendTables.BlendGraphFactorTable;
    c.Palette = src->Palette;
    c.Key = src->ColorKey;
    c.P = static_cast<std::uint32_t>(p & 0xFF);
    return c;
}

// colour is already tinted by the caller's own rule (TintShapeColour for the
// shape kernels).
FlatOpCtx MakeFlatOpCtx(std::uint32_t tintedColour, PixFmt f, int p);

}  // namespace softpix
