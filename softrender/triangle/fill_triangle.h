// FillMemImgTriangle: the software renderer's 2D triangle, filled with one colour or
// affinely textured from a source image, under the blend mode, parameter,
// brightness, draw area and blend graph of its KERNELPARAMS.
#pragma once

#include "graphics/memimg.h"
#include "platform/kernel/types.h"
#include "softrender/kernelparams.h"

namespace softrender {

// vertices: three {x, y, u, v} records (destination pixels, source texels). Without a
// source the triangle takes colour (in the destination's pixel format) and ignores trans
// and the blend graph. Draws nothing, silently, whenever the call cannot be drawn.
void FillMemImgTriangle(const KERNELPARAMS& k, MEMIMG* dst, const MEMIMG* src, const int* vertices, int trans,
                        DWORD colour);

}  // namespace softrender
