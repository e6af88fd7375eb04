// GDI fonts: the FreeType adapter on a tiny BDF font written here (exact
// glyphs, metrics, GDI bitmap layouts, code page lookup, synthetic bold), and
// a smoke test of the system's Japanese font behind the default face.
#include "platform/gdi/font.h"

#include "platform/gdi/font_source.h"
#include "platform/gdi/gdi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// 8 pixels high (ascent 6, descent 2), Unicode encoded. Glyph 0 (the
// default character) is a hollow box.
const char kTinyBdf[] = R"(STARTFONT 2.1
FONT -zarvo-tiny-medium-r-normal--8-80-75-75-c-80-iso10646-1
SIZE 8 75 75
FONTBOUNDINGBOX 10 8 0 -2
STARTPROPERTIES 4
FAMILY_NAME "ZarvoTiny"
FONT_ASCENT 6
FONT_DESCENT 2
DEFAULT_CHAR 0
ENDPROPERTIES
CHARS 8
STARTCHAR box
ENCODING 0
SWIDTH 750 0
DWIDTH 6 0
BBX 4 6 1 0
BITMAP
F0
90
90
90
90
F0
ENDCHAR
STARTCHAR space
ENCODING 32
SWIDTH 500 0
DWIDTH 4 0
BBX 0 0 0 0
BITMAP
ENDCHAR
STARTCHAR A
ENCODING 65
SWIDTH 750 0
DWIDTH 6 0
BBX 5 6 0 0
BITMAP
20
50
88
F8
88
88
ENDCHAR
STARTCHAR underscore
ENCODING 95
SWIDTH 625 0
DWIDTH 5 0
BBX 4 1 0 -2
BITMAP
F0
ENDCHAR
STARTCHAR i
ENCODING 105
SWIDTH 375 0
DWIDTH 3 0
BBX 1 5 1 0
BITMAP
80
00
80
80
80
ENDCHAR
STARTCHAR a-hiragana
ENCODING 12354
SWIDTH 1000 0
DWIDTH 8 0
BBX 3 3 2 1
BITMAP
A0
40
A0
ENDCHAR
STARTCHAR ga
ENCODING 44032
SWIDTH 1000 0
DWIDTH 8 0
BBX 2 2 0 0
BITMAP
C0
C0
ENDCHAR
STARTCHAR kan
ENCODING 28450
SWIDTH 1250 0
DWIDTH 10 0
BBX 10 2 0 0
BITMAP
FFC0
8040
ENDCHAR
ENDFONT
)";

// Opens the test's BDF file for every request.
class FileSource final : public FontSource {
public:
    explicit FileSource(std::string path) : path_(std::move(path)) {}
    std::unique_ptr<FontFace> Open(const FontRequest& request) override
    {
        return OpenFreeTypeFace(path_.c_str(), 0, request);
    }

private:
    std::string path_;
};

const MAT2 kIdentity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};

class TinyFont : public testing::Test {
protected:
    void SetUp() override
    {
        char path[] = "/tmp/zarvo_tiny_XXXXXX";
        const int fd = mkstemp(path);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, kTinyBdf, sizeof kTinyBdf - 1), static_cast<ssize_t>(sizeof kTinyBdf - 1));
        close(fd);
        path_ = path;
        source_ = std::make_unique<FileSource>(path_);
        SetFontSourceForTest(source_.get());
        dc_ = CreateCompatibleDC(nullptr);
    }
    void TearDown() override
    {
        SetFontSourceForTest(nullptr);
        DeleteDC(dc_);
        for (HFONT f : fonts_) DeleteObject(f);
        std::remove(path_.c_str());
    }

    HFONT Select(int weight = FW_NORMAL, DWORD charSet = SHIFTJIS_CHARSET)
    {
        HFONT font = CreateFontA(8, 0, 0, 0, weight, 0, 0, 0, charSet, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, FIXED_PITCH, "ZarvoTiny");
        EXPECT_NE(font, nullptr);
        fonts_.push_back(font);
        SelectObject(dc_, font);
        return font;
    }

    struct Glyph {
        DWORD size = 0;
        GLYPHMETRICS gm{};
        std::vector<BYTE> bits;
    };
    Glyph Outline(UINT code, UINT format)
    {
        Glyph g;
        g.size = GetGlyphOutlineA(dc_, code, format, &g.gm, 0, nullptr, &kIdentity);
        if (g.size == GDI_ERROR || g.size == 0) return g;
        g.bits.assign(g.size, 0xEE);
        GLYPHMETRICS again{};
        EXPECT_EQ(GetGlyphOutlineA(dc_, code, format, &again, g.size, g.bits.data(), &kIdentity), g.size);
        return g;
    }

    std::string path_;
    std::unique_ptr<FileSource> source_;
    HDC dc_ = nullptr;
    std::vector<HFONT> fonts_;
};

