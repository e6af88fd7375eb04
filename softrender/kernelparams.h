// KERNELPARAMS: everything a software kernel draws with besides its images
// and coordinates. The graph layer reads the drawing state into it once per
// draw (graphics/kernelparams.h); the kernels read nothing else.
#pragma once

#include "graphics/drawtypes.h"
#include "graphics/memimg.h"
#include "platform/kernel/types.h"

// Which vector loops a draw may run; a kernel lowers it to what the
// processor has (softrender/simd/isa.h), so tests can ask for each level.
enum class IsaLevel : int { Portable, Sse2, Avx2 };

struct KERNELPARAMS {
    BlendMode Mode;            // any value; those that draw nothing are refused by the kernels
    int Param;                 // 0-255
    DWORD Bright;              // byte 0 blue, 1 green, 2 red; white when the low 24 bits are all ones
    RECT Area;                 // the clip of every draw, right and bottom exclusive
    const MEMIMG* BlendGraph;  // one byte per pixel, at least the source's size, or null
    bool Mmx;                  // the processor's MMX is used (the exact byte-wise subtraction)
    IsaLevel Isa = IsaLevel::Portable;
};
