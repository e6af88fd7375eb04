// FillMemImgTriangle: the software renderer's 2D triangle, filled with one colour or
// affinely textured from a source image, under the drawing state's blend mode,
// parameter, brightness and draw area.
#pragma once

#include "graphics/memimg.h"
#include "platform/kernel/types.h"

// vertices: three {x, y, u, v} records (destination pixels, source texels). Without a
// source the triangle takes colour (in the destination's pixel format) and ignores trans
// and blendGraph. Draws nothing, silently, whenever the call cannot be drawn.
void FillMemImgTriangle(MEMIMG* dst, const MEMIMG* src, const int* vertices, int trans,
                        const MEMIMG* blendGraph, DWORD colour);
