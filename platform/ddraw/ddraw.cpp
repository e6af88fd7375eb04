// Owns the DirectDraw object, its surfaces, clippers and palettes. Surfaces
// are memory buffers; the primary is the virtual display's picture, shown in
// the window after every write into it.
#include "platform/ddraw/ddraw.h"

#include "platform/com/com.h"
#include "platform/ddraw/ddraw_test.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/heap.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <set>
#include <typeinfo>
#include <vector>

const CLSID CLSID_DirectDraw7 = {0x5a41d001, 0x0001, 0x4d44, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x44, 0x07}};
const IID IID_IDirectDraw7 = {0x5a41d001, 0x0002, 0x4d44, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x44, 0x07}};
const IID IID_IDirectDraw = {0x5a41d001, 0x0003, 0x4d44, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x44, 0x01}};
const IID IID_IDirectDrawSurface7 = {0x5a41d001, 0x0005, 0x4d44, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x53, 0x07}};
const IID IID_IDirect3D7 = {0x5a41d001, 0x0004, 0x4d44, {0x5a, 0x41, 0x52, 0x56, 0x4f, 0x44, 0x33, 0x07}};

namespace {

class Surface;

std::set<Surface*> g_surfaces;
DWORD g_cooperativeFlags = 0;
HWND g_cooperativeWindow = nullptr;

// Channel masks a test gave the display's 16- and 32-bit modes (all 0: the usual ones).
DWORD g_modeMasks[2][3] = {};

DDPIXELFORMAT RgbFormat(int bits, bool desktop = false)
{
    DDPIXELFORMAT pf{};
    pf.dwSize = sizeof pf;
    pf.dwRGBBitCount = static_cast<DWORD>(bits);
    const DWORD* masks = bits == 16 ? g_modeMasks[0] : bits == 32 ? g_modeMasks[1] : nullptr;
    if (bits == 8) {
        pf.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
    } else if (!desktop && masks != nullptr && (masks[0] | masks[1] | masks[2]) != 0) {
        pf.dwFlags = DDPF_RGB;
        pf.dwRBitMask = masks[0];
        pf.dwGBitMask = masks[1];
        pf.dwBBitMask = masks[2];
    } else if (bits == 16) {
        pf.dwFlags = DDPF_RGB;
        pf.dwRBitMask = 0xF800;
        pf.dwGBitMask = 0x07E0;
        pf.dwBBitMask = 0x001F;
    } else {
        pf.dwFlags = DDPF_RGB;
        pf.dwRBitMask = 0xFF0000;
        pf.dwGBitMask = 0x00FF00;
        pf.dwBBitMask = 0x0000FF;
    }
    return pf;
}

bool IsExclusive()
{
    return (g_cooperativeFlags & DDSCL_EXCLUSIVE) != 0;
}

bool RectInside(const RECT& r, int w, int h)
{
    return r.left >= 0 && r.top >= 0 && r.right <= w && r.bottom <= h && r.left < r.right && r.top < r.bottom;
}

bool Intersect(RECT& r, const RECT& clip)
{
    r.left = std::max(r.left, clip.left);
    r.top = std::max(r.top, clip.top);
    r.right = std::min(r.right, clip.right);
    r.bottom = std::min(r.bottom, clip.bottom);
    return r.left < r.right && r.top < r.bottom;
}

class Clipper final : public RefCounted<IDirectDrawClipper> {
public:
    HRESULT QueryInterface(REFIID, void** out) override
    {
        if (out != nullptr) *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT SetHWnd(DWORD, HWND window) override
    {
        window_ = window;
        return DD_OK;
    }
    HRESULT GetHWnd(HWND* window) override
    {
        if (window == nullptr) return DDERR_INVALIDPARAMS;
        *window = window_;
        return DD_OK;
    }

private:
    HWND window_ = nullptr;
};

class Palette final : public RefCounted<IDirectDrawPalette> {
public:
    explicit Palette(const PALETTEENTRY* entries)
    {
        if (entries != nullptr) std::memcpy(entries_, entries, sizeof entries_);
    }
    HRESULT QueryInterface(REFIID, void** out) override
    {
        if (out != nullptr) *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT SetEntries(DWORD, DWORD start, DWORD count, const PALETTEENTRY* entries) override
    {
        if (entries == nullptr || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
        std::memcpy(entries_ + start, entries, count * sizeof(PALETTEENTRY));
        return DD_OK;
    }
    HRESULT GetEntries(DWORD, DWORD start, DWORD count, PALETTEENTRY* entries) override
    {
        if (entries == nullptr || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
        std::memcpy(entries, entries_ + start, count * sizeof(PALETTEENTRY));
        return DD_OK;
    }
    const PALETTEENTRY* Entries() const { return entries_; }

private:
    PALETTEENTRY entries_[256]{};
};

class Surface final : public RefCounted<IDirectDrawSurface7> {
public:
    static inline bool primaryAlive = false;

public:
    Surface(int width, int height, const DDPIXELFORMAT& format, DWORD caps, bool windowedPrimary)
        : width_(width), height_(height), format_(format), windowedPrimary_(windowedPrimary)
    {
        caps_.dwCaps = caps;
        bytes_ = static_cast<int>(std::max<DWORD>(format.dwRGBBitCount, 8) / 8);
        if (!windowedPrimary_) {
            pitch_ = (width_ * bytes_ + 3) & ~3;
            memory_ = AllocZeroedHeapArray<std::uint8_t>(static_cast<std::size_t>(pitch_) * height_);
        }
        if (caps & DDSCAPS_PRIMARYSURFACE) primaryAlive = true;
        g_surfaces.insert(this);
    }
    ~Surface() override
    {
        if (caps_.dwCaps & DDSCAPS_PRIMARYSURFACE) primaryAlive = false;
        g_surfaces.erase(this);
        if (dc_ != nullptr) DeleteDC(dc_);
        for (Surface* s : attached_) s->Release();
        if (clipper_ != nullptr) clipper_->Release();
        if (palette_ != nullptr) palette_->Release();
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (!(iid == IID_IDirectDrawSurface7)) return E_NOINTERFACE;
        AddRef();
        *out = static_cast<IDirectDrawSurface7*>(this);
        return DD_OK;
    }

    HRESULT GetCaps(DDSCAPS2* caps) override
    {
        if (caps == nullptr) return DDERR_INVALIDPARAMS;
        *caps = caps_;
        return DD_OK;
    }

    HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override
    {
        if (desc == nullptr) return DDERR_INVALIDPARAMS;
        FillDesc(*desc, nullptr);
        desc->lpSurface = nullptr;
        return DD_OK;
    }

    HRESULT GetPixelFormat(DDPIXELFORMAT* format) override
    {
        if (format == nullptr) return DDERR_INVALIDPARAMS;
        *format = format_;
        return DD_OK;
    }

    HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD, HANDLE) override
    {
        if (desc == nullptr) return DDERR_INVALIDPARAMS;
        if (lost_) return DDERR_SURFACELOST;
        if (locked_ || dc_ != nullptr) return DDERR_SURFACEBUSY;
        RECT r = rect != nullptr ? *rect : RECT{0, 0, width_, height_};
        if (!RectInside(r, width_, height_)) return DDERR_INVALIDRECT;
        FillDesc(*desc, &r);
        locked_ = true;
        return DD_OK;
    }

    HRESULT LockForDevice(DirectDrawDeviceLock* out)
    {
        if (lost_) return DDERR_SURFACELOST;
        if (locked_ || dc_ != nullptr) return DDERR_SURFACEBUSY;
        out->pixels = Pixels();
        out->pitch = Pitch();
        out->width = width_;
        out->height = height_;
        out->format = &format_;
        out->hasKey = hasKey_;
        out->key = hasKey_ ? key_.dwColorSpaceLowValue : 0;
        out->layout = &deviceLayout_;
        locked_ = true;
        return DD_OK;
    }

    IDirectDrawSurface7* AttachedDepth() const
    {
        for (Surface* s : attached_)
            if (s->caps_.dwCaps & DDSCAPS_ZBUFFER) return s;
        return nullptr;
    }

    HRESULT Unlock(RECT*) override
    {
        if (!locked_) return DDERR_NOTLOCKED;
        locked_ = false;
        Shown();
        return DD_OK;
    }

    HRESULT Blt(RECT* dstRect, IDirectDrawSurface7* srcInterface, RECT* srcRect, DWORD flags, DDBLTFX* fx) override
    {
        if (lost_) return DDERR_SURFACELOST;
        if (locked_) return DDERR_SURFACEBUSY;
        RECT d = dstRect != nullptr ? *dstRect : RECT{0, 0, width_, height_};
        if (flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL)) {
            if (fx == nullptr) return DDERR_INVALIDPARAMS;
            if (!ClipDestination(d)) return DD_OK;
            Fill(d, (flags & DDBLT_COLORFILL) ? fx->dwFillColor : fx->dwFillDepth);
            Shown();
            return DD_OK;
        }
        auto* src = static_cast<Surface*>(srcInterface);
        if (src == nullptr) return DDERR_INVALIDPARAMS;
        if (src->lost_) return DDERR_SURFACELOST;
        if (src->locked_ && src != this) return DDERR_SURFACEBUSY;
        if (src->bytes_ != bytes_) return DDERR_INVALIDPIXELFORMAT;
        RECT s = srcRect != nullptr ? *srcRect : RECT{0, 0, src->width_, src->height_};
        if (!RectInside(s, src->width_, src->height_)) return DDERR_INVALIDRECT;
        if (d.left >= d.right || d.top >= d.bottom) return DDERR_INVALIDRECT;
        RECT clipped = d;
        if (!ClipDestination(clipped)) return DD_OK;
        // Nearest-neighbour scaling, sampled from the unclipped mapping so a
        // clipped edge shows the same pixels as an unclipped one.
        const long long dw = d.right - d.left, dh = d.bottom - d.top;
        const long long sw = s.right - s.left, sh = s.bottom - s.top;
        HeapArray<std::uint8_t> copy;
        const std::uint8_t* srcBase = src->Pixels();
        int srcPitch = src->Pitch();
        if (src == this) {
            const std::size_t size = static_cast<std::size_t>(srcPitch) * height_;
            copy = AllocZeroedHeapArray<std::uint8_t>(size);
            if (copy == nullptr) return DDERR_OUTOFMEMORY;
            std::memcpy(copy.get(), srcBase, size);
            srcBase = copy.get();
        }
        std::uint8_t* dstBase = Pixels();
        for (long long y = clipped.top; y < clipped.bottom; ++y) {
            long long sy = s.top + (y - d.top) * sh / dh;
            const std::uint8_t* srow = srcBase + sy * srcPitch;
            std::uint8_t* drow = dstBase + y * Pitch();
            for (long long x = clipped.left; x < clipped.right; ++x) {
                long long sx = s.left + (x - d.left) * sw / dw;
                std::memcpy(drow + x * bytes_, srow + sx * bytes_, bytes_);
            }
        }
        Shown();
        return DD_OK;
    }

    HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* srcInterface, RECT* srcRect, DWORD flags) override
    {
        if (lost_) return DDERR_SURFACELOST;
        if (locked_) return DDERR_SURFACEBUSY;
        auto* src = static_cast<Surface*>(srcInterface);
        if (src == nullptr) return DDERR_INVALIDPARAMS;
        if (src->lost_) return DDERR_SURFACELOST;
        if (src->locked_ && src != this) return DDERR_SURFACEBUSY;
        if (src->bytes_ != bytes_) return DDERR_INVALIDPIXELFORMAT;
        RECT s = srcRect != nullptr ? *srcRect : RECT{0, 0, src->width_, src->height_};
        if (!RectInside(s, src->width_, src->height_)) return DDERR_INVALIDRECT;
        // Clip to this surface; a clipper is not consulted by BltFast.
        long long dx = static_cast<LONG>(x), dy = static_cast<LONG>(y);
        long long w = s.right - s.left, h = s.bottom - s.top;
        if (dx < 0) { s.left -= static_cast<LONG>(dx); w += dx; dx = 0; }
        if (dy < 0) { s.top -= static_cast<LONG>(dy); h += dy; dy = 0; }
        w = std::min<long long>(w, width_ - dx);
        h = std::min<long long>(h, height_ - dy);
        if (w <= 0 || h <= 0) return DD_OK;
        const bool keyed = (flags & DDBLTFAST_SRCCOLORKEY) != 0 && src->hasKey_;
        const std::uint32_t key = src->key_.dwColorSpaceLowValue & src->ValueMask();
        HeapArray<std::uint8_t> copy;
        const std::uint8_t* srcBase = src->Pixels();
        if (src == this) {
            const std::size_t size = static_cast<std::size_t>(Pitch()) * height_;
            copy = AllocZeroedHeapArray<std::uint8_t>(size);
            if (copy == nullptr) return DDERR_OUTOFMEMORY;
            std::memcpy(copy.get(), srcBase, size);
            srcBase = copy.get();
        }
        for (long long row = 0; row < h; ++row) {
            const std::uint8_t* srow = srcBase + (s.top + row) * src->Pitch() + static_cast<long long>(s.left) * bytes_;
            std::uint8_t* drow = Pixels() + (dy + row) * Pitch() + dx * bytes_;
            if (!keyed) {
                std::memmove(drow, srow, static_cast<std::size_t>(w) * bytes_);
                continue;
            }
            for (long long col = 0; col < w; ++col) {
                std::uint32_t v = 0;
                std::memcpy(&v, srow + col * bytes_, bytes_);
                if ((v & src->ValueMask()) != key) std::memcpy(drow + col * bytes_, srow + col * bytes_, bytes_);
            }
        }
        Shown();
        return DD_OK;
    }

