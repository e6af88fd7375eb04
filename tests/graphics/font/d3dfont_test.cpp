// Fonts while the Direct3D back-end runs: texture glyph caches in the
// 16-bit glyph formats, strings drawn as glyph quads that match the device
// model, the same placement as software caches (also when cells are reused
// within one string), the fall-back to software caches and the cache's
// return after a reset under the same handle, the subtract of blend mode 3,
// and strings drawn as one run of glyphs queueing what glyph-by-glyph draws queue.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/api.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/d3d/d3dtexture.h"
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/font/font.h"
#include "graphics/graph.h"
#include "graphics/mask.h"
#include "graphics/screen.h"
#include "platform/d3d/d3d_test.h"
#include "platform/ddraw/ddraw_test.h"
#include "platform/display/display.h"
#include "support/d3d_batch_capture.h"
#include "support/d3d_model.h"
#include "support/fake_font.h"
#include "support/library_fixture.h"

namespace {

using namespace d3dmodel;

struct Glyph {
    unsigned code;
    int left, top, advance;
    std::vector<std::string> rows;
};

// The source's ascent is 13: a glyph's top offset is 13 - top.
const Glyph kGlyphs[] = {
    {'A', 1, 10, 8, {"..#..", ".#.#.", "#...#", "#####", "#...#", "#...#"}},
    {'B', 0, 10, 9, {"####.", "#...#", "####.", "#...#", "####."}},
    {'x', 0, 5, 3, {"#"}},
    {'5', 0, 10, 8, {"###", "#..", "##.", "..#", "##."}},
    {'v', 2, 13, 4, {"##", "#."}},
    {'g', 0, 10, 6, {"1#8", "..f"}},
};

const Glyph* Find(unsigned code)
{
    for (const Glyph& g : kGlyphs)
        if (g.code == code) return &g;
    return nullptr;
}

class D3DFont : public testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        source_ = std::make_unique<FakeFontSource>();
        for (const Glyph& g : kGlyphs) source_->AddGlyph(g.code, g.left, g.top, g.advance, g.rows);
        source_->AddBlank(' ', 8);
        ASSERT_EQ(StartDirect3DLibrary(640, 480, GetParam()), 0);
        ASSERT_EQ(IsDirect3DActive(), 1);
        SelectDrawTarget(-2);
    }
    void TearDown() override
    {
        EndDirect3DLibrary();
        source_.reset();
    }

    static void Clear()
    {
        SysState.BackgroundRed = 20;
        SysState.BackgroundGreen = 40;
        SysState.BackgroundBlue = 60;
        EraseScreen();
    }

    // The presented picture as 0xRRGGBB.
    static std::vector<u32> Shown()
    {
        PresentScreen();
        int w = 0, h = 0;
        const u32* p = GetLastPresentedPixels(&w, &h);
        std::vector<u32> out;
        for (int i = 0; p != nullptr && i < w * h; ++i) out.push_back(p[i] & 0xFFFFFF);
        return out;
    }

    std::unique_ptr<FakeFontSource> source_;
};

