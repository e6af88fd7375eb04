// Owns the per-device state cache: cached render-state setters, the pending
// draw state and its commit through the blend table and the texture-stage
// sets, the per-draw derivation from the drawing state, the filter, the
// diffuse colour, the blend-graph texture and the viewport. Calls the device
// and the batch flush.
#include "graphics/d3d/d3ddevice.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/log.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/d3d/d3dtexture.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"

namespace {

// `gate`: the factors never read the source alpha, so a transparent draw
// must drop its alpha-0 texels by the alpha test, on the texel's own alpha.
struct BlendRow {
    int dest, src, kind;
    bool gate;
};
const BlendRow kBlendTable[12] = {
    {-1, -1, 0, false}, {6, 5, 0, false}, {2, 5, 0, false}, {1, 10, 0, false},
    {3, 1, 0, true},    {2, 5, 0, false}, {-1, -1, 0, false}, {-1, -1, 0, false},
    {2, 1, 0, false},   {1, 10, 0, false}, {6, 5, 2, false}, {3, 1, 1, false},
};

const BlendRow& BlendRowOf(int mode)
{
    return kBlendTable[(mode >= 0 && mode < 12) ? mode : 0];
}

bool BlendingOn(int mode)
{
    return mode != 0 && mode != 6;
}

// One texture-stage set: the stage count and per stage alpha arg 1, alpha arg 2,
// alpha op, colour arg 1, colour arg 2, colour op (-1 leaves the device's value).
struct StageSet {
    int count;
    short w[8][6];
};

constexpr short TEX = D3DTA_TEXTURE, DIF = D3DTA_DIFFUSE, CUR = D3DTA_CURRENT, TFA = D3DTA_TFACTOR,
                SPE = D3DTA_SPECULAR;
constexpr short SEL1 = D3DTOP_SELECTARG1, SEL2 = D3DTOP_SELECTARG2, MOD = D3DTOP_MODULATE, DIS = D3DTOP_DISABLE;

void SetStage(StageSet& s, int stage, short a1, short a2, short aop, short c1, short c2, short cop)
{
    const short w[6] = {a1, a2, aop, c1, c2, cop};
    std::memcpy(s.w[stage], w, sizeof w);
}

StageSet BuildStageSet(int index)
{
    StageSet s{};
    for (int i = 0; i < 8; ++i) SetStage(s, i, -1, -1, DIS, -1, -1, DIS);
    const int alphaKind = index % 3;
    const int modA = (index / 3) % 2;
    const int modC = (index / 6) % 2;
    const int blendTexture = (index / 12) % 2;
    const int kind = index / 24;
    const short texColour = kind == 2 ? static_cast<short>(TEX | D3DTA_COMPLEMENT) : TEX;
    if (blendTexture == 0) {
        const short cop = modC ? MOD : SEL1;
        if (alphaKind == 0) {
            SetStage(s, 0, TEX, DIF, SEL2, texColour, DIF, cop);
        } else {
            SetStage(s, 0, TEX, DIF, modA ? MOD : SEL1, texColour, DIF, cop);
        }
        s.count = 1;
        if (kind == 1) {
            SetStage(s, 1, CUR, DIF, SEL1, CUR, TFA, D3DTOP_BLENDCURRENTALPHA);
            s.count = 2;
        }
        return s;
    }
    SetStage(s, 0, TEX, TFA, D3DTOP_ADD, TEX, DIF, SEL2);
    const short tcop = modC ? MOD : SEL1;
    auto texStage = [&](int stage, short a1, short a2) { SetStage(s, stage, a1, a2, MOD, texColour, DIF, tcop); };
    auto curStage = [&](int stage, short a1, short a2) { SetStage(s, stage, a1, a2, MOD, CUR, DIF, SEL1); };
    switch (alphaKind + 3 * modA) {
    case 0: texStage(1, CUR, DIF); s.count = 2; break;
    case 1: curStage(1, SPE, CUR); texStage(2, TEX, CUR); s.count = 3; break;
    case 2: texStage(1, TEX, CUR); s.count = 2; break;
    case 3: texStage(1, DIF, CUR); s.count = 2; break;
    case 4: curStage(1, SPE, CUR); texStage(2, TEX, CUR); curStage(3, DIF, CUR); s.count = 4; break;
    default: texStage(1, TEX, CUR); curStage(2, DIF, CUR); s.count = 3; break;
    }
    return s;
}

// Every set BuildStageSet makes, made once: a commit reads its set from here.
constexpr int kStageSetCount = 72;
const StageSet& StageSetOf(int index)
{
    static const auto sets = [] {
        struct Sets {
            StageSet s[kStageSetCount];
        } t{};
        for (int i = 0; i < kStageSetCount; ++i) t.s[i] = BuildStageSet(i);
        return t;
    }();
    return sets.s[index];
}

const D3DRENDERSTATETYPE kCachedStates[RSC_COUNT] = {
    D3DRENDERSTATE_ALPHATESTENABLE,   D3DRENDERSTATE_ALPHAREF,
    D3DRENDERSTATE_ALPHAFUNC,         D3DRENDERSTATE_ALPHABLENDENABLE,
    D3DRENDERSTATE_DIFFUSEMATERIALSOURCE, D3DRENDERSTATE_SPECULARMATERIALSOURCE,
    D3DRENDERSTATE_SPECULARENABLE,    D3DRENDERSTATE_TEXTUREFACTOR,
    D3DRENDERSTATE_SRCBLEND,          D3DRENDERSTATE_DESTBLEND,
};

const D3DTEXTURESTAGESTATETYPE kStageStates[6] = {D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2, D3DTSS_ALPHAOP,
                                                   D3DTSS_COLORARG1, D3DTSS_COLORARG2, D3DTSS_COLOROP};

// The six words of a stage compared as two loads each.
bool SameWords(const short* a, const short* b)
{
    static_assert(sizeof(D3DSTAGECACHE::Words) == 12);
    std::uint64_t a8, b8;
    std::uint32_t a4, b4;
    std::memcpy(&a8, a, 8);
    std::memcpy(&b8, b, 8);
    std::memcpy(&a4, a + 4, 4);
    std::memcpy(&b4, b + 4, 4);
    return ((a8 ^ b8) | (a4 ^ b4)) == 0;
}

// The common rule of the cached setters: unchanged values cost nothing,
// changed ones draw the pending batch first.
int SendCachedState(int device, D3DDEVREC* r, DWORD D3DDEVREC::*field, D3DRENDERSTATETYPE state, DWORD value,
                    bool flush, bool passFailure)
{
    if (flush) G_D3D_FlushVertexBatch(device);
    const HRESULT hr = r->Device != nullptr ? r->Device->SetRenderState(state, value) : E_FAIL;
    r->*field = value;
    return (passFailure && FAILED(hr)) ? -1 : 0;
}

// A render state the record caches: its field, and whether a change draws
// the pending batch first and whether the device's refusal is passed on.
struct CachedState {
    DWORD D3DDEVREC::*field;
    D3DRENDERSTATETYPE state;
    bool flush, passFailure;
};
constexpr CachedState kZWrite{&D3DDEVREC::ZWrite, D3DRENDERSTATE_ZWRITEENABLE, true, false};
constexpr CachedState kZFunc{&D3DDEVREC::ZFunc, D3DRENDERSTATE_ZFUNC, true, false};
constexpr CachedState kZBias{&D3DDEVREC::ZBias, D3DRENDERSTATE_ZBIAS, true, false};
constexpr CachedState kShadeMode{&D3DDEVREC::ShadeMode, D3DRENDERSTATE_SHADEMODE, true, true};
constexpr CachedState kFogEnable{&D3DDEVREC::FogEnable, D3DRENDERSTATE_FOGENABLE, true, true};
constexpr CachedState kColorKeyEnable{&D3DDEVREC::ColorKeyEnable, D3DRENDERSTATE_COLORKEYENABLE, true, false};
constexpr CachedState kTexturePerspective{&D3DDEVREC::TexturePerspective, D3DRENDERSTATE_TEXTUREPERSPECTIVE, false,
                                          true};

// The setters below take the record looked up already: a draw's derivation
// sets a dozen states on one record, and an unchanged value, the usual case,
// is answered inline.
inline int CachedSetOn(D3DDEVREC* r, int device, const CachedState& s, DWORD value)
{
    if (r->*s.field == value && r->Force == 0) return 0;
    return SendCachedState(device, r, s.field, s.state, value, s.flush, s.passFailure);
}

int CachedSet(int device, const CachedState& s, DWORD value)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    return r != nullptr ? CachedSetOn(r, device, s, value) : -1;
}

