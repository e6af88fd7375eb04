// The software kernels' entries as the drawing code calls them: each reads
// the drawing state into a KERNELPARAMS (ReadKernelParams, the one place the
// state is normalised for the kernels) and calls the kernel in softrender/.
#pragma once

#include "graphics/memimg.h"
#include "graphics/vertex.h"
#include "platform/kernel/types.h"
#include "softrender/kernelparams.h"
#include "softrender/stretch/stretch.h"

// The drawing state and the MMX flag of the system block, for one draw with
// blendGraph (or none): the parameter clamped to 0-255, the rest as stored.
KERNELPARAMS ReadKernelParams(const MEMIMG* blendGraph);

void BlitMemImg(MEMIMG* dst, const MEMIMG* src, int x, int y, int keyFlag, const MEMIMG* blendGraph);
void StretchBlitMemImg(MEMIMG* dst, const MEMIMG* src, const STRETCHBLOCK* corners, int keyFlag,
                       const MEMIMG* blendGraph);
void RotateScaleBlitMemImg(MEMIMG* dst, const MEMIMG* src, int cx, int cy, float angle, float rate, int trans,
                           int turn, const MEMIMG* blendGraph);
void SplitMemImgQuadToTriangles(MEMIMG* dst, const MEMIMG* src, const int* corners, int trans,
                                const MEMIMG* blendGraph);
void FillMemImgTriangle(MEMIMG* dst, const MEMIMG* src, const int* vertices, int trans, const MEMIMG* blendGraph,
                        DWORD colour);
void RasterizeMemImgTriangle3D(MEMIMG* dst, MEMIMG* depth, const MEMIMG* texture, const TLVTXTEX* vertices,
                               int trans, const MEMIMG* blendGraph, int depthWrite, int pieceDepthWrite,
                               int vertexColour, int clip);
void FillMemImgRect(MEMIMG* dst, const RECT* rect, DWORD colour);
void FillMemImgRectByCorners(MEMIMG* dst, int x1, int y1, int x2, int y2, DWORD colour);
void PlotMemImgLine(MEMIMG* dst, int x1, int y1, int x2, int y2, DWORD colour);
void PlotMemImgCircle(MEMIMG* dst, int x, int y, int r, DWORD colour, int fill);