TEST_F(TinyFont, MetricsComeFromTheStrike)
{
    Select();
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(dc_, &tm));
    EXPECT_EQ(tm.tmHeight, 8);
    EXPECT_EQ(tm.tmAscent, 6);
    EXPECT_EQ(tm.tmDescent, 2);
    EXPECT_EQ(tm.tmMaxCharWidth, 10);
}

TEST_F(TinyFont, MonochromeRowsArePaddedToFourBytesMostSignificantBitFirst)
{
    Select();
    const Glyph a = Outline('A', GGO_BITMAP);
    ASSERT_EQ(a.size, 24u);  // 6 rows of 4 bytes
    EXPECT_EQ(a.gm.gmBlackBoxX, 5u);
    EXPECT_EQ(a.gm.gmBlackBoxY, 6u);
    EXPECT_EQ(a.gm.gmptGlyphOrigin.x, 0);
    EXPECT_EQ(a.gm.gmptGlyphOrigin.y, 6);
    EXPECT_EQ(a.gm.gmCellIncX, 6);
    const std::vector<BYTE> rows = {0x20, 0, 0, 0, 0x50, 0, 0, 0, 0x88, 0, 0, 0,
                                    0xF8, 0, 0, 0, 0x88, 0, 0, 0, 0x88, 0, 0, 0};
    EXPECT_EQ(a.bits, rows);

    // Ten pixels wide: the row runs into its second byte.
    const Glyph wide = Outline(0x8ABF, GGO_BITMAP);  // the kanji, by its Shift-JIS code
    ASSERT_EQ(wide.size, 8u);
    EXPECT_EQ(wide.bits, (std::vector<BYTE>{0xFF, 0xC0, 0, 0, 0x80, 0x40, 0, 0}));

    // Below the baseline the top row lies under it.
    EXPECT_EQ(Outline('_', GGO_BITMAP).gm.gmptGlyphOrigin.y, -1);
}

TEST_F(TinyFont, GreyLevelsRunFromZeroToSixteenInFourByteRows)
{
    Select();
    const Glyph i = Outline('i', GGO_GRAY4_BITMAP);
    ASSERT_EQ(i.size, 20u);  // 5 rows of 1 pixel padded to 4
    EXPECT_EQ(i.gm.gmptGlyphOrigin.x, 1);
    const std::vector<BYTE> rows = {16, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 16, 0, 0, 0, 16, 0, 0, 0};
    EXPECT_EQ(i.bits, rows);
}

TEST_F(TinyFont, ShiftJisCodesReachTheirUnicodeGlyphsAndUnknownOnesTheDefaultGlyph)
{
    Select();
    const Glyph a = Outline(0x82A0, GGO_BITMAP);  // hiragana a
    EXPECT_EQ(a.gm.gmBlackBoxX, 3u);
    EXPECT_EQ(a.gm.gmCellIncX, 8);
    EXPECT_EQ(a.bits, (std::vector<BYTE>{0xA0, 0, 0, 0, 0x40, 0, 0, 0, 0xA0, 0, 0, 0}));

    const Glyph box = Outline('Z', GGO_BITMAP);  // not in the font
    EXPECT_EQ(box.gm.gmBlackBoxX, 4u);
    EXPECT_EQ(box.gm.gmCellIncX, 6);
    EXPECT_EQ(box.bits[0], 0xF0);
    EXPECT_EQ(Outline(0xF040, GGO_BITMAP).bits, box.bits);  // a user-defined code: no character at all
}

TEST_F(TinyFont, HangulFontsReadTheirCodesInCodePage949)
{
    Select(FW_NORMAL, HANGEUL_CHARSET);
    const Glyph ga = Outline(0xB0A1, GGO_BITMAP);
    EXPECT_EQ(ga.gm.gmBlackBoxX, 2u);
    EXPECT_EQ(ga.bits, (std::vector<BYTE>{0xC0, 0, 0, 0, 0xC0, 0, 0, 0}));
}

