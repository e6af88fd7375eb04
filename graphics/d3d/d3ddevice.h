// The Direct3D back-end's global block, device records with their state
// cache and vertex batches, the nine texture-format slots, and the set-up
// and teardown the screen layer calls.
#pragma once

#include "graphics/image/colorfmt.h"
#include "graphics/vertex.h"
#include "platform/d3d/d3d.h"
#include "platform/kernel/types.h"

struct SURF3DREC;
struct IMGSURFREC;

struct TEXFMTSLOT {
    DDPIXELFORMAT PixelFormat;
    COLORFMT Format;
};

struct TLVTXCOLOR {
    float x, y, z, rhw;
    DWORD color;
};
static_assert(sizeof(TLVTXCOLOR) == 20);

struct TLVTXBLEND {
    float x, y, z, rhw;
    DWORD color;
    DWORD specular;
    float u1, v1, u2, v2;
};
static_assert(sizeof(TLVTXBLEND) == 40);

constexpr int D3D_BATCH_COLOR = 0;
constexpr int D3D_BATCH_TEX = 1;
constexpr int D3D_BATCH_BLEND = 2;
constexpr int D3D_BATCH_CAPACITY[3] = {3225, 2340, 1638};
// Vertex formats of TLVTXCOL, TLVTXTEX and TLVTXBLEND.
constexpr DWORD D3D_FVF_COLOR = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
constexpr DWORD D3D_FVF_TEX = D3D_FVF_COLOR | D3DFVF_TEX1;
constexpr DWORD D3D_FVF_BLEND = D3D_FVF_COLOR | D3DFVF_SPECULAR | D3DFVF_TEX2;
constexpr DWORD D3D_BATCH_FVF[3] = {D3D_FVF_COLOR, D3D_FVF_TEX, D3D_FVF_BLEND};
constexpr int D3D_BATCH_STRIDE[3] = {20, 28, 40};

struct D3DSTAGECACHE {
    IDirectDrawSurface7* Texture;
    short Words[6];  // alpha arg 1, alpha arg 2, alpha op, colour arg 1, colour arg 2, colour op
};

// Render states in the cache, in this order.
enum D3DCACHEDSTATE {
    RSC_ALPHATESTENABLE,
    RSC_ALPHAREF,
    RSC_ALPHAFUNC,
    RSC_ALPHABLENDENABLE,
    RSC_DIFFUSEMATERIALSOURCE,
    RSC_SPECULARMATERIALSOURCE,
    RSC_SPECULARENABLE,
    RSC_TEXTUREFACTOR,
    RSC_SRCBLEND,
    RSC_DESTBLEND,
    RSC_COUNT
};

struct D3DDEVREC {
    DWORD Used;
    IDirect3DDevice7* Device;
    IDirectDrawSurface7* OwnTarget;
    IDirectDrawSurface7* CurrentTarget;
    IDirectDrawSurface7* PendingTexture;
    IDirectDrawSurface7* PendingBlendTexture;
    DWORD ModulateColor;
    DWORD ModulateAlpha;
    int BlendMode;
    int BorderParam;
    int BorderRange;
    DWORD AlphaChannel;
    DWORD AlphaTest;
    DWORD StateDirty;
    DWORD TextureDirty;
    DWORD DrawSuppressed;
    DWORD Force;
    DWORD RenderStates[RSC_COUNT];
    int StagesInUse;
    D3DSTAGECACHE Stages[8];
    DWORD InScene;
    int FilterMode;
    int MagFilter[8];
    int MinFilter[8];
    int MipFilter[8];
    DWORD ZEnable;
    DWORD ZWrite;
    DWORD ZFunc;
    DWORD ZBias;
    DWORD ShadeMode;
    DWORD CullFlag;
    DWORD AddressMode;
    DWORD FogEnable;
    DWORD TexturePerspective;
    DWORD Lighting;
    DWORD ColorKeyEnable;
    BYTE* WritePointer;
    DWORD VertexCount;
    int BatchKind;
    D3DPRIMITIVETYPE Primitive;
    D3DVIEWPORT7 Viewport;
    void* Arrays[3];
    TLVTXCOLOR ColorVertices[3225];
    TLVTXTEX TexVertices[2340];
    TLVTXBLEND BlendVertices[1638];
};

struct D3DSTATE {
    IDirect3D7* Direct3D;
    int CurrentDevice;
    D3DDEVICEDESC7 DeviceDesc;
    DWORD MinTextureSide;
    DWORD MaxTextureSide;
    TEXFMTSLOT Slots[9];
    DWORD FrontScreen;
    DWORD DeviceUnusable;
    DDPIXELFORMAT ZBufferFormat;
    int ReadBackMethod[2];
    DWORD Initialized;
    DWORD DiffuseColor;
    float BlendWidth, BlendHeight, BlendWidthInv, BlendHeightInv;
};

