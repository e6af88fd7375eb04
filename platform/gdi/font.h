// GDI fonts as the font caches call them: CreateFontA, GetTextMetricsA and
// GetGlyphOutlineA with monochrome and 17-level glyph bitmaps. Fonts are
// selected into device contexts with SelectObject and freed with DeleteObject
// (platform/gdi/gdi.h).
#pragma once

#include "platform/kernel/types.h"

constexpr int FW_NORMAL = 400;
constexpr int FW_SEMIBOLD = 600;

constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SHIFTJIS_CHARSET = 128;
constexpr BYTE HANGEUL_CHARSET = 129;

constexpr BYTE OUT_DEFAULT_PRECIS = 0;
constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
constexpr BYTE NONANTIALIASED_QUALITY = 3;
constexpr BYTE DEFAULT_PITCH = 0;
constexpr BYTE FIXED_PITCH = 1;

constexpr UINT GGO_BITMAP = 1;
constexpr UINT GGO_GRAY4_BITMAP = 5;
constexpr DWORD GDI_ERROR = 0xFFFFFFFFu;

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    BYTE tmItalic;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

struct GLYPHMETRICS {
    UINT gmBlackBoxX;
    UINT gmBlackBoxY;
    POINT gmptGlyphOrigin;  // left edge and top row of the box from the pen, y up
    short gmCellIncX;
    short gmCellIncY;
};

struct FIXED {
    WORD fract;
    short value;
};

struct MAT2 {
    FIXED eM11;
    FIXED eM12;
    FIXED eM21;
    FIXED eM22;
};

// height > 0: cell height in pixels; < 0: character height; 0: 16.
// Null when no font of the system can serve the character set asked for.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCSTR face);
// FALSE when no font is selected into the context.
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
// The glyph of a character code (a byte, or lead * 256 + trail in the font's
// code page) as GGO_BITMAP (rows padded to 4 bytes, most significant bit
// first) or GGO_GRAY4_BITMAP (a byte per pixel, levels 0-16, rows padded to
// 4 bytes), top row first. Answers the bytes the bitmap needs; a blank glyph
// needs 0 and reports a 1 x 1 box. Only the identity matrix is served.
DWORD GetGlyphOutlineA(HDC dc, UINT code, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize, void* buffer,
                       const MAT2* matrix);
