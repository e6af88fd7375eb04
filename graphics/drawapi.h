// The draw entries: graphs at a point, stretched, mirrored, in parts,
// rotated about a centre or a pivot, on a free quad, as triangle lists,
// strips and fans, and lines and circles. Each runs the common checks and
// hands the draw to the Direct3D or the 2D back-end.
#pragma once

#include "graphics/vertex.h"
#include "platform/kernel/types.h"

struct GRAPHSUBRECT;

// The vertex callers hand to DrawPrimitiveGraph.
struct VERTEX2D {
    float x;
    float y;
    float u;
    float v;
    BYTE b;
    BYTE g;
    BYTE r;
    BYTE a;
};
static_assert(sizeof(VERTEX2D) == 20, "VERTEX2D is a 20-byte record");

int RenderGraphAt(int x, int y, int graph, int trans);
int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int trans);
int DrawGraphStretchedF(float x1, float y1, float x2, float y2, int graph, int trans);
int DrawGraphTurned(int x, int y, int graph, int trans);
int DrawGraphSubRect(int x, int y, int srcX, int srcY, int w, int h, int graph, int trans, int turn);
// The parts in order, each exactly as DrawGraphSubRect draws it unturned;
// where each draw's own frame would only check, the checks run once and the
// back-end takes the whole run.
int DrawGraphSubRects(const GRAPHSUBRECT* parts, int count, int graph, int trans);
int DrawGraphSubRectScaled(int x1, int y1, int x2, int y2, int srcX, int srcY, int w, int h, int graph, int trans);
int RenderGraphRotated(float x, float y, double rate, double angle, int graph, int trans, int turn);
int RenderGraphRotatedInt(int x, int y, double rate, double angle, int graph, int trans, int turn);
int RenderGraphRotatedAtPivot(int x, int y, int pivotX, int pivotY, double rate, double angle, int graph, int trans,
                              int turn);
int DrawGraphToQuadF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int graph,
                     int trans);
// kind 4 list, 5 strip, 6 fan; graph -5 draws untextured triangles.
int DrawPrimitiveGraph(const VERTEX2D* vertices, int count, int kind, int graph, int trans);
int DrawThickLine(int x1, int y1, int x2, int y2, DWORD colour, int thickness);
int RenderLineSegment(int x1, int y1, int x2, int y2, DWORD colour, int thickness);
int RenderCircleShape(int x, int y, int r, DWORD colour, int fill);

// Direct3D cannot subtract: a blend-mode-3 draw is bracketed by these two,
// which invert `rect` on the device and switch to the additive mode 5 for
// the draw in between, then invert again and put mode 3 back. Nothing but
// the mode changes while the device cannot draw (its shapes then go 2D,
// where mode 3 subtracts by itself).
int BeginSubtractBlendByInversion(const RECT* rect);
int EndSubtractBlendByInversion(const RECT* rect);

// The triangles of a strip or fan as vertex indexes (three per triangle);
// the number of triangles, or -1 for a kind or count that makes none.
int BuildPrimitiveTriangleIndexes(int count, int kind, int* indexes);