TEST_F(TinyFont, BlankGlyphNeedsNoBytesAndReportsAOnePixelBox)
{
    Select();
    for (UINT format : {GGO_BITMAP, GGO_GRAY4_BITMAP}) {
        const Glyph space = Outline(' ', format);
        EXPECT_EQ(space.size, 0u);
        EXPECT_EQ(space.gm.gmBlackBoxX, 1u);
        EXPECT_EQ(space.gm.gmBlackBoxY, 1u);
        EXPECT_EQ(space.gm.gmCellIncX, 4);
    }
}

TEST_F(TinyFont, RefusesWhatItCannotServe)
{
    GLYPHMETRICS gm{};
    EXPECT_EQ(GetGlyphOutlineA(dc_, 'A', GGO_BITMAP, &gm, 0, nullptr, &kIdentity), GDI_ERROR);  // no font selected
    TEXTMETRICA tm{};
    EXPECT_FALSE(GetTextMetricsA(dc_, &tm));
    HFONT font = Select();
    BYTE small[4];
    EXPECT_EQ(GetGlyphOutlineA(dc_, 'A', GGO_BITMAP, &gm, sizeof small, small, &kIdentity), GDI_ERROR);
    const MAT2 twice{{0, 2}, {0, 0}, {0, 0}, {0, 2}};
    EXPECT_EQ(GetGlyphOutlineA(dc_, 'A', GGO_BITMAP, &gm, 0, nullptr, &twice), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(dc_, 'A', 6, &gm, 0, nullptr, &kIdentity), GDI_ERROR);  // 65 levels: not served
    // A selected font cannot be deleted; once the stock font is back it can.
    EXPECT_FALSE(DeleteObject(font));
    HGDIOBJ previous = SelectObject(dc_, font);
    EXPECT_EQ(previous, font);
}

TEST_F(TinyFont, SemiboldOnAMediumFaceThickensByOnePixel)
{
    Select(FW_SEMIBOLD);
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(dc_, &tm));
    EXPECT_EQ(tm.tmMaxCharWidth, 11);
    const Glyph a = Outline('A', GGO_BITMAP);
    EXPECT_EQ(a.gm.gmBlackBoxX, 6u);
    EXPECT_EQ(a.gm.gmCellIncX, 7);
    // 00100 -> 001100, 10001 -> 110011
    EXPECT_EQ(a.bits[0], 0x30);
    EXPECT_EQ(a.bits[8], 0xCC);
}

// The default face on the installed Japanese font.
TEST(SystemFont, DefaultFaceServesJapaneseGlyphsAtTheRequestedCellHeight)
{
    const char* face = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";
    HFONT font = CreateFontA(16, 0, 0, 0, 600, 0, 0, 0, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             NONANTIALIASED_QUALITY, FIXED_PITCH, face);
    ASSERT_NE(font, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(tm.tmHeight, 16);
    EXPECT_GE(tm.tmMaxCharWidth, 16);
    EXPECT_LE(tm.tmMaxCharWidth, 18);

    auto bitmap = [&](UINT code) {
        GLYPHMETRICS gm{};
        const DWORD size = GetGlyphOutlineA(dc, code, GGO_BITMAP, &gm, 0, nullptr, &kIdentity);
        std::vector<BYTE> bits(size == GDI_ERROR ? 0 : size);
        if (!bits.empty()) GetGlyphOutlineA(dc, code, GGO_BITMAP, &gm, size, bits.data(), &kIdentity);
        return bits;
    };
    const std::vector<BYTE> missing = bitmap(0xF040);
    for (UINT code : {0x96A2u, 0x8F6Fu, 0x8CBBu, 0x834Eu, 0x838Au, 0x8341u, 0x8D87u, 0x8C76u, 0x82A0u}) {
        const std::vector<BYTE> bits = bitmap(code);
        int ink = 0;
        for (BYTE b : bits) ink += __builtin_popcount(b);
        EXPECT_GT(ink, 10) << std::hex << code;
        EXPECT_NE(bits, missing) << std::hex << code;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(font));
}

} // namespace
