// The 2D draw path: the preparation that hands the software kernels a
// destination and a source MEMIMG (the software draw image itself, or
// DirectDraw surfaces locked and wrapped), and the callers of the 1:1,
// stretch, rotate and 3D-triangle kernels.
#pragma once

#include "graphics/graph.h"
#include "graphics/memimg.h"
#include "graphics/soft/surface2d.h"
#include "graphics/vertex.h"
#include "platform/ddraw/ddraw.h"

// The block the preparation fills and the callers read.
struct DRAW2DBLOCK {
    int Plain;
    IDirectDrawSurface7* SourceSurface;
    RECT SourceRect;
    IDirectDrawSurface7* DestSurface;
    int DestX;
    int DestY;
    RECT DestRect;
    MEMIMG DestImage;
    MEMIMG SourceImage;
    const MEMIMG* Dest;    // what the kernels draw into
    const MEMIMG* Source;  // what they read, or null
    int DestLocked;
    RECT DestLockRect;     // the clipped rectangle on the destination surface
    int SourceLocked;
    RECT SourceLockRect;   // the 2D surface's rectangle on its image surface
    int DestIsView;
    int SourceIsView;
    // The destination drawn in work surface 1 at target coordinates and
    // copied back at the finish; its pixels held in the kernels' layout
    // meanwhile when the screen's layout is another.
    int DestViaWork;
    int DestConverted;
    BYTE* DestPixels;  // first locked pixel and pitch, for the way back
    int DestPitch;
    // The source copied to (0, 0) of work surface 2, or locked in place; in
    // the kernels' layout meanwhile when the screen's layout is another.
    int SourceViaWork;
    int SourceConverted;
    BYTE* SourcePixels;
    int SourcePitch;
};

extern DRAW2DBLOCK Draw2DBlock;

// 1 when the kernels draw straight into software images.
int IsSoftwareDrawing();

// The software draw image, or null when the destination is a DirectDraw surface.
MEMIMG* SoftwareDestination();

// The software path of a draw: calls kernel(destination, source image) when
// the software draw image and the source's image (none for a null source)
// exist, then lets go of the source's view.
template <class Kernel>
void DrawWithSoftwareSource(const SURF2DREC* source, Kernel&& kernel)
{
    MEMIMG* dest = SoftwareDestination();
    MEMIMG view{};
    const MEMIMG* image = source != nullptr ? GetSurface2DMemImg(source, &view) : nullptr;
    if (dest != nullptr && (source == nullptr || image != nullptr)) kernel(dest, image);
    ReleaseSurface2DView(image, &view);
}

// A colour value of the screen's layout in the kernels' own (unchanged on
// the layouts they draw in directly).
DWORD ScreenColorInKernelLayout(DWORD colour);
// Takes the pixels of `rect` other than `keep` from the screen's layout
// into the kernels' (nothing to do on the layouts they draw in directly).
void ConvertImageRectToKernelLayout(MEMIMG* image, const RECT& rect, DWORD keep);

int PrepareSurface2DDraw(const SURF2DREC* source, int plainAllowed, const RECT* sourceRect, const RECT* destRect,
                         int shapeDraw, DWORD* colour, DWORD* secondColour);
void FinishSurface2DDraw();

int DrawSurface2DAt(int x, int y, int surface, int trans);
int DrawGraph2DAt(int x, int y, GRAPHREC* graph, int trans);
int DrawGraph2DStretched(int x1, int y1, int x2, int y2, GRAPHREC* graph, int trans, int surface);
int DrawGraph2DRotated(float x, float y, double rate, double angle, GRAPHREC* graph, int trans, int turn);
int DrawTriangleList2D(const TLVTXTEX* vertices, int triangles, GRAPHREC* graph, int trans, int mode, int depthFlag);
