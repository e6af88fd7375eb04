// Owns GDI's device contexts and bitmaps. Window contexts draw into the
// virtual display's desktop at the client origin and show the result at once;
// memory contexts draw into the bitmap selected into them.
#include "platform/gdi/gdi.h"

#include "platform/display/display.h"
#include "platform/display/pixel.h"
#include "platform/gdi/gdi_object.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

namespace {

struct Brush final : GdiObject {
    Brush(bool n, COLORREF c) : isNull(n), color(c) {}
    bool isNull;
    COLORREF color;
};

// Stock objects are never registered, so DeleteObject leaves them alone.
Brush g_blackBrush{false, 0};
Brush g_whiteBrush{false, 0xFFFFFF};
Brush g_nullBrush{true, 0};
int g_desktopBitsForTest = 0;

struct Bitmap final : GdiObject {
    GdiPixelBuffer buffer{};
    std::vector<std::uint8_t> memory;
    RGBQUAD palette[256]{};
};

enum class DCKind { Window, Screen, Memory, Buffer };

struct DeviceContext {
    DCKind kind;
    Bitmap* selected = nullptr;  // memory contexts
    GdiPixelBuffer buffer{};     // buffer contexts
    RGBQUAD palette[256]{};
    GdiObject* font = nullptr;  // any kind of context
};

// What a fresh context holds; selecting it back leaves no font selected.
struct StockFont final : GdiObject {
    bool IsFont() const override { return true; }
};
StockFont g_stockFont;

std::mutex g_mutex;
std::set<GdiObject*> g_objects;
std::set<DeviceContext*> g_contexts;
std::vector<std::pair<DWORD, DWORD>> g_savedDesktop;  // desktop size before a settings change
bool g_settingsChanged = false;

// The 1 x 1 bitmap a fresh memory context holds; selecting it back empties the context.
Bitmap g_stockBitmap;
HGDIOBJ StockBitmapHandle()
{
    return reinterpret_cast<HGDIOBJ>(static_cast<GdiObject*>(&g_stockBitmap));
}

DeviceContext* AsDC(HDC dc)
{
    auto* p = reinterpret_cast<DeviceContext*>(dc);
    return g_contexts.count(p) ? p : nullptr;
}

Bitmap* AsBitmap(HGDIOBJ object)
{
    auto* p = reinterpret_cast<GdiObject*>(object);
    return g_objects.count(p) ? dynamic_cast<Bitmap*>(p) : nullptr;
}

HDC Register(DeviceContext* dc)
{
    g_contexts.insert(dc);
    return reinterpret_cast<HDC>(dc);
}

int RowBytes(int width, int bits)
{
    return ((width * bits + 31) / 32) * 4;
}

// The pixels a context draws into, or false when it has none.
bool Target(DeviceContext* dc, GdiPixelBuffer& out)
{
    switch (dc->kind) {
    case DCKind::Window: {
        std::uint32_t* pixels = GetDesktopPixels();
        if (pixels == nullptr) return false;
        RECT c = GetDisplayClientRect();
        DisplayMode desktop = GetVirtualDesktopMode();
        int left = std::clamp<int>(c.left, 0, desktop.width);
        int top = std::clamp<int>(c.top, 0, desktop.height);
        out = GdiPixelBuffer{};
        out.pixels = reinterpret_cast<std::uint8_t*>(pixels) + static_cast<std::ptrdiff_t>(top) * GetDesktopPitch() + left * 4;
        out.width = std::clamp<int>(c.right, 0, desktop.width) - left;
        out.height = std::clamp<int>(c.bottom, 0, desktop.height) - top;
        out.pitch = GetDesktopPitch();
        out.bits = 32;
        out.redMask = 0xFF0000;
        out.greenMask = 0xFF00;
        out.blueMask = 0xFF;
        return out.width > 0 && out.height > 0;
    }
    case DCKind::Screen: {
        DisplayMode desktop = GetVirtualDesktopMode();
        out = GdiPixelBuffer{GetDesktopPixels(), desktop.width, desktop.height, GetDesktopPitch(), 32,
                             0xFF0000, 0xFF00, 0xFF, nullptr};
        return out.pixels != nullptr;
    }
    case DCKind::Memory:
        if (dc->selected == nullptr) return false;
        out = dc->selected->buffer;
        return true;
    case DCKind::Buffer:
        out = dc->buffer;
        return out.pixels != nullptr;
    }
    return false;
}

void Shown(DeviceContext* dc)
{
    if (dc->kind == DCKind::Window || dc->kind == DCKind::Screen) PresentDesktopClientArea();
}

std::uint32_t ReadRGB(const GdiPixelBuffer& b, int x, int y)
{
    const std::uint8_t* row = static_cast<const std::uint8_t*>(b.pixels) + static_cast<std::ptrdiff_t>(y) * b.pitch;
    switch (b.bits) {
    case 8: {
        const RGBQUAD& q = b.palette != nullptr ? b.palette[row[x]] : RGBQUAD{row[x], row[x], row[x], 0};
        return (static_cast<std::uint32_t>(q.rgbRed) << 16) | (static_cast<std::uint32_t>(q.rgbGreen) << 8) | q.rgbBlue;
    }
    case 16: {
        std::uint32_t v = row[2 * x] | (static_cast<std::uint32_t>(row[2 * x + 1]) << 8);
        return (ExpandChannel(v, b.redMask) << 16) | (ExpandChannel(v, b.greenMask) << 8) | ExpandChannel(v, b.blueMask);
    }
    case 24:
        return (static_cast<std::uint32_t>(row[3 * x + 2]) << 16) | (static_cast<std::uint32_t>(row[3 * x + 1]) << 8) |
               row[3 * x];
    default: {
        std::uint32_t v;
        std::memcpy(&v, row + 4 * x, 4);
        return (ExpandChannel(v, b.redMask) << 16) | (ExpandChannel(v, b.greenMask) << 8) | ExpandChannel(v, b.blueMask);
    }
    }
}

// Nearest palette entry by squared distance, the first of equals winning.
BYTE NearestIndex(const RGBQUAD* palette, std::uint32_t rgb)
{
    int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, bl = rgb & 0xFF;
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 256; ++i) {
        long dr = r - palette[i].rgbRed, dg = g - palette[i].rgbGreen, db = bl - palette[i].rgbBlue;
        long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return static_cast<BYTE>(best);
}

void WriteRGB(const GdiPixelBuffer& b, int x, int y, std::uint32_t rgb)
{
    std::uint8_t* row = static_cast<std::uint8_t*>(b.pixels) + static_cast<std::ptrdiff_t>(y) * b.pitch;
    std::uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, bl = rgb & 0xFF;
    switch (b.bits) {
    case 8:
        row[x] = b.palette != nullptr ? NearestIndex(b.palette, rgb) : static_cast<BYTE>((r * 30 + g * 59 + bl * 11) / 100);
        break;
    case 16: {
        std::uint32_t v = PackChannel(r, b.redMask) | PackChannel(g, b.greenMask) | PackChannel(bl, b.blueMask);
        row[2 * x] = static_cast<std::uint8_t>(v);
        row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
        break;
    }
    case 24:
        row[3 * x] = static_cast<std::uint8_t>(bl);
        row[3 * x + 1] = static_cast<std::uint8_t>(g);
        row[3 * x + 2] = static_cast<std::uint8_t>(r);
        break;
    default: {
        std::uint32_t v = PackChannel(r, b.redMask) | PackChannel(g, b.greenMask) | PackChannel(bl, b.blueMask);
        std::memcpy(row + 4 * x, &v, 4);
        break;
    }
    }
}

// A DIB given as header and bits, seen as a buffer with rows top-down.
struct DibView {
    GdiPixelBuffer buffer{};
    RGBQUAD palette[256]{};
    bool valid = false;
};

bool DescribeDib(const BITMAPINFO* info, const void* bits, DibView& view)
{
    if (info == nullptr || bits == nullptr) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1) return false;
    if (h.biWidth > 65536 || h.biHeight > 65536 || h.biHeight < -65536) return false;
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    int bitCount = h.biBitCount;
    GdiPixelBuffer& b = view.buffer;
    b.width = h.biWidth;
    b.height = height;
    b.bits = bitCount;
    const auto* extra = reinterpret_cast<const std::uint8_t*>(info) + h.biSize;
    if (bitCount == 8) {
        if (h.biCompression != BI_RGB) return false;
        DWORD count = h.biClrUsed != 0 ? std::min<DWORD>(h.biClrUsed, 256) : 256;
        std::memcpy(view.palette, extra, count * sizeof(RGBQUAD));
        b.palette = view.palette;
    } else if (bitCount == 16 || bitCount == 32) {
        if (h.biCompression == BI_BITFIELDS) {
            DWORD masks[3];
            std::memcpy(masks, extra, sizeof masks);
            b.redMask = masks[0];
            b.greenMask = masks[1];
            b.blueMask = masks[2];
        } else if (h.biCompression == BI_RGB) {
            if (bitCount == 16) {
                b.redMask = 0x7C00;
                b.greenMask = 0x03E0;
                b.blueMask = 0x001F;
            } else {
                b.redMask = 0xFF0000;
                b.greenMask = 0xFF00;
                b.blueMask = 0xFF;
            }
        } else {
            return false;
        }
    } else if (bitCount == 24) {
        if (h.biCompression != BI_RGB) return false;
    } else {
        return false;
    }
    int stride = RowBytes(b.width, bitCount);
    const auto* base = static_cast<const std::uint8_t*>(bits);
    if (h.biHeight < 0) {
        b.pixels = const_cast<std::uint8_t*>(base);
        b.pitch = stride;
    } else {
        b.pixels = const_cast<std::uint8_t*>(base + static_cast<std::ptrdiff_t>(height - 1) * stride);
        b.pitch = -stride;
    }
    view.valid = true;
    return true;
}