TEST_P(D3DFont, PlainFontsGetAnAlphaTestedTextureCacheDrawnAsGlyphQuads)
{
    const int font = CreateFontToHandle(nullptr, -1, -1, 0, -1, -1, -1, -1, -1);
    const FONTREC* f = GetFontRecord(font);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->TextureCache, 1);
    EXPECT_EQ(f->SoftCache, nullptr);
    EXPECT_EQ(f->CellSide, 24);
    EXPECT_EQ(f->CacheWidth, 512);
    EXPECT_EQ(f->SlotCount, 441);
    const GRAPHREC* cache = GetGraphRecord(f->CacheGraph);
    ASSERT_NE(cache, nullptr);
    ASSERT_EQ(cache->Format.Texture, 1);
    const SURF3DREC* piece = G_D3D_GetSurface3DData(cache->Surfaces[0]);
    ASSERT_NE(piece, nullptr);
    const COLORFMT* texels = G_D3D_GetTextureColorFormat(GetImageSurfaceRecord(piece->ImageSurface)->FormatIndex);
    EXPECT_EQ(texels->BitsPerPixel, 16);
    EXPECT_EQ(texels->AlphaMask, 0x8000u);

    Clear();
    Model ref(GetParam() == 32);
    ref.Fill(20, 40, 60);
    const DWORD colour = GetColorValue(250, 130, 10);
    SelectBrightness(255, 200, 128);
    const char* text = "AB x5A";
    const int x = 100, y = 50;
    ASSERT_EQ(DrawTextWithFontHandle(x, y, text, colour, font, 0, 0), 0);

    // The cells fill in string order, one column of 21 cells, each glyph's
    // ink opaque white at its cell's top-left.
    Picture texture{512, 512, std::vector<u32>(512 * 512, 0)};
    int r = 0, g = 0, b = 0;
    SplitColorValueToRGB(colour, &r, &g, &b);
    const u32 diffuse = 0xFF000000u | static_cast<u32>(r) << 16 | static_cast<u32>(g * 200 / 255) << 8 |
                        static_cast<u32>(b * 128 / 255);
    SelectBrightness(255, 255, 255);
    Pipe pipe;
    pipe.tex = &texture;
    pipe.texW = pipe.texH = 512;
    pipe.modColour = true;
    pipe.alphaFrom = 1;
    pipe.alphaTest = true;
    int pen = 0, slot = 0;
    std::vector<unsigned> cached;
    for (const char* c = text; *c != '\0'; ++c) {
        const unsigned code = static_cast<unsigned char>(*c);
        const Glyph* glyph = Find(code);
        int cell = 0;
        bool seen = false;
        for (std::size_t i = 0; i < cached.size(); ++i)
            if (cached[i] == code) cell = static_cast<int>(i), seen = true;
        if (!seen) {
            cell = slot++;
            cached.push_back(code);
        }
        if (glyph == nullptr) {
            pen += 8;
            continue;
        }
        const int cy = cell * 24;
        for (std::size_t row = 0; row < glyph->rows.size(); ++row)
            for (std::size_t col = 0; col < glyph->rows[row].size(); ++col)
                texture.argb[(cy + row) * 512 + col] = glyph->rows[row][col] == '#' ? 0xFFFFFFFFu : 0x00FFFFFFu;
        const int w = static_cast<int>(glyph->rows[0].size()), h = static_cast<int>(glyph->rows.size());
        const int gx = x + pen + glyph->left, gy = y + 13 - glyph->top;
        GraphAt(&ref, pipe, 512, 512, gx, gy - cy, RECT{gx, gy, gx + w, gy + h}, diffuse);
        pen += glyph->advance;
    }
    std::string first;
    PresentScreen();
    EXPECT_EQ(CountDifferences(ref, &first), 0) << first;

    // A texture font measures with its rates; the string's pen is unscaled otherwise.
    EXPECT_EQ(RenderStringWithFontCache(0, 0, 0, 1, 2.0, 1.0, "AB", 0, nullptr, nullptr, 1, font, 0, -1, 0, nullptr),
              34);
    EXPECT_EQ(RenderStringWithFontCache(0, 0, 0, 0, 2.0, 1.0, "AB", 0, nullptr, nullptr, 1, font, 0, -1, 0, nullptr),
              17);
    // Drawn at twice the size, the one-pixel x covers two by two pixels, 2 x 8 below the top.
    Clear();
    ASSERT_EQ(RenderStringWithFontCache(1, 300, 200, 1, 2.0, 2.0, "x", GetColorValue(255, 255, 255), nullptr, nullptr,
                                        1, font, 0, -1, 0, nullptr),
              6);
    const std::vector<u32> twice = Shown();
    for (int dy = -1; dy <= 2; ++dy)
        for (int dx = -1; dx <= 2; ++dx) {
            const bool ink = dx >= 0 && dx < 2 && dy >= 0 && dy < 2;
            EXPECT_EQ(twice[(216 + dy) * 640 + 300 + dx] == 0xFFFFFFu, ink) << dx << "," << dy;
        }
}

