// The vector loops of the fixed-point 4:2:0 conversion, one per instruction
// set. Each converts a pair of picture rows that share one chroma row and
// answers how many 2 x 2 blocks it did from the left; the caller finishes
// the rest with the table loop. Their output equals the table loop's on
// every (y, u, v).
#pragma once

#include <cstdint>

#include "platform/kernel/types.h"

// The conversion's coefficients, scaled by 16384 and truncated.
constexpr int THEORA_LUMA = 19070;
constexpr int THEORA_RED_FROM_CR = 26148;
constexpr int THEORA_GREEN_FROM_CB = -6406;
constexpr int THEORA_GREEN_FROM_CR = -13320;
constexpr int THEORA_BLUE_FROM_CB = 33062;

struct Theora420RowPair {
    const BYTE* Luma0;
    const BYTE* Luma1;
    const BYTE* Cb;
    const BYTE* Cr;
    BYTE* Out0;
    BYTE* Out1;
    int Blocks;
};

int ConvertTheoraRowPairSse2(const Theora420RowPair& rows);
int ConvertTheoraRowPairAvx2(const Theora420RowPair& rows);
