// Owns the device-context and brush objects of the GDI layer; window device
// contexts paint into the SDL window's surface (platform/window).
#include "platform/gdi/gdi.h"

#include "platform/window/window.h"

#include <SDL.h>

#include <atomic>
#include <mutex>
#include <set>

struct HDC__ {
    HWND Window;
};

namespace {

struct BrushObject {
    bool Null;
    COLORREF Color;
};

std::mutex g_mutex;
std::set<HDC> g_dcs;
std::set<BrushObject*> g_brushes;
BrushObject g_stockBlack{false, 0};
BrushObject g_stockWhite{false, 0xFFFFFF};
BrushObject g_stockNull{true, 0};
std::atomic<int> g_desktopBits{32};

BrushObject* BrushOf(HGDIOBJ object)
{
    auto* b = reinterpret_cast<BrushObject*>(object);
    if (b == &g_stockBlack || b == &g_stockWhite || b == &g_stockNull) return b;
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_brushes.count(b) != 0 ? b : nullptr;
}

} // namespace

HDC GetDC(HWND window)
{
    if (window != nullptr && !IsWindow(window)) return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    HDC dc = new HDC__{window};
    g_dcs.insert(dc);
    return dc;
}

int ReleaseDC(HWND, HDC dc)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_dcs.erase(dc) == 0) return 0;
    delete dc;
    return 1;
}

int GetDeviceCaps(HDC dc, int index)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_dcs.count(dc) == 0) return 0;
    }
    switch (index) {
    case BITSPIXEL: return g_desktopBits.load();
    case PLANES: return 1;
    case HORZRES: return GetSystemMetrics(SM_CXSCREEN);
    case VERTRES: return GetSystemMetrics(SM_CYSCREEN);
    default: return 0;
    }
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto* b = new BrushObject{false, color};
    g_brushes.insert(b);
    return reinterpret_cast<HBRUSH>(b);
}

HGDIOBJ GetStockObject(int index)
{
    switch (index) {
    case BLACK_BRUSH: return reinterpret_cast<HGDIOBJ>(&g_stockBlack);
    case WHITE_BRUSH: return reinterpret_cast<HGDIOBJ>(&g_stockWhite);
    case NULL_BRUSH: return reinterpret_cast<HGDIOBJ>(&g_stockNull);
    default: return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ object)
{
    auto* b = reinterpret_cast<BrushObject*>(object);
    if (b == &g_stockBlack || b == &g_stockWhite || b == &g_stockNull) return TRUE;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_brushes.erase(b) == 0) return FALSE;
    delete b;
    return TRUE;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    BrushObject* b = BrushOf(reinterpret_cast<HGDIOBJ>(brush));
    if (rect == nullptr || b == nullptr) return 0;
    HWND window = GetWindowOfDC(dc);
    if (window == nullptr) return 0;
    if (b->Null) return 1;
    SDL_Window* sdl = GetSdlWindowOfHandle(window);
    SDL_Surface* surface = sdl != nullptr ? SDL_GetWindowSurface(sdl) : nullptr;
    if (surface == nullptr) return 0;
    SDL_Rect r{rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top};
    Uint32 color = SDL_MapRGB(surface->format, b->Color & 0xFF, (b->Color >> 8) & 0xFF, (b->Color >> 16) & 0xFF);
    SDL_FillRect(surface, &r, color);
    SDL_UpdateWindowSurface(sdl);
    return 1;
}

HWND GetWindowOfDC(HDC dc)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_dcs.count(dc) != 0 ? dc->Window : nullptr;
}

void SetDesktopBitsForTest(int bits)
{
    g_desktopBits.store(bits == 0 ? 32 : bits);
}
