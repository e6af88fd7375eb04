// BlitMemImg: the software renderer's 1:1 blit of a MEMIMG onto a MEMIMG
// under the drawing state's blend mode, parameter, brightness and draw area.
#pragma once

#include "graphics/memimg.h"

// Draws the whole source with its top-left pixel at (x, y) of the
// destination, clipped to the draw area, passing over key-coloured pixels
// when keyFlag is non-zero; blendGraph (one byte per pixel, at least the
// source's size) weighs each pixel when given.
void BlitMemImg(MEMIMG* dst, const MEMIMG* src, int x, int y, int keyFlag, const MEMIMG* blendGraph);
