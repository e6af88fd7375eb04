// The same draws through the software renderer and through the Direct3D
// back-end on the software device, compared pixel for pixel: transparency in
// every blend mode, right-angle rotations, triangle-list coordinates, filled
// circles at the area's edge; and what only the device can get wrong: the
// unfilled margin of a power-of-two texture under bilinear filtering and on
// mirrored quads, a texture-graph draw target across a lost screen and as a
// capture source.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "core/api.h"
#include "core/sysstate.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "platform/display/display.h"
#include "support/image_fixtures.h"
#include "support/library_fixture.h"

namespace {

using u32 = std::uint32_t;
constexpr int kW = 640;
constexpr int kH = 480;

struct Shot {
    std::vector<u32> px;  // 0xRRGGBB, kW x kH
    u32 At(int x, int y) const { return px[static_cast<std::size_t>(y) * kW + x]; }
};

// A graph from a PNG of 0xAARRGGBB pixels (alpha written only when `alpha`).
int MakeGraph(const std::string& name, int w, int h, const std::function<u32(int, int)>& pixel, bool alpha)
{
    PngSpec spec;
    spec.width = w;
    spec.height = h;
    spec.colorType = alpha ? 6 : 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const u32 v = pixel(x, y);
            spec.samples.push_back(static_cast<std::uint8_t>(v >> 16));
            spec.samples.push_back(static_cast<std::uint8_t>(v >> 8));
            spec.samples.push_back(static_cast<std::uint8_t>(v));
            if (alpha) spec.samples.push_back(static_cast<std::uint8_t>(v >> 24));
        }
    WriteFileBytes(name.c_str(), WritePng(spec));
    return LoadGraphFile(name.c_str(), 0);
}

// Starts one renderer on a 32-bit screen cleared to `background`, runs the
// scene, presents and answers the picture.
Shot Render(bool device, u32 background, const std::function<void()>& scene)
{
    const int start = device ? StartDirect3DLibrary(kW, kH, 32) : StartDrawingLibrary(kW, kH, 32);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(IsDirect3DActive(), device ? 1 : 0);
    SelectDrawTarget(-2);
    SysState.BackgroundRed = static_cast<int>(background >> 16);
    SysState.BackgroundGreen = static_cast<int>((background >> 8) & 0xFF);
    SysState.BackgroundBlue = static_cast<int>(background & 0xFF);
    EraseScreen();
    scene();
    SelectDrawTarget(-2);
    PresentScreen();
    int w = 0, h = 0;
    const u32* shown = GetLastPresentedPixels(&w, &h);
    Shot s;
    for (int i = 0; shown != nullptr && w == kW && h == kH && i < w * h; ++i) s.px.push_back(shown[i] & 0xFFFFFF);
    if (device) EndDirect3DLibrary();
    else EndDrawingLibrary();
    return s;
}

// Pixels inside `r` where the two pictures differ; `first` names the first.
int Differences(const Shot& soft, const Shot& dev, const RECT& r, std::string* first)
{
    if (soft.px.size() != static_cast<std::size_t>(kW * kH) || dev.px.size() != soft.px.size()) return -1;
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            if (soft.At(x, y) == dev.At(x, y)) continue;
            if (n++ == 0 && first != nullptr) {
                char text[96];
                std::snprintf(text, sizeof text, "(%d,%d) software %06x device %06x", x, y, soft.At(x, y),
                              dev.At(x, y));
                *first = text;
            }
        }
    return n;
}

constexpr RECT kWhole{0, 0, kW, kH};

// Pixels that one picture changed from `background` and the other did not;
// `first` names the first.
int CoverageDifferences(const Shot& soft, const Shot& dev, u32 background, std::string* first)
{
    if (soft.px.size() != static_cast<std::size_t>(kW * kH) || dev.px.size() != soft.px.size()) return -1;
    int n = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const bool a = soft.At(x, y) != background, b = dev.At(x, y) != background;
            if (a == b) continue;
            if (n++ == 0 && first != nullptr) {
                char text[96];
                std::snprintf(text, sizeof text, "(%d,%d) software %s, device %s", x, y, a ? "drawn" : "not drawn",
                              b ? "drawn" : "not drawn");
                *first = text;
            }
        }
    return n;
}

int ColumnCount(const Shot& s, int x, u32 colour)
{
    int n = 0;
    for (int y = 0; y < kH && !s.px.empty(); ++y) n += s.At(x, y) == colour;
    return n;
}