    HRESULT Flip(IDirectDrawSurface7*, DWORD flags) override
    {
        if (lost_) return DDERR_SURFACELOST;
        if (!(caps_.dwCaps & DDSCAPS_FLIP) || back_ == nullptr) return DDERR_INVALIDOBJECT;
        if (locked_ || back_->locked_) return DDERR_SURFACEBUSY;
        if (!(flags & DDFLIP_NOVSYNC)) WaitForVerticalBlankBegin();
        std::swap(memory_, back_->memory_);
        Shown();
        return DD_OK;
    }

    HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** out) override
    {
        if (caps == nullptr || out == nullptr) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        for (Surface* s : attached_) {
            if ((s->caps_.dwCaps & caps->dwCaps) == caps->dwCaps) {
                s->AddRef();
                *out = s;
                return DD_OK;
            }
        }
        return DDERR_NOTFOUND;
    }

    HRESULT AddAttachedSurface(IDirectDrawSurface7* surfaceInterface) override
    {
        auto* s = static_cast<Surface*>(surfaceInterface);
        if (s == nullptr || s == this) return DDERR_INVALIDPARAMS;
        if (std::find(attached_.begin(), attached_.end(), s) != attached_.end()) return DDERR_INVALIDPARAMS;
        if ((s->caps_.dwCaps & DDSCAPS_ZBUFFER) && (s->width_ != width_ || s->height_ != height_))
            return DDERR_INVALIDPARAMS;
        s->AddRef();
        attached_.push_back(s);
        return DD_OK;
    }

