// Owns the 2D back-end's entry of the back-end table: draws into software
// images or locked DirectDraw surfaces, and 2D surface graphs. Calls the 2D
// draw callers, shapes and surfaces.
#include "graphics/backend.h"

#include "graphics/screen.h"
#include "graphics/soft/backend2d.h"
#include "graphics/soft/draw2d.h"
#include "graphics/soft/surface2d.h"

namespace {

int DrawAt(int x, int y, float, float, GRAPHREC* g, int trans, int)
{
    return DrawGraph2DAt(x, y, g, trans);
}

int DrawStretched(int x1, int y1, int x2, int y2, float, float, float, float, GRAPHREC* g, int trans, int)
{
    return DrawGraph2DStretched(x1, y1, x2, y2, g, trans, -1);
}

int DrawTriangles(TLVTXTEX* vertices, int triangles, GRAPHREC* g, int trans, int mode, int depth)
{
    return DrawTriangleList2D(vertices, triangles, g, trans, mode, depth);
}

int SoftwareRenderer()
{
    return ScreenState.SoftwareRendering == 1 ? 1 : 0;
}

int ReadScreenIntoGraph(int x1, int y1, int x2, int y2, GRAPHREC* g, int)
{
    return ReadScreenIntoGraph2D(x1, y1, x2, y2, g);
}

} // namespace

const GRAPHICSBACKEND SoftGraphicsBackend = {
    "2D",
    DrawAt,
    DrawStretched,
    DrawGraph2DRotated,
    DrawGraph2DQuadFromFloats,
    DrawTriangles,
    FillRect2D,
    DrawLine2D,
    DrawCircle2D,
    nullptr,
    SelectSurface2DDrawTarget,
    ClearDrawTarget2D,
    nullptr,
    SoftwareRenderer,
    IsSoftwareDrawing,
    nullptr,
    CreateGraphSurface2D,
    CreateDerivedSurface2D,
    DeleteGraphSurfaces2D,
    RestoreGraphSurfaces2D,
    FillGraphSurfaces2D,
    TransferImageToGraph2D,
    TransferImageRectToGraph2D,
    ReadScreenIntoGraph,
    0,
};