// Copies a source rectangle onto a destination rectangle, scaling by nearest
// pixel and mirroring on negative sizes; both rectangles are clipped safely.
int Transfer(const GdiPixelBuffer& dst, int xd, int yd, int wd, int hd, const GdiPixelBuffer& src, int xs, int ys,
             int ws, int hs)
{
    if (wd == 0 || hd == 0 || ws == 0 || hs == 0) return 0;
    bool mirrorX = (wd < 0) != (ws < 0), mirrorY = (hd < 0) != (hs < 0);
    if (wd < 0) { xd += wd; wd = -wd; }
    if (hd < 0) { yd += hd; hd = -hd; }
    if (ws < 0) { xs += ws; ws = -ws; }
    if (hs < 0) { ys += hs; hs = -hs; }
    // Between buffers of one layout a copy keeps every bit of a pixel, the
    // ones no channel uses included.
    const bool raw = (src.bits == 16 || src.bits == 32) && src.bits == dst.bits && src.redMask == dst.redMask &&
                     src.greenMask == dst.greenMask && src.blueMask == dst.blueMask;
    const int bytes = src.bits / 8;
    int rows = 0;
    for (int y = 0; y < hd; ++y) {
        int dy = yd + y;
        if (dy < 0 || dy >= dst.height) continue;
        long long fy = static_cast<long long>(mirrorY ? hd - 1 - y : y) * hs / hd;
        int sy = ys + static_cast<int>(fy);
        if (sy < 0 || sy >= src.height) continue;
        ++rows;
        for (int x = 0; x < wd; ++x) {
            int dx = xd + x;
            if (dx < 0 || dx >= dst.width) continue;
            long long fx = static_cast<long long>(mirrorX ? wd - 1 - x : x) * ws / wd;
            int sx = xs + static_cast<int>(fx);
            if (sx < 0 || sx >= src.width) continue;
            if (raw) {
                std::memcpy(static_cast<std::uint8_t*>(dst.pixels) + static_cast<std::ptrdiff_t>(dy) * dst.pitch + dx * bytes,
                            static_cast<const std::uint8_t*>(src.pixels) + static_cast<std::ptrdiff_t>(sy) * src.pitch +
                                sx * bytes,
                            static_cast<std::size_t>(bytes));
                continue;
            }
            WriteRGB(dst, dx, dy, ReadRGB(src, sx, sy));
        }
    }
    return rows;
}

} // namespace

