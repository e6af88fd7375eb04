// Owns ReadKernelParams and the kernels' entries; reads DRAWSTATE and the
// MMX flag of SYSSTATE, calls the kernels of softrender/.
#include "graphics/kernel_entries.h"

#include <algorithm>

#include "core/sysstate.h"
#include "graphics/drawstate.h"
#include "softrender/blit/blit.h"
#include "softrender/rotate/rotate.h"
#include "softrender/simd/isa.h"
#include "softrender/shapes/shapes.h"
#include "softrender/triangle/fill_triangle.h"
#include "softrender/triangle3d/triangle3d.h"

KERNELPARAMS ReadKernelParams(const MEMIMG* blendGraph)
{
    KERNELPARAMS k;
    k.Mode = static_cast<BlendMode>(DrawState.BlendMode);
    k.Param = std::clamp(DrawState.BlendParam, 0, 255);
    k.Bright = DrawState.DrawBright;
    k.Area = DrawState.DrawArea;
    k.BlendGraph = blendGraph;
    k.Mmx = IsMmxAvailable() == 1;
    k.Isa = softrender::HostIsaLevel();
    return k;
}

void BlitMemImg(MEMIMG* dst, const MEMIMG* src, int x, int y, int keyFlag, const MEMIMG* blendGraph)
{
    softrender::BlitMemImg(ReadKernelParams(blendGraph), dst, src, x, y, keyFlag);
}

void StretchBlitMemImg(MEMIMG* dst, const MEMIMG* src, const STRETCHBLOCK* corners, int keyFlag,
                       const MEMIMG* blendGraph)
{
    softrender::StretchBlitMemImg(ReadKernelParams(blendGraph), dst, src, corners, keyFlag);
}

void RotateScaleBlitMemImg(MEMIMG* dst, const MEMIMG* src, int cx, int cy, float angle, float rate, int trans,
                           int turn, const MEMIMG* blendGraph)
{
    softrender::RotateScaleBlitMemImg(ReadKernelParams(blendGraph), dst, src, cx, cy, angle, rate, trans, turn);
}

void SplitMemImgQuadToTriangles(MEMIMG* dst, const MEMIMG* src, const int* corners, int trans,
                                const MEMIMG* blendGraph)
{
    softrender::SplitMemImgQuadToTriangles(ReadKernelParams(blendGraph), dst, src, corners, trans);
}

void FillMemImgTriangle(MEMIMG* dst, const MEMIMG* src, const int* vertices, int trans, const MEMIMG* blendGraph,
                        DWORD colour)
{
    softrender::FillMemImgTriangle(ReadKernelParams(blendGraph), dst, src, vertices, trans, colour);
}

void RasterizeMemImgTriangle3D(MEMIMG* dst, MEMIMG* depth, const MEMIMG* texture, const TLVTXTEX* vertices,
                               int trans, const MEMIMG* blendGraph, int depthWrite, int pieceDepthWrite,
                               int vertexColour, int clip)
{
    softrender::RasterizeMemImgTriangle3D(ReadKernelParams(blendGraph), dst, depth, texture, vertices, trans,
                                          depthWrite, pieceDepthWrite, vertexColour, clip);
}

void FillMemImgRect(MEMIMG* dst, const RECT* rect, DWORD colour)
{
    softrender::FillMemImgRect(ReadKernelParams(nullptr), dst, rect, colour);
}

void FillMemImgRectByCorners(MEMIMG* dst, int x1, int y1, int x2, int y2, DWORD colour)
{
    softrender::FillMemImgRectByCorners(ReadKernelParams(nullptr), dst, x1, y1, x2, y2, colour);
}

void PlotMemImgLine(MEMIMG* dst, int x1, int y1, int x2, int y2, DWORD colour)
{
    softrender::PlotMemImgLine(ReadKernelParams(nullptr), dst, x1, y1, x2, y2, colour);
}

void PlotMemImgCircle(MEMIMG* dst, int x, int y, int r, DWORD colour, int fill)
{
    softrender::PlotMemImgCircle(ReadKernelParams(nullptr), dst, x, y, r, colour, fill);
}