    HRESULT DeleteAttachedSurface(DWORD, IDirectDrawSurface7* surfaceInterface) override
    {
        auto* s = static_cast<Surface*>(surfaceInterface);
        auto it = std::find(attached_.begin(), attached_.end(), s);
        if (it == attached_.end()) return DDERR_NOTFOUND;
        attached_.erase(it);
        if (s == back_) back_ = nullptr;
        s->Release();
        return DD_OK;
    }

    HRESULT EnumAttachedSurfaces(void* context, LPDDENUMSURFACESCALLBACK7 callback) override
    {
        if (callback == nullptr) return DDERR_INVALIDPARAMS;
        std::vector<Surface*> list = attached_;
        for (Surface* s : list) {
            DDSURFACEDESC2 desc{};
            s->FillDesc(desc, nullptr);
            desc.lpSurface = nullptr;
            if (callback(s, &desc, context) == static_cast<HRESULT>(DDENUMRET_CANCEL)) break;
        }
        return DD_OK;
    }

    HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) override
    {
        if (!(flags & DDCKEY_SRCBLT)) return DDERR_UNSUPPORTED;
        if (key == nullptr) {
            hasKey_ = false;
            return DD_OK;
        }
        key_ = *key;
        hasKey_ = true;
        return DD_OK;
    }

    HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) override
    {
        if (!(flags & DDCKEY_SRCBLT) || key == nullptr) return DDERR_INVALIDPARAMS;
        if (!hasKey_) return DDERR_NOTFOUND;
        *key = key_;
        return DD_OK;
    }

    HRESULT SetClipper(IDirectDrawClipper* clipper) override
    {
        if (clipper != nullptr) clipper->AddRef();
        if (clipper_ != nullptr) clipper_->Release();
        clipper_ = clipper;
        return DD_OK;
    }

    HRESULT SetPalette(IDirectDrawPalette* palette) override
    {
        if (palette != nullptr) palette->AddRef();
        if (palette_ != nullptr) palette_->Release();
        palette_ = palette;
        return DD_OK;
    }

    HRESULT GetPalette(IDirectDrawPalette** palette) override
    {
        if (palette == nullptr) return DDERR_INVALIDPARAMS;
        *palette = palette_;
        if (palette_ == nullptr) return DDERR_NOTFOUND;
        palette_->AddRef();
        return DD_OK;
    }

    HRESULT IsLost() override { return lost_ ? DDERR_SURFACELOST : DD_OK; }

    HRESULT Restore() override
    {
        lost_ = false;
        return DD_OK;
    }

    HRESULT GetDC(HDC* dc) override
    {
        if (dc == nullptr) return DDERR_INVALIDPARAMS;
        *dc = nullptr;
        if (lost_) return DDERR_SURFACELOST;
        if (locked_ || dc_ != nullptr) return DDERR_SURFACEBUSY;
        if (caps_.dwCaps & DDSCAPS_ZBUFFER) return DDERR_CANTCREATEDC;
        GdiPixelBuffer buffer{Pixels(), width_, height_, Pitch(), bytes_ * 8,
                              format_.dwRBitMask, format_.dwGBitMask, format_.dwBBitMask, nullptr};
        RGBQUAD quads[256]{};
        if (bytes_ == 1) {
            // A surface without a palette of its own takes the display's, as GDI does.
            IDirectDrawPalette* palette = palette_ != nullptr ? palette_ : DisplayPalette();
            if (palette != nullptr) {
                const PALETTEENTRY* e = static_cast<Palette*>(palette)->Entries();
                for (int i = 0; i < 256; ++i) quads[i] = RGBQUAD{e[i].peBlue, e[i].peGreen, e[i].peRed, 0};
            }
            buffer.palette = quads;
        }
        dc_ = CreateBufferDC(buffer);
        if (dc_ == nullptr) return DDERR_CANTCREATEDC;
        *dc = dc_;
        return DD_OK;
    }

    HRESULT ReleaseDC(HDC dc) override
    {
        if (dc == nullptr || dc != dc_) return DDERR_INVALIDPARAMS;
        DeleteDC(dc_);
        dc_ = nullptr;
        Shown();
        return DD_OK;
    }

    void AttachBackBuffer(Surface* back)
    {
        back_ = back;
        attached_.push_back(back);
    }

    void MarkLost()
    {
        lost_ = true;
        // Contents are undefined after a loss: scramble them so restore paths
        // that forget to refill show it.
        std::uint8_t* p = Pixels();
        std::size_t n = static_cast<std::size_t>(Pitch()) * height_;
        for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<std::uint8_t>(0xA5 ^ i);
    }

