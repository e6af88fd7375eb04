// Owns the Direct3D back-end's set-up and teardown: the Direct3D object from
// the screen layer's DirectDraw object, the device choice, the texture-format
// slots, the Z format and the device records. Calls the state cache, the
// batches and the 3D surface table, and logs.
#include "graphics/d3d/d3ddevice.h"

#include <cstring>

#include "core/log.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/d3d/d3dtexture.h"
#include "graphics/drawstate.h"
#include "graphics/mask.h"
#include "graphics/screen.h"

D3DSTATE D3DState;
D3DDEVREC D3DDevices[4];

namespace {

HRESULT EnumDevicesCallback(char*, char*, D3DDEVICEDESC7* desc, void* context)
{
    const bool tnl = desc->deviceGUID == IID_IDirect3DTnLHalDevice;
    const bool hal = desc->deviceGUID == IID_IDirect3DHALDevice;
    if (!tnl && !hal) return D3DENUMRET_OK;
    const int depth = GetRequestedColorBits();
    const DWORD want = depth == 16 ? DDBD_16 : depth == 32 ? DDBD_32 : 0;
    if (want == 0 || (desc->dwDeviceRenderBitDepth & want) == 0) return D3DENUMRET_OK;
    *static_cast<DWORD*>(context) = 1;
    D3DState.DeviceDesc = *desc;
    if (tnl) {
        WriteLog("ハードウエアＴ＆Ｌデバイスを発見しました\n");
        return D3DENUMRET_CANCEL;
    }
    WriteLog("ＨＡＬデバイスを発見しました\n");
    return D3DENUMRET_OK;
}

HRESULT EnumZBufferFormatsCallback(DDPIXELFORMAT* format, void* context)
{
    if (format->dwFlags == DDPF_ZBUFFER && format->dwFourCC == 0 && format->dwZBufferBitDepth == 16) {
        D3DState.ZBufferFormat = *format;
        *static_cast<DWORD*>(context) = 1;
        return D3DENUMRET_CANCEL;
    }
    return D3DENUMRET_OK;
}

HRESULT EnumTextureFormatsCallback(DDPIXELFORMAT* format, void* context)
{
    if ((format->dwFlags & DDPF_LUMINANCE_BUMP_MASK) != 0 || format->dwFourCC != 0 ||
        (format->dwFlags & DDPF_ALPHA) != 0)
        return D3DENUMRET_OK;
    COLORFMT cf{};
    if (SetColorFormatFromDDPixelFormat(format, &cf) != 0) return D3DENUMRET_OK;
    auto fill = [&](int slot) {
        D3DState.Slots[slot].PixelFormat = *format;
        D3DState.Slots[slot].Format = cf;
    };
    if (cf.AlphaWidth != 0) {
        if (cf.AlphaMask == 0xF000) fill(2);
        else if (cf.AlphaMask == 0xFF000000u) {
            fill(3);
            fill(5);
        } else if (cf.AlphaMask == 0x8000) fill(4);
        return D3DENUMRET_OK;
    }
    const int slot = cf.BitsPerPixel == 16 ? 0 : cf.BitsPerPixel == 32 ? 1 : -1;
    if (slot < 0) return D3DENUMRET_OK;
    if (D3DState.Slots[slot].Format.BitsPerPixel == 0 || IsSameColorFormat(&cf, GetScreenColorFormatRecord())) {
        fill(slot);
        if (slot == 0) *static_cast<DWORD*>(context) = 1;
    }
    return D3DENUMRET_OK;
}

void ReleaseDirect3DObject()
{
    if (D3DState.Direct3D != nullptr) D3DState.Direct3D->Release();
    D3DState.Direct3D = nullptr;
}

void LogCapabilities()
{
    const D3DDEVICEDESC7& d = D3DState.DeviceDesc;
    IncreaseLogIndent();
    WriteLogFormat("テクスチャ最大幅:%u 最小幅:%u ", D3DState.MaxTextureSide, D3DState.MinTextureSide);
    WriteLogFormat("描画制限: D_D3DPTEXTURECAPS_POW2 = %d  D_D3DPTEXTURECAPS_SQUAREONLY = %d ",
                   (d.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_POW2) ? 1 : 0,
                   (d.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) ? 1 : 0);
    WriteLogFormat("最大テクスチャステージ数 = %d   最大テクスチャブレンド数 = %d ", d.wMaxTextureBlendStages,
                   d.wMaxSimultaneousTextures);
    if (d.wMaxTextureBlendStages < 4)
        WriteLog("使用可能テクスチャステージが 4 以下なので DrawBlendGraph は正常に機能しない可能性があります\n");
    WriteLog("テクスチャピクセルフォーマット\n");
    WriteLog("\t通常グラフィック用\n");
    for (int s = 0; s < 2; ++s) {
        const COLORFMT& f = D3DState.Slots[s].Format;
        WriteLogFormat("\t\t BIT:%u  RED:%u  GREEN:%u  BLUE:%u ", f.BitsPerPixel, f.RedWidth, f.GreenWidth,
                       f.BlueWidth);
        WriteLogFormat("\t\t RED:%06x GREEN:%06x BLUE:%06x \n", f.RedMask, f.GreenMask, f.BlueMask);
    }
    WriteLog("\tアルファチャンネル付きグラフィック用\n");
    for (int s = 2; s < 4; ++s) {
        const COLORFMT& f = D3DState.Slots[s].Format;
        WriteLogFormat("\t\t BIT:%u  ALPHA:%u  RED:%u  GREEN:%u  BLUE:%u ", f.BitsPerPixel, f.AlphaWidth,
                       f.RedWidth, f.GreenWidth, f.BlueWidth);
        WriteLogFormat("\t\t ALPHA:%08x RED:%08x GREEN:%08x BLUE:%08x \n", f.AlphaMask, f.RedMask, f.GreenMask,
                       f.BlueMask);
    }
    DecreaseLogIndent();
}

void PrepareVertexArrays(D3DDEVREC& r)
{
    for (TLVTXCOLOR& v : r.ColorVertices) {
        v.z = 0.0f;
        v.rhw = 1.0f;
    }
    for (TLVTXTEX& v : r.TexVertices) {
        v.z = 0.0f;
        v.rhw = 1.0f;
    }
    for (TLVTXBLEND& v : r.BlendVertices) {
        v.z = 0.0f;
        v.rhw = 1.0f;
        v.specular = 0xFFFFFFFF;
    }
    r.Arrays[0] = r.ColorVertices;
    r.Arrays[1] = r.TexVertices;
    r.Arrays[2] = r.BlendVertices;
}

int g_direct3DWanted = 1;

// The stage cache only sends words that differ from it, so the device must
// hold what the cache says: a new device's own defaults differ from them.
void SendStageCache(IDirect3DDevice7* device, const D3DDEVREC& r)
{
    static const D3DTEXTURESTAGESTATETYPE kWords[6] = {D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2, D3DTSS_ALPHAOP,
                                                       D3DTSS_COLORARG1, D3DTSS_COLORARG2, D3DTSS_COLOROP};
    for (DWORD s = 0; s < 8; ++s)
        for (int k = 0; k < 6; ++k)
            device->SetTextureStageState(s, kWords[k], static_cast<DWORD>(r.Stages[s].Words[k]));
}

} // namespace