// A cached flag whose device state is the flag mapped to one of two values.
inline int SetFlagStateOn(D3DDEVREC* r, int device, DWORD D3DDEVREC::*field, D3DRENDERSTATETYPE state, DWORD value,
                          DWORD sent)
{
    if (r->*field == value && r->Force == 0) return 0;
    G_D3D_FlushVertexBatch(device);
    r->Device->SetRenderState(state, sent);
    r->*field = value;
    return 0;
}

inline int SetZEnableOn(D3DDEVREC* r, int device, DWORD value)
{
    return SetFlagStateOn(r, device, &D3DDEVREC::ZEnable, D3DRENDERSTATE_ZENABLE, value, value == 1 ? TRUE : FALSE);
}

inline int SetCullModeOn(D3DDEVREC* r, int device, DWORD value)
{
    return SetFlagStateOn(r, device, &D3DDEVREC::CullFlag, D3DRENDERSTATE_CULLMODE, value,
                          value == 0 ? D3DCULL_NONE : D3DCULL_CCW);
}

inline int SetTextureOn(D3DDEVREC* r, IDirectDrawSurface7* texture)
{
    if (r->PendingTexture == texture && r->Force == 0) return 0;
    if ((r->PendingTexture == nullptr) != (texture == nullptr)) r->StateDirty = 1;
    r->PendingTexture = texture;
    r->TextureDirty = 1;
    return 0;
}

