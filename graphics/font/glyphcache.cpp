// Owns the glyph renderer: GDI glyph bitmaps (monochrome or 17 levels) into
// a font's software cache cells in their four encodings, or through the
// 16-bit staging image into its texture cache graph, with edges stamped
// around the ink. Reads the FONTREC of graphics/font/fonthandle.cpp; uploads
// through the graph layer; ends the process through the fatal exit when GDI fails.
#include "graphics/font/font.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/memory.h"
#include "core/fatalexit.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "platform/gdi/font.h"
#include "platform/gdi/gdi.h"

namespace {

const MAT2 kIdentity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};

// Rows of the edge shapes for sizes 2 to 4 ('1' = inside).
const char* const kEdge2[] = {"01110", "11111", "11111", "11111", "01110"};
const char* const kEdge3[] = {"0001000", "0111110", "0111110", "1111111", "0111110", "0111110", "0001000"};
const char* const kEdge4[] = {"001111100", "011111110", "111111111", "111111111", "111111111",
                              "111111111", "111111111", "011111110", "001111100"};

struct Offset {
    int dx;
    int dy;
};

std::vector<Offset> EdgeShape(int e)
{
    std::vector<Offset> shape;
    if (e <= 1) return {{0, -1}, {-1, 0}, {1, 0}, {0, 1}};
    const char* const* rows = e == 2 ? kEdge2 : e == 3 ? kEdge3 : e == 4 ? kEdge4 : nullptr;
    for (int y = -e; y <= e; ++y)
        for (int x = -e; x <= e; ++x)
            if (rows == nullptr || rows[y + e][x + e] == '1') shape.push_back({x, y});
    return shape;
}

// Writes a glyph bitmap into its cell. The box is already clipped so that
// the glyph and its edge stay inside the cell.
void WriteSoftwareCell(FONTREC* f, int slot, const BYTE* bits, int pitch, int w, int h, const std::vector<Offset>& edge)
{
    int cx = 0;
    int cy = 0;
    GetFontCellPlace(f, slot, &cx, &cy);
    BYTE* cell = f->SoftCache + static_cast<std::size_t>(cy) * f->SoftRowBytes;
    const int e = (f->Type & FONTTYPE_EDGE) != 0 ? f->EdgeSize : 0;
    auto at = [&](int x, int y) -> BYTE& { return cell[static_cast<std::size_t>(y) * f->SoftRowBytes + cx + x]; };
    switch (f->Type) {
    case 0: {
        const int bytes = (w + 7) / 8;
        const BYTE lastMask = static_cast<BYTE>(0xFF << ((8 - (w & 7)) & 7));
        for (int y = 0; y < h; ++y) {
            BYTE* row = cell + static_cast<std::size_t>(y) * f->SoftRowBytes + cx / 8;
            std::memcpy(row, bits + static_cast<std::size_t>(y) * pitch, static_cast<std::size_t>(bytes));
            row[bytes - 1] &= lastMask;
        }
        break;
    }
    case FONTTYPE_ANTIALIAS:
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int l = bits[static_cast<std::size_t>(y) * pitch + x];
                if (l > 0) at(x, y) = static_cast<BYTE>(std::min(l, 16) - 1);
            }
        break;
    case FONTTYPE_EDGE:
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if ((bits[static_cast<std::size_t>(y) * pitch + (x >> 3)] & (0x80 >> (x & 7))) != 0) at(e + x, e + y) = 1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if ((bits[static_cast<std::size_t>(y) * pitch + (x >> 3)] & (0x80 >> (x & 7))) == 0) continue;
                for (const Offset& o : edge) {
                    BYTE& p = at(e + x + o.dx, e + y + o.dy);
                    if (p != 1) p = 2;
                }
            }
        break;
    default:  // anti-aliased with an edge
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int l = std::min<int>(bits[static_cast<std::size_t>(y) * pitch + x], 16);
                if (l == 0) continue;
                at(e + x, e + y) |= static_cast<BYTE>(l - 1);
                const int high = (l - 1) * 16;
                for (const Offset& o : edge) {
                    BYTE& p = at(e + x + o.dx, e + y + o.dy);
                    if (high > (p & 0xF0)) p = static_cast<BYTE>((p & 0x0F) | high);
                }
            }
        break;
    }
}

bool Ink(const BYTE* bits, int pitch, UINT format, int x, int y)
{
    const BYTE* row = bits + static_cast<std::size_t>(y) * pitch;
    return format == GGO_BITMAP ? (row[x >> 3] & (0x80 >> (x & 7))) != 0 : row[x] != 0;
}