int SetDirect3DWanted(int wanted)
{
    g_direct3DWanted = wanted != 0 ? 1 : 0;
    return 0;
}

int GetDirect3DWanted()
{
    return g_direct3DWanted;
}

int IsDirect3DActive()
{
    return D3DState.Direct3D != nullptr ? 1 : 0;
}

IDirect3DDevice7* G_D3D_GetCurrentDevice()
{
    return D3DDevices[D3DState.CurrentDevice & 0xFFFF].Device;
}

const DDPIXELFORMAT* G_D3D_GetTexturePixelFormat(int slot)
{
    return &D3DState.Slots[slot].PixelFormat;
}

const COLORFMT* G_D3D_GetTextureColorFormat(int slot)
{
    return &D3DState.Slots[slot].Format;
}

const COLORFMT* G_D3D_SelectTextureFormat(const BYTE* request)
{
    IMGFLAGS f{};
    std::memcpy(&f, request, 7);
    return G_D3D_GetTextureColorFormat(GetTextureFormatIndex(&f));
}

const COLORFMT* G_D3D_SelectGlyphTextureFormat(int alphaChannel, int alphaTest, int is32Bit, int drawValid)
{
    IMGFLAGS f{};
    f.Texture = 1;
    f.AlphaChFlag = static_cast<BYTE>(alphaChannel);
    f.DrawValid = static_cast<BYTE>(drawValid);
    f.AlphaTestFlag = static_cast<BYTE>(alphaTest);
    f.ColorBitDepth = static_cast<BYTE>(is32Bit != 0 ? 32 : 16);
    return G_D3D_SelectTextureFormat(reinterpret_cast<const BYTE*>(&f));
}

