// Text drawing over hand-made glyphs: measuring, the 256-cell cap, exact
// glyph pixels on 16- and 32-bit screens with brightness and clipping,
// vertical text, the encodings of edged and grey fonts, the blended path,
// grey strings blended in place against their composed image, and the
// formatted public entry.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "font_fixture.h"
#include "graphics/soft/draw2d.h"
#include "graphics/graph.h"
#include "graphics/imagesurface.h"
#include "graphics/matrix.h"
#include "graphics/soft/surface2d.h"
#include "platform/display/display.h"
#include "platform/window/window.h"
#include "support/library_fixture.h"
#include "support/soft_image.h"

namespace {

using TextDraw = FontFixture;

int Measure(int font, const char* text, int vertical, SIZE* size, int scale = 0, double rate = 1.0)
{
    return RenderStringWithFontCache(0, 0, 0, scale, rate, rate, text, 0, nullptr, nullptr, 1, font, 0, -1, vertical,
                                     size);
}

TEST_P(TextDraw, MeasuringAddsAdvancesAndSpacingUpToTheCap)
{
    const int h = CreateFontToHandle(nullptr, -1, -1, 0, -1, -1, -1, -1, -1);
    StoreFontSpacing(1, h);
    SIZE size{};
    EXPECT_EQ(Measure(h, "AB", 0, &size), 19);
    EXPECT_EQ(size.cx, 19);
    EXPECT_EQ(size.cy, 16);
    EXPECT_EQ(Measure(h, "AB", 1, &size), 19);
    EXPECT_EQ(size.cx, 16);
    EXPECT_EQ(size.cy, 19);
    EXPECT_EQ(Measure(h, "AB", 0, nullptr, 1, 2.0), 19);  // a software cache ignores the rates
    EXPECT_EQ(Measure(h, "A\x81\x40 B", 0, nullptr), 9 + 17 + 9 + 10);

    const std::string many(300, 'x');
    EXPECT_EQ(Measure(h, many.c_str(), 0, nullptr), 256 * 4);
    int count = 0;
    EXPECT_EQ(SplitStringForFont(nullptr, many.c_str(), h, -1, &count), 0);
    EXPECT_EQ(count, 256);
    EXPECT_EQ(SplitStringForFont(nullptr, "AB", -1, -1, &count), -1);
    EXPECT_EQ(Measure(h, "ABAB", 0, nullptr), 38);
    EXPECT_EQ(RenderStringWithFontCache(0, 0, 0, 0, 1, 1, "ABAB", 0, nullptr, nullptr, 1, h, 0, 3, 0, nullptr), 28);
    // Drawing the long string writes within its cells and the screen.
    EXPECT_EQ(DrawTextWithFontHandle(0, 0, many.c_str(), GetColorValue(255, 255, 255), h, 0, 0), 0);
}

TEST_P(TextDraw, GlyphsLandAtPenPlusBearingInTheBrightenedColour)
{
    const int h = QueryDefaultFontHandle();
    SelectBrightness(128, 255, 255);
    ASSERT_EQ(DrawTextWithFontHandle(10, 20, "A B", GetColorValue(200, 100, 50), h, 0, 0), 0);
    SelectBrightness(255, 255, 255);
    const std::uint32_t ink = Raw(200 * 128 / 255, 100, 50);
    // A at x 10 + 1, y 20 + 3; the space advances 8; B at 10 + 8 + 8.
    const std::vector<std::string> a = {"..#..", ".#.#.", "#...#", "#####", "#...#", "#...#"};
    const std::vector<std::string> b = {"####.", "#...#", "####.", "#...#", "####."};
    for (int y = 15; y < 40; ++y)
        for (int x = 5; x < 40; ++x) {
            bool on = false;
            if (y >= 23 && y < 29 && x >= 11 && x < 16) on = a[y - 23][x - 11] == '#';
            if (y >= 23 && y < 28 && x >= 26 && x < 31) on = b[y - 23][x - 26] == '#';
            ASSERT_EQ(Get(x, y), on ? ink : 0u) << x << "," << y;
        }
}

TEST_P(TextDraw, TextIsClippedToTheDrawArea)
{
    SelectDrawTarget(-2);
    StoreDrawArea(0, 0, 13, 480);
    const std::uint32_t white = GetColorValue(255, 255, 255);
    ASSERT_EQ(DrawTextWithFontHandle(10, 20, "A", white, QueryDefaultFontHandle(), 0, 0), 0);
    int inside = 0;
    for (int y = 20; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            if (Get(x, y) == 0) continue;
            EXPECT_LT(x, 13);
            ++inside;
        }
    EXPECT_GT(inside, 3);
    // Cut on the left: the glyph's columns 1 to 4 show at x 0 to 3.
    ASSERT_EQ(DrawTextWithFontHandle(-2, 100, "A", white, QueryDefaultFontHandle(), 0, 0), 0);
    const std::uint32_t ink = Raw(255, 255, 255);
    EXPECT_EQ(Get(0, 103), 0u);
    EXPECT_EQ(Get(1, 103), ink);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Get(x, 106), ink) << x;
    EXPECT_EQ(Get(4, 106), 0u);
    // A string starting at or right of the area's right edge draws nothing.
    EXPECT_EQ(DrawTextWithFontHandle(13, 60, "A", white, QueryDefaultFontHandle(), 0, 0), 0);
    StoreDrawArea(0, 0, 640, 480);
}

