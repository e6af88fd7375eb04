// Owns the glyph renderer: GDI glyph bitmaps (monochrome or 17 levels) into
// a font's software cache cells in their four encodings, with edges stamped
// around the ink. Reads the FONTREC of graphics/font/fonthandle.cpp; ends
// the process through core/startup's fatal exit when GDI fails.
#include "graphics/font/font.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/memory.h"
#include "core/fatalexit.h"
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

} // namespace

GLYPHENTRY* RenderGlyphsToCache(int handle, int count, const FONTCELL* codes)
{
    if (HasScreenLayer() == 0) return nullptr;
    FONTREC* f = GetFontRecord(handle);
    if (f == nullptr || codes == nullptr || f->SlotCount <= 0) return nullptr;
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

        int cx = 0;
        int cy = 0;
        GetFontCellPlace(f, f->NextSlot, &cx, &cy);
        for (int y = 0; y < f->CellSide; ++y) {
            std::memset(f->SoftCache + static_cast<std::size_t>(cy + y) * f->SoftRowBytes + cx * f->SoftBitsPerPixel / 8,
                        0, static_cast<std::size_t>(f->SoftRowBytes));
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
                WriteSoftwareCell(f, f->NextSlot, buffer + pitch, pitch, w, h, edge);
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
