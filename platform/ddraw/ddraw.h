// DirectDraw 7 as the screen layer calls it: the object, display modes of the
// virtual display, cooperative levels, memory surfaces, clipper and palette.
// Surfaces are plain memory; the primary is what the window shows.
#pragma once

#include "platform/com/unknown.h"
#include "platform/ddraw/pixelformat.h"
#include "platform/kernel/types.h"

// Results.
constexpr HRESULT DD_OK = S_OK;
constexpr HRESULT DDERR_GENERIC = E_FAIL;
constexpr HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
constexpr HRESULT DDERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DDERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DDERR_INVALIDMODE = static_cast<HRESULT>(0x88760078u);
constexpr HRESULT DDERR_INVALIDOBJECT = static_cast<HRESULT>(0x88760082u);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = static_cast<HRESULT>(0x88760091u);
constexpr HRESULT DDERR_INVALIDRECT = static_cast<HRESULT>(0x88760096u);
constexpr HRESULT DDERR_NOOVERLAYHW = static_cast<HRESULT>(0x887600B4u);
constexpr HRESULT DDERR_NOTFOUND = static_cast<HRESULT>(0x887600FFu);
constexpr HRESULT DDERR_SURFACEBUSY = static_cast<HRESULT>(0x887601AEu);
constexpr HRESULT DDERR_SURFACELOST = static_cast<HRESULT>(0x887601C2u);
constexpr HRESULT DDERR_HWNDSUBCLASSED = static_cast<HRESULT>(0x8876023Au);
constexpr HRESULT DDERR_HWNDALREADYSET = static_cast<HRESULT>(0x8876023Bu);
constexpr HRESULT DDERR_EXCLUSIVEMODEALREADYSET = static_cast<HRESULT>(0x88760245u);
constexpr HRESULT DDERR_NOTLOCKED = static_cast<HRESULT>(0x88760248u);
constexpr HRESULT DDERR_CANTCREATEDC = static_cast<HRESULT>(0x8876024Du);
constexpr HRESULT DDERR_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

// Cooperative levels.
constexpr DWORD DDSCL_FULLSCREEN = 0x1;
constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDSCL_EXCLUSIVE = 0x10;
constexpr DWORD DDSCL_MULTITHREADED = 0x400;
constexpr DWORD DDSCL_FPUPRESERVE = 0x1000;

// Surface description flags.
constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x20;
constexpr DWORD DDSD_LPSURFACE = 0x800;
constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
constexpr DWORD DDSD_REFRESHRATE = 0x40000;

// Surface capabilities.
constexpr DWORD DDSCAPS_BACKBUFFER = 0x4;
constexpr DWORD DDSCAPS_COMPLEX = 0x8;
constexpr DWORD DDSCAPS_FLIP = 0x10;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x20;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD DDSCAPS_OVERLAY = 0x80;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD DDSCAPS_TEXTURE = 0x1000;
constexpr DWORD DDSCAPS_3DDEVICE = 0x2000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD DDSCAPS_ZBUFFER = 0x20000;
constexpr DWORD DDSCAPS2_TEXTUREMANAGE = 0x10;

// Lock, blit, flip, colour key, palette and vertical blank flags.
constexpr DWORD DDLOCK_WAIT = 0x1;
constexpr DWORD DDLOCK_READONLY = 0x10;
constexpr DWORD DDLOCK_WRITEONLY = 0x20;
constexpr DWORD DDBLT_COLORFILL = 0x400;
constexpr DWORD DDBLT_WAIT = 0x1000000;
constexpr DWORD DDBLT_DEPTHFILL = 0x2000000;
constexpr DWORD DDBLTFAST_NOCOLORKEY = 0x0;
constexpr DWORD DDBLTFAST_SRCCOLORKEY = 0x1;
constexpr DWORD DDBLTFAST_WAIT = 0x10;
constexpr DWORD DDFLIP_WAIT = 0x1;
constexpr DWORD DDFLIP_NOVSYNC = 0x8;
constexpr DWORD DDCKEY_SRCBLT = 0x8;
constexpr DWORD DDPCAPS_8BIT = 0x4;
constexpr DWORD DDWAITVB_BLOCKBEGIN = 0x1;
constexpr DWORD DDENUMRET_CANCEL = 0;
constexpr DWORD DDENUMRET_OK = 1;

