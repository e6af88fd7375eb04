// Owns FONTSYSTEM: the font handle table, font creation through GDI with its
// fall-back chains, the software glyph caches and their drawing surfaces,
// the default font and the re-creation of every font after a graphics reset.
// Calls platform/gdi, the 2D surfaces, the screen layer and the log.
#include "graphics/font/font.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/backend.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "graphics/soft/surface2d.h"
#include "platform/gdi/font.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/codepage.h"

FONTSYSTEM FontSystem;

namespace {

constexpr char kDefaultFace[] = "ＭＳ ゴシック";
// Cells wider than this would overflow the entries' 16-bit boxes.
constexpr int kMaxCellSide = 2048;

DWORD GdiCharSet(int kind)
{
    if (kind == FONTCHARSET_SHIFTJIS) return SHIFTJIS_CHARSET;
    if (kind == FONTCHARSET_HANGUL) return HANGEUL_CHARSET;
    return DEFAULT_CHARSET;
}

HFONT MakeGdiFont(const char* face, int size, int thickness, int italic, DWORD charSet)
{
    return CreateFontA(size, 0, 0, 0, thickness * 100, static_cast<DWORD>(italic), 0, 0, charSet, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, FIXED_PITCH, face);
}

// A named face falls back to any character set; no face falls back to the
// default face, then to whatever the system offers.
HFONT OpenGdiFont(const char* face, int size, int thickness, int italic, int kind)
{
    HFONT font;
    if (face != nullptr && face[0] != '\0') {
        font = MakeGdiFont(face, size, thickness, italic, GdiCharSet(kind));
        if (font == nullptr) font = MakeGdiFont(face, size, thickness, italic, DEFAULT_CHARSET);
        if (font == nullptr) font = MakeGdiFont(face, size, thickness, italic, SHIFTJIS_CHARSET);
        if (font == nullptr) WriteLog("指定のフォントの作成に失敗しました\n");
        return font;
    }
    font = MakeGdiFont(kDefaultFace, size, thickness, italic, GdiCharSet(kind));
    if (font == nullptr) font = MakeGdiFont(kDefaultFace, size, thickness, 0, DEFAULT_CHARSET);
    if (font == nullptr) font = MakeGdiFont(nullptr, size, thickness, 0, DEFAULT_CHARSET);
    if (font == nullptr) WriteLog("フォントの作成に失敗しました\n");
    return font;
}

int FindFontSlot(int fixedSlot)
{
    FONTTABLE& t = FontSystem.Fonts;
    if (fixedSlot >= 0) {
        if (fixedSlot >= static_cast<int>(HANDLECAP_FONT) || t.Records[fixedSlot] != nullptr) return -1;
        return fixedSlot;
    }
    for (std::uint32_t i = 0; i < HANDLECAP_FONT; ++i)
        if (t.Records[i] == nullptr) return static_cast<int>(i);
    WriteLogFormat("作成できるフォントハンドル数 %d の限界を超えました", static_cast<int>(HANDLECAP_FONT));
    return -1;
}

int CommitFont(FONTREC* f, int slot, int fixedCheck)
{
    FONTTABLE& t = FontSystem.Fonts;
    if (fixedCheck >= 0) {
        f->Head.Check = static_cast<std::uint32_t>(fixedCheck) & HANDLE_CHECK_MAX;
    } else {
        f->Head.Check = t.CheckCounter;
        t.CheckCounter = t.CheckCounter >= HANDLE_CHECK_MAX ? 0 : t.CheckCounter + 1;
    }
    ++t.Count;
    t.HighWater = std::max(t.HighWater, static_cast<std::uint32_t>(slot) + 1);
    return MakeHandleValue(f->Head.Check, HANDLETAG_FONT, static_cast<std::uint32_t>(slot));
}

// Cell geometry from the font's metrics: square cells a multiple of 8 wide,
// room for the edge on every side.
bool MeasureCells(FONTREC* f)
{
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) {
        WriteLog("ＤＣの取得に失敗しました\n");
        return false;
    }
    HGDIOBJ old = SelectObject(dc, f->Font);
    TEXTMETRICA tm{};
    const BOOL ok = GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    if (!ok) {
        WriteLog("ＤＣの取得に失敗しました\n");
        return false;
    }
    const int edge = (f->Type & FONTTYPE_EDGE) != 0 ? 2 * f->EdgeSize : 0;
    int side = (tm.tmMaxCharWidth + 2 + edge + 7) & ~7;
    int height = tm.tmHeight + edge;
    if (height & 1) ++height;
    if (side < height) side = height;
    f->CellSide = side;
    f->CellHeight = height;
    return true;
}

