// The game's texts with the default font on the installed Japanese font:
// every character draws ink where the pen puts it, and no Japanese
// character draws the font's missing-glyph box.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/api.h"
#include "core/sysstate.h"
#include "graphics/drawstate.h"
#include "graphics/font/font.h"
#include "graphics/screen.h"
#include "support/library_fixture.h"

namespace {

using u32 = std::uint32_t;

class GameText : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(StartDrawingLibrary(640, 480, 32), 0);
        background_ = GetColorValue(255, 255, 255);
        Clear();
    }
    void TearDown() override { EndDrawingLibrary(); }

    void Clear()
    {
        MEMIMG* img = ScreenState.DrawImage;
        ASSERT_NE(img, nullptr);
        for (int y = 0; y < img->Height; ++y)
            for (int x = 0; x < img->Width; ++x) Set(x, y, background_);
    }
    u32 Get(int x, int y) const
    {
        const MEMIMG* img = ScreenState.DrawImage;
        u32 v;
        std::memcpy(&v, img->Pixels + y * img->Body->Pitch + x * 4, 4);
        return v & 0xFFFFFF;
    }
    void Set(int x, int y, u32 v)
    {
        MEMIMG* img = ScreenState.DrawImage;
        std::memcpy(img->Pixels + y * img->Body->Pitch + x * 4, &v, 4);
    }
    // Pixels of the colour inside a box, and the box's pattern.
    int Ink(int x0, int y0, int w, int h, u32 colour, std::vector<bool>* pattern = nullptr) const
    {
        int n = 0;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) {
                const bool on = Get(x, y) == (colour & 0xFFFFFF);
                n += on ? 1 : 0;
                if (pattern != nullptr) pattern->push_back(on);
            }
        return n;
    }

    u32 background_ = 0;
};

TEST_F(GameText, TheGamesStringsDrawLegibleGlyphsAtTheirPlaces)
{
    const u32 black = GetColorValue(0, 0, 0);
    const u32 red = GetColorValue(255, 0, 0);
    const int font = QueryDefaultFontHandle();
    ASSERT_TRUE(IsFontHandleLive(font));
    const FONTREC* f = GetFontRecord(font);
    EXPECT_EQ(f->CellSide, 24);  // metrics of a 16-pixel Japanese monospace face
    const int half = f->CellHeight / 2;  // the advance of a half-width character, roughly

    struct Case {
        int y;
        u32 colour;
        const char* text;
        int chars;  // columns of half-width advance
    };
    const Case cases[] = {
        {85, black, "Stage12", 7}, {115, black, "Best:34sec", 10}, {115, red, "未出現", 6},
        {115, red, "未クリア", 8}, {320, black, "合計1234 sec", 12},
    };
    for (const Case& c : cases) {
        Clear();
        ASSERT_EQ(DrawFormattedText(450, c.y, c.colour, "%s", c.text), 0) << c.text;
        // Something of every character (spaces aside) lies in its column.
        int column = 0;
        for (const char* p = c.text; *p != '\0'; ++column) {
            const bool wide = (static_cast<unsigned char>(*p) & 0x80) != 0;
            if (*p != ' ') {
                EXPECT_GT(Ink(450 + column * half, c.y, wide ? 2 * half : half, f->CellHeight + 2, c.colour), 3)
                    << c.text << " column " << column;
            }
            p += wide ? 2 : 1;
            column += wide ? 1 : 0;
        }
        EXPECT_EQ(column, c.chars) << c.text;
        // Nothing outside the string's line.
        EXPECT_EQ(Ink(0, 0, 640, c.y - 2, c.colour), 0) << c.text;
    }
}

TEST_F(GameText, NoJapaneseCharacterDrawsTheMissingGlyph)
{
    const u32 black = GetColorValue(0, 0, 0);
    // A user-defined code: the font has no character for it.
    DrawFormattedText(100, 100, black, "%s", "\xF0\x40");
    std::vector<bool> missing;
    const int missingInk = Ink(100, 100, 24, 24, black, &missing);
    for (const char* ch : {"未", "出", "現", "ク", "リ", "ア", "合", "計"}) {
        Clear();
        DrawFormattedText(100, 100, black, "%s", ch);
        std::vector<bool> pattern;
        EXPECT_GT(Ink(100, 100, 24, 24, black, &pattern), 10) << ch;
        EXPECT_NE(pattern, missing) << ch << " (missing glyph has " << missingInk << " pixels)";
    }
}

TEST_F(GameText, FormattedTextLongerThanItsBufferIsCut)
{
    std::vector<char> longText(3000, 'W');
    longText.back() = '\0';
    EXPECT_EQ(DrawFormattedText(0, 0, GetColorValue(0, 0, 0), "%s", longText.data()), 0);
}

} // namespace