int G_D3D_Initialize()
{
    if (D3DState.Direct3D != nullptr) return -1;
    IDirectDraw7* dd = GetDirectDrawInterface();
    if (dd == nullptr) return -1;
    WriteLog("Direct3D 関連の初期化を行います\n");
    std::memset(&D3DState, 0, sizeof D3DState);
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します\n");
    if (FAILED(dd->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&D3DState.Direct3D))) ||
        D3DState.Direct3D == nullptr) {
        D3DState.Direct3D = nullptr;
        return WriteLog("Direct3Dオブジェクトの作成に失敗しました\n");
    }
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得しました\n");
    DWORD found = 0;
    if (FAILED(D3DState.Direct3D->EnumDevices(EnumDevicesCallback, &found)) || found == 0) {
        WriteLog("現在の画面モードで使用できる描画デバイスが見つかりませんでした\n");
        ReleaseDirect3DObject();
        return -1;
    }
    found = 0;
    D3DState.Direct3D->EnumZBufferFormats(IID_IDirect3DHALDevice, EnumZBufferFormatsCallback, &found);
    if (found == 0) WriteLog("使用可能なＺバッファが見つかりませんでした\n");

    IDirectDrawSurface7* front = GetFrontScreenSurface();
    const int device = G_D3D_CreateDevice(front);
    if (device < 0) {
        ReleaseDirect3DObject();
        return -1;
    }
    D3DState.CurrentDevice = device;
    G_D3D_SetRenderTarget(front, device);
    if (DrawState.TextureAddressMode == 0) DrawState.TextureAddressMode = D3DTADDRESS_CLAMP;
    IDirect3DDevice7* dev = D3DDevices[device].Device;
    HRESULT stage0 = S_OK;
    for (int s = 3; s >= 0; --s)
        stage0 = dev->SetTextureStageState(static_cast<DWORD>(s), D3DTSS_ADDRESS,
                                           static_cast<DWORD>(DrawState.TextureAddressMode));
    if (FAILED(stage0)) {
        G_D3D_DeleteAllDevices();
        ReleaseDirect3DObject();
        return -1;
    }
    std::memset(D3DState.Slots, 0, sizeof D3DState.Slots);
    found = 0;
    if (FAILED(dev->EnumTextureFormats(EnumTextureFormatsCallback, &found)) || found == 0) {
        WriteLog("使用可能なテクスチャフォーマットが見つかりませんでした\n");
        G_D3D_DeleteAllDevices();
        ReleaseDirect3DObject();
        return -1;
    }
    auto fallBack = [](int slot, int from) {
        if (D3DState.Slots[slot].Format.BitsPerPixel == 0) D3DState.Slots[slot] = D3DState.Slots[from];
    };
    fallBack(1, 0);
    fallBack(3, 2);
    fallBack(4, 2);
    fallBack(5, 3);
    fallBack(6, 0);
    fallBack(7, 1);
    fallBack(8, 3);
    D3DState.FrontScreen = 1;
    const D3DDEVICEDESC7& d = D3DState.DeviceDesc;
    DWORD minSide = d.dwMinTextureWidth < d.dwMinTextureHeight ? d.dwMinTextureWidth : d.dwMinTextureHeight;
    DWORD maxSide = d.dwMaxTextureWidth < d.dwMaxTextureHeight ? d.dwMaxTextureWidth : d.dwMaxTextureHeight;
    D3DState.MinTextureSide = minSide == 0 ? 32 : minSide;
    D3DState.MaxTextureSide = maxSide == 0 ? 256 : maxSide;
    D3DState.ReadBackMethod[0] = D3DState.ReadBackMethod[1] = -1;
    D3DState.DeviceUnusable = 0;
    G_D3D_UpdateDiffuseColor();
    LogCapabilities();
    WriteLog("Direct3D 関連の初期化は正常に終了しました\n");
    D3DState.Initialized = 1;
    return 0;
}

int G_D3D_Terminate()
{
    if (D3DState.Direct3D == nullptr) {
        if (D3DState.Initialized == 0) return -1;
        // Ended while released for a display change: only records are left.
        G_D3D_DeleteAllSurface3DData();
        G_D3D_DeleteAllDevices();
        ForgetPreparedDraw();
        D3DState.FrontScreen = 0;
        D3DState.Initialized = 0;
        WriteLog("Direct3D 関連の終了処理は正常に終了しました\n");
        return 0;
    }
    WriteLog("Direct3D 関連の終了処理を行います\n");
    G_D3D_EndScene(D3DState.CurrentDevice);
    D3DState.FrontScreen = 0;
    G_D3D_SetTexture(D3DState.CurrentDevice, nullptr);
    G_D3D_DeleteAllSurface3DData();
    G_D3D_DeleteAllDevices();
    ForgetPreparedDraw();
    ReleaseDirect3DObject();
    WriteLog("Direct3D 関連の終了処理は正常に終了しました\n");
    D3DState.Initialized = 0;
    return 0;
}

