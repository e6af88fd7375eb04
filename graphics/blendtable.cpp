// The global BLENDTABLES and their two builders. Integer arithmetic only:
// the kernels' results depend on every entry.
#include "graphics/blendtable.h"

BLENDTABLES BlendTables;

static_assert(sizeof(BlendTables.SignedProductTable[0]) == 2048, "kernels step signed rows by 2,048 bytes");

int BuildSoftBlendTables()
{
    for (int v = 0; v < 256; ++v) {
        for (int d = -255; d <= 255; ++d) BlendTables.SignedProductTable[v][256 + d] = d * v / 255;
    }
    for (int v = 0; v < 256; ++v) {
        for (int i = 0; i < 256; ++i) BlendTables.ProductTable[v][i] = static_cast<DWORD>(i * v / 255);
    }
    for (int k = 0; k < 64; ++k) {
        for (int s = 0; s < 64; ++s) {
            for (int d = 0; d < 64; ++d) {
                BlendTables.InterpolationCube[k][s][d] = static_cast<BYTE>((s * k + d * (63 - k)) / 63);
            }
        }
    }
    return 0;
}

void BuildBlendGraphFactorTable(int param, int range)
{
    // The setter stores both clamped; clamping again keeps a stray range of -1 from dividing by 0.
    if (param < 0) param = 0;
    if (param > 255) param = 255;
    if (range < 0) range = 0;
    if (range > 255) range = 255;
    int r = range + 1;
    int base = 256 - ((65536 / r + 256) * param / 256);
    for (int g = 0; g < 256; ++g) {
        int e = g * 256 / r + base;
        if (e < 0) e = 0;
        if (e > 255) e = 255;
        BlendTables.BlendGraphFactorTable[g] = static_cast<BYTE>(e);
    }
}
