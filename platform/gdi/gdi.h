// GDI as the screen and image layers call it: device contexts of the window,
// of memory and of DirectDraw surfaces, DIB sections, DIB transfers with
// SetDIBitsToDevice, StretchDIBits, BitBlt and GetDIBits, device capabilities
// and display-settings changes of the virtual display.
#pragma once

#include "platform/kernel/types.h"

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr DWORD SRCCOPY = 0x00CC0020;

constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int VREFRESH = 116;

constexpr DWORD CDS_FULLSCREEN = 0x4;
constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
constexpr LONG DISP_CHANGE_FAILED = -1;
constexpr LONG DISP_CHANGE_BADMODE = -2;
constexpr DWORD DM_BITSPERPEL = 0x00040000;
constexpr DWORD DM_PELSWIDTH = 0x00080000;
constexpr DWORD DM_PELSHEIGHT = 0x00100000;
constexpr DWORD DM_DISPLAYFREQUENCY = 0x00400000;

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // negative: rows top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

// The header, then the colour table (or, with BI_BITFIELDS, three masks).
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits;
};

// The display settings record: 156 bytes, of which these fields are read.
struct DEVMODEA {
    BYTE dmDeviceName[32];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    BYTE dmUnused1[60];
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    BYTE dmUnused2[32];
};
static_assert(sizeof(DEVMODEA) == 156);

HDC GetDC(HWND window);  // null: the whole screen
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
int GetObjectA(HGDIOBJ object, int size, void* out);
int GetDeviceCaps(HDC dc, int index);
BOOL GdiFlush();

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);

int SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT scanLines, const void* bits, const BITMAPINFO* info, UINT usage);
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop);
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags);

// Brushes, as the window's paint fills its client area.
using COLORREF = DWORD;
inline COLORREF RGB(int r, int g, int b)
{
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int WHITE_BRUSH = 0;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
HBRUSH CreateSolidBrush(COLORREF color);
HGDIOBJ GetStockObject(int index);
// The null brush paints nothing; 0 for a bad context or brush.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// Test hook: the desktop's colour depth as the screen device context reports
// it (0 restores the real answer).
void SetDesktopBitsForTest(int bits);

// Pixels that a device context can stand over (DirectDraw surfaces use it).
struct GdiPixelBuffer {
    void* pixels;
    int width;
    int height;
    int pitch;
    int bits;            // 8, 16, 24 or 32
    DWORD redMask;       // 16 and 32 bits
    DWORD greenMask;
    DWORD blueMask;
    const RGBQUAD* palette;  // 8 bits: 256 entries
};
HDC CreateBufferDC(const GdiPixelBuffer& buffer);
