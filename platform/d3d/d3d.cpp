// The Direct3D 7 object and its one software device: enumeration, state
// store with value checks, render targets, the pixel layouts of the surfaces
// it locks (through the DirectDraw layer's device lock), vertex fetch and
// primitive assembly. The pixels are drawn by raster.cpp.
#include "platform/d3d/d3d.h"

#include <cstring>
#include <deque>
#include <mutex>

#include "platform/d3d/d3d_test.h"
#include "platform/d3d/raster.h"
#include "platform/ddraw/ddraw_test.h"

const IID IID_IDirect3DTnLHalDevice = {0x5a41d3d0, 0x0007, 0x4d44, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x54, 0x4e, 0x4c}};
const IID IID_IDirect3DHALDevice = {0x5a41d3d0, 0x0007, 0x4d44, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x48, 0x41, 0x4c}};

namespace {

using namespace d3dsoft;

int g_reportDevice = 1;
long long g_drawCalls = 0;

DDPIXELFORMAT Format(DWORD bits, DWORD a, DWORD r, DWORD g, DWORD b)
{
    DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB | (a != 0 ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}

// Offered in this order: the first 16-bit format without alpha is the one
// most screens share.
const DDPIXELFORMAT kTextureFormats[] = {
    Format(16, 0, 0xF800, 0x07E0, 0x001F),
    Format(32, 0, 0xFF0000, 0x00FF00, 0x0000FF),
    Format(16, 0xF000, 0x0F00, 0x00F0, 0x000F),
    Format(32, 0xFF000000, 0xFF0000, 0x00FF00, 0x0000FF),
    Format(16, 0x8000, 0x7C00, 0x03E0, 0x001F),
};

D3DDEVICEDESC7 DeviceDescription()
{
    D3DDEVICEDESC7 d{};
    d.dwDevCaps = 0;
    d.dpcTriCaps.dwSize = sizeof d.dpcTriCaps;
    d.dpcTriCaps.dwTextureCaps = D3DPTEXTURECAPS_POW2;
    d.dpcLineCaps = d.dpcTriCaps;
    d.dwDeviceRenderBitDepth = DDBD_16 | DDBD_32;
    d.dwDeviceZBufferBitDepth = DDBD_16;
    d.dwMinTextureWidth = 1;
    d.dwMinTextureHeight = 1;
    d.dwMaxTextureWidth = 2048;
    d.dwMaxTextureHeight = 2048;
    d.wMaxTextureBlendStages = 8;
    d.wMaxSimultaneousTextures = 8;
    d.deviceGUID = IID_IDirect3DTnLHalDevice;
    return d;
}

bool ValidRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    switch (state) {
    case D3DRENDERSTATE_ZENABLE: return value <= 2;
    case D3DRENDERSTATE_SHADEMODE: return value >= 1 && value <= 3;
    case D3DRENDERSTATE_CULLMODE: return value >= 1 && value <= 3;
    case D3DRENDERSTATE_ZFUNC:
    case D3DRENDERSTATE_ALPHAFUNC: return value >= D3DCMP_NEVER && value <= D3DCMP_ALWAYS;
    case D3DRENDERSTATE_SRCBLEND:
    case D3DRENDERSTATE_DESTBLEND: return value >= D3DBLEND_ZERO && value <= D3DBLEND_INVDESTCOLOR;
    case D3DRENDERSTATE_ALPHAREF: return value <= 0xFF;
    case D3DRENDERSTATE_ZBIAS: return value <= 16;
    case D3DRENDERSTATE_DIFFUSEMATERIALSOURCE:
    case D3DRENDERSTATE_SPECULARMATERIALSOURCE: return value <= 2;
    case D3DRENDERSTATE_TEXTUREPERSPECTIVE:
    case D3DRENDERSTATE_ZWRITEENABLE:
    case D3DRENDERSTATE_ALPHATESTENABLE:
    case D3DRENDERSTATE_DITHERENABLE:
    case D3DRENDERSTATE_ALPHABLENDENABLE:
    case D3DRENDERSTATE_FOGENABLE:
    case D3DRENDERSTATE_SPECULARENABLE:
    case D3DRENDERSTATE_COLORKEYENABLE:
    case D3DRENDERSTATE_LIGHTING:
    case D3DRENDERSTATE_COLORKEYBLENDENABLE: return value <= 1;
    case D3DRENDERSTATE_TEXTUREFACTOR: return true;
    default: return false;
    }
}

bool ValidOperation(DWORD op)
{
    switch (op) {
    case D3DTOP_DISABLE:
    case D3DTOP_SELECTARG1:
    case D3DTOP_SELECTARG2:
    case D3DTOP_MODULATE:
    case D3DTOP_MODULATE2X:
    case D3DTOP_MODULATE4X:
    case D3DTOP_ADD:
    case D3DTOP_SUBTRACT:
    case D3DTOP_BLENDDIFFUSEALPHA:
    case D3DTOP_BLENDCURRENTALPHA: return true;
    default: return false;
    }
}

bool ValidArgument(DWORD arg)
{
    return (arg & 0xF) <= D3DTA_SPECULAR && (arg & ~0x3Fu) == 0;
}

// A pixel format as the rasteriser reads it, made once per distinct format
// and kept for the process, as the 16-bit decode tables it points to are.
struct Layout {
    DDPIXELFORMAT format;
    PixelView view;  // the layout fields only
    bool usable;
};

// Up to this many distinct formats are kept; past it a surface's format is
// read again at every lock.
constexpr std::size_t kMaxLayouts = 64;

// What Take fills in a zeroed view from a format: the rasteriser's reading, or
// for a 16-bit depth surface one channel read and written raw.
const Layout* LayoutOf(const DDPIXELFORMAT& format, Layout* scratch)
{
    // Only a surface's first lock comes here; devices on other threads may too.
    static std::mutex lock;
    static std::deque<Layout> known;
    const std::lock_guard<std::mutex> hold(lock);
    for (const Layout& l : known)
        if (std::memcmp(&l.format, &format, sizeof format) == 0) return &l;
    Layout* l = known.size() < kMaxLayouts ? &known.emplace_back() : scratch;
    l->format = format;
    l->view = PixelView{};
    l->usable = DescribeFormat(format, &l->view);
    if (!l->usable && (format.dwFlags & DDPF_ZBUFFER)) {
        l->view.bytes = 2;
        l->usable = true;
    }
    return l;
}

// The surfaces one draw holds locked; all unlocked when it ends.
class Locks {
public:
    Locks() = default;
    Locks(const Locks&) = delete;
    Locks& operator=(const Locks&) = delete;
    ~Locks()
    {
        for (int i = 0; i < count_; ++i) held_[i]->Unlock(nullptr);
    }
    // Locks a surface and fills every field of the view; false leaves the view
    // unspecified.
    bool Take(IDirectDrawSurface7* surface, PixelView* view)
    {
        DirectDrawDeviceLock lock;
        const HRESULT hr = LockDirectDrawSurfaceForDevice(surface, &lock);
        if (hr == E_NOINTERFACE) return TakeForeign(surface, view);
        if (hr != DD_OK) return false;
        held_[count_++] = surface;
        if (lock.pixels == nullptr) return false;
        const auto* layout = static_cast<const Layout*>(*lock.layout);
        if (layout == nullptr) {
            Layout scratch;
            layout = LayoutOf(*lock.format, &scratch);
            if (layout == &scratch) return Fill(scratch, lock, view);
            *lock.layout = layout;
        }
        return Fill(*layout, lock, view);
    }

private:
    static bool Fill(const Layout& layout, const DirectDrawDeviceLock& lock, PixelView* view)
    {
        if (!layout.usable) return false;
        *view = layout.view;
        view->pixels = lock.pixels;
        view->pitch = lock.pitch;
        view->width = lock.width;
        view->height = lock.height;
        view->hasKey = lock.hasKey;
        view->key = lock.key;
        return true;
    }

