// The glyph renderer's cell encodings over hand-made glyphs: plain bits,
// edges stamped with their shapes, grey levels and edged grey nibbles, boxes
// cut to their cell, and blank glyphs that keep only their advance.
#include <string>
#include <vector>

#include "font_fixture.h"

namespace {

using GlyphCells = FontFixture;

// The cell's bytes (8-bit encodings) as rows of hex pairs, w x h from (0, 0).
std::vector<std::string> CellBytes(const FONTREC* f, int slot, int w, int h)
{
    int cx = 0;
    int cy = 0;
    GetFontCellPlace(f, slot, &cx, &cy);
    std::vector<std::string> rows;
    for (int y = 0; y < h; ++y) {
        std::string row;
        for (int x = 0; x < w; ++x) {
            char text[4];
            std::snprintf(text, sizeof text, "%02X", f->SoftCache[(cy + y) * f->SoftRowBytes + cx + x]);
            row += text;
            if (x + 1 < w) row += ' ';
        }
        rows.push_back(row);
    }
    return rows;
}

const GLYPHENTRY* Render(int font, const char* text)
{
    FONTCELL cell{};
    cell.Code[0] = static_cast<BYTE>(text[0]);
    cell.Code[1] = static_cast<BYTE>(text[1]);
    return RenderGlyphsToCache(font, 1, &cell);
}

TEST_P(GlyphCells, PlainBitsFillTheCellAndOversizedBoxesAreCutToIt)
{
    std::vector<std::string> big(30, std::string(30, '#'));
    Source().AddGlyph('W', -2, 14, 30, big);
    const int h = CreateFontToHandle(nullptr, -1, -1, 0, -1, -1, -1, -1, -1);
    FONTREC* f = GetFontRecord(h);
    ASSERT_EQ(f->CellSide, 24);
    const GLYPHENTRY* a = Render(h, "A");
    EXPECT_EQ(a->OriginX, 1);
    EXPECT_EQ(a->TopOffset, 13 - 10);
    EXPECT_EQ(a->BoxWidth, 5);
    EXPECT_EQ(a->BoxHeight, 6);
    const GLYPHENTRY* w = Render(h, "W");
    EXPECT_EQ(w->BoxWidth, 24);
    EXPECT_EQ(w->BoxHeight, 24);
    EXPECT_EQ(w->TopOffset, -1);
    // Cell 0 keeps A exactly; the cut glyph reaches neither it nor cell 2.
    const BYTE expectA[6] = {0x20, 0x50, 0x88, 0xF8, 0x88, 0x88};
    for (int y = 0; y < 24; ++y) {
        EXPECT_EQ(f->SoftCache[y * f->SoftRowBytes], y < 6 ? expectA[y] : 0) << y;
        EXPECT_EQ(f->SoftCache[y * f->SoftRowBytes + 1], 0) << y;
        EXPECT_EQ(f->SoftCache[(24 + y) * f->SoftRowBytes + 2], 0xFF) << y;
        EXPECT_EQ(f->SoftCache[(48 + y) * f->SoftRowBytes], 0) << y;
    }
}

TEST_P(GlyphCells, EdgesAreStampedWithTheirShapeAroundInk)
{
    struct Case {
        int edge;
        std::vector<std::string> mask;  // '2' edge, '1' body, '.' nothing
    };
    const Case cases[] = {
        {1, {".2.", "212", ".2."}},
        {2, {".222.", "22222", "22122", "22222", ".222."}},
        {3, {"...2...", ".22222.", ".22222.", "2221222", ".22222.", ".22222.", "...2..."}},
        {4, {"..22222..", ".2222222.", "222222222", "222222222", "222212222", "222222222", "222222222",
             ".2222222.", "..22222.."}},
        {5, {"22222222222", "22222222222", "22222222222", "22222222222", "22222222222", "22222122222",
             "22222222222", "22222222222", "22222222222", "22222222222", "22222222222"}},
    };
    for (const Case& c : cases) {
        const int h = CreateFontToHandle(nullptr, -1, -1, 1, -1, c.edge, -1, -1, -1);
        const FONTREC* f = GetFontRecord(h);
        const GLYPHENTRY* x = Render(h, "x");
        EXPECT_EQ(x->BoxWidth, 1 + 2 * c.edge);
        EXPECT_EQ(x->Advance, 3 + 2 * c.edge);
        const int side = 2 * c.edge + 1;
        std::vector<std::string> expected;
        for (const std::string& row : c.mask) {
            std::string bytes;
            for (std::size_t i = 0; i < row.size(); ++i) {
                bytes += row[i] == '.' ? "00" : row[i] == '1' ? "01" : "02";
                if (i + 1 < row.size()) bytes += ' ';
            }
            expected.push_back(bytes);
        }
        EXPECT_EQ(CellBytes(f, x->Slot, side, side), expected) << "edge " << c.edge;
        DestroyFontHandle(h);
    }
}

TEST_P(GlyphCells, GreyLevelsAndEdgedGreyNibbles)
{
    const int grey = CreateFontToHandle(nullptr, -1, -1, 2, -1, -1, -1, -1, -1);
    const GLYPHENTRY* g = Render(grey, "g");
    EXPECT_EQ(CellBytes(GetFontRecord(grey), g->Slot, 4, 1), (std::vector<std::string>{"00 0F 07 00"}));

    const int edged = CreateFontToHandle(nullptr, -1, -1, 3, -1, 1, -1, -1, -1);
    const GLYPHENTRY* e = Render(edged, "g");
    // Level 1 has no body; level 16 beside it gives its neighbours 0xF0.
    EXPECT_EQ(CellBytes(GetFontRecord(edged), e->Slot, 5, 3),
              (std::vector<std::string>{"00 00 F0 70 00", "00 F0 7F F7 70", "00 00 F0 70 00"}));
}

TEST_P(GlyphCells, BlankGlyphsTakeACellWithOnlyTheirAdvance)
{
    const int h = CreateFontToHandle(nullptr, -1, -1, 0, -1, -1, -1, -1, -1);
    struct Case {
        const char* text;
        int advance;
    };
    for (const Case& c : {Case{" ", 8}, Case{"\x81\x40", 16}, Case{"\x01", 5}}) {
        const GLYPHENTRY* e = Render(h, c.text);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->BoxWidth, 0) << c.advance;
        EXPECT_EQ(e->BoxHeight, 0) << c.advance;
        EXPECT_EQ(e->Advance, c.advance);
    }
    EXPECT_EQ(GetFontRecord(h)->NextSlot, 3);
}

INSTANTIATE_TEST_SUITE_P(Depths, GlyphCells, testing::Values(32));

} // namespace
