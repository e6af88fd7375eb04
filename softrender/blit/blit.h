// BlitMemImg: the software renderer's 1:1 blit of a MEMIMG onto a MEMIMG
// under the blend mode, parameter, brightness and draw area of its KERNELPARAMS.
#pragma once

#include "graphics/memimg.h"
#include "softrender/kernelparams.h"

namespace softrender {

// Draws the whole source with its top-left pixel at (x, y) of the
// destination, clipped to the draw area, passing over key-coloured pixels
// when keyFlag is non-zero; blendGraph (one byte per pixel, at least the
// source's size) weighs each pixel when given.
void BlitMemImg(const KERNELPARAMS& k, MEMIMG* dst, const MEMIMG* src, int x, int y, int keyFlag);

}  // namespace softrender