TEST_P(TextDraw, VerticalGlyphsTurnAQuarterClockwise)
{
    const std::uint32_t white = GetColorValue(255, 255, 255);
    ASSERT_EQ(DrawTextWithFontHandle(100, 50, "v", white, QueryDefaultFontHandle(), 0, 1), 0);
    // Rows "##" / "#.", top offset 0, cell height 16: the top row becomes column 115.
    std::vector<std::pair<int, int>> inked;
    for (int y = 40; y < 70; ++y)
        for (int x = 90; x < 130; ++x)
            if (Get(x, y) != 0) inked.push_back({x, y});
    EXPECT_EQ(inked, (std::vector<std::pair<int, int>>{{114, 50}, {115, 50}, {115, 51}}));
}

// Colour values are screen values; the images here are 32-bit.
using TextEncodings = FontFixture;

TEST_P(TextEncodings, EdgedAndGreyEncodingsBecomePixels)
{
    const std::uint32_t colour = GetColorValue(0, 0, 0);
    const std::uint32_t edge = GetColorValue(255, 255, 255);
    const RECT clip{0, 0, 16, 16};

    const int edged = CreateFontToHandle(nullptr, -1, -1, 1, -1, 1, -1, -1, -1);
    SoftImage plain(16, 16, 1);
    plain.Fill(0x123456);
    RenderStringWithFontCache(1, 0, 0, 0, 1, 1, "x", colour, plain.Img(), &clip, 1, edged, edge, -1, 0, nullptr);
    // 'x' sits at (0 + 1, 13 - 5 + 1) with its edge one pixel round.
    EXPECT_EQ(plain.Get(1, 9) & 0xFFFFFF, 0u);
    EXPECT_EQ(plain.Get(0, 9) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(plain.Get(1, 8) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(plain.Get(0, 8), 0x123456u);

    const int grey = CreateFontToHandle(nullptr, -1, -1, 2, -1, -1, -1, -1, -1);
    SoftImage alpha(16, 16, 1, false, true);
    alpha.Fill(0);
    RenderStringWithFontCache(1, 0, 0, 0, 1, 1, "g", GetColorValue(10, 20, 30), alpha.Img(), &clip, 1, grey, 0, -1, 0,
                              nullptr);
    EXPECT_EQ(alpha.Get(0, 3), 0u);             // level 1: no ink
    EXPECT_EQ(alpha.Get(1, 3), 0xFF0A141Eu);    // level 16: full alpha
    EXPECT_EQ(alpha.Get(2, 3), 0x770A141Eu);    // level 8: 7 x 17

    const int both = CreateFontToHandle(nullptr, -1, -1, 3, -1, 1, -1, -1, -1);
    alpha.Fill(0);
    RenderStringWithFontCache(1, 0, 0, 0, 1, 1, "g", colour, alpha.Img(), &clip, 1, both, edge, -1, 0, nullptr);
    // Body 7 under edge 15: alpha (8 x 15 + 16 x 7) = 232, t = 7 x 4096 / 232 = 123,
    // each channel 255 + (0 - 255) x 123 / 256, truncated toward zero: 133.
    EXPECT_EQ(alpha.Get(3, 4), 0xE8858585u);
    EXPECT_EQ(alpha.Get(2, 4), 0xFF000000u);  // full body
    EXPECT_EQ(alpha.Get(2, 3), 0xF0FFFFFFu);  // edge alone
}

TEST_P(TextDraw, BlendedTextTakesTheBlendModeOnce)
{
    Fill(Raw(0, 0, 200));
    SelectBlendMode(1, 128);
    ASSERT_EQ(DrawTextWithFontHandle(10, 20, "A", GetColorValue(250, 0, 0), QueryDefaultFontHandle(), 0, 0), 0);
    SelectBlendMode(0, 255);
    const std::uint32_t under = Raw(0, 0, 200);
    int mixed = 0;
    for (int y = 15; y < 40; ++y)
        for (int x = 5; x < 40; ++x) {
            const std::uint32_t v = Get(x, y);
            const bool glyph = y >= 23 && y < 29 && x >= 11 && x < 16 && (y != 23 || x == 13);
            if (!glyph) {
                ASSERT_EQ(v, under) << x << "," << y;
            } else if (v != under) {
                const int r = Bits() == 32 ? (v >> 16) & 0xFF : ((v >> 11) & 0x1F) << 3;
                const int b = Bits() == 32 ? v & 0xFF : (v & 0x1F) << 3;
                EXPECT_GT(r, 90);
                EXPECT_LT(r, 160);
                EXPECT_GT(b, 60);
                EXPECT_LT(b, 140);
                ++mixed;
            }
        }
    EXPECT_EQ(mixed, 14);
}

TEST_P(TextDraw, BlendedTextDarkenedToTheKeyColourStillShows)
{
    Fill(Raw(0, 0, 200));
    SelectBlendMode(1, 128);
    SelectBrightness(0, 0, 0);
    ASSERT_EQ(DrawTextWithFontHandle(10, 20, "A", GetColorValue(255, 255, 255), QueryDefaultFontHandle(), 0, 0), 0);
    SelectBrightness(255, 255, 255);
    SelectBlendMode(0, 255);
    int darker = 0;
    for (int y = 20; y < 40; ++y)
        for (int x = 5; x < 40; ++x) darker += Get(x, y) != Raw(0, 0, 200) ? 1 : 0;
    EXPECT_EQ(darker, 14);
}

TEST_P(TextDraw, FormattedTextDrawsWithTheDefaultFont)
{
    const std::uint32_t colour = GetColorValue(0, 255, 0);
    ASSERT_EQ(DrawFormattedText(10, 20, colour, "%d", 5), 0);
    std::vector<std::uint32_t> formatted;
    for (int y = 20; y < 40; ++y)
        for (int x = 10; x < 30; ++x) formatted.push_back(Get(x, y));
    Fill(0);
    DrawTextWithFontHandle(10, 20, "5", colour, QueryDefaultFontHandle(), 0, 0);
    std::vector<std::uint32_t> direct;
    for (int y = 20; y < 40; ++y)
        for (int x = 10; x < 30; ++x) direct.push_back(Get(x, y));
    EXPECT_EQ(formatted, direct);
    EXPECT_EQ(std::count(direct.begin(), direct.end(), Raw(0, 255, 0)), 9);

    EXPECT_EQ(DrawTextWithFontHandle(0, 0, "A", colour, 0x20000005, 0, 0), -1);
    EXPECT_TRUE(Contains(ReadLogFile(), "フォントハンドル値が異常です"));
    EXPECT_EQ(DrawTextWithFontHandle(0, 0, "", colour, 0x20000005, 0, 0), 0);
}

TEST_P(TextEncodings, TextOnTheFrontScreenShowsAtOnce)
{
    ASSERT_EQ(SelectDrawTarget(-4), 0);
    ASSERT_EQ(DrawTextWithFontHandle(10, 20, "A", GetColorValue(255, 255, 255), QueryDefaultFontHandle(), 0, 0), 0);
    int w = 0;
    int h = 0;
    const std::uint32_t* shown = GetLastPresentedPixels(&w, &h);
    ASSERT_NE(shown, nullptr);
    ASSERT_GE(w, 640);
    // The row "#####" of 'A' at (11, 26), without a present.
    for (int x = 11; x < 16; ++x) EXPECT_EQ(shown[26 * w + x] & 0xFFFFFF, 0xFFFFFFu) << x;
    EXPECT_EQ(shown[26 * w + 16] & 0xFFFFFF, 0u);
    SelectDrawTarget(-2);
}

TEST_P(TextEncodings, StringsOnDirectDrawSurfacesMatchTheSoftwareScreen)
{
    const std::uint32_t colour = GetColorValue(200, 100, 50);
    const int font = QueryDefaultFontHandle();
    struct Blend {
        int mode, param;
    };
    for (const Blend b : {Blend{0, 255}, Blend{1, 128}}) {
        Fill(Raw(0, 0, 90));
        SelectBlendMode(b.mode, b.param);
        ASSERT_EQ(DrawTextWithFontHandle(3, 4, "AB", colour, font, 0, 0), 0);
        std::vector<std::uint32_t> soft;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) soft.push_back(Get(x, y));

        // The same string through the DirectDraw path, into a graph's surface.
        ScreenState.SoftwareRendering = 0;
        ScreenState.GdiOnly = 0;
        const int target = CreateBlankGraph(64, 48, 1);
        IMGSURFREC* is = GetImageSurfaceRecord(GetSurface2DRecord(GetGraphRecord(target)->Surfaces[0])->ImageSurface);
        ASSERT_NE(is->Surface, nullptr);
        FillGraphWithColor(target, 0, 0, 90, 255);
        ASSERT_EQ(SelectDrawTarget(target), 0);
        EXPECT_EQ(DrawTextWithFontHandle(3, 4, "AB", colour, font, 0, 0), 0);
        std::vector<std::uint32_t> surface;
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        ASSERT_TRUE(SUCCEEDED(is->Surface->Lock(nullptr, &d, DDLOCK_WAIT, nullptr)));
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                std::uint32_t v = 0;
                std::memcpy(&v, static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * 4, 4);
                surface.push_back(v & 0xFFFFFF);
            }
        is->Surface->Unlock(nullptr);
        SelectDrawTarget(-2);
        DestroyGraphHandle(target, 0);
        ScreenState.SoftwareRendering = 1;
        ScreenState.GdiOnly = 1;
        SelectBlendMode(0, 255);
        EXPECT_EQ(surface, soft) << "blend mode " << b.mode;
    }
}

