// Device contexts, device capabilities and brushes of the GDI layer, as far
// as the library's core calls them. The desktop reads 32 bits per pixel.
#pragma once

#include "platform/kernel/types.h"

constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;

constexpr int WHITE_BRUSH = 0;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;

using COLORREF = DWORD;
inline COLORREF RGB(int r, int g, int b)
{
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// null: the screen's device context.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
int GetDeviceCaps(HDC dc, int index);

HBRUSH CreateSolidBrush(COLORREF color);
HGDIOBJ GetStockObject(int index);
BOOL DeleteObject(HGDIOBJ object);
// Fills a rectangle of a window's client area; the null brush paints nothing.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// The window a device context draws into (null for the screen's), for the
// layer's other pieces.
HWND GetWindowOfDC(HDC dc);

// Test hook: the desktop's colour depth (32 unless set; 0 restores 32).
void SetDesktopBitsForTest(int bits);