bool MakeSoftwareCache(FONTREC* f)
{
    const int side = f->CellSide;
    if (side <= 0 || side > kMaxCellSide) {
        WriteLog("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle\n");
        return false;
    }
    f->SoftBitsPerPixel = f->Type == 0 ? 1 : 8;
    f->SoftRowBytes = (side * f->SoftBitsPerPixel + 7) / 8;
    int slots = FontSystem.CacheSlotSetting > 0 ? FontSystem.CacheSlotSetting : std::max(0x50000 / (side * side), 20);
    slots = std::min(slots, FONT_MAX_CELLS);
    f->SlotCount = slots;
    f->CacheWidth = side;
    f->CacheHeight = slots * side;
    f->CellsPerColumn = slots;
    const std::size_t bytes = static_cast<std::size_t>(f->CacheHeight) * static_cast<std::size_t>(f->SoftRowBytes);
    f->SoftCache = static_cast<BYTE*>(AllocMemoryZeroed(bytes, __FILE__, __LINE__));
    if (f->SoftCache == nullptr) {
        WriteLog("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle\n");
        return false;
    }
    return true;
}

struct FontSettings {
    char face[FONT_FACE_SIZE];
    int size, thickness, type, charSet, edgeSize, italic, spacing;
    std::uint32_t check;
    int* deletedFlag;
};

FontSettings ReadSettings(const FONTREC* f)
{
    FontSettings s{};
    std::memcpy(s.face, f->FaceName, sizeof s.face);
    s.size = f->Size;
    s.thickness = f->Thickness;
    s.type = f->Type;
    s.charSet = f->CharSetKind;
    s.edgeSize = f->EdgeSize;
    s.italic = f->Italic;
    s.spacing = f->Spacing;
    s.check = f->Head.Check;
    s.deletedFlag = f->Head.DeletedFlag;
    return s;
}

bool IsGlyphFormat(const COLORFMT* f, DWORD alphaMask)
{
    return f != nullptr && f->BitsPerPixel == 16 && f->AlphaMask == alphaMask;
}

// Glyph textures need the two 16-bit formats with alpha: 4:4:4:4 for grey
// levels and 1:5:5:5 for alpha-tested plain glyphs.
bool TextureCacheWanted()
{
    return FontSystem.TextureCacheOff == 0 && DrawState.NewGraphUse3D != 0 && IsDirect3DUsable() == 1 &&
           CurrentGraphicsBackend().TextureGraphs == 1 &&
           IsGlyphFormat(G_D3D_SelectGlyphTextureFormat(1, 0, 0, 0), 0xF000) &&
           IsGlyphFormat(G_D3D_SelectGlyphTextureFormat(0, 1, 0, 0), 0x8000);
}

