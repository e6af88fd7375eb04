// The software renderer's rotated and scaled draw, and the split of a quad
// into two textured 2D triangles that its mirrored form takes.
#pragma once

#include "graphics/memimg.h"
#include "softrender/kernelparams.h"

namespace softrender {

// Draws src rotated by angle (radians, clockwise on the screen) and scaled by
// rate about the destination point (cx, cy), onto which the source's centre
// texel (width >> 1, height >> 1) lands; turn != 0 draws it mirrored left to
// right through SplitMemImgQuadToTriangles. trans honours the colour key or the
// source's alpha; the blend graph is a one-byte-per-pixel image at least as
// large as the source, or null. Blend mode, parameter, bright colour, draw area
// and blend graph come from k. Every refusal is silent; a source of 8,192 or
// more in either size is refused.
void RotateScaleBlitMemImg(const KERNELPARAMS& k, MEMIMG* dst, const MEMIMG* src, int cx, int cy, float angle,
                           float rate, int trans, int turn);

// Draws the whole of src onto the quad corners[0..7] (x0, y0, ... x3, y3 in
// whole pixels), whose corners take the texels (0, 0), (width, 0), (0, height)
// and (width, height), as the triangles P0 P1 P2 and P1 P2 P3; nothing when the
// quad's box, widened by 2 before and 4 after, misses the draw area.
void SplitMemImgQuadToTriangles(const KERNELPARAMS& k, MEMIMG* dst, const MEMIMG* src, const int* corners,
                                int trans);

}  // namespace softrender