inline int SetBlendStateOn(D3DDEVREC* r, int mode, int alphaChannel, int alphaTest)
{
    if (r->BlendMode == mode && r->AlphaChannel == static_cast<DWORD>(alphaChannel) &&
        r->AlphaTest == static_cast<DWORD>(alphaTest) && r->Force == 0)
        return 0;
    r->BlendMode = mode;
    r->AlphaChannel = static_cast<DWORD>(alphaChannel);
    r->AlphaTest = static_cast<DWORD>(alphaTest);
    r->StateDirty = 1;
    return 0;
}

inline int SetModulateOn(D3DDEVREC* r, DWORD D3DDEVREC::*field, int flag)
{
    if (r->*field != static_cast<DWORD>(flag)) {
        r->*field = static_cast<DWORD>(flag);
        r->StateDirty = 1;
    }
    return 0;
}

void SendRenderState(D3DDEVREC* r, int index, DWORD value)
{
    if (r->Force == 0 && r->RenderStates[index] == value) return;
    r->Device->SetRenderState(kCachedStates[index], value);
    r->RenderStates[index] = value;
}

int CommitDrawStateOn(D3DDEVREC* r, int device);
int SetTextureFilterOn(D3DDEVREC* r, int device, int mode);

} // namespace

int G_D3D_SetZEnable(int device, DWORD value)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    return r != nullptr ? SetZEnableOn(r, device, value) : -1;
}

int G_D3D_SetZWriteEnable(int device, DWORD value)
{
    return CachedSet(device, kZWrite, value);
}

int G_D3D_SetZFunc(int device, DWORD value)
{
    return CachedSet(device, kZFunc, value);
}

int G_D3D_SetZBias(int device, DWORD value)
{
    return CachedSet(device, kZBias, value);
}

int G_D3D_SetCullMode(int device, DWORD value)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    return r != nullptr ? SetCullModeOn(r, device, value) : -1;
}

int G_D3D_SetShadeMode(int device, DWORD value)
{
    return CachedSet(device, kShadeMode, value);
}

int G_D3D_SetFogEnable(int device, DWORD value)
{
    return CachedSet(device, kFogEnable, value);
}

int G_D3D_SetColorKeyEnable(int device, DWORD value)
{
    return CachedSet(device, kColorKeyEnable, value);
}

int G_D3D_SetTexturePerspective(int device, DWORD value)
{
    return CachedSet(device, kTexturePerspective, value);
}

int G_D3D_SetTexture(int device, IDirectDrawSurface7* texture)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    return r != nullptr ? SetTextureOn(r, texture) : -1;
}

int G_D3D_SetSecondTexture(int device, IDirectDrawSurface7* texture, int borderParam, int borderRange)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    if (r == nullptr) return -1;
    r->PendingBlendTexture = texture;
    if (borderParam != -1) r->BorderParam = borderParam;
    if (borderRange != -1) r->BorderRange = borderRange;
    r->StateDirty = 1;
    return 0;
}

int G_D3D_SetBlendState(int device, int mode, int alphaChannel, int alphaTest)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    return r != nullptr ? SetBlendStateOn(r, mode, alphaChannel, alphaTest) : -1;
}

int G_D3D_SetModulateColor(int device, int flag)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    return r != nullptr ? SetModulateOn(r, &D3DDEVREC::ModulateColor, flag) : -1;
}

int G_D3D_SetModulateAlpha(int device, int flag)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    return r != nullptr ? SetModulateOn(r, &D3DDEVREC::ModulateAlpha, flag) : -1;
}

int G_D3D_CommitDrawState(int device)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    return r != nullptr ? CommitDrawStateOn(r, device) : -1;
}