// Square cells in a power-of-two texture of at least 10 cells.
void SizeTextureCache(FONTREC* f)
{
    const int side = f->CellSide;
    const int setting = FontSystem.CacheSlotSetting;
    if (setting > 0) {
        int root = 0;
        while ((root + 1) * (root + 1) <= setting) ++root;
        const int want = side * (root + 1);
        int size = 8;
        while (size < want) size *= 2;
        f->CacheWidth = f->CacheHeight = size;
        f->SlotCount = (size / side) * (size / side);
    } else {
        f->CacheWidth = f->CacheHeight = 512;
        f->SlotCount = (512 / side) * (512 / side);
        while (f->SlotCount < 10) {
            if (f->CacheWidth > f->CacheHeight) {
                f->CacheHeight *= 2;
            } else {
                f->CacheWidth *= 2;
            }
            f->SlotCount = (f->CacheWidth / side) * (f->CacheHeight / side);
        }
    }
    f->SlotCount = std::min(f->SlotCount, FONT_MAX_CELLS);
    f->CellsPerColumn = f->CacheHeight / side;
}

// 1 with the cache graph and staging image made; 0 when the graph could not
// be made (the font goes on with a software cache); -1 on a fatal lack of memory.
int MakeTextureCache(FONTREC* f, int handle)
{
    SizeTextureCache(f);
    f->TextureCache = 1;
    f->CacheGraphMissing = 1;
    if (RefreshFontCacheSurfaces(handle) < 0) {
        WriteLog("テクスチャ文字キャッシュの作成に失敗しました\n");
        f->TextureCache = 0;
        f->CacheGraphMissing = 0;
        return 0;
    }
    const bool antialias = (f->Type & FONTTYPE_ANTIALIAS) != 0;
    const int edge = (f->Type & FONTTYPE_EDGE) != 0 ? f->EdgeSize : 0;
    GraphImage& s = f->Staging;
    s.Format = antialias ? *G_D3D_SelectGlyphTextureFormat(1, 0, 0, 0) : *G_D3D_SelectGlyphTextureFormat(0, 1, 0, 0);
    s.Width = edge > 0 ? 2 * f->CellSide : f->CellSide;
    s.Height = f->CellSide + 2 * edge;
    s.Pitch = s.Width * s.Format.BytesPerPixel;
    s.Pixels = AllocMemoryZeroed(static_cast<std::size_t>(s.Pitch) * static_cast<std::size_t>(s.Height), __FILE__,
                                 __LINE__);
    if (s.Pixels == nullptr) {
        WriteLog("文字キャッシュ処理用メモリの確保に失敗しました\n");
        return -1;
    }
    return 1;
}

void DestroyAllFonts()
{
    DeleteAllHandleRecords(FontSystem.Fonts, [](int h) { DestroyFontHandle(h); });
}

} // namespace

int CreateFontToHandle(const char* face, int size, int thickness, int type, int charSet, int edgeSize, int italic,
                       int fixedSlot, int fixedCheck)
{
    if (HasScreenLayer() == 0) return -1;
    if (size == -1) size = 16;
    if (thickness == -1) thickness = 6;
    if (type == -1) type = 0;
    if (edgeSize > 1) type |= FONTTYPE_EDGE;
    if (edgeSize == -1) edgeSize = 1;
    if (charSet == -1) charSet = GetOEMCP() == 949 ? FONTCHARSET_HANGUL : FONTCHARSET_SHIFTJIS;
    if (italic == -1) italic = 0;
    type &= FONTTYPE_EDGE | FONTTYPE_ANTIALIAS;
    if (edgeSize < 1) edgeSize = 1;

    const int slot = FindFontSlot(fixedSlot);
    if (slot < 0) return -1;
    FONTREC* f = AllocHandleRecord(FontSystem.Fonts, slot, __FILE__, __LINE__);
    if (f == nullptr) {
        WriteLog("フォント管理用メモリ領域の確保に失敗しました\n");
        return -1;
    }
    f->DrawSurface = -1;
    f->CacheGraph = -1;
    f->EdgeHalfGraph = -1;
    if (GetRequestedColorBits() == 8) type &= ~FONTTYPE_ANTIALIAS;
    f->EdgeSize = edgeSize;
    f->Type = type;
    f->Size = size;
    f->Thickness = thickness;
    f->Italic = italic;
    f->CharSetKind = charSet;
    f->Spacing = 0;
    if (face != nullptr) {
        std::strncpy(f->FaceName, face, FONT_FACE_SIZE - 1);
    }
    const int handle = CommitFont(f, slot, fixedCheck);

    const bool textureWanted = TextureCacheWanted();
    f->Font = OpenGdiFont(f->FaceName, size, thickness, italic, charSet);
    if (f->Font == nullptr || !MeasureCells(f)) {
        DestroyFontHandle(handle);
        return -1;
    }
    if (textureWanted && f->CellSide <= kMaxCellSide) {
        const int made = MakeTextureCache(f, handle);
        if (made < 0) {
            DestroyFontHandle(handle);
            return -1;
        }
        if (made == 1) {
            ClearFontGlyphCache(handle);
            return handle;
        }
    }
    if (!MakeSoftwareCache(f)) {
        DestroyFontHandle(handle);
        return -1;
    }
    f->DrawSurfaceMissing = 1;
    if (RefreshFontCacheSurfaces(handle) < 0) {
        WriteLog("フォント用描画スクリーンの作成に失敗しました\n");
        DestroyFontHandle(handle);
        return -1;
    }
    ClearFontGlyphCache(handle);
    return handle;
}

