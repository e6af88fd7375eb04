// Per-call operator contexts: picks the BLENDTABLES rows each operator reads.
// Reads graphics/blendtable.
#include "softrender/pixelops/op_context.h"

#include "graphics/blendtable.h"

namespace softpix {

FlatOpCtx MakeFlatOpCtx(std::uint32_t tintedColour, PixFmt f, int p)
{
    return MakeFlatOpCtx(tintedColour, f, static_cast<std::uint32_t>(p & 0xFF), BlendTables.ProductTable[p & 0xFF],
                         SignedProductRow(p & 0xFF));
}

}  // namespace softpix