namespace {

int CommitDrawStateOn(D3DDEVREC* r, int device)
{
    if (r->Device == nullptr) return -1;
    if (r->Force == 0 && r->StateDirty == 0 && r->TextureDirty == 0) return -1;
    IDirect3DDevice7* dev = r->Device;
    if (r->Force == 0 && r->StateDirty == 0) {
        int stage = 0;
        if (r->PendingBlendTexture != nullptr) stage = r->AlphaChannel == 1 ? 2 : 1;
        if (r->Stages[stage].Texture != r->PendingTexture) {
            G_D3D_FlushVertexBatch(device);
            dev->SetTexture(static_cast<DWORD>(stage), r->PendingTexture);
            r->Stages[stage].Texture = r->PendingTexture;
        }
        r->TextureDirty = 0;
        return 0;
    }
    G_D3D_FlushVertexBatch(device);
    r->StateDirty = 0;
    r->TextureDirty = 0;
    const int mode = (r->BlendMode >= 0 && r->BlendMode < 12) ? r->BlendMode : 0;
    const BlendRow& row = BlendRowOf(mode);
    DWORD srcBlend = row.src < 0 ? r->RenderStates[RSC_SRCBLEND] : static_cast<DWORD>(row.src);
    DWORD destBlend = row.dest < 0 ? r->RenderStates[RSC_DESTBLEND] : static_cast<DWORD>(row.dest);
    bool sendSrc = row.src >= 0, sendDest = row.dest >= 0;
    DWORD textureFactor = 0xFFFFFFFF;
    DWORD alphaTest = r->RenderStates[RSC_ALPHATESTENABLE];
    DWORD alphaRef = r->RenderStates[RSC_ALPHAREF];
    DWORD alphaFunc = r->RenderStates[RSC_ALPHAFUNC];
    DWORD alphaBlend = BlendingOn(mode) ? 1 : 0;
    StageSet set;
    const StageSet* chosen = &set;
    IDirectDrawSurface7* textures[8] = {};
    const int alphaKind = r->AlphaChannel == 1 ? 1 : r->AlphaTest == 1 ? 2 : 0;
    if (r->PendingTexture == nullptr) {
        r->DrawSuppressed = 0;
        r->BatchKind = D3D_BATCH_COLOR;
        r->WritePointer = static_cast<BYTE*>(r->Arrays[D3D_BATCH_COLOR]);
        r->VertexCount = 0;
        for (int i = 0; i < 8; ++i) SetStage(set, i, -1, -1, DIS, -1, -1, DIS);
        set.count = 1;
        if (mode == 3) {
            SetStage(set, 0, DIF, DIF, SEL2, DIF, DIF, SEL1);
        } else if (row.kind == 1) {
            SetStage(set, 0, DIF, DIF, SEL2, DIF, TFA, D3DTOP_BLENDDIFFUSEALPHA);
        } else if (row.kind == 2) {
            SetStage(set, 0, DIF, DIF, SEL2, static_cast<short>(DIF | D3DTA_COMPLEMENT), DIF, SEL1);
        } else {
            SetStage(set, 0, DIF, DIF, SEL2, DIF, DIF, SEL2);
        }
        alphaTest = 0;
        textureFactor = r->RenderStates[RSC_TEXTUREFACTOR];
    } else if (r->PendingBlendTexture != nullptr) {
        set = StageSetOf(alphaKind + 3 * static_cast<int>(r->ModulateAlpha) +
                         6 * static_cast<int>(r->ModulateColor) + 12);
        r->BatchKind = D3D_BATCH_BLEND;
        r->WritePointer = static_cast<BYTE*>(r->Arrays[D3D_BATCH_BLEND]);
        r->VertexCount = 0;
        const int p = r->BorderParam;
        r->DrawSuppressed = p == 255 ? 1 : 0;
        textures[0] = r->PendingBlendTexture;
        textures[r->AlphaChannel == 1 ? 2 : 1] = r->PendingTexture;
        if (!BlendingOn(mode)) {
            srcBlend = D3DBLEND_SRCALPHA;
            destBlend = D3DBLEND_INVSRCALPHA;
            sendSrc = sendDest = true;
        }
        const int range = r->BorderRange;
        if (range <= 1) {
            alphaTest = 1;
            alphaRef = static_cast<DWORD>((p == 0 && (r->AlphaChannel == 1 || r->AlphaTest == 1)) ? 1 : p);
            alphaFunc = D3DCMP_GREATEREQUAL;
            alphaBlend = 0;
            textureFactor = 0x00FFFFFF;
        } else {
            alphaTest = 0;
            alphaBlend = 1;
            int t, a;
            short stage0 = D3DTOP_ADD;
            if (range <= 64) {
                set.w[1][2] = D3DTOP_MODULATE4X;
                t = 1280 - 1280 * p / 255;
                if (t < 1024) {
                    a = 255 - 255 * t / 1024;
                    stage0 = D3DTOP_SUBTRACT;
                } else {
                    a = (t - 1024) * 64 / 256;
                }
            } else if (range <= 128) {
                set.w[1][2] = D3DTOP_MODULATE2X;
                t = 768 - 768 * p / 255;
                if (t < 512) {
                    a = 255 - 255 * t / 512;
                    stage0 = D3DTOP_SUBTRACT;
                } else {
                    a = (t - 512) * 128 / 256;
                }
            } else {
                set.w[1][2] = D3DTOP_MODULATE;
                t = 512 - 512 * p / 255;
                if (t < 256) {
                    a = 255 - 255 * t / 256;
                    stage0 = D3DTOP_SUBTRACT;
                } else {
                    a = (t - 256) * 255 / 256;
                }
            }
            set.w[0][2] = stage0;
            textureFactor = (static_cast<DWORD>(a) << 24) | 0x00FFFFFF;
        }
    } else {
        chosen = &StageSetOf(alphaKind + 3 * static_cast<int>(r->ModulateAlpha) +
                             6 * static_cast<int>(r->ModulateColor) + 24 * row.kind);
        r->DrawSuppressed = 0;
        r->BatchKind = D3D_BATCH_TEX;
        r->WritePointer = static_cast<BYTE*>(r->Arrays[D3D_BATCH_TEX]);
        r->VertexCount = 0;
        textures[0] = r->PendingTexture;
        if (r->AlphaTest == 1) {
            alphaTest = 1;
            alphaRef = 16;
            alphaFunc = D3DCMP_GREATER;
        } else if (row.gate && r->AlphaChannel == 1) {
            alphaTest = 1;
            alphaRef = 0;
            alphaFunc = D3DCMP_GREATER;
        } else if (r->ZEnable == 0) {
            alphaTest = 0;
        } else {
            alphaTest = 1;
            alphaRef = 0;
            alphaFunc = D3DCMP_GREATER;
        }
        if (r->AlphaChannel == 1 && !BlendingOn(mode)) {
            srcBlend = D3DBLEND_SRCALPHA;
            destBlend = D3DBLEND_INVSRCALPHA;
            sendSrc = sendDest = true;
        }
        alphaBlend = (r->AlphaChannel == 1 || BlendingOn(mode)) ? 1 : 0;
    }
    if (chosen->count != r->StagesInUse) {
        r->StagesInUse = chosen->count;
        const DWORD force = r->Force;
        r->Force = 1;
        SetTextureFilterOn(r, device, r->FilterMode);
        r->Force = force;
    }
    SendRenderState(r, RSC_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    SendRenderState(r, RSC_SPECULARMATERIALSOURCE, D3DMCS_COLOR2);
    SendRenderState(r, RSC_SPECULARENABLE, FALSE);
    SendRenderState(r, RSC_ALPHAFUNC, alphaFunc);
    SendRenderState(r, RSC_ALPHAREF, alphaRef);
    SendRenderState(r, RSC_ALPHATESTENABLE, alphaTest);
    SendRenderState(r, RSC_ALPHABLENDENABLE, alphaBlend);
    SendRenderState(r, RSC_TEXTUREFACTOR, textureFactor);
    if (sendSrc || r->Force != 0) SendRenderState(r, RSC_SRCBLEND, srcBlend);
    if (sendDest || r->Force != 0) SendRenderState(r, RSC_DESTBLEND, destBlend);
    const int written = chosen->count + 1 < 8 ? chosen->count + 1 : 8;
    for (int s = 0; s < written; ++s) {
        if (s >= 2 && r->Stages[s - 1].Words[2] == D3DTOP_DISABLE) break;
        D3DSTAGECACHE& cache = r->Stages[s];
        if (r->Force != 0 || cache.Texture != textures[s]) {
            dev->SetTexture(static_cast<DWORD>(s), textures[s]);
            cache.Texture = textures[s];
        }
        // A stage whose cached words all equal the set's has nothing to send.
        if (r->Force == 0 && SameWords(cache.Words, chosen->w[s])) continue;
        for (int k = 0; k < 6; ++k) {
            const short v = chosen->w[s][k];
            if (v == -1) continue;
            if (r->Force == 0 && cache.Words[k] == v) continue;
            dev->SetTextureStageState(static_cast<DWORD>(s), kStageStates[k], static_cast<DWORD>(v));
            cache.Words[k] = v;
        }
    }
    return 0;
}

// Byte ranges of the drawing state and of the device record that a derivation
// reads or leaves behind, kept whole so that they compare as a few wide words;
// a neighbour caught in a range only makes the memo miss more often.
template <class T>
struct ByteRange {
    std::size_t begin, end;
    const unsigned char* In(const T& t) const { return reinterpret_cast<const unsigned char*>(&t) + begin; }
};
constexpr ByteRange<DRAWSTATE> kDrawRange{offsetof(DRAWSTATE, DepthEnable), offsetof(DRAWSTATE, DrawBright) + 4};
constexpr ByteRange<D3DDEVREC> kPendingRange{offsetof(D3DDEVREC, PendingTexture), offsetof(D3DDEVREC, Force) + 4};
constexpr ByteRange<D3DDEVREC> kCachedRange{offsetof(D3DDEVREC, ZEnable), offsetof(D3DDEVREC, ColorKeyEnable) + 4};

// What a derivation read and what it left in the record; an identical next
// draw has nothing to send. Most draws repeat the last one, so checking this
// is the whole cost of a draw's state.
struct PrepareMemo {
    const D3DDEVREC* record = nullptr;
    IDirectDrawSurface7* texture = nullptr;
    IDirectDrawSurface7* stage0 = nullptr;
    DWORD flags = 0;
    int forceVertexAlpha = 0, filterMode = 0;
    BYTE alphaCh = 0, alphaTest = 0;
    unsigned char draw[kDrawRange.end - kDrawRange.begin] = {};
    unsigned char pending[kPendingRange.end - kPendingRange.begin] = {};
    unsigned char cached[kCachedRange.end - kCachedRange.begin] = {};

    void Take(const D3DDEVREC* r, const IMGSURFREC* is, DWORD f)
    {
        record = r;
        texture = is != nullptr ? is->Surface : nullptr;
        alphaCh = is != nullptr ? is->Format.AlphaChFlag : 0;
        alphaTest = is != nullptr ? is->Format.AlphaTestFlag : 0;
        flags = f;
        forceVertexAlpha = DrawState.ForceVertexAlpha;
        std::memcpy(draw, kDrawRange.In(DrawState), sizeof draw);
        TakeRecord(r);
    }
    void TakeRecord(const D3DDEVREC* r)
    {
        stage0 = r->Stages[0].Texture;
        filterMode = r->FilterMode;
        std::memcpy(pending, kPendingRange.In(*r), sizeof pending);
        std::memcpy(cached, kCachedRange.In(*r), sizeof cached);
    }
    bool Matches(const D3DDEVREC* r, const IMGSURFREC* is, DWORD f) const
    {
        if (record != r || flags != f || forceVertexAlpha != DrawState.ForceVertexAlpha) return false;
        if (is != nullptr ? (texture != is->Surface || alphaCh != is->Format.AlphaChFlag ||
                             alphaTest != is->Format.AlphaTestFlag)
                          : (texture != nullptr || alphaCh != 0 || alphaTest != 0))
            return false;
        return stage0 == r->Stages[0].Texture && filterMode == r->FilterMode &&
               std::memcmp(draw, kDrawRange.In(DrawState), sizeof draw) == 0 &&
               std::memcmp(pending, kPendingRange.In(*r), sizeof pending) == 0 &&
               std::memcmp(cached, kCachedRange.In(*r), sizeof cached) == 0;
    }
};
PrepareMemo g_lastPrepare;

} // namespace

void ForgetPreparedDraw()
{
    g_lastPrepare = PrepareMemo{};
}

namespace {

void PrepareDrawOnce(D3DDEVREC* r, const IMGSURFREC* is, DWORD flags);

} // namespace

void G_D3D_PrepareDraw(const SURF3DREC* piece, DWORD flags)
{
    G_D3D_PrepareDrawOf(piece != nullptr ? GetImageSurfaceRecord(piece->ImageSurface) : nullptr, flags);
}

void G_D3D_PrepareDrawOf(const IMGSURFREC* image, DWORD flags)
{
    D3DDEVREC* r = D3DDeviceRecord(D3DState.CurrentDevice);
    if (r == nullptr || r->Device == nullptr) return;
    if (r->Force == 0 && g_lastPrepare.Matches(r, image, flags)) return;
    PrepareDrawOnce(r, image, flags);
    g_lastPrepare.Take(r, image, flags);
}

namespace {

void PrepareDrawOnce(D3DDEVREC* r, const IMGSURFREC* is, DWORD flags)
{
    const int device = D3DState.CurrentDevice;
    const DRAWSTATE& d = DrawState;
    const DWORD lighting = (flags & D3DDRAW_LIGHTING) ? 1 : 0;
    if (lighting != r->Lighting || r->Force != 0) {
        G_D3D_FlushVertexBatch(device);
        r->Device->SetRenderState(D3DRENDERSTATE_LIGHTING, lighting);
        r->Lighting = lighting;
    }
    if ((flags & D3DDRAW_KEEPSTATE) == 0) {
        int alphaChannel = 0, alphaTest = 0, colorKey = 0;
        IDirectDrawSurface7* texture = nullptr;
        if (is != nullptr) {
            texture = is->Surface;
            if (flags & D3DDRAW_TRANS) {
                if (is->Format.AlphaChFlag == 0 && is->Format.AlphaTestFlag == 0) {
                    colorKey = 1;
                } else if ((d.BlendMode != 0 && d.BlendMode != 8) ||
                           ((flags & D3DDRAW_KEEPALPHATEST) == 0 && d.TextureFilter == 1)) {
                    alphaChannel = 1;
                } else {
                    alphaChannel = is->Format.AlphaChFlag;
                    alphaTest = is->Format.AlphaTestFlag;
                }
            }
        }
        const int modColor = ((flags & D3DDRAW_MODCOLOR) || !IsDrawBrightWhite(d.DrawBright)) ? 1 : 0;
        const bool gated = (flags & D3DDRAW_TRANS) != 0 && BlendRowOf(d.BlendMode).gate;
        const int modAlpha =
            ((flags & D3DDRAW_MODALPHA) || (d.BlendMode != 0 && !gated) || d.ForceVertexAlpha != 0) ? 1 : 0;
        CachedSetOn(r, device, kTexturePerspective, (flags & D3DDRAW_PERSPECTIVE) ? 1 : 0);
        SetModulateOn(r, &D3DDEVREC::ModulateColor, modColor);
        SetModulateOn(r, &D3DDEVREC::ModulateAlpha, modAlpha);
        SetTextureOn(r, texture);
        SetBlendStateOn(r, d.BlendMode, alphaChannel, alphaTest);
        if (r->StateDirty != 0 || r->TextureDirty != 0) CommitDrawStateOn(r, device);
        CachedSetOn(r, device, kColorKeyEnable, static_cast<DWORD>(colorKey));
    }
    CachedSetOn(r, device, kShadeMode, (flags & D3DDRAW_GOURAUD) ? D3DSHADE_GOURAUD : D3DSHADE_FLAT);
    SetTextureFilterOn(r, device, d.TextureFilter == 1 ? 1 : 0);
    SetCullModeOn(r, device, static_cast<DWORD>(d.CullMode));
    if (flags & D3DDRAW_DEPTH) {
        SetZEnableOn(r, device, static_cast<DWORD>(d.DepthEnable));
        CachedSetOn(r, device, kZWrite, static_cast<DWORD>(d.DepthWrite));
        CachedSetOn(r, device, kZFunc, static_cast<DWORD>(d.DepthFunc));
        CachedSetOn(r, device, kZBias, static_cast<DWORD>(d.DepthBias));
    } else if (r->ZEnable != 0) {
        SetZEnableOn(r, device, 0);
    }
    if (flags & D3DDRAW_FOG) {
        CachedSetOn(r, device, kFogEnable, static_cast<DWORD>(d.FogEnable));
    } else if (r->FogEnable != 0) {
        CachedSetOn(r, device, kFogEnable, 0);
    }
}

} // namespace

int G_D3D_SetTextureFilter(int device, int mode)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    return r != nullptr ? SetTextureFilterOn(r, device, mode) : -1;
}