std::mutex& GdiMutex()
{
    return g_mutex;
}

HGDIOBJ RegisterGdiObject(GdiObject* object)
{
    g_objects.insert(object);
    return reinterpret_cast<HGDIOBJ>(object);
}

GdiObject* SelectedFontLocked(HDC dc)
{
    DeviceContext* p = AsDC(dc);
    return p != nullptr ? p->font : nullptr;
}

HDC GetDC(HWND window)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return Register(new DeviceContext{window != nullptr ? DCKind::Window : DCKind::Screen});
}

int ReleaseDC(HWND, HDC dc)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    DeviceContext* p = AsDC(dc);
    if (p == nullptr || (p->kind != DCKind::Window && p->kind != DCKind::Screen)) return 0;
    g_contexts.erase(p);
    delete p;
    return 1;
}

HDC CreateCompatibleDC(HDC)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return Register(new DeviceContext{DCKind::Memory});
}

HDC CreateBufferDC(const GdiPixelBuffer& buffer)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto* dc = new DeviceContext{DCKind::Buffer};
    dc->buffer = buffer;
    if (buffer.palette != nullptr) {
        std::memcpy(dc->palette, buffer.palette, sizeof dc->palette);
        dc->buffer.palette = dc->palette;
    }
    return Register(dc);
}