// Fonts of few cells reuse them within one string: every glyph still shows
// its own shape, where and as a software cache puts it.
TEST_P(D3DFont, TextureAndSoftwareCachesPlaceEveryGlyphAlike)
{
    struct Case {
        int type, edge, vertical;
    };
    const Case cases[] = {{0, -1, 0}, {1, 1, 0}, {1, 2, 0}, {0, -1, 1}, {1, 1, 1}};
    const char* text = "AB5xvAB g";
    for (const Case& c : cases) {
        FontSystem.CacheSlotSetting = 3;
        const int textured = CreateFontToHandle(nullptr, -1, -1, c.type, -1, c.edge, -1, -1, -1);
        FontSystem.TextureCacheOff = 1;
        const int soft = CreateFontToHandle(nullptr, -1, -1, c.type, -1, c.edge, -1, -1, -1);
        FontSystem.TextureCacheOff = 0;
        FontSystem.CacheSlotSetting = 0;
        ASSERT_EQ(GetFontRecord(textured)->TextureCache, 1) << c.type;
        ASSERT_EQ(GetFontRecord(soft)->TextureCache, 0) << c.type;
        ASSERT_LT(GetFontRecord(textured)->SlotCount, 6) << c.type;  // fewer cells than glyphs
        StoreFontSpacing(1, textured);
        StoreFontSpacing(1, soft);

        const DWORD colour = GetColorValue(255, 255, 0), edge = GetColorValue(0, 0, 255);
        Clear();
        ASSERT_EQ(DrawTextWithFontHandle(30, 40, text, colour, soft, edge, c.vertical), 0);
        const std::vector<u32> want = Shown();
        Clear();
        ASSERT_EQ(DrawTextWithFontHandle(30, 40, text, colour, textured, edge, c.vertical), 0);
        const std::vector<u32> got = Shown();
        ASSERT_EQ(got.size(), want.size());
        int differences = 0, ink = 0;
        for (std::size_t i = 0; i < got.size(); ++i) {
            differences += got[i] != want[i] ? 1 : 0;
            ink += want[i] == 0xFFFF00u ? 1 : 0;
        }
        EXPECT_EQ(differences, 0) << "type " << c.type << " edge " << c.edge << " vertical " << c.vertical;
        EXPECT_GT(ink, 40) << c.type;
        SIZE a{}, b{};
        EXPECT_EQ(RenderStringWithFontCache(0, 0, 0, 0, 1, 1, text, 0, nullptr, nullptr, 1, textured, 0, -1, 0, &a),
                  RenderStringWithFontCache(0, 0, 0, 0, 1, 1, text, 0, nullptr, nullptr, 1, soft, 0, -1, 0, &b));
        EXPECT_EQ(a.cy, b.cy);
        DestroyFontHandle(textured);
        DestroyFontHandle(soft);
    }
}

