// Circle kernel: outline plot counts, disc spans, clipping, negative and
// extreme arguments, refused destinations.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <vector>

#include "support/soft_image.h"
#include "softrender/shapes/shapes.h"

namespace {

constexpr int kSize = 40, kC = 20;

// Draws additively with blue 1 (so the blue byte counts the visits) and
// returns visits per pixel relative to the centre.
std::map<std::pair<int, int>, int> Visits(int cx, int cy, int r, int fill, RECT area = {0, 0, kSize, kSize})
{
    KERNELPARAMS kp = ResetKernelParams(area.left, area.top, area.right, area.bottom);
    kp.Mode = static_cast<BlendMode>(2);
    kp.Param = 255;
    SoftImage img(kSize, kSize, 1);
    softrender::PlotMemImgCircle(kp, img.Img(), cx, cy, r, 0x000001, fill);
    std::map<std::pair<int, int>, int> out;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            if (int v = int(img.Get(x, y) & 0xFF)) out[{x - cx, y - cy}] = v;
    return out;
}

// Half-widths of the disc rows from dy = 0 outwards.
void ExpectDisc(int r, std::vector<int> halfWidth)
{
    const auto v = Visits(kC, kC, r, 1);
    std::map<std::pair<int, int>, int> expected;
    for (int dy = 0; dy < int(halfWidth.size()); ++dy)
        for (int dx = -halfWidth[dy]; dx <= halfWidth[dy]; ++dx) {
            expected[{dx, dy}] = 1;
            expected[{dx, -dy}] = 1;
        }
    EXPECT_EQ(v, expected) << "r = " << r;
}

}  // namespace

TEST(Circle, DiscRowsAreDrawnOnceWithTheirWidestSpan)
{
    ExpectDisc(0, {0});
    ExpectDisc(1, {1, 0});
    ExpectDisc(2, {2, 2, 1});
    ExpectDisc(3, {3, 3, 2, 1});
    ExpectDisc(5, {5, 5, 5, 4, 3, 2});
    ExpectDisc(8, {8, 8, 8, 7, 7, 6, 5, 4, 2});
}

TEST(Circle, OutlinePlotCounts)
{
    struct Case {
        int r, distinct, plots, doubled;
    } cases[] = {{0, 1, 4, 0}, {1, 4, 4, 0}, {2, 12, 12, 0}, {3, 16, 20, 4}, {5, 28, 28, 0}};
    for (const Case& c : cases) {
        const auto v = Visits(kC, kC, c.r, 0);
        int plots = 0, doubled = 0;
        for (auto& [pos, n] : v) {
            plots += n;
            doubled += n == 2;
        }
        EXPECT_EQ(int(v.size()), c.distinct) << c.r;
        EXPECT_EQ(plots, c.plots) << c.r;
        EXPECT_EQ(doubled, c.doubled) << c.r;
    }
    const auto r3 = Visits(kC, kC, 3, 0);
    EXPECT_EQ(r3.at({2, 2}), 2);
    EXPECT_EQ(r3.at({-2, -2}), 2);
}

TEST(Circle, ClippedDiscKeepsRowsOutsideTheAreaUntouched)
{
    // Centre left of and above the area: only the clipped parts of each span.
    const RECT area{2, 3, 30, 30};
    const auto clipped = Visits(0, 1, 5, 1, area);
    const auto full = Visits(0, 1, 5, 1, {0, 0, kSize, kSize});
    std::map<std::pair<int, int>, int> expected;
    for (auto& [pos, n] : full)
        if (pos.first >= 2 && pos.second + 1 >= 3) expected[pos] = n;
    EXPECT_EQ(clipped, expected);
}

TEST(Circle, NegativeExtremeAndHugeArguments)
{
    EXPECT_TRUE(Visits(kC, kC, -3, 1).empty());  // negative disc draws nothing
    const auto neg = Visits(kC, kC, -2, 0);      // the outline keeps its four axis points
    const std::map<std::pair<int, int>, int> axis{{{2, 0}, 1}, {{-2, 0}, 1}, {{0, 2}, 1}, {{0, -2}, 1}};
    EXPECT_EQ(neg, axis);
    for (int fill : {0, 1}) {
        EXPECT_TRUE(Visits(INT_MAX, INT_MAX, 5, fill).empty());
        EXPECT_TRUE(Visits(INT_MIN, 5, INT_MAX, fill).empty());
        EXPECT_TRUE(Visits(kC, kC, 5, fill, {5, 5, 5, 30}).empty());  // empty draw area
    }
    // A disc far larger than the area covers every pixel exactly once.
    const auto big = Visits(kC, kC, 1000000, 1);
    ASSERT_EQ(int(big.size()), kSize * kSize);
    for (auto& [pos, n] : big) ASSERT_EQ(n, 1);
}

TEST(Circle, PaletteDestinationIsRefused)
{
    KERNELPARAMS kp = ResetKernelParams(0, 0, 8, 8);
    SoftImage img(8, 8, 1, true);
    softrender::PlotMemImgCircle(kp, img.Img(), 4, 4, 3, 0xFFFFFFFF, 1);
    softrender::PlotMemImgCircle(kp, img.Img(), 4, 4, 3, 0xFFFFFFFF, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(img.Get(x, y), 0u);
}
