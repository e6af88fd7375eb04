// Per-call operator contexts: picks the BLENDTABLES rows each operator reads.
// Reads graphics/blendtable.
#include "softrender/pixelops/op_context.h"

#include "graphics/blendtable.h"

namespace softpix {

ImageOpCtx MakeImageOpCtx(const MEMIMGBODY* src, int p, std::uint32_t bright)
{
    ImageOpCtx c{};
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

FlatOpCtx MakeFlatOpCtx(std::uint32_t tintedColour, PixFmt f, int p)
{
    return MakeFlatOpCtx(tintedColour, f, static_cast<std::uint32_t>(p & 0xFF), BlendTables.ProductTable[p & 0xFF],
                         SignedProductRow(p & 0xFF));
}

}  // namespace softpix