int DestroyFontHandle(int handle)
{
    FONTREC* f = GetFontRecord(handle);
    if (f == nullptr) return -1;
    if (f->Font != nullptr) DeleteObject(f->Font);
    if (f->SoftCache != nullptr) FreeMemory(f->SoftCache);
    if (f->DrawSurface != -1) DeleteSurface2D(f->DrawSurface);
    // A graph deleted with all graphs (a mode change) left a stale handle here.
    if (f->EdgeHalfGraph != -1 && f->CacheGraphMissing == 0) DestroyGraphHandle(f->EdgeHalfGraph, 0);
    if (f->CacheGraph != -1 && f->CacheGraphMissing == 0) DestroyGraphHandle(f->CacheGraph, 0);
    if (f->Staging.Pixels != nullptr) FreeGraphImagePixels(&f->Staging);
    return ReleaseHandleRecord(FontSystem.Fonts, handle);
}

FONTREC* GetFontRecord(int handle)
{
    return GetHandleRecord(FontSystem.Fonts, handle);
}

int IsFontHandleLive(int handle)
{
    return GetFontRecord(handle) != nullptr ? 1 : 0;
}

int ReadFontSize(int handle)
{
    const FONTREC* f = GetFontRecord(handle);
    return f != nullptr ? f->Size : -1;
}

int GetFontFaceSizeThick(char* face, int* size, int* thickness, int handle)
{
    const FONTREC* f = GetFontRecord(handle);
    if (f == nullptr) return -1;
    if (face != nullptr) std::strcpy(face, f->FaceName);
    if (size != nullptr) *size = f->Size;
    if (thickness != nullptr) *thickness = f->Thickness;
    return 0;
}

int StoreFontSpacing(int spacing, int handle)
{
    FONTREC* f = GetFontRecord(handle);
    if (f == nullptr) return -1;
    f->Spacing = spacing;
    return 0;
}

int BindFontDeletedFlag(int handle, int* flag)
{
    return BindHandleDeletedFlag(FontSystem.Fonts, handle, flag);
}

int QueryDefaultFontHandle()
{
    return FontSystem.DefaultFont;
}

int SetDefaultFontSizeThick(const char*, int size, int thickness)
{
    if (HasScreenLayer() == 0) return -1;
    FontSystem.DefaultSize = size == -1 ? 16 : size;
    FontSystem.DefaultThickness = thickness == -1 ? 6 : thickness;
    RefreshDefaultFont();
    return 0;
}