namespace {

int SetTextureFilterOn(D3DDEVREC* r, int device, int mode)
{
    if (mode != 0 && mode != 1) return -1;
    const int value = mode == 0 ? 1 : 2;
    for (int s = 0; s < r->StagesInUse && s < 8; ++s) {
        if (r->MagFilter[s] != value || r->Force != 0) {
            G_D3D_FlushVertexBatch(device);
            r->Device->SetTextureStageState(static_cast<DWORD>(s), D3DTSS_MAGFILTER, static_cast<DWORD>(value));
            r->MagFilter[s] = value;
        }
        if (r->MinFilter[s] != value || r->Force != 0) {
            G_D3D_FlushVertexBatch(device);
            r->Device->SetTextureStageState(static_cast<DWORD>(s), D3DTSS_MINFILTER, static_cast<DWORD>(value));
            r->MinFilter[s] = value;
        }
    }
    r->FilterMode = mode;
    return 0;
}

} // namespace

int G_D3D_SetDrawFilterMode(int mode)
{
    if (D3DState.Direct3D == nullptr) return -1;
    G_D3D_SetTextureFilter(D3DState.CurrentDevice, mode);
    return 0;
}

int G_D3D_ResetRenderStates(int device)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    if (r == nullptr || r->Device == nullptr) return -1;
    G_D3D_FlushVertexBatch(device);
    IDirect3DDevice7* dev = r->Device;
    static const DWORD kCoordIndex[4] = {0, 1, 1, 0};
    for (DWORD s = 0; s < 4; ++s) {
        dev->SetTextureStageState(s, D3DTSS_ADDRESS, r->AddressMode);
        dev->SetTextureStageState(s, D3DTSS_TEXCOORDINDEX, kCoordIndex[s]);
    }
    dev->SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, r->TexturePerspective);
    dev->SetRenderState(D3DRENDERSTATE_SHADEMODE, r->ShadeMode);
    dev->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, r->ColorKeyEnable);
    dev->SetRenderState(D3DRENDERSTATE_LIGHTING, r->Lighting);
    dev->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    dev->SetRenderState(D3DRENDERSTATE_DITHERENABLE, FALSE);
    return 0;
}