    // A surface of another implementation, through its interface.
    [[gnu::noinline]] bool TakeForeign(IDirectDrawSurface7* surface, PixelView* view)
    {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return false;
        held_[count_++] = surface;
        if (desc.lpSurface == nullptr) return false;
        DirectDrawDeviceLock lock;
        lock.pixels = static_cast<std::uint8_t*>(desc.lpSurface);
        lock.pitch = desc.lPitch;
        lock.width = static_cast<int>(desc.dwWidth);
        lock.height = static_cast<int>(desc.dwHeight);
        DDCOLORKEY key{};
        lock.hasKey = surface->GetColorKey(DDCKEY_SRCBLT, &key) == DD_OK;
        lock.key = key.dwColorSpaceLowValue;
        Layout scratch;
        return Fill(*LayoutOf(desc.ddpfPixelFormat, &scratch), lock, view);
    }

    IDirectDrawSurface7* held_[10];  // the first count_ are locked
    int count_ = 0;
};

// Reads the vertices of one of the three formats the device draws: 0x44
// position and colour, 0x144 with one texture, 0x2C4 with specular and two.
// INDEXED: vertex i is the one indices[i] names, else the i-th.
template <DWORD FVF, bool INDEXED>
struct VertexReader {
    static constexpr std::size_t kStride = FVF == 0x44 ? 20 : FVF == 0x144 ? 28 : 40;
    const std::uint8_t* base;
    const WORD* indices;