// Filled circles reaching past the area's right edge fill its last column
// as the software renderer does, on the screen and in a smaller area.
TEST(BothRenderers, FilledCirclesFillTheAreasLastColumn)
{
    auto scene = [] {
        const DWORD white = GetColorValue(255, 255, 255);
        DrawCircleShape(kW - 4, 200, 30, white, 1);
        StoreDrawArea(100, 300, 300, 400);
        DrawCircleShape(290, 350, 20, white, 1);
        StoreDrawArea(0, 0, kW, kH);
    };
    const Shot soft = Render(false, 0, scene), dev = Render(true, 0, scene);
    EXPECT_GT(ColumnCount(soft, kW - 1, 0xFFFFFF), 50);
    EXPECT_EQ(ColumnCount(dev, kW - 1, 0xFFFFFF), ColumnCount(soft, kW - 1, 0xFFFFFF));
    EXPECT_EQ(ColumnCount(dev, 299, 0xFFFFFF), ColumnCount(soft, 299, 0xFFFFFF));
    EXPECT_EQ(ColumnCount(dev, 300, 0xFFFFFF), 0);
    std::string first;
    EXPECT_EQ(Differences(soft, dev, kWhole, &first), 0) << first;
}

// A key-coloured (black) texel of a keyed graph and an alpha-0 texel of an
// alpha graph leave the screen as it was in every blend mode that draws;
// multiply (mode 4) is the one whose blend factors ignore the alpha.
TEST(BothRenderers, TransparentTexelsLeaveTheScreenInEveryMode)
{
    constexpr u32 kFloor = 0x5AA0DC;
    auto clear = [](int x, int y) { return ((x / 3 + y / 3) & 1) == 0; };
    const int modes[][2] = {{0, 255}, {1, 128}, {2, 128}, {3, 128}, {4, 128}, {10, 128}, {11, 128}};
    auto scene = [&] {
        const int keyed = MakeGraph("match_keyed.png", 24, 24, [&](int x, int y) { return clear(x, y) ? 0u : 0xC86432u; }, false);
        const int ghost = MakeGraph("match_ghost.png", 24, 24,
                                    [&](int x, int y) { return clear(x, y) ? 0x00204060u : 0xFFC86432u; }, true);
        ASSERT_NE(keyed, -1);
        ASSERT_NE(ghost, -1);
        int x = 20;
        for (auto& m : modes) {
            SelectBlendMode(m[0], m[1]);
            EXPECT_EQ(DrawGraphAt(x, 20, keyed, 1), 0);
            EXPECT_EQ(DrawGraphAt(x, 80, ghost, 1), 0);
            x += 40;
        }
        SelectBlendMode(0, 255);
    };
    for (const bool device : {false, true}) {
        const Shot s = Render(device, kFloor, scene);
        ASSERT_EQ(s.px.size(), static_cast<std::size_t>(kW * kH));
        for (int i = 0; i < static_cast<int>(std::size(modes)); ++i) {
            int kept = 0, drawn = 0, texels = 0;
            // The software 1:1 blit blackens alpha-0 texels in mode 4 by its own rule.
            const bool ghostToo = device || modes[i][0] != 4;
            for (const int top : {20, 80}) {
                if (top == 80 && !ghostToo) continue;
                for (int y = 0; y < 24; ++y)
                    for (int x = 0; x < 24; ++x) {
                        const u32 v = s.At(20 + 40 * i + x, top + y);
                        if (clear(x, y)) {
                            ++texels;
                            kept += v == kFloor;
                        } else {
                            drawn += v != kFloor;
                        }
                    }
            }
            EXPECT_EQ(kept, texels) << (device ? "device" : "software") << ", mode " << modes[i][0];
            EXPECT_EQ(drawn, (ghostToo ? 2 : 1) * 24 * 24 - texels) << (device ? "device" : "software") << ", mode " << modes[i][0];
        }
    }
}