BOOL DeleteDC(HDC dc)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    DeviceContext* p = AsDC(dc);
    if (p == nullptr) return FALSE;
    g_contexts.erase(p);
    delete p;
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    DeviceContext* p = AsDC(dc);
    auto* any = reinterpret_cast<GdiObject*>(object);
    if (p != nullptr && (any == &g_stockFont || (g_objects.count(any) && any->IsFont()))) {
        GdiObject* previous = p->font != nullptr ? p->font : &g_stockFont;
        p->font = any == &g_stockFont ? nullptr : any;
        return reinterpret_cast<HGDIOBJ>(previous);
    }
    bool stock = object == StockBitmapHandle();
    Bitmap* bitmap = stock ? nullptr : AsBitmap(object);
    if (p == nullptr || p->kind != DCKind::Memory || (!stock && bitmap == nullptr)) return nullptr;
    Bitmap* previous = p->selected;
    p->selected = bitmap;
    return previous != nullptr ? reinterpret_cast<HGDIOBJ>(static_cast<GdiObject*>(previous)) : StockBitmapHandle();
}

BOOL DeleteObject(HGDIOBJ object)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto* p = reinterpret_cast<GdiObject*>(object);
    if (!g_objects.count(p)) return FALSE;
    for (DeviceContext* dc : g_contexts)
        if (dc->selected == p || dc->font == p) return FALSE;  // still selected: refused, as GDI does
    g_objects.erase(p);
    delete p;
    return TRUE;
}

int GetObjectA(HGDIOBJ object, int size, void* out)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Bitmap* bitmap = AsBitmap(object);
    if (bitmap == nullptr || out == nullptr || size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP bm{};
    bm.bmWidth = bitmap->buffer.width;
    bm.bmHeight = bitmap->buffer.height;
    bm.bmWidthBytes = bitmap->buffer.pitch;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = static_cast<WORD>(bitmap->buffer.bits);
    bm.bmBits = bitmap->buffer.pixels;
    std::memcpy(out, &bm, sizeof bm);
    return sizeof bm;
}

int GetDeviceCaps(HDC dc, int index)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    DeviceContext* p = AsDC(dc);
    if (p == nullptr) return 0;
    DisplayMode mode = GetVirtualDisplayMode();
    GdiPixelBuffer b{};
    bool display = p->kind == DCKind::Window || p->kind == DCKind::Screen;
    if (!display) Target(p, b);
    switch (index) {
    case HORZRES: return display ? mode.width : b.width;
    case VERTRES: return display ? mode.height : b.height;
    case BITSPIXEL:
        if (display && g_desktopBitsForTest != 0 && !g_settingsChanged) return g_desktopBitsForTest;
        return display ? (g_settingsChanged ? mode.bits : 32) : b.bits;
    case PLANES: return 1;
    case VREFRESH: return display ? (mode.refresh != 0 ? mode.refresh : 60) : 0;
    default: return 0;
    }
}

