// The 2D back-ends: textured triangles and quads, filled rectangles, lines
// and circles, the copy of the draw target into a graph and the clear of the
// draw target, each straight into the software draw image or through the
// prepared DirectDraw destination.
#pragma once

#include "graphics/graph.h"
#include "graphics/image/colorfmt.h"
#include "platform/kernel/types.h"

int DrawTriangle2D(const int vertices[3][4], GRAPHREC* graph, int trans, DWORD colour);
// Corners top-left, top-right, bottom-left, bottom-right.
int DrawGraph2DQuad(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GRAPHREC* graph, int trans);
int DrawGraph2DQuadFromFloats(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                              GRAPHREC* graph, int trans);
int FillRect2D(int x1, int y1, int x2, int y2, DWORD colour);
int DrawLine2D(int x1, int y1, int x2, int y2, DWORD colour);
int DrawCircle2D(int x, int y, int r, DWORD colour, int fill);
int ReadScreenIntoGraph2D(int x1, int y1, int x2, int y2, GRAPHREC* graph);
// Fills the draw target with the background colour (depth to 0xFFFF):
// 0, or -1 without a screen layer or for a bad graph target.
int ClearDrawTarget2D();
int SetSpareBitsInRect(const RECT* rect, void* pixels, int pitch, const COLORFMT* format, DWORD value);
// A string of a software-cached font: straight into the target, or composed
// on the font's drawing surface and drawn blended. 0, or -1.
int DrawFontString2D(int x, int y, const char* text, DWORD colour, int font, DWORD edgeColour, int vertical);