int G_D3D_ApplyStageStates(int device)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    if (r == nullptr || r->Device == nullptr) return -1;
    r->Force = 1;
    if (r->CurrentTarget != nullptr && r->Viewport.dwWidth != 0) G_D3D_SetViewport(&r->Viewport, device);
    const DWORD key = r->ColorKeyEnable;
    G_D3D_SetColorKeyEnable(device, key);
    G_D3D_SetColorKeyEnable(device, 0);
    G_D3D_ResetRenderStates(device);
    G_D3D_SetTextureFilter(device, r->FilterMode);
    G_D3D_CommitDrawState(device);
    G_D3D_SetZEnable(device, r->ZEnable);
    G_D3D_SetZWriteEnable(device, r->ZWrite);
    G_D3D_SetZFunc(device, r->ZFunc);
    G_D3D_SetZBias(device, r->ZBias);
    G_D3D_SetCullMode(device, r->CullFlag);
    G_D3D_SetTexturePerspective(device, r->TexturePerspective);
    G_D3D_SetShadeMode(device, r->ShadeMode);
    r->Force = 0;
    return 0;
}

int G_D3D_UpdateDiffuseColor()
{
    const DRAWSTATE& d = DrawState;
    const DWORD a = (d.BlendMode != 0 || d.ForceVertexAlpha != 0) ? static_cast<DWORD>(d.BlendParam & 0xFF) : 255u;
    D3DState.DiffuseColor = (a << 24) | (d.DrawBright & 0xFFFFFF);
    return 0;
}