private:
    static IDirectDrawPalette* DisplayPalette()
    {
        for (Surface* s : g_surfaces)
            if ((s->caps_.dwCaps & DDSCAPS_PRIMARYSURFACE) && s->palette_ != nullptr) return s->palette_;
        return nullptr;
    }

    std::uint8_t* Pixels()
    {
        if (windowedPrimary_) return reinterpret_cast<std::uint8_t*>(GetDesktopPixels());
        return memory_.get();
    }
    int Pitch() const { return windowedPrimary_ ? GetDesktopPitch() : pitch_; }

public:
    // False when the constructor could not get the pixels.
    bool HasPixels() { return Pixels() != nullptr; }

private:

    std::uint32_t ValueMask() const
    {
        return bytes_ >= 4 ? 0xFFFFFFFFu : ((1u << (8 * bytes_)) - 1);
    }

    bool ClipDestination(RECT& r)
    {
        if (!Intersect(r, RECT{0, 0, width_, height_})) return false;
        if (clipper_ != nullptr) {
            if (!Intersect(r, GetDisplayClientRect())) return false;
        }
        return true;
    }

    void Fill(const RECT& r, std::uint32_t value)
    {
        // The first row is filled pixel by pixel, the others copied from it.
        const std::size_t span = static_cast<std::size_t>(r.right - r.left) * bytes_;
        std::uint8_t* first = Pixels() + static_cast<std::ptrdiff_t>(r.top) * Pitch() + static_cast<std::ptrdiff_t>(r.left) * bytes_;
        for (LONG x = r.left; x < r.right; ++x) std::memcpy(first + static_cast<std::ptrdiff_t>(x - r.left) * bytes_, &value, bytes_);
        for (LONG y = r.top + 1; y < r.bottom; ++y) {
            std::memcpy(Pixels() + static_cast<std::ptrdiff_t>(y) * Pitch() + static_cast<std::ptrdiff_t>(r.left) * bytes_, first, span);
        }
    }

    void FillDesc(DDSURFACEDESC2& desc, const RECT* r)
    {
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
        desc.dwWidth = static_cast<DWORD>(width_);
        desc.dwHeight = static_cast<DWORD>(height_);
        desc.lPitch = Pitch();
        desc.ddpfPixelFormat = format_;
        desc.ddsCaps = caps_;
        desc.ddckCKSrcBlt = key_;
        std::uint8_t* p = Pixels();
        if (r != nullptr) p += static_cast<std::ptrdiff_t>(r->top) * Pitch() + static_cast<std::ptrdiff_t>(r->left) * bytes_;
        desc.lpSurface = p;
    }

    // A write into the primary reaches the window at once.
    void Shown()
    {
        if (!(caps_.dwCaps & DDSCAPS_PRIMARYSURFACE)) return;
        if (windowedPrimary_) {
            PresentDesktopClientArea();
        } else {
            const PALETTEENTRY* entries = palette_ != nullptr ? static_cast<Palette*>(palette_)->Entries() : nullptr;
            PresentFullScreenPixels(memory_.get(), pitch_, width_, height_, format_, entries);
        }
    }

    int width_;
    int height_;
    DDPIXELFORMAT format_;
    DDSCAPS2 caps_{};
    bool windowedPrimary_;
    int bytes_ = 4;
    int pitch_ = 0;
    HeapArray<std::uint8_t> memory_;
    bool locked_ = false;
    bool lost_ = false;
    bool hasKey_ = false;
    DDCOLORKEY key_{};
    IDirectDrawClipper* clipper_ = nullptr;
    IDirectDrawPalette* palette_ = nullptr;
    Surface* back_ = nullptr;
    std::vector<Surface*> attached_;
    HDC dc_ = nullptr;
    const void* deviceLayout_ = nullptr;
};