using FullScreenText = FontFixture;

// In full screen a focus return rebuilds the lost screen and makes every font
// anew; text that waited for the window draws with the new font.
TEST_P(FullScreenText, TextThatWaitedForTheWindowDrawsWithTheFontsMadeAgain)
{
    ASSERT_EQ(SysState.WindowModeFlag, 0);
    SimulateFocusChange(SysState.MainWindow, false);
    ASSERT_EQ(SysState.ActiveFlag, 0);
    QueueFocusChange(SysState.MainWindow, true);
    const std::uint32_t colour = GetColorValue(0, 255, 0);
    ASSERT_EQ(DrawFormattedText(10, 20, colour, "%d", 5), 0);
    EXPECT_EQ(SysState.ActiveFlag, 1);
    int lit = 0;
    for (int y = 20; y < 40; ++y)
        for (int x = 10; x < 30; ++x) lit += Get(x, y) == Raw(0, 255, 0) ? 1 : 0;
    EXPECT_EQ(lit, 9);
}

INSTANTIATE_TEST_SUITE_P(Depths, FullScreenText, testing::Values(16));
INSTANTIATE_TEST_SUITE_P(Depths, TextEncodings, testing::Values(32));
INSTANTIATE_TEST_SUITE_P(Depths, TextDraw, testing::Values(32, 16),
                         [](const testing::TestParamInfo<int>& p) { return "Bits" + std::to_string(p.param); });

} // namespace

