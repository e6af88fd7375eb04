// Owns the Direct3D back-end's entry of the back-end table: the device draws
// and texture graphs, with the 2D surfaces' part of a draw-target switch and
// clear. Calls the Direct3D draws, textures and read-back, and the 2D back-end.
#include "graphics/backend.h"

#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/d3d/d3dreadback.h"
#include "graphics/d3d/d3dtexture.h"
#include "graphics/drawstate.h"
#include "graphics/soft/backend2d.h"
#include "graphics/soft/surface2d.h"

namespace {

int DrawRotated(float x, float y, double rate, double angle, GRAPHREC* g, int trans, int turn)
{
    // Unturned and unscaled, the graph takes the exact placement of a plain draw.
    if (angle == 0.0 && rate == 1.0 && turn == 0) {
        const int ix = static_cast<int>(x) - g->Width / 2, iy = static_cast<int>(y) - g->Height / 2;
        return G_D3D_DrawGraphAt(ix, iy, static_cast<float>(ix), static_cast<float>(iy), g, trans, 0);
    }
    return G_D3D_DrawGraphRotated(x, y, rate, angle, g, trans, turn);
}

// The screen state's current-target fields come from the 2D surfaces; the
// device's render target follows when they are set.
int SetDrawTarget(int target, int previous)
{
    if (SelectSurface2DDrawTarget(target, previous) != 0) return -1;
    return G_D3D_SetDrawTarget(target, previous) != 0 ? -1 : 0;
}

// A texture target is cleared by the device, any other by the 2D back-end.
int ClearDrawTarget()
{
    G_D3D_ClearDrawTarget();
    return ClearDrawTarget2D();
}

int InvertsToSubtract()
{
    return CurrentD3DDevice() != nullptr && D3DState.DeviceUnusable == 0 ? 1 : 0;
}

int TransferImage(const COLORFMT*, HBITMAP, HBITMAP, int sourceX, int sourceY, GRAPHREC* g, int, GraphImage* image,
                  GraphImage* alpha)
{
    return G_D3D_TransferImageToGraphTextures(sourceX, sourceY, g, image, alpha);
}

int TransferImageRect(const COLORFMT*, HBITMAP, HBITMAP, const RECT* sourceRect, int destX, int destY, GRAPHREC* g,
                      int, GraphImage* image, GraphImage* alpha)
{
    return G_D3D_TransferImageRectToGraphTextures(sourceRect, destX, destY, g, image, alpha);
}

} // namespace

const GRAPHICSBACKEND Direct3DGraphicsBackend = {
    "Direct3D",
    G_D3D_DrawGraphAt,
    G_D3D_DrawGraphStretched,
    DrawRotated,
    G_D3D_DrawGraphQuad,
    G_D3D_DrawTriangleList,
    G_D3D_DrawFilledBox,
    G_D3D_DrawLineSegment,
    G_D3D_DrawCircle,
    G_D3D_DrawGraphSubRects,
    SetDrawTarget,
    ClearDrawTarget,
    InvertsToSubtract,
    nullptr,
    nullptr,
    G_D3D_SetBlendGraphTexture,
    G_D3D_CreateGraphTextures,
    G_D3D_CreateDerivedGraphTextures,
    G_D3D_DeleteGraphTextures,
    G_D3D_RestoreGraphTextures,
    G_D3D_FillGraphTextures,
    TransferImage,
    TransferImageRect,
    G_D3D_ReadScreenIntoGraph,
    1,
};