int G_D3D_CreateDevice(IDirectDrawSurface7* target)
{
    if (D3DState.Direct3D == nullptr) return -1;
    int index = -1;
    for (int i = 0; i < 4 && index < 0; ++i)
        if (D3DDevices[i].Used == 0) index = i;
    if (index < 0) return -1;
    D3DDEVREC& r = D3DDevices[index];
    std::memset(&r, 0, sizeof r);
    WriteLog("３Ｄデバイスを作成します... ");
    IDirect3DDevice7* device = nullptr;
    if (FAILED(D3DState.Direct3D->CreateDevice(D3DState.DeviceDesc.deviceGUID, target, &device)) ||
        device == nullptr) {
        return WriteLog("３Ｄデバイスの作成に失敗しました\n");
    }
    PrepareVertexArrays(r);
    if (DrawState.TextureAddressMode == 0) DrawState.TextureAddressMode = D3DTADDRESS_CLAMP;
    for (DWORD s = 0; s < 8; ++s) {
        device->SetTextureStageState(s, D3DTSS_ADDRESS, static_cast<DWORD>(DrawState.TextureAddressMode));
        device->SetTextureStageState(s, D3DTSS_MAGFILTER, D3DTFG_POINT);
        device->SetTextureStageState(s, D3DTSS_MINFILTER, 1);
        device->SetTextureStageState(s, D3DTSS_MIPFILTER, 2);
    }
    device->SetRenderState(D3DRENDERSTATE_COLORKEYBLENDENABLE, FALSE);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    device->SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, FALSE);
    device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, FALSE);
    device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, FALSE);
    static const short kDefaults[6] = {2, 0, 1, 2, 0, 1};
    for (D3DSTAGECACHE& s : r.Stages) std::memcpy(s.Words, kDefaults, sizeof kDefaults);
    SendStageCache(device, r);
    for (int s = 0; s < 8; ++s) {
        r.MagFilter[s] = D3DTFG_POINT;
        r.MinFilter[s] = 1;
        r.MipFilter[s] = 2;
    }
    r.Device = device;
    r.BorderParam = -1;
    r.StateDirty = 1;
    r.ZEnable = 1;
    r.ZFunc = D3DCMP_LESSEQUAL;
    r.ShadeMode = D3DSHADE_FLAT;
    r.AddressMode = D3DTADDRESS_CLAMP;
    r.BatchKind = D3D_BATCH_TEX;
    r.WritePointer = static_cast<BYTE*>(r.Arrays[D3D_BATCH_TEX]);
    r.Used = 1;
    r.OwnTarget = target;
    ForgetPreparedDraw();
    G_D3D_ApplyStageStates(index);
    WriteLog("３Ｄデバイスの作成に成功しました\n");
    return index;
}

int G_D3D_DeleteAllDevices()
{
    for (D3DDEVREC& r : D3DDevices) {
        if (r.Used == 0) continue;
        if (r.Device != nullptr) r.Device->Release();
        std::memset(&r, 0, sizeof r);
        WriteLog("３Ｄデバイスの削除は正常に終了しました\n");
    }
    return 0;
}

int G_D3D_SetRenderTarget(IDirectDrawSurface7* surface, int device)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    if (r == nullptr || r->Device == nullptr) return -1;
    if (surface == r->CurrentTarget && r->Force == 0) return 0;
    if (surface == nullptr) {
        if (r->CurrentTarget == nullptr) return 0;
        G_D3D_FlushVertexBatch(device);
        r->Device->SetRenderTarget(r->OwnTarget, 0);
        r->CurrentTarget = r->OwnTarget;
        return 0;
    }
    G_D3D_FlushVertexBatch(device);
    r->Device->SetRenderTarget(surface, 0);
    r->CurrentTarget = surface;
    return 0;
}

int G_D3D_DeleteDevice(int device)
{
    D3DDEVREC& r = D3DDevices[device & 3];
    if (r.Used == 0 || r.Device == nullptr) return 0;
    for (std::uint32_t i = 0; i < Surface3DTable.HighWater; ++i) {
        const SURF3DREC* p = Surface3DTable.Records[i];
        if (p != nullptr) ReleaseImageSurfaceObjects(p->ImageSurface);
    }
    r.Device->Release();
    r.Device = nullptr;
    ForgetPreparedDraw();
    WriteLog("Ｄｉｒｅｃｔ３Ｄデバイスを削除しました\n");
    return 0;
}