// The glyph as 16-bit texels in the staging image (the edge in its right
// half), then uploaded into the slot's cell of the cache graph.
void WriteTextureCell(FONTREC* f, int slot, const BYTE* bits, int pitch, UINT format, int w, int h,
                      const std::vector<Offset>& edge)
{
    GraphImage& s = f->Staging;
    const COLORFMT& cf = s.Format;
    const int e = (f->Type & FONTTYPE_EDGE) != 0 ? f->EdgeSize : 0;
    const WORD rgb = static_cast<WORD>(cf.RedMask | cf.GreenMask | cf.BlueMask);
    const WORD opaque = static_cast<WORD>(rgb | cf.AlphaMask);
    const int half = f->CellSide;
    auto texel = [&](int x, int y) -> WORD* {
        return reinterpret_cast<WORD*>(static_cast<BYTE*>(s.Pixels) + static_cast<std::size_t>(y) * s.Pitch) + x;
    };
    // Level l of 1..16 as alpha l - 1 over white.
    auto levelTexel = [&](int l) {
        return static_cast<WORD>(l == 0 ? rgb : ((l << (cf.AlphaShift + cf.AlphaWidth - 4)) - 1) | rgb);
    };
    switch (f->Type) {
    case 0:
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) *texel(x, y) = Ink(bits, pitch, format, x, y) ? opaque : rgb;
        break;
    case FONTTYPE_ANTIALIAS:
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) *texel(x, y) = levelTexel(std::min<int>(bits[static_cast<std::size_t>(y) * pitch + x], 16));
        break;
    case FONTTYPE_EDGE:
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (Ink(bits, pitch, format, x, y)) *texel(e + x, e + y) = opaque;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (!Ink(bits, pitch, format, x, y)) continue;
                for (const Offset& o : edge) {
                    const int ex = e + x + o.dx, ey = e + y + o.dy;
                    // The body covers its own pixels: the edge goes only around it.
                    if ((*texel(ex, ey) & cf.AlphaMask) == 0) *texel(half + ex, ey) = opaque;
                }
            }
        break;
    default: {
        // Levels first, both halves, then texels.
        std::vector<int> levels(static_cast<std::size_t>(s.Width) * s.Height, 0);
        auto level = [&](int x, int y) -> int& { return levels[static_cast<std::size_t>(y) * s.Width + x]; };
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int l = std::min<int>(bits[static_cast<std::size_t>(y) * pitch + x], 16);
                if (l == 0) continue;
                level(e + x, e + y) = l;
                for (const Offset& o : edge) {
                    int& old = level(half + e + x + o.dx, e + y + o.dy);
                    old = (256 - (16 - old) * (16 - l)) >> 4;
                }
            }
        for (int y = 0; y < s.Height; ++y)
            for (int x = 0; x < s.Width; ++x) *texel(x, y) = levelTexel(level(x, y));
        break;
    }
    }
    int cx = 0;
    int cy = 0;
    GetFontCellPlace(f, slot, &cx, &cy);
    if (e == 0) {
        const RECT cell{0, 0, f->CellSide, f->CellSide};
        TransferImageRectToGraph(nullptr, nullptr, nullptr, nullptr, 0, &s, nullptr, &cell, cx, cy, f->CacheGraph, 0);
        return;
    }
    const RECT body{0, 0, w + 2 * e, h + 2 * e};
    const RECT rim{half, 0, half + w + 2 * e, h + 2 * e};
    TransferImageRectToGraph(nullptr, nullptr, nullptr, nullptr, 0, &s, nullptr, &body, cx, cy, f->CacheGraph, 0);
    TransferImageRectToGraph(nullptr, nullptr, nullptr, nullptr, 0, &s, nullptr, &rim, f->CacheWidth + cx, cy,
                             f->CacheGraph, 0);
}

} // namespace

