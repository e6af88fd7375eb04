// Hooks of the DirectDraw stand-in for tests and for the Direct3D layer.
#pragma once

#include <cstdint>

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

// What the Direct3D device reads of a surface it locks for a draw, had
// without building a surface description.
struct DirectDrawDeviceLock {
    std::uint8_t* pixels = nullptr;
    int pitch = 0;
    int width = 0;
    int height = 0;
    const DDPIXELFORMAT* format = nullptr;
    bool hasKey = false;
    DWORD key = 0;  // 0 without a key
    // The device's own reading of the pixel format, kept with the surface. A
    // surface's format is fixed when it is made (a restore keeps it), so what
    // the device leaves here stays right for the surface's whole life.
    const void** layout = nullptr;
};
// Locks the whole surface as Lock does; E_NOINTERFACE, with nothing locked,
// for a surface this layer did not make, which the caller locks through its
// interface instead.
HRESULT LockDirectDrawSurfaceForDevice(IDirectDrawSurface7* surface, DirectDrawDeviceLock* out);
// The z-buffer GetAttachedSurface would answer for `surface`, without a
// reference taken: null when none is attached. False for a surface this
// layer did not make.
bool FindAttachedDepthSurface(IDirectDrawSurface7* surface, IDirectDrawSurface7** depth);
