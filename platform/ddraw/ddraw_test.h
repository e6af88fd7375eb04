// Hooks of the DirectDraw stand-in for tests and for the Direct3D layer.
#pragma once

#include "platform/ddraw/ddraw.h"

// Surfaces alive right now (none should be left after the screen ends).
int GetLiveDirectDrawSurfaceCount();

// Marks every surface lost and scrambles its contents, as a display change
// by another program would.
void MarkAllDirectDrawSurfacesLost();

// Makes the next `count` CreateSurface calls fail (creation failure paths).
void FailNextDirectDrawSurfaces(int count);

// Gives the display's full-screen modes of `bits` (16 or 32) these channel
// masks, as a card with RGB 5:5:5 or a BGR layout has; all 0 brings back
// RGB 5:6:5 and XRGB. The desktop stays XRGB.
void SetDirectDrawModeMasks(int bits, DWORD red, DWORD green, DWORD blue);

// The Direct3D layer answers QueryInterface(IID_IDirect3D7) through this; while
// none is set the object reports no Direct3D.
using Direct3DFactory = HRESULT (*)(IDirectDraw7* owner, void** out);
void SetDirect3DFactory(Direct3DFactory factory);
