// The span families of FillMemImgTriangle: one flat-colour family and the textured
// families by destination format, palette and source alpha, each in its own translation
// unit so their loops compile in parallel. Called by fill_triangle.cpp only.
#pragma once

#include <cstdint>

#include "graphics/memimg.h"
#include "softrender/kernelparams.h"
#include "softrender/triangle/triangle_walk.h"

// One prepared draw: the set-up, the clip (the draw area inside the destination) and the
// images, all checked by the caller.
struct TRIANGLEDRAW {
    const TRIANGLESETUP* Setup;
    RECT Clip;
    MEMIMG* Dst;
    const MEMIMG* Src;    // null for the flat family
    const MEMIMG* Graph;  // blend graph at least as large as the source, or null
    int Trans;
    BlendMode Mode;
    int BlendParam;
    DWORD DrawBright;
    IsaLevel Isa;  // already lowered to the processor's
};

void DrawFlatTriangle(const TRIANGLEDRAW& draw, DWORD colour);

// Textured families; the destination and source share the pixel format named.
void DrawTriangleX8888Direct(const TRIANGLEDRAW& draw);
void DrawTriangleX8888Alpha(const TRIANGLEDRAW& draw);
void DrawTriangleX8888Palette(const TRIANGLEDRAW& draw);
void DrawTriangleR565Direct(const TRIANGLEDRAW& draw);
void DrawTriangleR565Alpha(const TRIANGLEDRAW& draw);
void DrawTriangleR565Palette(const TRIANGLEDRAW& draw);
