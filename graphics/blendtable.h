// BLENDTABLES: the software renderer's lookup tables (products, signed
// differences, the 16-bit interpolation cube and the blend-graph factors).
// Screen start builds the first three once; the blend-graph setting rebuilds
// the factors. The software kernels only read them.
#pragma once

#include "platform/kernel/types.h"

struct BLENDTABLES {
    DWORD ProductTable[256][256];      // [v][i] = i * v / 255
    int SignedProductTable[256][512];  // [v][256 + d] = d * v / 255, d = -255..255, toward zero
    BYTE InterpolationCube[64][64][64];  // [k][s][d] = (s * k + d * (63 - k)) / 63
    BYTE BlendGraphFactorTable[256];     // blend-graph pixel -> source weight 0..255
};

extern BLENDTABLES BlendTables;

int BuildSoftBlendTables();
void BuildBlendGraphFactorTable(int param, int range);

// Row v of the signed-difference table addressed from its centre: row[d] = d * v / 255.
inline const int* SignedProductRow(int v) { return &BlendTables.SignedProductTable[v][256]; }