BOOL GdiFlush()
{
    return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height)
{
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    auto* bitmap = new Bitmap();
    bitmap->buffer = GdiPixelBuffer{nullptr, width, height, width * 4, 32, 0xFF0000, 0xFF00, 0xFF, nullptr};
    bitmap->memory.assign(static_cast<std::size_t>(width) * height * 4, 0);
    bitmap->buffer.pixels = bitmap->memory.data();
    g_objects.insert(bitmap);
    return reinterpret_cast<HBITMAP>(static_cast<GdiObject*>(bitmap));
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD)
{
    if (bits != nullptr) *bits = nullptr;
    if (info == nullptr) return nullptr;
    // Describe with a dummy pointer first to validate the header.
    DibView view;
    static const std::uint8_t probe = 0;
    if (!DescribeDib(info, &probe, view)) return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    auto* bitmap = new Bitmap();
    int stride = RowBytes(view.buffer.width, view.buffer.bits);
    bitmap->memory.assign(static_cast<std::size_t>(stride) * view.buffer.height, 0);
    bitmap->buffer = view.buffer;
    std::memcpy(bitmap->palette, view.palette, sizeof bitmap->palette);
    if (view.buffer.bits == 8) bitmap->buffer.palette = bitmap->palette;
    if (info->bmiHeader.biHeight < 0) {
        bitmap->buffer.pixels = bitmap->memory.data();
        bitmap->buffer.pitch = stride;
    } else {
        bitmap->buffer.pixels = bitmap->memory.data() + static_cast<std::ptrdiff_t>(view.buffer.height - 1) * stride;
        bitmap->buffer.pitch = -stride;
    }
    g_objects.insert(bitmap);
    if (bits != nullptr) *bits = bitmap->memory.data();
    return reinterpret_cast<HBITMAP>(static_cast<GdiObject*>(bitmap));
}

int SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT scanLines, const void* bits, const BITMAPINFO* info, UINT)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    DeviceContext* p = AsDC(dc);
    DibView view;
    GdiPixelBuffer target{};
    if (p == nullptr || !DescribeDib(info, bits, view) || !Target(p, target)) return 0;
    if (startScan != 0 || scanLines < static_cast<UINT>(view.buffer.height)) return 0;
    // The source's y counts from the bottom of the DIB, as for StretchDIBits.
    int top = view.buffer.height - ySrc - static_cast<int>(height);
    int rows = Transfer(target, xDest, yDest, static_cast<int>(width), static_cast<int>(height), view.buffer, xSrc, top,
                        static_cast<int>(width), static_cast<int>(height));
    Shown(p);
    return rows;
}

int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT, DWORD rop)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    DeviceContext* p = AsDC(dc);
    DibView view;
    GdiPixelBuffer target{};
    if (rop != SRCCOPY || p == nullptr || !DescribeDib(info, bits, view) || !Target(p, target)) return 0;
    // Whatever the row order, the source rectangle's y counts from the DIB's
    // bottom edge: callers with top-down DIBs pass height - rows - top.
    int top = view.buffer.height - ySrc - srcHeight;
    int rows = Transfer(target, xDest, yDest, destWidth, destHeight, view.buffer, xSrc, top, srcWidth, srcHeight);
    Shown(p);
    return rows != 0 ? rows : (destHeight != 0 ? 0 : 0);
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    DeviceContext* d = AsDC(dest);
    DeviceContext* s = AsDC(src);
    GdiPixelBuffer to{}, from{};
    if (rop != SRCCOPY || d == nullptr || s == nullptr || !Target(d, to) || !Target(s, from)) return FALSE;
    if (width < 0 || height < 0) return FALSE;
    if (d == s || to.pixels == from.pixels) {
        // Overlapping copy within one buffer: go through a snapshot.
        std::vector<std::uint32_t> snapshot(static_cast<std::size_t>(std::max(width, 0)) * std::max(height, 0));
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i) {
                int sx = xSrc + i, sy = ySrc + j;
                snapshot[static_cast<std::size_t>(j) * width + i] =
                    (sx >= 0 && sy >= 0 && sx < from.width && sy < from.height) ? ReadRGB(from, sx, sy) : 0xFFFFFFFFu;
            }
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i) {
                std::uint32_t v = snapshot[static_cast<std::size_t>(j) * width + i];
                int dx = x + i, dy = y + j;
                if (v != 0xFFFFFFFFu && dx >= 0 && dy >= 0 && dx < to.width && dy < to.height) WriteRGB(to, dx, dy, v);
            }
    } else {
        Transfer(to, x, y, width, height, from, xSrc, ySrc, width, height);
    }
    Shown(d);
    return TRUE;
}

