// The drawing back-end table: what the Direct3D back-end (graphics/d3d/) and
// the 2D back-end (graphics/soft/) each provide, the one the screen picked
// at its start, fall-back or rebuild, and the one that holds a graph.
#pragma once

#include "graphics/graph.h"
#include "graphics/image/colorfmt.h"
#include "graphics/image/graphimage.h"
#include "graphics/vertex.h"
#include "platform/kernel/types.h"

struct GRAPHICSBACKEND {
    const char* Name;

    // Graphs at a point, stretched, rotated about their centre and on a free
    // quad. The integer corners are the draw's; the float ones are what a
    // device hands on exactly. keepAlphaTest keeps a keyed graph's alpha test.
    int (*DrawGraphAt)(int x, int y, float fx, float fy, GRAPHREC* graph, int trans, int keepAlphaTest);
    int (*DrawGraphStretched)(int x1, int y1, int x2, int y2, float fx1, float fy1, float fx2, float fy2,
                              GRAPHREC* graph, int trans, int keepAlphaTest);
    int (*DrawGraphRotated)(float x, float y, double rate, double angle, GRAPHREC* graph, int trans, int turn);
    // Corners top-left, top-right, bottom-left, bottom-right.
    int (*DrawGraphQuad)(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                         GRAPHREC* graph, int trans);
    // A null graph draws the vertices' colours alone.
    int (*DrawTriangleList)(TLVTXTEX* vertices, int triangles, GRAPHREC* graph, int trans, int mode, int depth);
    int (*DrawFilledBox)(int x1, int y1, int x2, int y2, DWORD colour);
    int (*DrawLine)(int x1, int y1, int x2, int y2, DWORD colour);
    int (*DrawCircle)(int x, int y, int r, DWORD colour, int fill);
    // Null when the back-end draws a run of parts one DrawGraphAt at a time;
    // else draws each part clipped to its own rectangle within the draw area,
    // exactly as those draws would, with what they share done once.
    int (*DrawGraphSubRects)(const GRAPHSUBRECT* parts, int count, GRAPHREC* graph, int trans);

    // Points the back-end at a new draw target (the screen state's fields
    // included): 0, or -1 when the target cannot be drawn to.
    int (*SetDrawTarget)(int target, int previous);
    // Fills the draw target with the background colour.
    int (*ClearDrawTarget)();

    // Null when the back-end subtracts by itself; else 1 while it subtracts
    // by inverting the destination around an add, 0 while it cannot draw.
    int (*InvertsToSubtract)();
    // Null when the back-end never renders in software; else 1 while the
    // software renderer draws (on system-memory surfaces at 8 bits).
    int (*SoftwareRenderer)();
    // Null when the back-end never draws into software images; else 1 while
    // the screen and 2D graphs are such images (the front screen's is read
    // back before a draw and shown after).
    int (*DrawsInSoftwareImages)();
    // Null when the back-end reads the blend graph from the drawing state at
    // each draw; else binds it (-1 for none) with its border.
    int (*SetBlendGraph)(int graph, int borderParam, int borderRange);

    // A graph's storage: made, derived from a parent's, deleted, restored
    // after a lost screen, filled, loaded from an image and read from the
    // draw target. The bitmap arguments only matter to the 2D back-end.
    int (*CreateGraphStorage)(GRAPHREC* graph);
    int (*CreateDerivedGraphStorage)(GRAPHREC* graph, int x, int y, int width, int height, const GRAPHREC* parent);
    int (*DeleteGraphStorage)(GRAPHREC* graph);
    int (*RestoreGraphStorage)(GRAPHREC* graph);
    int (*FillGraph)(GRAPHREC* graph, int red, int green, int blue, int alpha);
    int (*TransferImageToGraph)(const COLORFMT* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap, int sourceX,
                                int sourceY, GRAPHREC* graph, int sourceKind, GraphImage* image, GraphImage* alpha);
    int (*TransferImageRectToGraph)(const COLORFMT* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap,
                                    const RECT* sourceRect, int destX, int destY, GRAPHREC* graph, int sourceKind,
                                    GraphImage* image, GraphImage* alpha);
    int (*ReadScreenIntoGraph)(int x1, int y1, int x2, int y2, GRAPHREC* graph, int flag);

    // 1 when graphs asking for 3D are made as this back-end's textures.
    int TextureGraphs;
};

extern const GRAPHICSBACKEND Direct3DGraphicsBackend;
extern const GRAPHICSBACKEND SoftGraphicsBackend;

namespace backend_detail {
extern const GRAPHICSBACKEND* Current;
}

// Picks the current back-end from what the screen holds now: the Direct3D
// one while a Direct3D object exists, else the 2D one. The screen's start,
// end, fall-back and rebuild call it after each change of the device.
void SelectGraphicsBackend();

inline const GRAPHICSBACKEND& CurrentGraphicsBackend()
{
    return *backend_detail::Current;
}

// The current back-end's answers, a null entry read as 0.
inline bool CurrentRendersInSoftware()
{
    const GRAPHICSBACKEND& b = CurrentGraphicsBackend();
    return b.SoftwareRenderer != nullptr && b.SoftwareRenderer() == 1;
}

inline bool CurrentDrawsInSoftwareImages()
{
    const GRAPHICSBACKEND& b = CurrentGraphicsBackend();
    return b.DrawsInSoftwareImages != nullptr && b.DrawsInSoftwareImages() == 1;
}

// The back-end that holds a graph's storage and draws it: the Direct3D one
// for a texture graph, the 2D one for a 2D surface graph.
inline const GRAPHICSBACKEND& GraphBackend(const GRAPHREC* graph)
{
    return graph->Format.Texture == 1 ? Direct3DGraphicsBackend : SoftGraphicsBackend;
}