int RefreshDefaultFont()
{
    FONTSYSTEM& s = FontSystem;
    const FONTREC* f = GetFontRecord(s.DefaultFont);
    if (f != nullptr && std::strcmp(f->FaceName, s.DefaultFace) == 0 && f->Type == s.DefaultType &&
        f->Size == s.DefaultSize && f->Thickness == s.DefaultThickness && f->CharSetKind == s.DefaultCharSet &&
        f->EdgeSize == s.DefaultEdgeSize && f->Italic == s.DefaultItalic) {
        return 0;
    }
    if (f != nullptr) DestroyFontHandle(s.DefaultFont);
    s.DefaultFont = CreateFontToHandle(s.DefaultFace[0] != '\0' ? s.DefaultFace : nullptr, s.DefaultSize,
                                       s.DefaultThickness, s.DefaultType, s.DefaultCharSet,
                                       (s.DefaultType & FONTTYPE_EDGE) != 0 ? s.DefaultEdgeSize : -1, s.DefaultItalic,
                                       -1, -1);
    StoreFontSpacing(s.DefaultSpacing, s.DefaultFont);
    return 0;
}

int ResetFontSystem()
{
    if (HasScreenLayer() == 0) return -1;
    FONTSYSTEM& s = FontSystem;
    WriteLog("フォントの初期化を行います\n");
    IncreaseLogIndent();
    const FONTREC* live = GetFontRecord(s.DefaultFont);
    const bool had = live != nullptr;
    const FontSettings kept = had ? ReadSettings(live) : FontSettings{};
    DestroyAllFonts();
    if (had) {
        s.DefaultFont = CreateFontToHandle(kept.face[0] != '\0' ? kept.face : nullptr, kept.size, kept.thickness,
                                           kept.type, kept.charSet, kept.edgeSize, kept.italic, -1, -1);
    } else {
        s.DefaultFont = CreateFontToHandle(nullptr, 16, 6, -1, -1, -1, -1, -1, -1);
    }
    DecreaseLogIndent();
    WriteLog("フォントの初期化は正常に終了しました\n");
    return 0;
}

int StartFontSystem()
{
    std::memset(static_cast<void*>(&FontSystem), 0, sizeof FontSystem);
    FONTSYSTEM& s = FontSystem;
    s.DefaultSize = 16;
    s.DefaultThickness = 6;
    s.DefaultType = 0;
    s.DefaultCharSet = FONTCHARSET_SHIFTJIS;
    s.DefaultEdgeSize = 1;
    s.DefaultItalic = 0;
    s.DefaultSpacing = 0;
    return ResetFontSystem();
}

int EndFontSystem()
{
    ResetFontSystem();
    // Every font goes, even when the reset was refused without a screen.
    DestroyAllFonts();
    FontSystem.DefaultFont = -1;
    return 0;
}

int RecreateAllFonts()
{
    FONTTABLE& t = FontSystem.Fonts;
    for (std::uint32_t slot = 0; slot < t.HighWater; ++slot) {
        FONTREC* f = t.Records[slot];
        if (f == nullptr) continue;
        const FontSettings kept = ReadSettings(f);
        const int handle = MakeHandleValue(kept.check, HANDLETAG_FONT, slot);
        // The handle lives on, so its holder's deleted flag is not raised.
        f->Head.DeletedFlag = nullptr;
        DestroyFontHandle(handle);
        if (CreateFontToHandle(kept.face[0] != '\0' ? kept.face : nullptr, kept.size, kept.thickness, kept.type,
                               kept.charSet, kept.edgeSize, kept.italic, static_cast<int>(slot),
                               static_cast<int>(kept.check)) == handle) {
            StoreFontSpacing(kept.spacing, handle);
            if (kept.deletedFlag != nullptr) BindFontDeletedFlag(handle, kept.deletedFlag);
        } else if (kept.deletedFlag != nullptr) {
            *kept.deletedFlag = 1;
        }
    }
    return 0;
}

int ClearFontGlyphCache(int handle)
{
    FONTREC* f = GetFontRecord(handle);
    if (f == nullptr) return -1;
    std::memset(f->Codes, 0, sizeof f->Codes);
    std::memset(f->Entries, 0, sizeof f->Entries);
    for (int i = 0; i < f->SlotCount; ++i) f->Entries[i].Slot = i;
    f->Entries[f->SlotCount].Slot = -1;
    f->NextSlot = 0;
    return 0;
}