int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Bitmap* b = AsBitmap(bitmap);
    DibView view;
    if (AsDC(dc) == nullptr || b == nullptr || bits == nullptr || !DescribeDib(info, bits, view)) return 0;
    if (view.buffer.bits == 8) return 0;  // no palette output
    int height = view.buffer.height;
    if (view.buffer.width != b->buffer.width || height != b->buffer.height) return 0;
    if (start >= static_cast<UINT>(height)) return 0;
    UINT count = std::min<UINT>(lines, static_cast<UINT>(height) - start);
    // Scan lines count from the bottom of the bitmap.
    int copied = 0;
    for (UINT i = 0; i < count; ++i) {
        int y = height - 1 - static_cast<int>(start + i);
        for (int x = 0; x < view.buffer.width; ++x) WriteRGB(view.buffer, x, y, ReadRGB(b->buffer, x, y));
        ++copied;
    }
    return copied;
}

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD)
{
    // A mode change is announced to every window, which takes the window lock;
    // it is made outside the GDI lock, so the window lock always comes first.
    if (mode == nullptr) {
        std::pair<DWORD, DWORD> desktop;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            if (!g_settingsChanged) return DISP_CHANGE_SUCCESSFUL;
            desktop = g_savedDesktop.back();
            g_savedDesktop.clear();
            g_settingsChanged = false;
        }
        SetVirtualDesktopSize(static_cast<int>(desktop.first), static_cast<int>(desktop.second));
        RestoreVirtualDisplayMode();
        return DISP_CHANGE_SUCCESSFUL;
    }
    const DWORD needed = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    if ((mode->dmFields & needed) != needed) return DISP_CHANGE_BADMODE;
    DisplayMode wanted{static_cast<int>(mode->dmPelsWidth), static_cast<int>(mode->dmPelsHeight),
                       static_cast<int>(mode->dmBitsPerPel),
                       (mode->dmFields & DM_DISPLAYFREQUENCY) ? static_cast<int>(mode->dmDisplayFrequency) : 0};
    if (wanted.width <= 0 || wanted.height <= 0 || wanted.width > 16384 || wanted.height > 16384)
        return DISP_CHANGE_BADMODE;
    DisplayMode desktop = GetVirtualDesktopMode();
    if (!SetVirtualDisplayMode(wanted)) return DISP_CHANGE_BADMODE;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_settingsChanged) g_savedDesktop.push_back({static_cast<DWORD>(desktop.width), static_cast<DWORD>(desktop.height)});
        g_settingsChanged = true;
    }
    SetVirtualDesktopSize(wanted.width, wanted.height);
    return DISP_CHANGE_SUCCESSFUL;
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto* brush = new Brush(false, color);
    g_objects.insert(brush);
    return reinterpret_cast<HBRUSH>(static_cast<GdiObject*>(brush));
}

HGDIOBJ GetStockObject(int index)
{
    switch (index) {
    case BLACK_BRUSH: return reinterpret_cast<HGDIOBJ>(static_cast<GdiObject*>(&g_blackBrush));
    case WHITE_BRUSH: return reinterpret_cast<HGDIOBJ>(static_cast<GdiObject*>(&g_whiteBrush));
    case NULL_BRUSH: return reinterpret_cast<HGDIOBJ>(static_cast<GdiObject*>(&g_nullBrush));
    default: return nullptr;
    }
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    DeviceContext* p = AsDC(dc);
    auto* object = reinterpret_cast<GdiObject*>(brush);
    Brush* b = nullptr;
    if (object == &g_blackBrush || object == &g_whiteBrush || object == &g_nullBrush) {
        b = static_cast<Brush*>(object);
    } else if (g_objects.count(object)) {
        b = dynamic_cast<Brush*>(object);
    }
    if (p == nullptr || rect == nullptr || b == nullptr) return 0;
    if (b->isNull) return 1;
    GdiPixelBuffer target{};
    if (!Target(p, target)) return 1;
    const std::uint32_t rgb = ((b->color & 0xFF) << 16) | (b->color & 0xFF00) | ((b->color >> 16) & 0xFF);
    const int left = std::max<int>(rect->left, 0);
    const int top = std::max<int>(rect->top, 0);
    const int right = std::min<int>(rect->right, target.width);
    const int bottom = std::min<int>(rect->bottom, target.height);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) WriteRGB(target, x, y, rgb);
    Shown(p);
    return 1;
}

void SetDesktopBitsForTest(int bits)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_desktopBitsForTest = bits;
}
