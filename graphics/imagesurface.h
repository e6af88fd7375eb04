// Image-surface records (IMGSURFREC, kind 0x38000000): the DirectDraw
// surface or software MEMIMG behind 2D surfaces, with its optional depth
// buffer, colour key and lock count. Reference-counted, because derived
// graphs share their parent's. Calls the screen layer for the DirectDraw
// object and screen format, the MEMIMG layer and the drawing state.
#pragma once

#include "core/handle.h"
#include "graphics/image/colorfmt.h"
#include "graphics/memimg.h"
#include "platform/ddraw/ddraw.h"
#include "platform/kernel/types.h"

// The nine format bytes of a graph, copied into each of its image surfaces.
struct IMGFLAGS {
    BYTE Texture;
    BYTE AlphaChFlag;
    BYTE DrawValid;
    BYTE SystemMemory;
    BYTE UnmanagedTexture;
    BYTE AlphaTestFlag;
    BYTE ColorBitDepth;
    BYTE SingleChannel;
    BYTE PaletteSource;
};

struct IMGSURFREC {
    HANDLEHEAD Head;
    IMGFLAGS Format;
    int Software;
    int FormatIndex;  // 0-8 texture slot, 9 plain surface, 10-13 software image
    int DepthWanted;
    IDirectDrawSurface7* Surface;
    MEMIMG Image;
    IDirectDrawSurface7* DepthSurface;
    MEMIMG DepthImage;
    DWORD ColorKey;  // 0x00RRGGBB
    WORD Width;
    WORD Height;
    int RefCount;
    int Pitch;
    void* LockPointer;
    int LockCount;
};

using IMGSURFTABLE = HANDLETABLE<IMGSURFREC, HANDLECAP_IMAGESURFACE, HANDLETAG_IMAGESURFACE>;
extern IMGSURFTABLE ImageSurfaceTable;

// Largest side of any surface: sizes are kept in 16 bits.
constexpr int MAX_SURFACE_SIDE = 65535;

int AddImageSurface(int refCount, WORD width, WORD height, DWORD colorKey, const IMGFLAGS* flags);
int CreateImageSurfaceObjects(int handle);
int ReleaseImageSurfaceObjects(int handle);
int DeleteImageSurface(int handle);
int IncImageSurfaceRef(int handle);
int DecImageSurfaceRef(int handle);
IMGSURFREC* GetImageSurfaceRecord(int handle);
int GetTextureFormatIndex(const IMGFLAGS* flags);
int SetImageSurfaceZBuffer(int handle, int wanted);
int SetImageSurfaceColorKey(int handle);
int RestoreImageSurfaceIfLost(int handle);
int LockImageSurface(int handle, int* pitch, void** pixels, int writeOnly, const RECT* rect,
                     const COLORFMT** format);
int UnlockImageSurface(int handle, RECT* rect);
int FillImageSurfaceColor(int handle, int red, int green, int blue, int alpha);
// Zeroes the table (graph-manager start).
void ResetImageSurfaceTable();
