// The mask screen: a screen-sized byte plane that limits where draws land.
// While drawing goes through the mask, a draw's rectangle is copied into a
// screen-sized buffer, the draw is made there, and only the pixels that the
// plane lets through are copied back to the target.
#pragma once

#include "graphics/memimg.h"
#include "platform/ddraw/ddraw.h"
#include "platform/kernel/types.h"

constexpr int MASK_HANDLE_MAX = 512;
constexpr int MASK_HANDLE_TAG = 0x40000000;

struct MASKREC {
    DWORD Check;
    void* Image;  // heap block, freed with the mask
    DWORD Used;
};

struct MASKSCREEN {
    BYTE* Plane;  // one byte per screen pixel, rows of Pitch bytes
    int Pitch;
    int Width;    // the plane's pixels: the screen's size when it was made
    int Height;
    int Wanted;    // the mask screen is asked for
    int Request;   // drawing through the mask was asked for
    int Active;    // both: every draw goes through the mask
    DWORD Reverse; // 0: draws show where the byte is 0; 1: where it is not
    MEMIMG Image;  // the buffer in software rendering
    int ImageMade;
    IDirectDrawSurface7* Surface;  // the buffer otherwise
    DWORD KeyColor;
    int VideoMemory;
};

extern MASKREC MaskTable[MASK_HANDLE_MAX];
extern MASKSCREEN MaskScreen;

int DeleteMask(int handle);
int DeleteAllMasks();
int CreateMaskScreen(int flag);
int ReleaseMaskScreen();
int RecreateMaskScreen();
int EndMaskScreen();
// -1 without a mask plane.
int EnableMaskScreen(int flag);
int IsMaskScreenActive();
// Around one draw with its bounding rectangle in target coordinates.
int SaveMaskedRectBeforeDraw(int x1, int y1, int x2, int y2);
int RestoreMaskedRectAfterDraw(int x1, int y1, int x2, int y2);

// The draw entries' bracket: saves the rectangle and sends the draw into the
// buffer, then knocks out and copies back. Does nothing unless active.
struct MASKEDDRAW {
    int Redirected;
    MEMIMG* Image;
    IDirectDrawSurface7* Surface;
    RECT Rect;
};
void BeginMaskedDraw(MASKEDDRAW* draw, const RECT& rect);
// True when BeginMaskedDraw would send a draw into the buffer now: false
// while inactive and inside another draw's bracket.
bool MaskedDrawRedirects();
void EndMaskedDraw(MASKEDDRAW* draw);