TEST_P(D3DFont, GreyFontsUseTheFourBitFormatForLevelsAndEdges)
{
    const int font = CreateFontToHandle(nullptr, -1, -1, 2, -1, -1, -1, -1, -1);
    const FONTREC* f = GetFontRecord(font);
    ASSERT_EQ(f->TextureCache, 1);
    EXPECT_EQ(f->Staging.Format.AlphaMask, 0xF000u);
    Clear();
    ASSERT_EQ(DrawTextWithFontHandle(10, 10, "g", GetColorValue(255, 255, 255), font, 0, 0), 0);
    const std::vector<u32> shown = Shown();
    // "1#8" over "..f": level 1 is clear, 16 is full ink, 8 and 15 lie between.
    const int y = 10 + 3;
    auto at = [&](int dx, int dy) { return shown[(y + dy) * 640 + 10 + dx]; };
    const u32 background = at(-1, 0);
    EXPECT_EQ(at(0, 0), background);
    EXPECT_EQ(at(1, 0), 0xFFFFFFu);
    EXPECT_NE(at(2, 0), background);
    EXPECT_LT(at(2, 0) & 0xFF, at(2, 1) & 0xFF);
    EXPECT_LT(at(2, 1) & 0xFF, 0xFFu);

    // With an edge of 1: a full-ink pixel gets a full edge on its four sides only.
    const int edged = CreateFontToHandle(nullptr, -1, -1, 3, -1, 1, -1, -1, -1);
    ASSERT_EQ(GetFontRecord(edged)->TextureCache, 1);
    Clear();
    ASSERT_EQ(DrawTextWithFontHandle(10, 10, "x", GetColorValue(255, 255, 255), edged, GetColorValue(0, 0, 255), 0),
              0);
    const std::vector<u32> rim = Shown();
    const int cx = 10 + 1, cy = 10 + 8 + 1;  // the ink at (e, e) of the box, 13 - 5 below the top
    EXPECT_EQ(rim[cy * 640 + cx], 0xFFFFFFu);
    const int sides[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (const auto& d : sides)
        EXPECT_EQ(rim[(cy + d[1]) * 640 + cx + d[0]], 0x0000FFu) << d[0] << "," << d[1];
    EXPECT_EQ(rim[(cy + 1) * 640 + cx + 1], background);
}

// Without both glyph formats, or when the cache graph cannot be made, a font
// keeps its glyphs in a software cache and still draws.
TEST_P(D3DFont, FontsFallBackToSoftwareCaches)
{
    for (int failGraph = 0; failGraph < 2; ++failGraph) {
        const TEXFMTSLOT saved = D3DState.Slots[2];
        if (failGraph == 0) {
            D3DState.Slots[2] = D3DState.Slots[3];  // no 4:4:4:4 format
        } else {
            FailNextDirectDrawSurfaces(1);
        }
        const int font = CreateFontToHandle(nullptr, -1, -1, 0, -1, -1, -1, -1, -1);
        D3DState.Slots[2] = saved;
        FailNextDirectDrawSurfaces(0);
        const FONTREC* f = GetFontRecord(font);
        ASSERT_NE(f, nullptr) << failGraph;
        EXPECT_EQ(f->TextureCache, 0) << failGraph;
        EXPECT_EQ(f->CacheGraph, -1) << failGraph;
        EXPECT_NE(f->SoftCache, nullptr) << failGraph;
        EXPECT_EQ(f->SlotCount, 0x50000 / (24 * 24)) << failGraph;
        EXPECT_EQ(Contains(ReadLogFile(), "テクスチャ文字キャッシュの作成に失敗しました"), failGraph == 1);
        Clear();
        EXPECT_EQ(DrawTextWithFontHandle(10, 10, "A", GetColorValue(255, 255, 255), font, 0, 0), 0);
        EXPECT_EQ(Shown()[(10 + 3) * 640 + 10 + 1 + 2], 0xFFFFFFu) << failGraph;  // the apex of A
        DestroyFontHandle(font);
    }
}

// A lost screen re-creates the font under its handle; a mode change that
// deletes every graph takes the cache graph, which the next draw rebuilds.
TEST_P(D3DFont, TheCacheComesBackUnderTheSameHandle)
{
    const int font = CreateFontToHandle(nullptr, -1, -1, 1, -1, 2, -1, -1, -1);
    int deleted = -1;
    BindFontDeletedFlag(font, &deleted);
    const DWORD white = GetColorValue(255, 255, 255);
    Clear();
    ASSERT_EQ(DrawTextWithFontHandle(10, 10, "AB", white, font, 0, 0), 0);
    const std::vector<u32> before = Shown();

    ASSERT_EQ(RecreateLostScreen(), 0);
    SelectDrawTarget(-2);
    ASSERT_EQ(IsFontHandleLive(font), 1);
    EXPECT_EQ(deleted, 0);
    ASSERT_EQ(GetFontRecord(font)->TextureCache, 1);
    Clear();
    ASSERT_EQ(DrawTextWithFontHandle(10, 10, "AB", white, font, 0, 0), 0);
    EXPECT_EQ(Shown(), before);

    const int graph = GetFontRecord(font)->CacheGraph;
    DeleteAllGraphHandles(0);
    EXPECT_EQ(GetFontRecord(font)->CacheGraphMissing, 1);
    Clear();
    ASSERT_EQ(DrawTextWithFontHandle(10, 10, "AB", white, font, 0, 0), 0);
    EXPECT_EQ(Shown(), before);
    EXPECT_NE(GetFontRecord(font)->CacheGraph, graph);
    EXPECT_EQ(IsGraphHandleValid(GetFontRecord(font)->CacheGraph), 1);
    EXPECT_EQ(DestroyFontHandle(font), 0);
    EXPECT_EQ(deleted, 1);
}

// Text subtracted from white is white less what the same text adds onto
// black, pixel for pixel (colours in whole 5-bit steps, so 16-bit screens
// keep it exact too), with one inversion before and after the whole string
// (not one pair per glyph), and the drawing state is as it was afterwards.
TEST_P(D3DFont, TextureFontsSubtractInBlendModeThree)
{
    struct Case {
        int type, edge, vertical;
    };
    const Case cases[] = {{0, -1, 0}, {1, 1, 0}, {0, -1, 1}};
    const char* text = "AB5xvA";
    for (const Case& c : cases) {
        const int font = CreateFontToHandle(nullptr, -1, -1, c.type, -1, c.edge, -1, -1, -1);
        ASSERT_EQ(GetFontRecord(font)->TextureCache, 1);
        const DWORD colour = GetColorValue(248, 128, 8), edge = GetColorValue(0, 64, 200);
        long long calls[2] = {};
        auto draw = [&](int background, int mode) {
            SysState.BackgroundRed = SysState.BackgroundGreen = SysState.BackgroundBlue = background;
            EraseScreen();
            SelectBlendMode(mode, 255);
            G_D3D_FlushCurrentVertexBatch();
            const long long before = GetDirect3DDrawCallCount();
            EXPECT_EQ(DrawTextWithFontHandle(30, 40, text, colour, font, edge, c.vertical), 0);
            G_D3D_FlushCurrentVertexBatch();
            calls[mode == 3] = GetDirect3DDrawCallCount() - before;
            EXPECT_EQ(DrawState.BlendMode, mode);
            EXPECT_EQ(DrawState.BlendParam, 255);
            EXPECT_EQ(DrawState.DrawBright & 0xFFFFFF, 0xFFFFFFu);
            SelectBlendMode(0, 255);
            return Shown();
        };
        const std::vector<u32> added = draw(0, 2);
        const std::vector<u32> subtracted = draw(255, 3);
        ASSERT_EQ(added.size(), subtracted.size());
        int differences = 0, ink = 0;
        for (std::size_t i = 0; i < added.size(); ++i) {
            differences += subtracted[i] != (~added[i] & 0xFFFFFF) ? 1 : 0;
            ink += added[i] != 0 ? 1 : 0;
        }
        EXPECT_EQ(differences, 0) << "type " << c.type << " vertical " << c.vertical;
        EXPECT_GT(ink, 40);
        EXPECT_EQ(calls[1], calls[0] + 2) << "type " << c.type << " vertical " << c.vertical;
        DestroyFontHandle(font);
    }
}

// A horizontal unscaled string glyph by glyph through the public part draw,
// as the texture glyph drawer draws each glyph on its own: the blend graph
// left and the brightness set around every glyph, an edge before its body.
void DrawGlyphByGlyph(int x, int y, const char* text, DWORD colour, int font, DWORD edgeColour)
{
    const FONTREC* f = GetFontRecord(font);
    static FONTCELL cells[FONT_MAX_STRING_CELLS];
    int count = 0;
    SplitStringForFont(cells, text, font, -1, &count);
    auto brightened = [](DWORD c) {
        int r = 0, g = 0, b = 0;
        SplitColorValueToRGB(c, &r, &g, &b);
        const DWORD bright = DrawState.DrawBright;
        r = r * static_cast<int>((bright >> 16) & 0xFF) / 255;
        g = g * static_cast<int>((bright >> 8) & 0xFF) / 255;
        b = b * static_cast<int>(bright & 0xFF) / 255;
        return 0xFF000000u | static_cast<DWORD>(r) << 16 | static_cast<DWORD>(g) << 8 | static_cast<DWORD>(b);
    };
    const DWORD body = brightened(colour), edge = brightened(edgeColour);
    double pen = 0.0;
    for (int i = 0; i < count; ++i) {
        const GLYPHENTRY* e = f->Codes[FontCellCode(cells[i])].Entry;
        ASSERT_NE(e, nullptr);
        if (!IsFontSpaceCell(cells[i]) && e->BoxWidth > 0 && e->BoxHeight > 0) {
            int cx = 0, cy = 0;
            GetFontCellPlace(f, e->Slot, &cx, &cy);
            const int gx = x + static_cast<int>(pen) + e->OriginX, gy = y + e->TopOffset;
            const DRAWSTATE d = DrawState;
            if (d.BlendGraph != -1) StoreBlendGraphSetting(-1, 0, 0);
            if ((f->Type & FONTTYPE_EDGE) != 0) {
                StorePackedBrightness(edge);
                DrawGraphSubRect(gx, gy, cx, cy, e->BoxWidth, e->BoxHeight, f->EdgeHalfGraph, 1, 0);
            }
            StorePackedBrightness(body);
            DrawGraphSubRect(gx, gy, cx, cy, e->BoxWidth, e->BoxHeight, f->CacheGraph, 1, 0);
            if (d.BlendGraph != -1) StoreBlendGraphSetting(d.BlendGraph, d.BlendGraphBorderParam, d.BlendGraphBorderRange);
            StorePackedBrightness(d.DrawBright);
        }
        pen += e->Advance + f->Spacing;
    }
}

// A string's glyphs drawn as one run queue the same vertices, bind the same
// textures, flush as often and show the same pixels as the glyphs drawn one
// by one, whatever is set around them; where a glyph's own draw would do more
// than queue (an edge, a blend graph, the mask buffer, the subtract's
// inversions), the run gives way and still matches.
TEST_P(D3DFont, GlyphRunsQueueAndShowWhatGlyphByGlyphDrawsDo)
{
    static int blendGraph = -1;
    struct Draw {
        int font;  // 0 plain, 1 grey, 2 edged
        int x, y;
        const char* text;
    };
    struct Case {
        const char* name;
        std::vector<Draw> draws;
        void (*setUp)();
        void (*tearDown)();
        bool ink = true;
    };
    auto none = [] {};
    const std::vector<Draw> one{{0, 30, 40, "AB5x vAg"}};
    const std::vector<Case> cases = {
        {"plain", one, none, none},
        {"grey, brightness set", {{1, 30, 40, "gAB x5v"}}, [] { SelectBrightness(200, 120, 60); },
         [] { SelectBrightness(255, 255, 255); }},
        // Glyphs cut by every side of the area, and some wholly outside it.
        {"clipped by the area", {{0, 30, 40, "AB5xvAgBBAA"}, {1, 28, 45, "BgA5"}},
         [] { StoreDrawArea(33, 44, 70, 51); }, [] { StoreDrawArea(0, 0, 640, 480); }},
        {"texture change between strings", {{0, 30, 40, "AB5"}, {1, 60, 40, "gAx"}, {0, 90, 40, "vA"}}, none, none},
        {"front screen", one,
         [] {
             SelectDrawTarget(-4);
             EraseScreen();
         },
         [] { SelectDrawTarget(-2); }},
        {"subtract inside the string's inversions", one,
         [] {
             SelectBlendMode(3, 255);
             const RECT line{0, 0, 640, 480};
             BeginSubtractBlendByInversion(&line);
         },
         [] {
             const RECT line{0, 0, 640, 480};
             EndSubtractBlendByInversion(&line);
             SelectBlendMode(0, 255);
         }},
        {"subtract glyph by glyph", one, [] { SelectBlendMode(3, 255); }, [] { SelectBlendMode(0, 255); }},
        {"edged", {{2, 30, 40, "AB5x vAg"}, {0, 30, 60, "AB"}}, none, none},
        {"blend graph", one, [] { StoreBlendGraphSetting(blendGraph, 128, 64); },
         [] { StoreBlendGraphSetting(-1, 0, 0); }},
        {"mask screen", one,
         [] {
             MaskScreen.Wanted = 1;
             CreateMaskScreen(1);
             std::memset(MaskScreen.Plane + 44 * MaskScreen.Pitch, 1, static_cast<std::size_t>(MaskScreen.Pitch) * 3);
             EnableMaskScreen(1);
         },
         [] {
             EnableMaskScreen(0);
             ReleaseMaskScreen();
             MaskScreen = MASKSCREEN{};
         }},
        {"device unusable", one, [] { D3DState.DeviceUnusable = 1; }, [] { D3DState.DeviceUnusable = 0; }, false},
        {"empty area", one, [] { StoreDrawArea(50, 50, 50, 90); }, [] { StoreDrawArea(0, 0, 640, 480); }, false},
    };
    const int fonts[3] = {CreateFontToHandle(nullptr, -1, -1, 0, -1, -1, -1, -1, -1),
                          CreateFontToHandle(nullptr, -1, -1, 2, -1, -1, -1, -1, -1),
                          CreateFontToHandle(nullptr, -1, -1, 1, -1, 1, -1, -1, -1)};
    for (int font : fonts) ASSERT_EQ(GetFontRecord(font)->TextureCache, 1);
    blendGraph = CreateGraphOfSize(256, 256, 1, 0, 0);
    ASSERT_NE(blendGraph, -1);
    const DWORD colour = GetColorValue(248, 200, 40), edge = GetColorValue(0, 64, 200);
    Clear();
    const std::vector<u32> background = DrawnScreenPixels();
    for (const Case& c : cases) {
        auto draw = [&](bool glyphByGlyph) {
            Clear();
            G_D3D_FlushCurrentVertexBatch();
            c.setUp();
            const long long before = GetDirect3DDrawCallCount();
            std::vector<QueuedBatch> queued;
            for (const Draw& d : c.draws) {
                if (glyphByGlyph) {
                    DrawGlyphByGlyph(d.x, d.y, d.text, colour, fonts[d.font], edge);
                } else {
                    RenderStringWithFontCache(1, d.x, d.y, 0, 1.0, 1.0, d.text, colour, nullptr, &DrawState.DrawArea,
                                              1, fonts[d.font], edge, -1, 0, nullptr);
                }
                queued.push_back(CaptureQueuedBatch());
                queued.back().drawCalls -= before;
            }
            std::vector<u32> pixels = DrawnScreenPixels();
            c.tearDown();
            return std::make_pair(queued, pixels);
        };
        const auto want = draw(true);
        const auto got = draw(false);
        EXPECT_EQ(got.first, want.first) << c.name;
        EXPECT_TRUE(got.second == want.second) << c.name;
        EXPECT_EQ(want.second != background, c.ink) << c.name;
    }
    for (int font : fonts) DestroyFontHandle(font);
}

INSTANTIATE_TEST_SUITE_P(Depths, D3DFont, testing::Values(32, 16),
                         [](const testing::TestParamInfo<int>& info) { return "Bits" + std::to_string(info.param); });

} // namespace