GLYPHENTRY* RenderGlyphsToCache(int handle, int count, const FONTCELL* codes)
{
    if (HasScreenLayer() == 0) return nullptr;
    FONTREC* f = GetFontRecord(handle);
    if (f == nullptr || codes == nullptr || f->SlotCount <= 0) return nullptr;
    if (f->TextureCache == 1 ? f->Staging.Pixels == nullptr : f->SoftCache == nullptr) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) ExitWithFatalError("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
    HGDIOBJ old = SelectObject(dc, f->Font);
    if (old == nullptr) {
        DeleteDC(dc);
        ExitWithFatalError("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
    }
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);

    const int e = (f->Type & FONTTYPE_EDGE) != 0 ? f->EdgeSize : 0;
    const UINT format = (f->Type & FONTTYPE_ANTIALIAS) != 0 ? GGO_GRAY4_BITMAP : GGO_BITMAP;
    const std::vector<Offset> edge = e > 0 ? EdgeShape(e) : std::vector<Offset>{};
    const int room = f->CellSide - 2 * e;
    GLYPHENTRY* last = nullptr;
    for (int i = 0; i < count; ++i) {
        const FONTCELL& cell = codes[i];
        GLYPHENTRY* entry = &f->Entries[f->NextSlot];
        if (entry->Used != 0 && entry->CodeSlot != nullptr) {
            entry->CodeSlot->Cached = 0;
            entry->CodeSlot->Entry = nullptr;
        }
        FONTCODESLOT* codeSlot = &f->Codes[FontCellCode(cell)];
        codeSlot->Cached = 1;
        codeSlot->Entry = entry;
        entry->CodeSlot = codeSlot;
        entry->Used = 1;
        entry->OriginX = 0;
        entry->TopOffset = 0;
        entry->BoxWidth = 0;
        entry->BoxHeight = 0;

        const bool texture = f->TextureCache == 1;
        if (texture) {
            std::memset(f->Staging.Pixels, 0,
                        static_cast<std::size_t>(f->Staging.Pitch) * static_cast<std::size_t>(f->Staging.Height));
        } else {
            int cx = 0;
            int cy = 0;
            GetFontCellPlace(f, f->NextSlot, &cx, &cy);
            for (int y = 0; y < f->CellSide; ++y) {
                std::memset(f->SoftCache + static_cast<std::size_t>(cy + y) * f->SoftRowBytes +
                                cx * f->SoftBitsPerPixel / 8,
                            0, static_cast<std::size_t>(f->SoftRowBytes));
            }
        }

        const UINT code = cell.Code[1] != 0 ? cell.Code[0] * 256u + cell.Code[1] : cell.Code[0];
        GLYPHMETRICS gm{};
        const DWORD size = GetGlyphOutlineA(dc, code, format, &gm, 0, nullptr, &kIdentity);
        if (size == GDI_ERROR) ExitWithFatalError("GetGlyphOutline 関数が失敗しました");
        entry->Advance = gm.gmCellIncX;
        // A blank glyph (a space, a control code, nothing to draw) keeps only
        // its advance: its bitmap has no rows to read.
        if (!IsFontSpaceCell(cell) && size != 0 && gm.gmBlackBoxX != 0 && gm.gmBlackBoxY != 0) {
            const int pitch = static_cast<int>(size / gm.gmBlackBoxY) & ~3;
            const std::size_t bytes = size + 2 * static_cast<std::size_t>(pitch);
            auto* buffer = static_cast<BYTE*>(AllocMemoryZeroed(bytes, __FILE__, __LINE__));
            if (buffer == nullptr) ExitWithFatalError("アンチエイリアス文字取得用バッファの確保に失敗しました");
            if (GetGlyphOutlineA(dc, code, format, &gm, size, buffer + pitch, &kIdentity) == GDI_ERROR) {
                ExitWithFatalError("GetGlyphOutline 関数が失敗しました");
            }
            // Boxes larger than the cell (overhangs, tall accents) are cut to it.
            const int w = std::min<int>(static_cast<int>(gm.gmBlackBoxX), std::min(room, pitch * (format == GGO_BITMAP ? 8 : 1)));
            const int h = std::min<int>(static_cast<int>(gm.gmBlackBoxY), room);
            if (w > 0 && h > 0) {
                entry->OriginX = static_cast<short>(gm.gmptGlyphOrigin.x);
                entry->TopOffset = static_cast<short>(tm.tmAscent - gm.gmptGlyphOrigin.y);
                entry->BoxWidth = static_cast<short>(w + 2 * e);
                entry->BoxHeight = static_cast<short>(h + 2 * e);
                if (texture) {
                    WriteTextureCell(f, f->NextSlot, buffer + pitch, pitch, format, w, h, edge);
                } else {
                    WriteSoftwareCell(f, f->NextSlot, buffer + pitch, pitch, w, h, edge);
                }
            }
            FreeMemory(buffer);
        }
        entry->Advance = static_cast<short>(entry->Advance + 2 * e);
        last = entry;
        f->NextSlot = f->NextSlot + 1 >= f->SlotCount ? 0 : f->NextSlot + 1;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return last;
}