// Texture coordinates of a triangle list run 0..1 over the graph, whatever
// the size of the texture behind it: a 48 x 48 graph (a 64 x 64 texture)
// fills the quad it is mapped onto and nothing black shows.
TEST(BothRenderers, TriangleListCoordinatesSpanTheGraph)
{
    constexpr u32 kGrey = 0xC0C0C0;
    auto scene = [] {
        const int flat = MakeGraph("match_flat.png", 48, 48, [](int, int) { return kGrey; }, false);
        ASSERT_NE(flat, -1);
        auto v = [](float x, float y, float u, float w) { return VERTEX2D{x, y, u, w, 255, 255, 255, 255}; };
        const VERTEX2D list[6] = {v(100, 100, 0, 0), v(172, 100, 1, 0), v(100, 172, 0, 1),
                                  v(172, 172, 1, 1), v(100, 172, 0, 1), v(172, 100, 1, 0)};
        EXPECT_EQ(DrawPrimitiveGraph(list, 6, 4, flat, 0), 0);
    };
    const Shot soft = Render(false, 0x204080, scene), dev = Render(true, 0x204080, scene);
    int grey = 0, black = 0;
    for (const u32 p : dev.px) {
        grey += p == kGrey;
        black += p == 0;
    }
    EXPECT_EQ(grey, 72 * 72);
    EXPECT_EQ(black, 0);
    std::string first;
    EXPECT_EQ(CoverageDifferences(soft, dev, 0x204080, &first), 0) << first;
}

// Graphs turned by right angles cover the pixels the software renderer
// covers, for odd, even and mixed sizes and rates 1, 1.5 and 2, and show no
// texel from outside the graph (the flat graph's texture is black there);
// a patterned graph shows the same texels.
TEST(BothRenderers, RightAngleTurnsCoverTheSoftwareRenderersPixels)
{
    constexpr u32 kFloor = 0x204080, kGrey = 0xC0C0C0;
    bool patterned = false;
    const int sizes[][2] = {{33, 33}, {20, 16}, {15, 22}};
    const double rates[] = {1.0, 1.5, 2.0};
    const double pi = std::acos(-1.0);
    const double angles[] = {pi / 2, pi, 3 * pi / 2};
    constexpr int kCellW = 70, kCellH = 80;
    // Cell (column, row) of a case: the nine turns of a size side by side, one row per size.
    auto scene = [&] {
        for (int k = 0; k < 3; ++k) {
            const int g = MakeGraph("match_turn" + std::to_string(k) + ".png", sizes[k][0], sizes[k][1],
                                    [&](int x, int y) {
                                        return patterned ? static_cast<u32>(0x400000 + x * 0x70800 + y * 0x0B05)
                                                         : kGrey;
                                    },
                                    false);
            ASSERT_NE(g, -1);
            for (int i = 0; i < 9; ++i)
                EXPECT_EQ(DrawGraphRotated(i * kCellW + kCellW / 2, k * kCellH * 2 + kCellH / 2, rates[i / 3],
                                           angles[i % 3], g, 0, 0),
                          0);
        }
    };
    const Shot soft = Render(false, kFloor, scene), dev = Render(true, kFloor, scene);
    ASSERT_EQ(soft.px.size(), static_cast<std::size_t>(kW * kH));
    ASSERT_EQ(dev.px.size(), soft.px.size());
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 9; ++i) {
            int differ = 0, black = 0, covered = 0;
            for (int y = k * kCellH * 2; y < k * kCellH * 2 + kCellH; ++y)
                for (int x = i * kCellW; x < (i + 1) * kCellW && x < kW; ++x) {
                    covered += soft.At(x, y) != kFloor;
                    differ += (soft.At(x, y) != kFloor) != (dev.At(x, y) != kFloor);
                    black += dev.At(x, y) == 0;
                }
            const std::string what = std::to_string(sizes[k][0]) + "x" + std::to_string(sizes[k][1]) + " rate " +
                                     std::to_string(rates[i / 3]) + " turn " + std::to_string(i % 3 + 1);
            EXPECT_GT(covered, 0) << what;
            EXPECT_EQ(differ, 0) << what;
            EXPECT_EQ(black, 0) << what;
        }
    patterned = true;
    const Shot softPattern = Render(false, kFloor, scene), devPattern = Render(true, kFloor, scene);
    std::string first;
    EXPECT_EQ(Differences(softPattern, devPattern, kWhole, &first), 0) << first;
}

// A graph target of the renderable kind (a render-target texture under
// Direct3D).
int MakeTargetGraph(int w, int h)
{
    SetNewGraphRenderable(1);
    const int g = CreateBlankGraph(w, h, 0);
    SetNewGraphRenderable(0);
    return g;
}

u32 Patterned(int x, int y)
{
    return static_cast<u32>(0x300000 + x * 0x30700 + y * 0x0509);
}

