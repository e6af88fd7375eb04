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

// A glyph of coverage levels, one byte (0-15) per pixel, w by h with rows
// `pitch` bytes apart, drawn at (x, y) exactly as BlitMemImg draws, with the
// key flag set, an alpha image of its size whose pixel is levels[level]:
// levels are words of `levelsBody`, an XRGB 8:8:8:8 body with alpha that
// stands for that image (its key). Draws nothing under a blend graph.
void BlitCoverageGlyph(const KERNELPARAMS& k, MEMIMG* dst, const MEMIMGBODY* levelsBody, const DWORD levels[16],
                       const BYTE* coverage, int pitch, int w, int h, int x, int y);

}  // namespace softrender
