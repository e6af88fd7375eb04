// Font handles over hand-made glyphs: cell geometry from the metrics, the
// 40-font table, the face fall-back chains, cells reused in turn, and fonts
// that survive their re-creation and a lost screen under the same handles.
#include "core/sysstate.h"
#include <algorithm>
#include <string>
#include <vector>

#include "font_fixture.h"
#include "platform/ddraw/ddraw_test.h"
#include "support/library_fixture.h"

namespace {

using FontHandles = FontFixture;

TEST_P(FontHandles, CellGeometryFollowsTheMetrics)
{
    struct Case {
        int maxWidth, height, type, edge;
        int side, cellHeight, cells, storedType;
    };
    const Case cases[] = {
        {16, 16, 0, -1, 24, 16, 568, 0},   // 18 raised to a multiple of 8
        {16, 16, 0, 3, 24, 22, 568, 1},    // an edge above 1 adds the edge bit and 2e each way
        {7, 13, 0, -1, 16, 14, 1280, 0},   // odd heights rise by one
        {30, 40, 2, -1, 40, 40, 204, 2},   // never narrower than tall
        {400, 400, 0, -1, 408, 400, 20, 0},  // at least 20 cells
    };
    for (const Case& c : cases) {
        Source().metrics.tmMaxCharWidth = c.maxWidth;
        Source().metrics.tmHeight = c.height;
        const int h = CreateFontToHandle(nullptr, 16, 6, c.type, -1, c.edge, 0, -1, -1);
        ASSERT_NE(h, -1) << c.maxWidth;
        const FONTREC* f = GetFontRecord(h);
        EXPECT_EQ(f->CellSide, c.side) << c.maxWidth;
        EXPECT_EQ(f->CellHeight, c.cellHeight) << c.maxWidth;
        EXPECT_EQ(f->SlotCount, c.cells) << c.maxWidth;
        EXPECT_EQ(f->Type, c.storedType) << c.maxWidth;
        EXPECT_EQ(f->SoftBitsPerPixel, c.storedType == 0 ? 1 : 8);
        EXPECT_EQ(DestroyFontHandle(h), 0);
    }
}

TEST_P(FontHandles, TheFortyFirstFontIsRefusedAndAFixedSlotMustBeFree)
{
    std::vector<int> made;
    while (true) {
        const int h = CreateFontToHandle(nullptr, -1, -1, -1, -1, -1, -1, -1, -1);
        if (h == -1) break;
        made.push_back(h);
    }
    // The default font and, where DirectDraw runs, the debug console's font
    // hold the other slots.
    EXPECT_EQ(made.size(), IsFontHandleLive(SysState.ConsoleFontHandle) ? 38u : 39u);
    EXPECT_TRUE(Contains(ReadLogFile(), "作成できるフォントハンドル数 40 の限界を超えました"));
    DestroyFontHandle(made[5]);
    EXPECT_EQ(CreateFontToHandle(nullptr, -1, -1, -1, -1, -1, -1, made[6] & 0xFFFF, -1), -1);
    const int again = CreateFontToHandle(nullptr, -1, -1, -1, -1, -1, -1, made[5] & 0xFFFF, 77);
    EXPECT_EQ(again, ((77 | 0x2000) << 16) | (made[5] & 0xFFFF));
}

TEST_P(FontHandles, CreationFallsBackAlongTheFaceChains)
{
    const std::string defaultFace = reinterpret_cast<const char*>(u8"ＭＳ ゴシック");
    struct Case {
        const char* face;
        bool refuseAll;
        std::vector<std::pair<std::string, int>> asked;  // face and character set of each request
        int italicOfLast;
        const char* logged;
    };
    const Case cases[] = {
        {"Zarvo", false, {{"Zarvo", 128}, {"Zarvo", 1}}, 1, nullptr},
        {nullptr, false, {{defaultFace, 128}, {defaultFace, 1}}, 0, nullptr},
        {"Zarvo", true, {{"Zarvo", 128}, {"Zarvo", 1}, {"Zarvo", 128}}, 1, "指定のフォントの作成に失敗しました"},
        {nullptr, true, {{defaultFace, 128}, {defaultFace, 1}, {"", 1}}, 0, "フォントの作成に失敗しました"},
    };
    for (const Case& c : cases) {
        Source().requests.clear();
        Source().refusedCharSets = {128};
        Source().refuseAll = c.refuseAll;
        const unsigned before = FontSystem.Fonts.Count;
        const int h = CreateFontToHandle(c.face, -1, -1, -1, -1, -1, 1, -1, -1);
        ASSERT_EQ(Source().requests.size(), c.asked.size());
        for (std::size_t i = 0; i < c.asked.size(); ++i) {
            EXPECT_EQ(Source().requests[i].face, c.asked[i].first) << i;
            EXPECT_EQ(Source().requests[i].charSet, c.asked[i].second) << i;
            EXPECT_EQ(Source().requests[i].height, 16);
            EXPECT_EQ(Source().requests[i].weight, 600);
            EXPECT_TRUE(Source().requests[i].fixedPitch);
        }
        EXPECT_EQ(Source().requests.back().italic, c.italicOfLast == 1);
        if (c.logged != nullptr) {
            EXPECT_EQ(h, -1);
            EXPECT_EQ(FontSystem.Fonts.Count, before);  // nothing left behind
            EXPECT_TRUE(Contains(ReadLogFile(), c.logged));
        } else {
            EXPECT_NE(h, -1);
            DestroyFontHandle(h);
        }
    }
}

TEST_P(FontHandles, CellsAreReusedInTurnAndEvictedGlyphsRenderAgain)
{
    FontSystem.CacheSlotSetting = 3;
    const int h = CreateFontToHandle(nullptr, -1, -1, -1, -1, -1, -1, -1, -1);
    ASSERT_NE(h, -1);
    FONTREC* f = GetFontRecord(h);
    ASSERT_EQ(f->SlotCount, 3);
    EXPECT_EQ(f->Entries[3].Slot, -1);
    EXPECT_EQ(RenderStringWithFontCache(0, 0, 0, 0, 1, 1, "ABxg", 0, nullptr, nullptr, 1, h, 0, -1, 0, nullptr),
              8 + 9 + 3 + 4);
    EXPECT_EQ(f->Codes['A'].Cached, 0);  // its cell went to 'g'
    EXPECT_EQ(f->Codes['g'].Entry, &f->Entries[0]);
    EXPECT_EQ(f->Codes['B'].Entry, &f->Entries[1]);
    RenderStringWithFontCache(0, 0, 0, 0, 1, 1, "A", 0, nullptr, nullptr, 1, h, 0, -1, 0, nullptr);
    EXPECT_EQ(f->Codes['A'].Entry, &f->Entries[1]);
    EXPECT_EQ(f->Codes['B'].Cached, 0);
    EXPECT_EQ(f->Entries[1].Advance, 8);
    FontSystem.CacheSlotSetting = 0;
}

TEST_P(FontHandles, RecreatedFontsKeepHandleSpacingAndDeletedFlag)
{
    const int h = CreateFontToHandle(nullptr, 20, 3, 1, -1, 2, 0, -1, -1);
    ASSERT_NE(h, -1);
    int deleted = 5;
    ASSERT_EQ(BindFontDeletedFlag(h, &deleted), 0);
    EXPECT_EQ(deleted, 0);
    StoreFontSpacing(3, h);
    RenderStringWithFontCache(0, 0, 0, 0, 1, 1, "A", 0, nullptr, nullptr, 1, h, 0, -1, 0, nullptr);
    ASSERT_EQ(GetFontRecord(h)->Codes['A'].Cached, 1);

    RecreateAllFonts();
    const FONTREC* f = GetFontRecord(h);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Spacing, 3);
    EXPECT_EQ(f->Size, 20);
    EXPECT_EQ(f->Type, 1);
    EXPECT_EQ(f->EdgeSize, 2);
    EXPECT_EQ(f->Codes['A'].Cached, 0);  // a new, empty cache
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(DestroyFontHandle(h), 0);
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(DestroyFontHandle(h), -1);
    EXPECT_EQ(ReadFontSize(h), -1);
}

