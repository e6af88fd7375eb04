// The software renderer's 3D triangle kernel: one pre-transformed triangle,
// optionally clipped against the depth range, with an optional 16-bit depth
// image, perspective-correct texturing and optional vertex colour.
#pragma once

#include "graphics/memimg.h"
#include "graphics/vertex.h"
#include "softrender/kernelparams.h"

namespace softrender {

// Draws vertices[0..2] into dst under the blend mode, parameter, bright colour,
// draw area and blend graph of k. depth: 16-bit depth image of dst's size, or null.
// texture: same format as dst, or null for a white 8x8 texture. trans honours
// the colour key or the texture's alpha. depthWrite stores passing depths;
// pieceDepthWrite is the depthWrite of the pieces of a clipped triangle;
// vertexColour selects the loops that take the interpolated diffuse colour and
// alpha instead of the bright colour and parameter; clip == 1 clips against
// 0.0 <= z <= 1.0. Every refusal is silent.
void RasterizeMemImgTriangle3D(const KERNELPARAMS& k, MEMIMG* dst, MEMIMG* depth, const MEMIMG* texture,
                               const TLVTXTEX* vertices, int trans, int depthWrite, int pieceDepthWrite,
                               int vertexColour, int clip);

}  // namespace softrender
