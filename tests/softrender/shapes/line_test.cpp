// Line kernel: the walk and its end clipping on the worked examples, single
// visits, extreme ends and refused destinations.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "support/soft_image.h"
#include "softrender/shapes/shapes.h"

namespace {

struct Px {
    int x, y;
    bool operator==(const Px&) const = default;
};

// Draws additively with blue 1, so a pixel visited twice shows 2; returns the
// pixels in walk order (sorted by the major coordinate as the walk runs).
std::vector<Px> DrawLine(RECT area, int x1, int y1, int x2, int y2, int* maxVisits)
{
    KERNELPARAMS kp = ResetKernelParams(area.left, area.top, area.right, area.bottom);
    kp.Mode = static_cast<BlendMode>(2);
    kp.Param = 255;
    SoftImage img(20, 12, 1);
    softrender::PlotMemImgLine(kp, img.Img(), x1, y1, x2, y2, 0x000001);
    std::vector<Px> out;
    *maxVisits = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            if (std::uint32_t v = img.Get(x, y) & 0xFF) {
                out.push_back({x, y});
                *maxVisits = std::max<int>(*maxVisits, int(v));
            }
    return out;
}

std::vector<Px> Sorted(std::vector<Px> v)
{
    std::sort(v.begin(), v.end(), [](Px a, Px b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    return v;
}

std::vector<Px> Xs(int y, int from, int to)  // inclusive run on one row
{
    std::vector<Px> v;
    for (int x = std::min(from, to); x <= std::max(from, to); ++x) v.push_back({x, y});
    return v;
}

}  // namespace

TEST(Line, WorkedExamples)
{
    const RECT full{0, 0, 20, 12}, inner{3, 2, 15, 9};
    auto cat = [](std::initializer_list<std::vector<Px>> parts) {
        std::vector<Px> v;
        for (auto& p : parts) v.insert(v.end(), p.begin(), p.end());
        return v;
    };
    std::vector<Px> diag;
    for (int i = 0; i < 12; ++i) diag.push_back({i, i});
    struct Case {
        RECT area;
        int x1, y1, x2, y2;
        std::vector<Px> expected;
    } cases[] = {
        {full, 3, 3, 3, 3, {}},
        {full, 3, 3, 4, 3, {{3, 3}}},
        {full, 3, 3, 3, 4, {{3, 3}}},
        {full, 2, 2, 10, 5, cat({Xs(2, 2, 4), Xs(3, 5, 7), Xs(4, 8, 9)})},
        {full, 10, 5, 2, 2, cat({Xs(3, 3, 4), Xs(4, 5, 7), Xs(5, 8, 10)})},
        {full, 2, 2, 5, 10, {{2, 2}, {2, 3}, {2, 4}, {3, 5}, {3, 6}, {3, 7}, {4, 8}, {4, 9}}},
        {full, 5, 5, 30, 5, Xs(5, 5, 19)},
        {full, 30, 5, 5, 5, Xs(5, 6, 19)},
        {full, -10, 5, 5, -10, {{0, 0}}},
        {inner, 15, 8, 30, 8, {}},
        {inner, 14, 8, 30, 8, {{14, 8}}},
        {inner, 3, 8, -30, 8, {{3, 8}}},
        {inner, 2, 8, -30, 8, {}},
        {inner, 4, -6, 8, 40, {{4, 2}, {4, 3}, {4, 4}, {4, 5}, {4, 6}, {4, 7}, {4, 8}}},
        // Extreme ends: differences of 2^32 - 1 stay exact.
        {full, INT_MIN, INT_MIN, INT_MAX, INT_MAX, diag},
        {full, INT_MAX, INT_MAX, INT_MIN, INT_MIN, diag},
        {{5, 5, 5, 9}, 0, 6, 19, 6, {}},  // empty draw area
    };
    for (const Case& c : cases) {
        int visits = 0;
        EXPECT_EQ(DrawLine(c.area, c.x1, c.y1, c.x2, c.y2, &visits), Sorted(c.expected))
            << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2;
        EXPECT_LE(visits, 1);
    }
}

TEST(Line, ClippedLongLineKeepsEndpointsInsideArea)
{
    // (-5,-3)->(25,14) starts at (0,0) and ends before (20,11): 20 pixels, one per column.
    int visits = 0;
    auto px = DrawLine({0, 0, 20, 12}, -5, -3, 25, 14, &visits);
    ASSERT_EQ(px.size(), 20u);
    EXPECT_EQ(Sorted(px).front(), (Px{0, 0}));
    EXPECT_EQ(visits, 1);
    px = DrawLine({0, 0, 20, 12}, 25, 14, -5, -3, &visits);
    ASSERT_EQ(px.size(), 20u);
    EXPECT_EQ(Sorted(px).back(), (Px{19, 10}));
}

TEST(Line, PaletteDestinationIsRefused)
{
    KERNELPARAMS kp = ResetKernelParams(0, 0, 8, 8);
    SoftImage img(8, 8, 1, true);
    softrender::PlotMemImgLine(kp, img.Img(), 0, 0, 8, 0, 0xFFFFFFFF);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(img.Get(x, 0), 0u);
}
