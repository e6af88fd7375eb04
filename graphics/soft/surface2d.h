// 2D surfaces (SURF2DREC, kind 0x28000000): each shows a rectangle of an
// image surface and holds a 2D graph's pixels; derived graphs share their
// parent's image surface. Also the transfers of decoded images into them,
// the 2D draw-target switch and the blend-graph services.
#pragma once

#include "core/handle.h"
#include "graphics/image/graphimage.h"
#include "graphics/imagesurface.h"
#include "graphics/memimg.h"
#include "platform/kernel/types.h"

struct GRAPHREC;

struct SURF2DREC {
    HANDLEHEAD Head;
    WORD XInGraph;
    WORD YInGraph;
    WORD SourceX;
    WORD SourceY;
    WORD Width;
    WORD Height;
    DWORD Owner;
    int ImageSurface;
};

using SURF2DTABLE = HANDLETABLE<SURF2DREC, HANDLECAP_SURFACE2D, HANDLETAG_SURFACE2D>;
extern SURF2DTABLE Surface2DTable;

void ResetSurface2DTable();
// The table's high-water index, and the image surface handle of a slot
// below it (-1 for an empty slot).
int GetSurface2DHighWater();
int GetSurface2DImageSurfaceOfSlot(int slot);
// The handle of a live slot, -1 for an empty one.
int GetSurface2DHandleOfSlot(int slot);

int AddSurface2D(WORD w, WORD h, WORD xInGraph, WORD yInGraph, DWORD owner, const SURF2DREC* share, WORD sourceX,
                 WORD sourceY, const IMGFLAGS* flags);
int AttachSurface2DDeleteFlag(int handle, int* flag);
SURF2DREC* GetSurface2DRecord(int handle);
// 0, also for a bad handle.
int DeleteSurface2D(int handle);
int CreateGraphSurface2D(GRAPHREC* graph);
int CreateDerivedSurface2D(GRAPHREC* graph, int x, int y, int w, int h, const GRAPHREC* parent);
int DeleteGraphSurfaces2D(GRAPHREC* graph);
int RestoreGraphSurfaces2D(GRAPHREC* graph);
// Restores the output surfaces, then every 2D surface; OR of the results.
int RestoreAllSurfaces2D();
int FillGraphSurfaces2D(GRAPHREC* graph, int red, int green, int blue, int alpha);
int TransferImageRectToSurface2D(const COLORFMT* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap,
                                 const RECT* sourceRect, int destX, int destY, int surface, int sourceKind,
                                 GraphImage* image, GraphImage* alpha, DWORD option);
int TransferImageToSurface2D(const COLORFMT* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap, int x, int y,
                             int surface, int sourceKind, GraphImage* image, GraphImage* alpha, DWORD option);
int TransferImageToGraph2D(const COLORFMT* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap, int sourceX,
                           int sourceY, GRAPHREC* graph, int sourceKind, GraphImage* image, GraphImage* alpha);
int TransferImageRectToGraph2D(const COLORFMT* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap,
                               const RECT* sourceRect, int destX, int destY, GRAPHREC* graph, int sourceKind,
                               GraphImage* image, GraphImage* alpha);
// Sets the screen state's current-target fields for the new target:
// 0, or -1 for a target that cannot be drawn to.
int SelectSurface2DDrawTarget(int target, int oldTarget);
// A movie graph's frame callback: the movie's current picture into the
// graph's surfaces (data is the GRAPHREC).
int TransferMovieFrameToGraph2D(struct MOVIEREC* movie, void* data);
MEMIMG* GetBlendGraphMemImg();
// The software image a 2D surface shows: the image surface's MEMIMG itself
// when the surface covers it from (0, 0), else a view made into *view
// (dropped with ReleaseSurface2DView). Null when the image is not alive.
const MEMIMG* GetSurface2DMemImg(const SURF2DREC* surface, MEMIMG* view);
void ReleaseSurface2DView(const MEMIMG* image, MEMIMG* view);