// Null for a surface made by another implementation of the interface.
Surface* OwnSurface(IDirectDrawSurface7* surface)
{
    return surface != nullptr && typeid(*surface) == typeid(Surface) ? static_cast<Surface*>(surface) : nullptr;
}

// Null when the surface's pixels cannot be had.
Surface* NewSurface(int width, int height, const DDPIXELFORMAT& format, DWORD caps, bool windowedPrimary)
{
    auto* made = new (std::nothrow) Surface(width, height, format, caps, windowedPrimary);
    if (made != nullptr && !made->HasPixels()) {
        made->Release();
        made = nullptr;
    }
    return made;
}

class DirectDraw final : public RefCounted<IDirectDraw7> {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (iid == IID_IDirectDraw7) {
            AddRef();
            *out = static_cast<IDirectDraw7*>(this);
            return DD_OK;
        }
        if (iid == IID_IDirect3D7 && g_direct3DFactory != nullptr) return g_direct3DFactory(this, out);
        // No first-version interface: the overlay probe has no overlays to find.
        return E_NOINTERFACE;
    }

    HRESULT Initialize(GUID* device) override
    {
        if (device != nullptr) return DDERR_INVALIDPARAMS;
        initialized_ = true;
        return DD_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override
    {
        if (!initialized_) return DDERR_NOTINITIALIZED;
        bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
        if (exclusive != ((flags & DDSCL_FULLSCREEN) != 0)) return DDERR_INVALIDPARAMS;
        if (exclusive && IsExclusive() && g_cooperativeWindow == window) return DDERR_EXCLUSIVEMODEALREADYSET;
        // Leaving exclusive mode gives the display back its desktop mode.
        if (!exclusive && IsExclusive() && IsVirtualDisplayModeChanged()) RestoreVirtualDisplayMode();
        g_cooperativeFlags = flags;
        g_cooperativeWindow = window;
        return DD_OK;
    }

    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD) override
    {
        if (!initialized_) return DDERR_NOTINITIALIZED;
        if (!IsExclusive()) return DDERR_INVALIDPARAMS;
        if (width > 16384 || height > 16384) return DDERR_INVALIDMODE;
        DisplayMode mode{static_cast<int>(width), static_cast<int>(height), static_cast<int>(bits), static_cast<int>(refresh)};
        if (!SetVirtualDisplayMode(mode)) return DDERR_INVALIDMODE;
        return DD_OK;
    }

    HRESULT RestoreDisplayMode() override
    {
        RestoreVirtualDisplayMode();
        return DD_OK;
    }

    HRESULT GetDisplayMode(DDSURFACEDESC2* desc) override
    {
        if (desc == nullptr) return DDERR_INVALIDPARAMS;
        DisplayMode mode = GetVirtualDisplayMode();
        std::memset(desc, 0, sizeof *desc);
        desc->dwSize = sizeof *desc;
        desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
        desc->dwWidth = static_cast<DWORD>(mode.width);
        desc->dwHeight = static_cast<DWORD>(mode.height);
        desc->lPitch = mode.width * (mode.bits / 8);
        desc->dwRefreshRate = static_cast<DWORD>(mode.refresh);
        desc->ddpfPixelFormat = RgbFormat(mode.bits, !IsVirtualDisplayModeChanged());
        return DD_OK;
    }

    HRESULT CreateClipper(DWORD, IDirectDrawClipper** out, IUnknown*) override
    {
        if (out == nullptr) return DDERR_INVALIDPARAMS;
        *out = new Clipper();
        return DD_OK;
    }

    HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** out, IUnknown*) override
    {
        if (out == nullptr) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (!(flags & DDPCAPS_8BIT)) return DDERR_UNSUPPORTED;
        *out = new Palette(entries);
        return DD_OK;
    }

    HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** out, IUnknown*) override
    {
        if (desc == nullptr || out == nullptr) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (!initialized_) return DDERR_NOTINITIALIZED;
        if (!(desc->dwFlags & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
        DWORD caps = desc->ddsCaps.dwCaps;
        if (caps & DDSCAPS_OVERLAY) return DDERR_NOOVERLAYHW;
        if (g_failNextSurfaces > 0) {
            --g_failNextSurfaces;
            return DDERR_OUTOFMEMORY;
        }
        // Where a surface lives is only echoed back: video memory when asked,
        // or when neither was asked for.
        if (!(caps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY))) caps |= DDSCAPS_VIDEOMEMORY;
        DisplayMode mode = GetVirtualDisplayMode();

        if (caps & DDSCAPS_PRIMARYSURFACE) {
            if (Surface::primaryAlive) return DDERR_INVALIDPARAMS;
            if (caps & DDSCAPS_FLIP) {
                if (!IsExclusive() || !(desc->dwFlags & DDSD_BACKBUFFERCOUNT) || desc->dwBackBufferCount != 1)
                    return DDERR_INVALIDPARAMS;
                DDPIXELFORMAT pf = RgbFormat(mode.bits);
                Surface* front = NewSurface(mode.width, mode.height, pf, caps | DDSCAPS_FRONTBUFFER, false);
                if (front == nullptr) return DDERR_OUTOFMEMORY;
                DWORD backCaps = (caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER)) | DDSCAPS_BACKBUFFER;
                Surface* back = NewSurface(mode.width, mode.height, pf, backCaps, false);
                if (back == nullptr) {
                    front->Release();
                    return DDERR_OUTOFMEMORY;
                }
                front->AttachBackBuffer(back);
                *out = front;
                return DD_OK;
            }
            if (IsExclusive()) {
                // Full screen without a flip chain: the picture is the mode's own buffer.
                *out = NewSurface(mode.width, mode.height, RgbFormat(mode.bits), caps, false);
                return *out != nullptr ? DD_OK : DDERR_OUTOFMEMORY;
            }
            DisplayMode desktop = GetVirtualDesktopMode();
            *out = NewSurface(desktop.width, desktop.height, RgbFormat(32, true), caps, true);
            return *out != nullptr ? DD_OK : DDERR_OUTOFMEMORY;
        }

        if (!(desc->dwFlags & DDSD_WIDTH) || !(desc->dwFlags & DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
        if (desc->dwWidth == 0 || desc->dwHeight == 0 || desc->dwWidth > 16384 || desc->dwHeight > 16384)
            return DDERR_INVALIDPARAMS;
        DDPIXELFORMAT pf{};
        if (caps & DDSCAPS_ZBUFFER) {
            if (!(desc->dwFlags & DDSD_PIXELFORMAT) || desc->ddpfPixelFormat.dwZBufferBitDepth != 16)
                return DDERR_INVALIDPIXELFORMAT;
            pf = desc->ddpfPixelFormat;
            pf.dwSize = sizeof pf;
        } else if (desc->dwFlags & DDSD_PIXELFORMAT) {
            pf = desc->ddpfPixelFormat;
            DWORD bits = pf.dwRGBBitCount;
            if ((pf.dwFlags & DDPF_FOURCC) || (bits != 8 && bits != 16 && bits != 32)) return DDERR_INVALIDPIXELFORMAT;
            pf.dwSize = sizeof pf;
        } else {
            pf = RgbFormat(mode.bits, !IsVirtualDisplayModeChanged());
        }
        *out = NewSurface(static_cast<int>(desc->dwWidth), static_cast<int>(desc->dwHeight), pf, caps, false);
        return *out != nullptr ? DD_OK : DDERR_OUTOFMEMORY;
    }

    HRESULT WaitForVerticalBlank(DWORD flags, HANDLE) override
    {
        if (!(flags & DDWAITVB_BLOCKBEGIN)) return DDERR_UNSUPPORTED;
        WaitForVerticalBlankBegin();
        return DD_OK;
    }

    HRESULT GetVerticalBlankStatus(BOOL* inBlank) override
    {
        if (inBlank == nullptr) return DDERR_INVALIDPARAMS;
        *inBlank = IsInVerticalBlank() ? TRUE : FALSE;
        return DD_OK;
    }

    HRESULT GetScanLine(DWORD* line) override
    {
        if (line == nullptr) return DDERR_INVALIDPARAMS;
        *line = GetCurrentScanLine();
        return DD_OK;
    }

    HRESULT FlipToGDISurface() override { return DD_OK; }

    HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* helCaps) override
    {
        for (DDCAPS* caps : {driverCaps, helCaps}) {
            if (caps == nullptr) continue;
            std::memset(caps, 0, sizeof *caps);
            caps->dwSize = sizeof *caps;
            caps->dwVidMemTotal = 16u << 20;
            caps->dwVidMemFree = 16u << 20;
        }
        return DD_OK;
    }

    HRESULT GetDeviceIdentifier(DDDEVICEIDENTIFIER2* id, DWORD) override
    {
        if (id == nullptr) return DDERR_INVALIDPARAMS;
        std::memset(id, 0, sizeof *id);
        std::strcpy(id->szDriver, "zarvo-memory");
        std::strcpy(id->szDescription, "Memory surfaces shown in an SDL window");
        id->liDriverVersion.QuadPart = (1LL << 48) | 0;
        return DD_OK;
    }

    HRESULT GetAvailableVidMem(DDSCAPS2*, DWORD* total, DWORD* free) override
    {
        if (total != nullptr) *total = 16u << 20;
        if (free != nullptr) *free = 16u << 20;
        return DD_OK;
    }

private:
    bool initialized_ = false;

public:
    static inline int g_failNextSurfaces = 0;
    static inline Direct3DFactory g_direct3DFactory = nullptr;
};

} // namespace

