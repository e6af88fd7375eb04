// Texture pieces of Direct3D graphs (SURF3DREC, kind 0x30000000): the split
// of a graph into power-of-two textures, views into a parent's textures,
// uploads, fills and deletion.
#pragma once

#include "core/handle.h"
#include "graphics/graph.h"
#include "graphics/image/graphimage.h"
#include "graphics/imagesurface.h"
#include "graphics/vertex.h"

struct SURF3DREC {
    HANDLEHEAD Head;
    WORD X, Y;
    WORD TexelX, TexelY;
    WORD SourceX, SourceY;
    WORD Width, Height;
    TLVTXTEX Corners[4];  // top-left, top-right, bottom-left, bottom-right
    BYTE CornerFlags[4];
    BYTE OwnsTexture;  // 1 for a graph's own piece, 0 for a view into a parent's texture
    int Owner;
    int ImageSurface;
};

using SURF3DTABLE = HANDLETABLE<SURF3DREC, HANDLECAP_SURFACE3D, HANDLETAG_SURFACE3D>;
extern SURF3DTABLE Surface3DTable;

constexpr int D3D_MAX_PIECES = 64;

int AddSurface3DData(int textureWidth, int textureHeight, int x, int y, int width, int height, int sourceX,
                     int sourceY, int owner, const SURF3DREC* parent, int texelX, int texelY, const IMGFLAGS* flags);
SURF3DREC* G_D3D_GetSurface3DData(int handle);
int G_D3D_DeleteSurface3DData(int handle);
int G_D3D_DeleteAllSurface3DData();
// Writes at most `capacity` sizes; -1 when the side would need more.
int G_D3D_SplitTextureLength(int length, int* sizes, int capacity, int oneTexture);
int G_D3D_CreateGraphTextures(GRAPHREC* graph);
int G_D3D_CreateDerivedGraphTextures(GRAPHREC* graph, int x, int y, int width, int height, const GRAPHREC* parent);
int G_D3D_DeleteGraphTextures(GRAPHREC* graph);
int G_D3D_TransferImageToSurface3DData(const RECT* sourceRect, int texelX, int texelY, int piece,
                                       const GraphImage* image, const GraphImage* alphaImage, int singleChannelOption,
                                       int useKeyColour);
int G_D3D_TransferImageToGraphTextures(int offsetX, int offsetY, GRAPHREC* graph, const GraphImage* image,
                                       const GraphImage* alphaImage);
int G_D3D_TransferImageRectToGraphTextures(const RECT* sourceRect, int destX, int destY, GRAPHREC* graph,
                                           const GraphImage* image, const GraphImage* alphaImage);
int G_D3D_FillGraphTextures(GRAPHREC* graph, int red, int green, int blue, int alpha);
int G_D3D_RestoreGraphTextures(GRAPHREC* graph);
// Makes the texture surface of a texture image surface on `dd`: 0, or -1
// (logged) without a Direct3D object, a texture format or the surface.
int G_D3D_CreateTextureSurface(IMGSURFREC* image, IDirectDraw7* dd);
// Restores every lost texture; its pixels come back from the graph layer's refill.
int G_D3D_RestoreAllSurface3DData();
// The texture surface behind a piece, or null.
IDirectDrawSurface7* PieceTexture(const SURF3DREC* piece);
// Copies a graph's own piece's last column and row across the unused
// margin of its power-of-two texture; views into a parent's texture are left.
void RepeatPieceEdges(const SURF3DREC* piece);
