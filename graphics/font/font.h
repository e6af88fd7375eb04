// The font system: font handles (FONTREC, kind 0x20000000, 40 slots) with
// their glyph caches of square cells, the default font, the glyph renderer
// that fills cells from GDI glyph bitmaps, and the string worker that
// measures and draws texts from the caches.
#pragma once

#include "core/handle.h"
#include "graphics/image/graphimage.h"
#include "graphics/memimg.h"
#include "platform/kernel/types.h"
#include "softrender/kernelparams.h"

constexpr int FONT_GLYPH_ENTRIES = 2025;
constexpr int FONT_MAX_CELLS = 2024;
constexpr int FONT_CODE_COUNT = 65536;
constexpr int FONT_FACE_SIZE = 256;
constexpr int FONT_MAX_STRING_CELLS = 256;

// Font types: bit 0 edge, bit 1 anti-aliased.
constexpr int FONTTYPE_EDGE = 1;
constexpr int FONTTYPE_ANTIALIAS = 2;

// Character-set kinds.
constexpr int FONTCHARSET_DEFAULT = 0;
constexpr int FONTCHARSET_SHIFTJIS = 1;
constexpr int FONTCHARSET_HANGUL = 2;

struct FONTCODESLOT;

// One cache cell; entry i is cell i.
struct GLYPHENTRY {
    WORD Used;
    short OriginX;    // left bearing
    short TopOffset;  // ascent minus the glyph origin's y
    short Advance;
    int Slot;
    short BoxWidth;
    short BoxHeight;
    FONTCODESLOT* CodeSlot;  // the code-table slot naming this cell
};

struct FONTCODESLOT {
    int Cached;
    GLYPHENTRY* Entry;
};

// A character of a split string: its bytes as stored (lead, trail or the
// byte and 0) and a zero byte; the first two bytes read as a little-endian
// u16 index the code table.
struct FONTCELL {
    BYTE Code[3];
};
static_assert(sizeof(FONTCELL) == 3);

inline unsigned FontCellCode(const FONTCELL& c) { return c.Code[0] | (static_cast<unsigned>(c.Code[1]) << 8); }
// Half-width and full-width spaces only move the pen.
inline bool IsFontSpaceCell(const FONTCELL& c)
{
    return (c.Code[0] == 0x20 && c.Code[1] == 0) || (c.Code[0] == 0x81 && c.Code[1] == 0x40);
}

struct FONTREC {
    HANDLEHEAD Head;
    GLYPHENTRY Entries[FONT_GLYPH_ENTRIES];
    FONTCODESLOT Codes[FONT_CODE_COUNT];
    int NextSlot;
    int SlotCount;
    BYTE* SoftCache;
    int SoftRowBytes;
    int SoftBitsPerPixel;
    char FaceName[FONT_FACE_SIZE];
    int Thickness;
    int Size;
    int CellHeight;
    int Italic;
    int Spacing;
    int CellSide;
    HFONT Font;
    int Type;
    int CharSetKind;
    int EdgeSize;
    int CacheWidth;
    int CacheHeight;
    int CellsPerColumn;
    int DrawSurface;  // screen-sized 2D surface that blended text is composed on
    int DrawSurfaceMissing;
    int CacheGraph;  // texture caches
    int EdgeHalfGraph;
    int CacheGraphMissing;
    GraphImage Staging;
    int TextureCache;
};

using FONTTABLE = HANDLETABLE<FONTREC, HANDLECAP_FONT, HANDLETAG_FONT>;

struct FONTSYSTEM {
    FONTTABLE Fonts;
    int TextureCacheOff;
    int CacheSlotSetting;  // 0 automatic
    int DefaultFont;
    char DefaultFace[128];
    int DefaultSize;
    int DefaultThickness;
    int DefaultType;
    int DefaultCharSet;
    int DefaultEdgeSize;
    int DefaultItalic;
    int DefaultSpacing;
};

extern FONTSYSTEM FontSystem;

// Font handles and caches
int CreateFontToHandle(const char* face, int size, int thickness, int type, int charSet, int edgeSize, int italic,
                       int fixedSlot, int fixedCheck);
int DestroyFontHandle(int handle);
FONTREC* GetFontRecord(int handle);
int IsFontHandleLive(int handle);
int ReadFontSize(int handle);
int GetFontFaceSizeThick(char* face, int* size, int* thickness, int handle);
int StoreFontSpacing(int spacing, int handle);
int BindFontDeletedFlag(int handle, int* flag);
int QueryDefaultFontHandle();
int SetDefaultFontSizeThick(const char* ignored, int size, int thickness);
int RefreshDefaultFont();
int ResetFontSystem();
int StartFontSystem();
int EndFontSystem();
int RecreateAllFonts();
int ClearFontGlyphCache(int handle);
int RefreshFontCacheSurfaces(int handle);

// Glyph rendering: fills cells from the next-slot cursor on, cycling; the
// entry of the last code rendered, or null.
GLYPHENTRY* RenderGlyphsToCache(int handle, int count, const FONTCELL* codes);
// A cell's top-left pixel in the cache.
void GetFontCellPlace(const FONTREC* font, int slot, int* x, int* y);

// Text drawing
int DrawTextWithFontHandle(int x, int y, const char* text, DWORD colour, int font, DWORD edgeColour, int vertical);
int DrawTextDefaultFont(int x, int y, const char* text, DWORD colour, DWORD edgeColour);
// The screen colour value the string worker writes for `colour` under the
// current draw brightness.
DWORD GetBrightenedTextColor(DWORD colour);
int SplitStringForFont(FONTCELL* cells, const char* text, int font, int length, int* count);
// Draws an anti-aliased horizontal string onto `dest` glyph by glyph, as
// composing it on a cleared image of `imageBody`'s layout and blitting that
// at (x, y), with the key, under `k` would draw it; its size in `size`. 1 when
// drawn, 0 when it must be composed (glyphs that overlap, a string the cache
// cannot hold at once, another font type).
int BlendStringWithFontCache(const KERNELPARAMS& k, MEMIMG* dest, const MEMIMGBODY* imageBody, int x, int y,
                             const char* text, DWORD colour, int font, SIZE* size);
// Mode 0 measures, 1 draws; the advance in pixels, or -1.
int RenderStringWithFontCache(int mode, int x, int y, int scale, double rateX, double rateY, const char* text,
                              DWORD colour, MEMIMG* dest, const RECT* clip, int trans, int font, DWORD edgeColour,
                              int length, int vertical, SIZE* size);