HRESULT CreateDirectDraw7Object(IDirectDraw7** out)
{
    if (out == nullptr) return DDERR_INVALIDPARAMS;
    *out = new DirectDraw();
    return DD_OK;
}

int GetLiveDirectDrawSurfaceCount()
{
    return static_cast<int>(g_surfaces.size());
}

void MarkAllDirectDrawSurfacesLost()
{
    for (Surface* s : g_surfaces) s->MarkLost();
}

void FailNextDirectDrawSurfaces(int count)
{
    DirectDraw::g_failNextSurfaces = count;
}

void SetDirectDrawModeMasks(int bits, DWORD red, DWORD green, DWORD blue)
{
    if (bits != 16 && bits != 32) return;
    DWORD* m = g_modeMasks[bits == 16 ? 0 : 1];
    m[0] = red;
    m[1] = green;
    m[2] = blue;
}

HRESULT LockDirectDrawSurfaceForDevice(IDirectDrawSurface7* surface, DirectDrawDeviceLock* out)
{
    Surface* own = OwnSurface(surface);
    if (own == nullptr) return E_NOINTERFACE;
    return own->LockForDevice(out);
}

bool FindAttachedDepthSurface(IDirectDrawSurface7* surface, IDirectDrawSurface7** depth)
{
    const Surface* own = OwnSurface(surface);
    if (own == nullptr) return false;
    *depth = own->AttachedDepth();
    return true;
}

void SetDirect3DFactory(Direct3DFactory factory)
{
    DirectDraw::g_direct3DFactory = factory;
}

namespace {

IUnknown* MakeDirectDrawForCom()
{
    IDirectDraw7* object = nullptr;
    CreateDirectDraw7Object(&object);
    return object;
}

// CoCreateInstance(CLSID_DirectDraw7) reaches the factory through COM's class
// registry, whose table is constant-initialised and so ready before this runs.
struct DirectDrawComRegistration {
    DirectDrawComRegistration() { RegisterComClass(CLSID_DirectDraw7, MakeDirectDrawForCom); }
} g_directDrawComRegistration;

} // namespace