int G_D3D_SetBlendGraphTexture(int graph, int borderParam, int borderRange)
{
    const int device = D3DState.CurrentDevice;
    const GRAPHREC* g = graph >= 0 ? GetGraphRecord(graph) : nullptr;
    if (g != nullptr) {
        const SURF3DREC* piece = g->SurfaceCount > 0 ? G_D3D_GetSurface3DData(g->Surfaces[0]) : nullptr;
        if (piece == nullptr) return -1;
        const IMGSURFREC* is = GetImageSurfaceRecord(piece->ImageSurface);
        if (is == nullptr) return -1;
        G_D3D_SetSecondTexture(device, is->Surface, borderParam, borderRange);
        D3DState.BlendWidth = is->Width;
        D3DState.BlendHeight = is->Height;
        D3DState.BlendWidthInv = 1.0f / is->Width;
        D3DState.BlendHeightInv = 1.0f / is->Height;
        return 0;
    }
    D3DDEVREC* r = D3DDeviceRecord(device);
    if (r == nullptr) return 0;
    if (r->PendingBlendTexture != nullptr || r->Force != 0) {
        G_D3D_FlushVertexBatch(device);
        r->PendingBlendTexture = nullptr;
        if (borderParam != -1) r->BorderParam = borderParam;
        if (borderRange != -1) r->BorderRange = borderRange;
        r->StateDirty = 1;
    }
    return 0;
}