TEST_P(FontHandles, ALostScreenKeepsFontsAndTheirText)
{
    const int font = QueryDefaultFontHandle();
    const std::uint32_t colour = GetColorValue(200, 100, 50);
    ASSERT_EQ(DrawTextWithFontHandle(10, 20, "AB", colour, font, 0, 0), 0);
    std::vector<std::uint32_t> before;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) before.push_back(Get(x, y));
    ASSERT_GT(std::count(before.begin(), before.end(), Raw(200, 100, 50)), 20);

    MarkAllDirectDrawSurfacesLost();
    RecreateLostScreen();
    EXPECT_EQ(QueryDefaultFontHandle(), font);
    ASSERT_TRUE(IsFontHandleLive(font));
    Fill(0);
    ASSERT_EQ(DrawTextWithFontHandle(10, 20, "AB", colour, font, 0, 0), 0);
    std::vector<std::uint32_t> after;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) after.push_back(Get(x, y));
    EXPECT_EQ(before, after);
}

TEST_P(FontHandles, DefaultFontFollowsItsSettings)
{
    const int first = QueryDefaultFontHandle();
    RefreshDefaultFont();
    EXPECT_EQ(QueryDefaultFontHandle(), first);
    ASSERT_EQ(SetDefaultFontSizeThick(nullptr, 20, 3), 0);
    const int second = QueryDefaultFontHandle();
    EXPECT_FALSE(IsFontHandleLive(first));
    EXPECT_EQ(ReadFontSize(second), 20);
    int size = 0;
    int thick = 0;
    char face[FONT_FACE_SIZE] = "x";
    EXPECT_EQ(GetFontFaceSizeThick(face, &size, &thick, second), 0);
    EXPECT_EQ(thick, 3);
    EXPECT_STREQ(face, "");

    // A rebuilt screen starts the font system afresh with the same default size.
    ASSERT_EQ(RebuildScreenForMode(-1, -1, -1, 1, -1), 0);
    EXPECT_EQ(ReadFontSize(QueryDefaultFontHandle()), 20);
    EXPECT_EQ(GetFontFaceSizeThick(nullptr, nullptr, &thick, QueryDefaultFontHandle()), 0);
    EXPECT_EQ(thick, 3);
}

INSTANTIATE_TEST_SUITE_P(Depths, FontHandles, testing::Values(32, 16),
                         [](const testing::TestParamInfo<int>& p) { return "Bits" + std::to_string(p.param); });

} // namespace
