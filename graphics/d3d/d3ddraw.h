// Direct3D draws: the vertex batch and its flush rules, the scene bracket,
// graphs at a point, stretched and rotated, triangle lists, shapes, and the
// Direct3D draw target.
#pragma once

#include "graphics/graph.h"
#include "graphics/vertex.h"
#include "platform/d3d/d3d.h"
#include "platform/kernel/types.h"

int G_D3D_BeginScene(int device);
int G_D3D_EndScene(int device);
int G_D3D_EndCurrentScene();
int G_D3D_FlushVertexBatch(int device);
int G_D3D_FlushCurrentVertexBatch();
int G_D3D_DrawGraphAt(int x, int y, float fx, float fy, GRAPHREC* graph, int trans, int keepAlphaTest);
// The parts of one graph, each as G_D3D_DrawGraphAt draws it under a draw
// area narrowed to the part's rectangle; the device, piece and draw state are
// taken once for the run.
int G_D3D_DrawGraphSubRects(const GRAPHSUBRECT* parts, int count, GRAPHREC* graph, int trans);
int G_D3D_DrawGraphStretched(int x1, int y1, int x2, int y2, float fx1, float fy1, float fx2, float fy2,
                             GRAPHREC* graph, int trans, int keepAlphaTest);
int G_D3D_DrawGraphRotated(float x, float y, double scale, double angle, GRAPHREC* graph, int trans, int turn);
int G_D3D_DrawGraphQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, GRAPHREC* graph,
                        int trans);
int G_D3D_DrawGraphQuadSplit(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GRAPHREC* graph, int trans);
int G_D3D_DrawIndexedGrid(IDirect3DDevice7* device, int columns, const TLVTXTEX* vertices, int rows);
int G_D3D_DrawTriangleList(TLVTXTEX* vertices, int count, GRAPHREC* graph, int trans, int mode, int depthAndFog);
int G_D3D_DrawFilledBox(int x1, int y1, int x2, int y2, DWORD colour);
int G_D3D_DrawLineSegment(int x1, int y1, int x2, int y2, DWORD colour);
int G_D3D_DrawCircle(int x, int y, int r, DWORD colour, int fill);
// A string of a texture-cached font as glyph rectangles; other fonts take the 2D string draw.
int G_D3D_DrawFontString(int x, int y, const char* text, DWORD colour, int font, DWORD edgeColour, int vertical);
int G_D3D_SetDrawTarget(int target, int previous);
int G_D3D_ClearDrawTarget();