// Capturing while a graph is the draw target reads that graph.
TEST(BothRenderers, CaptureReadsATargetGraph)
{
    constexpr u32 kFloor = 0x204080;
    auto scene = [] {
        const int picture = MakeGraph("match_capture.png", 64, 48, Patterned, false);
        const int target = MakeTargetGraph(64, 48);
        const int copy = CreateBlankGraph(32, 24, 0);
        ASSERT_NE(picture, -1);
        ASSERT_NE(target, -1);
        ASSERT_NE(copy, -1);
        ASSERT_EQ(SelectDrawTarget(target), 0);
        EXPECT_EQ(DrawGraphAt(0, 0, picture, 0), 0);
        EXPECT_EQ(CaptureDrawScreenToGraph(8, 8, 40, 32, copy, 0), 0);
        ASSERT_EQ(SelectDrawTarget(-2), 0);
        EXPECT_EQ(DrawGraphAt(300, 300, copy, 0), 0);
        EXPECT_EQ(DrawGraphAt(100, 100, target, 0), 0);
    };
    const Shot soft = Render(false, kFloor, scene), dev = Render(true, kFloor, scene);
    ASSERT_EQ(soft.px.size(), static_cast<std::size_t>(kW * kH));
    EXPECT_EQ(soft.At(300, 300), Patterned(8, 8));
    std::string first;
    EXPECT_EQ(Differences(soft, dev, kWhole, &first), 0) << first;
}

// A screen lost and rebuilt while a graph is the draw target: later draws
// land in that graph.
TEST(BothRenderers, DrawsReachATargetGraphAfterALostScreen)
{
    constexpr u32 kFloor = 0x204080;
    auto scene = [] {
        const int picture = MakeGraph("match_lost.png", 64, 48, Patterned, false);
        const int target = MakeTargetGraph(64, 48);
        ASSERT_NE(picture, -1);
        ASSERT_NE(target, -1);
        ASSERT_EQ(SelectDrawTarget(target), 0);
        ASSERT_EQ(RecreateLostScreen(), 0);
        EXPECT_EQ(DrawGraphAt(0, 0, picture, 0), 0);
        EXPECT_EQ(DrawCircleShape(32, 24, 10, GetColorValue(255, 255, 0), 1), 0);
        ASSERT_EQ(SelectDrawTarget(-2), 0);
        EXPECT_EQ(DrawGraphAt(100, 100, target, 0), 0);
    };
    const Shot soft = Render(false, kFloor, scene), dev = Render(true, kFloor, scene);
    ASSERT_EQ(soft.px.size(), static_cast<std::size_t>(kW * kH));
    EXPECT_EQ(soft.At(100, 100), Patterned(0, 0));
    EXPECT_EQ(soft.At(132, 124), 0xFFFF00u);
    std::string first;
    EXPECT_EQ(Differences(soft, dev, kWhole, &first), 0) << first;
}

// A flat graph stays flat to its last row and column: stretched under
// bilinear filtering, and mapped onto free quads given in either direction.
// The graph's power-of-two texture is black beyond the graph.
TEST(BothRenderers, NoTexelFromBeyondTheGraphShows)
{
    constexpr u32 kFloor = 0x204080, kGrey = 0xC0C0C0;
    auto scene = [] {
        const int flat = MakeGraph("match_edge.png", 48, 48, [](int, int) { return kGrey; }, false);
        ASSERT_NE(flat, -1);
        StoreTextureFilterMode(1);
        EXPECT_EQ(DrawGraphStretched(20, 20, 92, 92, flat, 0), 0);
        EXPECT_EQ(DrawGraphStretched(200, 20, 128, 92, flat, 0), 0);
        StoreTextureFilterMode(0);
        EXPECT_EQ(DrawGraphToQuadF(20, 200, 92, 200, 92, 272, 20, 272, flat, 0), 0);
        EXPECT_EQ(DrawGraphToQuadF(200, 200, 128, 200, 128, 272, 200, 272, flat, 0), 0);
        EXPECT_EQ(DrawGraphToQuadF(300, 272, 372, 272, 372, 200, 300, 200, flat, 0), 0);
    };
    const Shot soft = Render(false, kFloor, scene), dev = Render(true, kFloor, scene);
    ASSERT_EQ(dev.px.size(), static_cast<std::size_t>(kW * kH));
    int other = 0;
    for (const u32 p : dev.px) other += p != kGrey && p != kFloor;
    EXPECT_EQ(other, 0);
    // The stretched draws, filtered or not, cover the same pixels in the same grey.
    std::string first;
    EXPECT_EQ(Differences(soft, dev, RECT{0, 0, kW, 150}, &first), 0) << first;
}

} // namespace