namespace {

// The cache graph (both halves for edged fonts) as a 16-bit Direct3D graph,
// white and clear; the new-graph settings are left as they were.
int MakeCacheGraph(FONTREC* f)
{
    DRAWSTATE& d = DrawState;
    const int saved[5] = {d.EmptyGraphAlpha, d.NewGraphAlphaTest, d.NewGraphColorBits, d.NewGraphUse3D,
                          d.NewGraphRenderable};
    const bool antialias = (f->Type & FONTTYPE_ANTIALIAS) != 0;
    const bool edged = (f->Type & FONTTYPE_EDGE) != 0;
    d.EmptyGraphAlpha = antialias ? 1 : 0;
    d.NewGraphAlphaTest = antialias ? 0 : 1;
    d.NewGraphColorBits = 16;
    d.NewGraphUse3D = 1;
    d.NewGraphRenderable = 0;
    const int graph = CreateBlankGraph(edged ? 2 * f->CacheWidth : f->CacheWidth, f->CacheHeight, 0);
    int half = -1;
    if (graph != -1 && edged) {
        half = CreateDerivedGraph(f->CacheWidth, 0, 2 * f->CacheWidth, f->CacheHeight, graph);
        if (half == -1) DestroyGraphHandle(graph, 0);
    }
    d.EmptyGraphAlpha = saved[0];
    d.NewGraphAlphaTest = saved[1];
    d.NewGraphColorBits = saved[2];
    d.NewGraphUse3D = saved[3];
    d.NewGraphRenderable = saved[4];
    const GRAPHREC* g = GetGraphRecord(graph);
    if (g == nullptr || GraphBackend(g).TextureGraphs != 1 || (edged && half == -1)) {
        if (g != nullptr) DestroyGraphHandle(graph, 0);
        f->CacheGraph = -1;
        f->EdgeHalfGraph = -1;
        return -1;
    }
    f->CacheGraph = graph;
    f->EdgeHalfGraph = half;
    BindGraphDeletedFlag(graph, &f->CacheGraphMissing);
    FillGraphWithColor(graph, 255, 255, 255, 0);
    return 0;
}

} // namespace

int RefreshFontCacheSurfaces(int handle)
{
    FONTREC* f = GetFontRecord(handle);
    if (f == nullptr) return -1;
    if (f->DrawSurfaceMissing == 1) {
        int w = 0;
        int h = 0;
        GetScreenPixelSize(&w, &h);
        IMGFLAGS flags{};
        flags.AlphaChFlag = (f->Type & FONTTYPE_ANTIALIAS) != 0 ? 1 : 0;
        flags.SystemMemory = 1;
        flags.ColorBitDepth = static_cast<BYTE>(GetRequestedColorBits());
        const int surface = AddSurface2D(static_cast<WORD>(w), static_cast<WORD>(h), 0, 0, 0xFFFFFFFFu, nullptr, 0,
                                         0, &flags);
        // A surface that could not be made is tried again at the next refresh.
        if (surface < 0) return -1;
        f->DrawSurfaceMissing = 0;
        f->DrawSurface = surface;
        AttachSurface2DDeleteFlag(surface, &f->DrawSurfaceMissing);
    }
    if (f->CacheGraphMissing == 1) {
        f->CacheGraphMissing = 0;
        if (MakeCacheGraph(f) < 0) {
            f->CacheGraphMissing = 1;
            return -1;
        }
        ClearFontGlyphCache(handle);
    }
    return 0;
}

void GetFontCellPlace(const FONTREC* font, int slot, int* x, int* y)
{
    const int perColumn = font->CellsPerColumn > 0 ? font->CellsPerColumn : 1;
    *x = (slot / perColumn) * font->CellSide;
    *y = (slot % perColumn) * font->CellSide;
}