namespace {

// The anti-aliased string as the blended path composes it: on the font's
// drawing surface, then blitted with the key and the blend mode once.
void ComposeGreyString(int x, int y, const char* text, DWORD colour, int font)
{
    SIZE size{};
    RenderStringWithFontCache(0, x, y, 0, 1.0, 1.0, text, colour, nullptr, nullptr, 1, font, 0, -1, 0, &size);
    RefreshFontCacheSurfaces(font);
    const FONTREC* f = GetFontRecord(font);
    MEMIMG* image = &GetImageSurfaceRecord(GetSurface2DRecord(f->DrawSurface)->ImageSurface)->Image;
    int sw = 0;
    int sh = 0;
    GetScreenPixelSize(&sw, &sh);
    const RECT compose{0, 0, std::min<LONG>(size.cx, sw), std::min<LONG>(size.cy, sh)};
    FillMemImgRectRaw(image, &compose, 0);
    RenderStringWithFontCache(1, 0, 0, 0, 1.0, 1.0, text, colour, image, &compose, 1, font, 0, -1, 0, nullptr);
    const RECT saved = DrawState.DrawArea;
    const DWORD bright = DrawState.DrawBright;
    DrawState.DrawBright = 0xFFFFFF;
    RECT area{x, y, x + size.cx, y + size.cy};
    ClipRectAgainstRect(&area, &saved);
    DrawState.DrawArea = area;
    DrawSurface2DAt(x, y, f->DrawSurface, 1);
    DrawState.DrawArea = saved;
    DrawState.DrawBright = bright;
}

TEST_P(TextDraw, GreyStringsDrawAsTheirComposedImage)
{
    // Every level, glyphs that reach past their advance and one that overlaps its neighbour.
    Source().AddGlyph('L', 0, 12, 17, {"123456789abcdefg", "g.f.e.d.c.b.a.98", "#7#6#5#4#3#2#1#."});
    Source().AddGlyph('W', 0, 12, 3, {"8#c4", "a.1g"});
    Source().AddGlyph('o', -2, 11, 4, {"6#9"});
    const int grey = CreateFontToHandle(nullptr, -1, -1, 2, -1, -1, -1, -1, -1);
    struct Case {
        const char* text;
        int x, y, mode, param;
        int bright[3];
        RECT area;
        const char* what;
    } cases[] = {
        {"LgL A", 10, 20, 0, 255, {255, 255, 255}, {0, 0, 640, 480}, "plain alpha"},
        {"LgL A", 10, 20, 1, 100, {200, 128, 255}, {0, 0, 640, 480}, "blend under a brightness"},
        {"LWLWx", 10, 20, 2, 180, {255, 255, 255}, {0, 0, 640, 480}, "add, glyphs past their advance"},
        {"LWLWx", 10, 20, 3, 255, {90, 255, 30}, {0, 0, 640, 480}, "subtract"},
        {"LgL A", 10, 20, 4, 128, {255, 255, 255}, {0, 0, 640, 480}, "multiply"},
        {"LgL A", 10, 20, 0, 255, {255, 255, 255}, {14, 22, 30, 33}, "inside a small area"},
        {"LoL", 10, 20, 0, 255, {255, 255, 255}, {0, 0, 640, 480}, "overlapping glyphs"},
        {"LLL", -20, -2, 1, 200, {255, 255, 255}, {0, 0, 640, 480}, "off the top-left"},
        {"LLLL", 600, 470, 0, 255, {255, 255, 255}, {0, 0, 640, 480}, "off the bottom-right"},
        {"LgL", 10, 20, 0, 255, {0, 0, 0}, {0, 0, 640, 480}, "black brightness"},
    };
    const DWORD colour = GetColorValue(230, 120, 40);
    for (const Case& c : cases) {
        const int w = 640;
        const int h = 480;
        auto paint = [&] {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                {
                    const std::uint32_t v = Raw(x % 256, y % 256, (x + y) % 256);
                    std::memcpy(Screen()->Pixels + y * Screen()->Body->Pitch + x * (Bits() / 8), &v, Bits() / 8);
                }
        };
        auto snapshot = [&] {
            std::vector<std::uint32_t> pixels;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) pixels.push_back(Get(x, y));
            return pixels;
        };
        StoreDrawArea(c.area.left, c.area.top, c.area.right, c.area.bottom);
        SelectBlendMode(c.mode, c.param);
        SelectBrightness(c.bright[0], c.bright[1], c.bright[2]);
        paint();
        ComposeGreyString(c.x, c.y, c.text, colour, grey);
        const std::vector<std::uint32_t> want = snapshot();
        paint();
        ASSERT_EQ(DrawTextWithFontHandle(c.x, c.y, c.text, colour, grey, 0, 0), 0);
        const std::vector<std::uint32_t> got = snapshot();
        SelectBrightness(255, 255, 255);
        SelectBlendMode(0, 255);
        StoreDrawArea(0, 0, 640, 480);
        int changed = 0;
        for (std::size_t i = 0; i < want.size(); ++i) {
            if (got[i] != want[i]) {
                ADD_FAILURE() << c.what << ": pixel " << i % w << "," << i / w << " got " << std::hex << got[i]
                              << " want " << want[i];
                break;
            }
        }
        paint();
        const std::vector<std::uint32_t> before = snapshot();
        for (std::size_t i = 0; i < want.size(); ++i) changed += want[i] != before[i] ? 1 : 0;
        EXPECT_GT(changed, 0) << c.what;
    }
}

}  // namespace