extern D3DSTATE D3DState;
extern D3DDEVREC D3DDevices[4];

// 0 when a Direct3D device is ready on the front screen, else -1 (logged).
int G_D3D_Initialize();
int G_D3D_Terminate();
int G_D3D_CreateDevice(IDirectDrawSurface7* target);
int G_D3D_DeleteAllDevices();
// Across a display change: the object and device go, records and slots stay.
int G_D3D_DeleteDevice(int device);
int G_D3D_ReleaseDirect3DObject();
int G_D3D_RecreateDirect3D();
int G_D3D_RecreateDevice(int device);
int G_D3D_SetRenderTarget(IDirectDrawSurface7* surface, int device);
IDirect3DDevice7* G_D3D_GetCurrentDevice();
const DDPIXELFORMAT* G_D3D_GetTexturePixelFormat(int slot);
const COLORFMT* G_D3D_GetTextureColorFormat(int slot);
const COLORFMT* G_D3D_SelectTextureFormat(const BYTE* request);
// The format a font's glyph texture would get; 32 bits when is32Bit is set, else 16.
const COLORFMT* G_D3D_SelectGlyphTextureFormat(int alphaChannel, int alphaTest, int is32Bit, int drawValid);
// The library's choice of renderer: 1 lets the screen start take the Direct3D
// device, 0 keeps the software renderer. Read at the next screen start.
int SetDirect3DWanted(int wanted);
int GetDirect3DWanted();
// 1 while a Direct3D object exists.
int IsDirect3DActive();
// Inline: every cached state setter starts with the record, several times a draw.
inline D3DDEVREC* D3DDeviceRecord(int device)
{
    const int index = device & 0xFFFF;
    if (D3DState.Direct3D == nullptr || index > 3 || D3DDevices[index].Used == 0) return nullptr;
    return &D3DDevices[index];
}
// The current device record, or null without a Direct3D object or device.
inline D3DDEVREC* CurrentD3DDevice()
{
    D3DDEVREC* r = D3DDeviceRecord(D3DState.CurrentDevice);
    return r != nullptr && r->Device != nullptr ? r : nullptr;
}

// State cache and blend stages.
int G_D3D_SetZEnable(int device, DWORD value);
int G_D3D_SetZWriteEnable(int device, DWORD value);
int G_D3D_SetZFunc(int device, DWORD value);
int G_D3D_SetZBias(int device, DWORD value);
int G_D3D_SetCullMode(int device, DWORD value);
int G_D3D_SetShadeMode(int device, DWORD value);
int G_D3D_SetFogEnable(int device, DWORD value);
int G_D3D_SetColorKeyEnable(int device, DWORD value);
int G_D3D_SetTexturePerspective(int device, DWORD value);
int G_D3D_SetTexture(int device, IDirectDrawSurface7* texture);
int G_D3D_SetSecondTexture(int device, IDirectDrawSurface7* texture, int borderParam, int borderRange);
int G_D3D_SetBlendState(int device, int mode, int alphaChannel, int alphaTest);
int G_D3D_SetModulateColor(int device, int flag);
int G_D3D_SetModulateAlpha(int device, int flag);
int G_D3D_CommitDrawState(int device);
void G_D3D_PrepareDraw(const SURF3DREC* piece, DWORD flags);
// The same derivation from the piece's image surface, for draws that hold it already.
void G_D3D_PrepareDrawOf(const IMGSURFREC* image, DWORD flags);
// Makes the next derivation run in full (a device was made or ended).
void ForgetPreparedDraw();
int G_D3D_SetTextureFilter(int device, int mode);
int G_D3D_SetDrawFilterMode(int mode);
int G_D3D_ResetRenderStates(int device);
int G_D3D_ApplyStageStates(int device);
int G_D3D_UpdateDiffuseColor();
int G_D3D_SetBlendGraphTexture(int graph, int borderParam, int borderRange);
int G_D3D_SetViewport(const D3DVIEWPORT7* viewport, int device);
int G_D3D_SetViewportFromDrawArea(const RECT* area);

// Draw flags of G_D3D_PrepareDraw.
constexpr DWORD D3DDRAW_TRANS = 0x001;
constexpr DWORD D3DDRAW_KEEPALPHATEST = 0x002;
constexpr DWORD D3DDRAW_DEPTH = 0x004;
constexpr DWORD D3DDRAW_GOURAUD = 0x008;
constexpr DWORD D3DDRAW_PERSPECTIVE = 0x010;
constexpr DWORD D3DDRAW_MODCOLOR = 0x020;
constexpr DWORD D3DDRAW_MODALPHA = 0x040;
constexpr DWORD D3DDRAW_FOG = 0x080;
constexpr DWORD D3DDRAW_KEEPSTATE = 0x100;
constexpr DWORD D3DDRAW_LIGHTING = 0x200;