    const std::uint8_t* At(DWORD i) const
    {
        if constexpr (INDEXED) return base + static_cast<std::size_t>(indices[i]) * kStride;
        return base + static_cast<std::size_t>(i) * kStride;
    }
    void Read(DWORD i, Vertex* v) const
    {
        const std::uint8_t* p = At(i);
        float f[3];
        std::memcpy(f, p, sizeof f);
        v->x = f[0];
        v->y = f[1];
        v->z = f[2];
        std::memcpy(v->diffuse, p + 16, 4);
        v->u[1] = v->v[1] = 0.0f;
        if constexpr (FVF == 0x44) {
            std::memset(v->specular, 0xFF, 4);
            v->u[0] = v->v[0] = 0.0f;
        } else if constexpr (FVF == 0x144) {
            std::memset(v->specular, 0xFF, 4);
            std::memcpy(&v->u[0], p + 20, 4);
            std::memcpy(&v->v[0], p + 24, 4);
        } else {
            std::memcpy(v->specular, p + 20, 4);
            std::memcpy(&v->u[0], p + 24, 4);
            std::memcpy(&v->v[0], p + 28, 4);
            std::memcpy(&v->u[1], p + 32, 4);
            std::memcpy(&v->v[1], p + 36, 4);
        }
    }
};

// Three positions on one vertical or horizontal line snap to one line too:
// such a triangle has no area and is dropped before it is fetched whole.
bool OnOneAxis(const std::uint8_t* p, const std::uint8_t* q, const std::uint8_t* r)
{
    float a[2], b[2], c[2];
    std::memcpy(a, p, sizeof a);
    std::memcpy(b, q, sizeof b);
    std::memcpy(c, r, sizeof c);
    return (a[0] == b[0] && b[0] == c[0]) || (a[1] == b[1] && b[1] == c[1]);
}

template <class READER>
void Assemble(const DrawContext& c, D3DPRIMITIVETYPE type, const READER& in, DWORD count)
{
    Vertex a, b, d;
    switch (type) {
    case D3DPT_POINTLIST:
        for (DWORD i = 0; i < count; ++i) {
            in.Read(i, &a);
            DrawPoint(c, a);
        }
        break;
    case D3DPT_LINELIST:
    case D3DPT_LINESTRIP:
        for (DWORD i = 0; i + 1 < count; i += (type == D3DPT_LINELIST ? 2 : 1)) {
            in.Read(i, &a);
            in.Read(i + 1, &b);
            DrawLine(c, a, b);
        }
        break;
    case D3DPT_TRIANGLELIST: {
        // q[0..2] hold the triangle at i when `ahead` says so: read for a
        // rectangle that turned out not to be one.
        Vertex q[6];
        bool ahead = false;
        for (DWORD i = 0; i + 2 < count; i += 3) {
            // Checked first: a rectangle's first half on one axis makes it no rectangle,
            // and the many quads clamped flat at the area's edge then cost no fetch.
            if (OnOneAxis(in.At(i), in.At(i + 1), in.At(i + 2))) {
                CountRejected();
                ahead = false;
                continue;
            }
            if (!ahead)
                for (DWORD k = 0; k < 3; ++k) in.Read(i + k, &q[k]);
            ahead = false;
            if (i + 5 < count) {
                for (DWORD k = 3; k < 6; ++k) in.Read(i + k, &q[k]);
                if (DrawRectangle(c, q, q + 3)) {
                    i += 3;
                    continue;
                }
                DrawTriangle(c, q[0], q[1], q[2]);
                std::memcpy(static_cast<void*>(q), q + 3, 3 * sizeof q[0]);
                ahead = true;
                continue;
            }
            DrawTriangle(c, q[0], q[1], q[2]);
        }
        break;
    }
    case D3DPT_TRIANGLESTRIP:
        for (DWORD i = 0; i + 2 < count; ++i) {
            in.Read(i, &a);
            // Every other triangle of a strip keeps its winding by trading
            // its last two vertices; the first still gives the flat colour.
            in.Read(i + 1 + (i & 1), &b);
            in.Read(i + 2 - (i & 1), &d);
            DrawTriangle(c, a, b, d);
        }
        break;
    case D3DPT_TRIANGLEFAN:
        in.Read(0, &a);
        for (DWORD i = 1; i + 1 < count; ++i) {
            in.Read(i, &b);
            in.Read(i + 1, &d);
            DrawTriangle(c, b, d, a);
        }
        break;
    }
}

class Device final : public RefCounted<IDirect3DDevice7> {
public:
    explicit Device(IDirectDrawSurface7* target) : target_(target)
    {
        target_->AddRef();
        std::memset(rs_, 0, sizeof rs_);
        // The states a fresh device starts with.
        rs_[D3DRENDERSTATE_ZENABLE] = 0;
        rs_[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
        rs_[D3DRENDERSTATE_ZWRITEENABLE] = 1;
        rs_[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
        rs_[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
        rs_[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
        rs_[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
        rs_[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
        rs_[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = 1;
        rs_[D3DRENDERSTATE_LIGHTING] = 1;
        rs_[D3DRENDERSTATE_TEXTUREFACTOR] = 0xFFFFFFFF;
        rs_[D3DRENDERSTATE_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
        rs_[D3DRENDERSTATE_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
        stages_[0].colorOp = D3DTOP_MODULATE;
        stages_[0].alphaOp = D3DTOP_SELECTARG1;
        for (int s = 0; s < 8; ++s) stages_[s].texCoordIndex = static_cast<DWORD>(s);
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        target_->GetSurfaceDesc(&desc);
        viewport_ = D3DVIEWPORT7{0, 0, desc.dwWidth, desc.dwHeight, 0.0f, 1.0f};
    }
    ~Device() override
    {
        for (Stage& s : stages_)
            if (s.texture != nullptr) s.texture->Release();
        target_->Release();
    }

    HRESULT QueryInterface(REFIID, void** out) override
    {
        if (out != nullptr) *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override
    {
        if (callback == nullptr) return D3DERR_INVALIDCALL;
        for (const DDPIXELFORMAT& f : kTextureFormats) {
            DDPIXELFORMAT copy = f;
            if (callback(&copy, context) == D3DENUMRET_CANCEL) break;
        }
        return D3D_OK;
    }

    HRESULT BeginScene() override { return D3D_OK; }
    HRESULT EndScene() override { return D3D_OK; }

    HRESULT SetRenderTarget(IDirectDrawSurface7* surface, DWORD) override
    {
        if (surface == nullptr) return D3DERR_INVALIDCALL;
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (surface->GetSurfaceDesc(&desc) != DD_OK) return D3DERR_INVALIDCALL;
        PixelView probe;
        if (!DescribeFormat(desc.ddpfPixelFormat, &probe)) return D3DERR_INVALIDCALL;
        surface->AddRef();
        target_->Release();
        // The viewport stays as set; draws clip it to the new target's size.
        target_ = surface;
        return D3D_OK;
    }

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override
    {
        if (matrix == nullptr || state < D3DTRANSFORMSTATE_WORLD || state > D3DTRANSFORMSTATE_WORLD3)
            return D3DERR_INVALIDCALL;
        transforms_[state] = *matrix;
        return D3D_OK;
    }

    HRESULT SetViewport(D3DVIEWPORT7* viewport) override
    {
        if (viewport == nullptr) return D3DERR_INVALIDCALL;
        const unsigned long long right = static_cast<unsigned long long>(viewport->dwX) + viewport->dwWidth;
        const unsigned long long bottom = static_cast<unsigned long long>(viewport->dwY) + viewport->dwHeight;
        if (viewport->dwWidth == 0 || viewport->dwHeight == 0 || right > 0x7FFFFFFF || bottom > 0x7FFFFFFF)
            return D3DERR_INVALIDCALL;
        viewport_ = *viewport;
        return D3D_OK;
    }

    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override
    {
        if (!ValidRenderState(state, value)) return D3DERR_INVALIDCALL;
        rs_[state] = value;
        return D3D_OK;
    }

    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override
    {
        if (value == nullptr || static_cast<DWORD>(state) >= 256) return D3DERR_INVALIDCALL;
        *value = rs_[state];
        return D3D_OK;
    }

    HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture) override
    {
        if (stage >= 8) return D3DERR_INVALIDCALL;
        if (texture != nullptr) texture->AddRef();
        if (stages_[stage].texture != nullptr) stages_[stage].texture->Release();
        stages_[stage].texture = texture;
        return D3D_OK;
    }

    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) override
    {
        if (stage >= 8) return D3DERR_INVALIDCALL;
        Stage& s = stages_[stage];
        switch (state) {
        case D3DTSS_COLOROP:
        case D3DTSS_ALPHAOP:
            if (!ValidOperation(value)) return D3DERR_INVALIDCALL;
            (state == D3DTSS_COLOROP ? s.colorOp : s.alphaOp) = value;
            return D3D_OK;
        case D3DTSS_COLORARG1:
        case D3DTSS_COLORARG2:
        case D3DTSS_ALPHAARG1:
        case D3DTSS_ALPHAARG2:
            if (!ValidArgument(value)) return D3DERR_INVALIDCALL;
            (state == D3DTSS_COLORARG1   ? s.colorArg1
             : state == D3DTSS_COLORARG2 ? s.colorArg2
             : state == D3DTSS_ALPHAARG1 ? s.alphaArg1
                                         : s.alphaArg2) = value;
            return D3D_OK;
        case D3DTSS_TEXCOORDINDEX:
            if (value > 7) return D3DERR_INVALIDCALL;
            s.texCoordIndex = value;
            return D3D_OK;
        case D3DTSS_ADDRESS:
            if (value < D3DTADDRESS_WRAP || value > D3DTADDRESS_BORDER) return D3DERR_INVALIDCALL;
            s.address = value;
            return D3D_OK;
        case D3DTSS_MAGFILTER:
            if (value < 1 || value > 5) return D3DERR_INVALIDCALL;
            s.magFilter = value;
            return D3D_OK;
        case D3DTSS_MINFILTER:
        case D3DTSS_MIPFILTER:
            if (value < 1 || value > 3) return D3DERR_INVALIDCALL;
            (state == D3DTSS_MINFILTER ? s.minFilter : s.mipFilter) = value;
            return D3D_OK;
        default: return D3DERR_INVALIDCALL;
        }
    }

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD count, DWORD) override
    {
        return Draw(type, fvf, vertices, count, nullptr, count);
    }

    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD vertexCount, WORD* indices,
                                 DWORD indexCount, DWORD) override
    {
        if (indices == nullptr) return D3DERR_INVALIDCALL;
        for (DWORD i = 0; i < indexCount; ++i)
            if (indices[i] >= vertexCount) return D3DERR_INVALIDCALL;
        return Draw(type, fvf, vertices, vertexCount, indices, indexCount);
    }

    HRESULT Load(IDirectDrawSurface7* dst, POINT* point, IDirectDrawSurface7* src, RECT* rect, DWORD) override
    {
        if (dst == nullptr || src == nullptr) return D3DERR_INVALIDCALL;
        DDSURFACEDESC2 sd{}, dd{};
        sd.dwSize = dd.dwSize = sizeof sd;
        src->GetSurfaceDesc(&sd);
        dst->GetSurfaceDesc(&dd);
        if (std::memcmp(&sd.ddpfPixelFormat, &dd.ddpfPixelFormat, sizeof sd.ddpfPixelFormat) != 0)
            return D3DERR_INVALIDCALL;
        RECT r = rect != nullptr ? *rect : RECT{0, 0, static_cast<LONG>(sd.dwWidth), static_cast<LONG>(sd.dwHeight)};
        POINT p = point != nullptr ? *point : POINT{r.left, r.top};
        return dst->BltFast(static_cast<DWORD>(p.x), static_cast<DWORD>(p.y), src, &r, DDBLTFAST_NOCOLORKEY);
    }

private:
    HRESULT Draw(D3DPRIMITIVETYPE type, DWORD fvf, void* vertices, DWORD, const WORD* indices, DWORD count)
    {
        if ((fvf != 0x44 && fvf != 0x144 && fvf != 0x2C4) || vertices == nullptr || type < D3DPT_POINTLIST ||
            type > D3DPT_TRIANGLEFAN)
            return D3DERR_INVALIDCALL;
        ++g_drawCalls;
        if (count == 0) return D3D_OK;

        // The context is kept between draws; what the last draw filled and
        // this one does not is cleared, so it reads as freshly zeroed. The
        // rasteriser's decision from the last draw's states goes too.
        DrawContext& c = context_;
        c.fastKnown = false;
        for (unsigned live = texturesFilled_; live != 0; live &= live - 1)
            c.textures[__builtin_ctz(live)] = PixelView{};
        texturesFilled_ = 0;
        Locks locks;
        if (!locks.Take(target_, &c.target)) {
            c.target = PixelView{};
            return DDERR_SURFACEBUSY;
        }
        if (depthFilled_) c.depth = PixelView{};
        depthFilled_ = false;
        // The rasteriser reads the depth surface only while depth is enabled.
        if (rs_[D3DRENDERSTATE_ZENABLE] != 0) {
            depthFilled_ = true;
            IDirectDrawSurface7* z = nullptr;
            if (!FindAttachedDepthSurface(target_, &z)) {
                DDSCAPS2 zcaps{DDSCAPS_ZBUFFER, 0, 0, 0};
                if (target_->GetAttachedSurface(&zcaps, &z) == DD_OK && z != nullptr) z->Release();
            }
            if (z != nullptr && !locks.Take(z, &c.depth)) c.depth = PixelView{};
        }
        for (int s = 0; s < 8; ++s) {
            if (stages_[s].colorOp == D3DTOP_DISABLE) break;
            IDirectDrawSurface7* t = stages_[s].texture;
            if (t == nullptr) continue;
            texturesFilled_ |= 1u << s;
            int same = -1;
            for (int q = 0; q < s; ++q)
                if (stages_[q].texture == t && c.textures[q].pixels != nullptr) same = q;
            if (same >= 0) {
                c.textures[s] = c.textures[same];
            } else if (t == target_ || !locks.Take(t, &c.textures[s])) {
                c.textures[s] = PixelView{};
            }
        }
        c.stages = stages_;
        c.renderStates = rs_;
        c.clip = RECT{static_cast<LONG>(viewport_.dwX), static_cast<LONG>(viewport_.dwY),
                      static_cast<LONG>(viewport_.dwX + viewport_.dwWidth),
                      static_cast<LONG>(viewport_.dwY + viewport_.dwHeight)};
        if (c.clip.right > c.target.width) c.clip.right = c.target.width;
        if (c.clip.bottom > c.target.height) c.clip.bottom = c.target.height;

        const auto* base = static_cast<const std::uint8_t*>(vertices);
        if (indices != nullptr) {
            if (fvf == 0x44) Assemble(c, type, VertexReader<0x44, true>{base, indices}, count);
            if (fvf == 0x144) Assemble(c, type, VertexReader<0x144, true>{base, indices}, count);
            if (fvf == 0x2C4) Assemble(c, type, VertexReader<0x2C4, true>{base, indices}, count);
        } else {
            if (fvf == 0x44) Assemble(c, type, VertexReader<0x44, false>{base, nullptr}, count);
            if (fvf == 0x144) Assemble(c, type, VertexReader<0x144, false>{base, nullptr}, count);
            if (fvf == 0x2C4) Assemble(c, type, VertexReader<0x2C4, false>{base, nullptr}, count);
        }
        return D3D_OK;
    }

    IDirectDrawSurface7* target_;
    DWORD rs_[256];
    Stage stages_[8];
    D3DVIEWPORT7 viewport_{};
    D3DMATRIX transforms_[7]{};
    DrawContext context_;
    unsigned texturesFilled_ = 0;  // bit s: context_.textures[s] was written by the last draw
    bool depthFilled_ = false;
};

class Direct3D final : public RefCounted<IDirect3D7> {
public:
    explicit Direct3D(IDirectDraw7* owner) : owner_(owner) { owner_->AddRef(); }
    ~Direct3D() override { owner_->Release(); }

    HRESULT QueryInterface(REFIID, void** out) override
    {
        if (out != nullptr) *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, void* context) override
    {
        if (callback == nullptr) return D3DERR_INVALIDCALL;
        if (g_reportDevice == 0) return D3D_OK;
        D3DDEVICEDESC7 desc = DeviceDescription();
        char description[] = "Software rasteriser over memory surfaces";
        char name[] = "Zarvo T&L HAL";
        callback(description, name, &desc, context);
        return D3D_OK;
    }

    HRESULT EnumZBufferFormats(REFCLSID device, LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override
    {
        if (callback == nullptr) return D3DERR_INVALIDCALL;
        if (!(device == IID_IDirect3DHALDevice) && !(device == IID_IDirect3DTnLHalDevice)) return D3D_OK;
        DDPIXELFORMAT f{};
        f.dwSize = sizeof f;
        f.dwFlags = DDPF_ZBUFFER;
        f.dwZBufferBitDepth = 16;
        f.dwZBitMask = 0xFFFF;
        callback(&f, context);
        return D3D_OK;
    }

    HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface7* target, IDirect3DDevice7** out) override
    {
        if (out == nullptr) return D3DERR_INVALIDCALL;
        *out = nullptr;
        if (target == nullptr || g_reportDevice == 0) return D3DERR_INVALIDCALL;
        if (!(device == IID_IDirect3DHALDevice) && !(device == IID_IDirect3DTnLHalDevice)) return D3DERR_INVALIDCALL;
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (target->GetSurfaceDesc(&desc) != DD_OK) return D3DERR_INVALIDCALL;
        PixelView probe;
        if (!DescribeFormat(desc.ddpfPixelFormat, &probe)) return D3DERR_INVALIDCALL;
        *out = new Device(target);
        return D3D_OK;
    }

private:
    IDirectDraw7* owner_;
};

HRESULT MakeDirect3D(IDirectDraw7* owner, void** out)
{
    *out = static_cast<IDirect3D7*>(new Direct3D(owner));
    return S_OK;
}

} // namespace

void InstallSoftwareDirect3D(int reportDevice)
{
    g_reportDevice = reportDevice != 0 ? 1 : 0;
    SetDirect3DFactory(MakeDirect3D);
}

void RemoveSoftwareDirect3D()
{
    SetDirect3DFactory(nullptr);
}

long long GetDirect3DDrawCallCount()
{
    return g_drawCalls;
}

long long GetDirect3DRejectedTriangleCount()
{
    return g_counters.rejected;
}