int G_D3D_ReleaseDirect3DObject()
{
    if (D3DState.Initialized == 0) return -1;
    G_D3D_DeleteDevice(D3DState.CurrentDevice);
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放します\n");
    if (D3DState.Direct3D == nullptr) {
        WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に解放されています\n");
        return 0;
    }
    D3DState.Direct3D->Release();
    D3DState.Direct3D = nullptr;
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放しました\n");
    return 0;
}

int G_D3D_RecreateDevice(int device)
{
    D3DDEVREC& r = D3DDevices[device & 3];
    if (r.Used == 0 || D3DState.Direct3D == nullptr) return -1;
    if (r.Device != nullptr) return 0;
    WriteLog("３Ｄデバイスを作成します... ");
    IDirect3DDevice7* created = nullptr;
    if (FAILED(D3DState.Direct3D->CreateDevice(D3DState.DeviceDesc.deviceGUID, r.OwnTarget, &created)) ||
        created == nullptr)
        return WriteLog("３Ｄデバイスの作成に失敗しました\n");
    created->SetRenderState(D3DRENDERSTATE_DITHERENABLE, FALSE);
    WriteLog("３Ｄデバイスの作成に成功しました\n");
    r.Device = created;
    SendStageCache(created, r);
    // The new device knows none of the cached states: every setter sends again.
    r.Force = 1;
    if (r.CurrentTarget != r.OwnTarget) {
        IDirectDrawSurface7* target = r.CurrentTarget;
        r.CurrentTarget = nullptr;
        G_D3D_SetRenderTarget(target, device);
    }
    r.PendingTexture = nullptr;
    r.VertexCount = 0;
    r.WritePointer = static_cast<BYTE*>(r.Arrays[r.BatchKind]);
    r.InScene = 0;
    ForgetPreparedDraw();
    G_D3D_SetBlendState(device, r.BlendMode, static_cast<int>(r.AlphaChannel), static_cast<int>(r.AlphaTest));
    G_D3D_SetCullMode(device, r.CullFlag);
    G_D3D_SetTextureFilter(device, r.FilterMode);
    G_D3D_SetColorKeyEnable(device, r.ColorKeyEnable);
    G_D3D_SetViewportFromDrawArea(&DrawState.DrawArea);
    G_D3D_ApplyStageStates(device);
    G_D3D_CommitDrawState(device);
    std::uint32_t seen = 0;
    for (std::uint32_t i = 0; i < Surface3DTable.HighWater && seen < Surface3DTable.Count; ++i) {
        const SURF3DREC* p = Surface3DTable.Records[i];
        if (p == nullptr) continue;
        ++seen;
        CreateImageSurfaceObjects(p->ImageSurface);
        SetImageSurfaceColorKey(p->ImageSurface);
    }
    // A texture graph as the draw target has no screen surface to come back
    // through: its texture, made again just now, becomes the target again.
    const GRAPHREC* target = r.CurrentTarget == nullptr ? GetGraphRecord(DrawState.DrawTarget) : nullptr;
    if (target != nullptr && target->Format.Texture == 1 && target->SurfaceCount == 1) {
        IDirectDrawSurface7* surface = PieceTexture(G_D3D_GetSurface3DData(target->Surfaces[0]));
        if (surface != nullptr) {
            r.Force = 1;
            G_D3D_SetRenderTarget(surface, device);
            G_D3D_SetViewportFromDrawArea(&DrawState.DrawArea);
        }
    }
    r.Force = 0;
    return 0;
}

int G_D3D_RecreateDirect3D()
{
    if (D3DState.Initialized == 0) return 0;
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します\n");
    if (D3DState.Direct3D != nullptr) {
        WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトは既に取得されていますn");
        return 0;
    }
    IDirectDraw7* dd = GetDirectDrawInterface();
    if (dd == nullptr || FAILED(dd->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&D3DState.Direct3D))) ||
        D3DState.Direct3D == nullptr) {
        D3DState.Direct3D = nullptr;
        return WriteLog("Direct3Dオブジェクトの作成に失敗しました\n");
    }
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトは正常に取得されました\n");
    D3DDEVREC& r = D3DDevices[D3DState.CurrentDevice & 3];
    r.OwnTarget = GetFrontScreenSurface();
    // The mask screen came back first: draws through it render into its surface.
    r.CurrentTarget = MaskScreen.Active != 0 && MaskScreen.Surface != nullptr ? MaskScreen.Surface
                                                                             : GetCurrentDrawSurface();
    G_D3D_RecreateDevice(D3DState.CurrentDevice);
    return 0;
}