struct DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    DWORD dwCaps4;
};

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

struct DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    DWORD dwBackBufferCount;
    DWORD dwRefreshRate;
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    void* lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};

struct DDBLTFX {
    DWORD dwSize;
    union {
        DWORD dwFillColor;
        DWORD dwFillDepth;
    };
};

// The capability block; only its size and the overlay stretch factors are read.
struct DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
    DWORD dwMinOverlayStretch;
    DWORD dwMaxOverlayStretch;
    BYTE reserved[380 - 7 * sizeof(DWORD)];
};
static_assert(sizeof(DDCAPS) == 380);

struct DDDEVICEIDENTIFIER2 {
    char szDriver[512];
    char szDescription[512];
    LARGE_INTEGER liDriverVersion;
    DWORD dwVendorId;
    DWORD dwDeviceId;
    DWORD dwSubSysId;
    DWORD dwRevision;
    GUID guidDeviceIdentifier;
    DWORD dwWHQLLevel;
};

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

struct IDirectDrawSurface7;

struct IDirectDrawClipper : IUnknown {
    virtual HRESULT SetHWnd(DWORD flags, HWND window) = 0;
    virtual HRESULT GetHWnd(HWND* window) = 0;
};

struct IDirectDrawPalette : IUnknown {
    virtual HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, const PALETTEENTRY* entries) = 0;
    virtual HRESULT GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) = 0;
};

using LPDDENUMSURFACESCALLBACK7 = HRESULT (*)(IDirectDrawSurface7* surface, DDSURFACEDESC2* desc, void* context);

struct IDirectDrawSurface7 : IUnknown {
    virtual HRESULT GetCaps(DDSCAPS2* caps) = 0;
    virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
    virtual HRESULT GetPixelFormat(DDPIXELFORMAT* format) = 0;
    virtual HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) = 0;
    virtual HRESULT Unlock(RECT* rect) = 0;
    virtual HRESULT Blt(RECT* dstRect, IDirectDrawSurface7* src, RECT* srcRect, DWORD flags, DDBLTFX* fx) = 0;
    virtual HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* src, RECT* srcRect, DWORD flags) = 0;
    virtual HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) = 0;
    virtual HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** out) = 0;
    virtual HRESULT AddAttachedSurface(IDirectDrawSurface7* surface) = 0;
    virtual HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface7* surface) = 0;
    virtual HRESULT EnumAttachedSurfaces(void* context, LPDDENUMSURFACESCALLBACK7 callback) = 0;
    virtual HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
    virtual HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
    virtual HRESULT SetClipper(IDirectDrawClipper* clipper) = 0;
    virtual HRESULT SetPalette(IDirectDrawPalette* palette) = 0;
    virtual HRESULT GetPalette(IDirectDrawPalette** palette) = 0;
    virtual HRESULT IsLost() = 0;
    virtual HRESULT Restore() = 0;
    virtual HRESULT GetDC(HDC* dc) = 0;
    virtual HRESULT ReleaseDC(HDC dc) = 0;
};

struct IDirectDraw7 : IUnknown {
    virtual HRESULT Initialize(GUID* device) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD flags) = 0;
    virtual HRESULT RestoreDisplayMode() = 0;
    virtual HRESULT GetDisplayMode(DDSURFACEDESC2* desc) = 0;
    virtual HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** out, IUnknown* outer) = 0;
    virtual HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** out, IUnknown* outer) = 0;
    virtual HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** out, IUnknown* outer) = 0;
    virtual HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;
    virtual HRESULT GetVerticalBlankStatus(BOOL* inBlank) = 0;
    virtual HRESULT GetScanLine(DWORD* line) = 0;
    virtual HRESULT FlipToGDISurface() = 0;
    virtual HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* helCaps) = 0;
    virtual HRESULT GetDeviceIdentifier(DDDEVICEIDENTIFIER2* id, DWORD flags) = 0;
    virtual HRESULT GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) = 0;
};

extern const CLSID CLSID_DirectDraw7;
extern const IID IID_IDirectDraw7;
extern const IID IID_IDirectDraw;
extern const IID IID_IDirect3D7;
extern const IID IID_IDirectDrawSurface7;

// The layer's factory behind CoCreateInstance(CLSID_DirectDraw7).
HRESULT CreateDirectDraw7Object(IDirectDraw7** out);