int G_D3D_SetViewport(const D3DVIEWPORT7* viewport, int device)
{
    D3DDEVREC* r = D3DDeviceRecord(device);
    if (r == nullptr || r->Device == nullptr || r->CurrentTarget == nullptr) return -1;
    if (r->Force == 0 && viewport->dwX == r->Viewport.dwX && viewport->dwY == r->Viewport.dwY &&
        viewport->dwWidth == r->Viewport.dwWidth && viewport->dwHeight == r->Viewport.dwHeight)
        return 0;
    G_D3D_FlushVertexBatch(device);
    G_D3D_EndScene(device);
    D3DVIEWPORT7 copy = *viewport;
    const HRESULT hr = r->Device->SetViewport(&copy);
    if (FAILED(hr)) {
        WriteLogFormat("ビューポートのセットに失敗しました ErrorCode %x\n", static_cast<unsigned>(hr));
        return -1;
    }
    r->Viewport = copy;
    return 0;
}

int G_D3D_SetViewportFromDrawArea(const RECT* area)
{
    if (D3DState.Direct3D == nullptr) return -1;
    if (D3DState.DeviceUnusable != 0) return 0;
    if (area->right == area->left || area->bottom == area->top) return -1;
    D3DVIEWPORT7 v{};
    v.dwX = static_cast<DWORD>(area->left + DrawState.TargetScreenRect.left);
    v.dwY = static_cast<DWORD>(area->top + DrawState.TargetScreenRect.top);
    v.dwWidth = static_cast<DWORD>(area->right - area->left);
    v.dwHeight = static_cast<DWORD>(area->bottom - area->top);
    v.dvMinZ = 0.0f;
    v.dvMaxZ = 1.0f;
    return G_D3D_SetViewport(&v, D3DState.CurrentDevice);
}
