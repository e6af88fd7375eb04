// Coverage of the triangle walk: the worked example, degenerate input, agreement with the
// reference walk on random triangles, clipping, translation and shared edges.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "softrender/triangle/triangle_textured.h"
#include "softrender/triangle/triangle_walk.h"
#include "triangle_reference.h"

namespace {

using Tri = std::array<std::int32_t, 12>;
using Coverage = std::map<std::pair<std::int64_t, std::int64_t>, int>;  // (y, x) -> times drawn

Tri MakeTri(int x0, int y0, int x1, int y1, int x2, int y2)
{
    return {x0, y0, 0, 0, x1, y1, 0, 0, x2, y2, 0, 0};
}

// Covered pixels per the kernel's walk, or empty when the set-up refuses.
Coverage KernelCoverage(const Tri& t, const RECT& clip, Coverage into = {})
{
    TRIANGLESETUP s;
    if (!SetUpTriangle(t.data(), &s)) return into;
    WalkTriangleRows(s, clip, [&](std::int32_t y, std::int32_t x, std::int32_t n) {
        for (std::int32_t i = 0; i < n; ++i) ++into[{y, x + i}];
    });
    return into;
}

Coverage ReferenceCoverage(const Tri& t, const RECT& clip)
{
    Coverage c;
    triref::Walk(t.data(), {clip.left, clip.top, clip.right, clip.bottom},
                 [&](const triref::Pixel& p) { ++c[{p.y, p.x}]; });
    return c;
}

const RECT kWide = {-1000, -1000, 1000, 1000};

TEST(TriangleWalk, WorkedExampleCoversFourteenPixelsInEveryVertexOrder)
{
    const int v[3][2] = {{0, 0}, {4, 0}, {0, 4}};
    const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    Coverage expected;
    const int rowEnds[4] = {4, 3, 2, 1};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x <= rowEnds[y]; ++x) expected[{y, x}] = 1;
    for (const auto& o : orders) {
        const Tri t = MakeTri(v[o[0]][0], v[o[0]][1], v[o[1]][0], v[o[1]][1], v[o[2]][0], v[o[2]][1]);
        EXPECT_EQ(KernelCoverage(t, kWide), expected);
    }
}

TEST(TriangleWalk, CollinearOrCoincidentVerticesAreRefused)
{
    const Tri cases[] = {
        MakeTri(0, 0, 5, 5, 10, 10), MakeTri(3, 1, 3, 7, 3, 9), MakeTri(0, 4, 9, 4, 20, 4),
        MakeTri(2, 2, 2, 2, 8, 5),   MakeTri(1, 1, 1, 1, 1, 1),
    };
    for (const Tri& t : cases) {
        TRIANGLESETUP s;
        EXPECT_FALSE(SetUpTriangle(t.data(), &s));
    }
}

TEST(TriangleWalk, AgreesWithReferenceOnRandomTriangles)
{
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> coord(-12, 40), small(0, 6);
    for (int n = 0; n < 3000; ++n) {
        Tri t;
        if (n % 3 == 0) {  // thin and tiny triangles
            const int x = coord(rng), y = coord(rng);
            t = MakeTri(x, y, x + small(rng), y + small(rng), x + small(rng) - 3, y + small(rng));
        } else {
            t = MakeTri(coord(rng), coord(rng), coord(rng), coord(rng), coord(rng), coord(rng));
        }
        const RECT clip = {small(rng), small(rng), 30 + small(rng), 30 + small(rng)};
        ASSERT_EQ(KernelCoverage(t, clip), ReferenceCoverage(t, clip)) << "triangle " << n;
    }
}

TEST(TriangleWalk, ClippingKeepsThePixelsInsideTheClip)
{
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> coord(-30, 60), edge(-5, 40);
    for (int n = 0; n < 1000; ++n) {
        const Tri t = MakeTri(coord(rng), coord(rng), coord(rng), coord(rng), coord(rng), coord(rng));
        const RECT clip = {edge(rng), edge(rng), edge(rng), edge(rng)};
        Coverage restricted;
        for (const auto& [p, k] : KernelCoverage(t, kWide))
            if (p.second >= clip.left && p.second < clip.right && p.first >= clip.top && p.first < clip.bottom)
                restricted[p] = k;
        ASSERT_EQ(KernelCoverage(t, clip), restricted) << "triangle " << n;
    }
}

// Whole parts are floored, so moving a triangle across row and column 0 moves its pixels
// with it: no row shifted, no row drawn twice.
TEST(TriangleWalk, NegativeCoordinatesKeepTheShape)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(0, 30), shift(-40, 0);
    for (int n = 0; n < 1000; ++n) {
        const Tri t = MakeTri(coord(rng), coord(rng), coord(rng), coord(rng), coord(rng), coord(rng));
        const int dx = shift(rng), dy = shift(rng);
        const Tri moved = MakeTri(t[0] + dx, t[1] + dy, t[4] + dx, t[5] + dy, t[8] + dx, t[9] + dy);
        Coverage expected;
        for (const auto& [p, k] : KernelCoverage(t, kWide)) expected[{p.first + dy, p.second + dx}] = k;
        ASSERT_EQ(KernelCoverage(moved, kWide), expected) << "triangle " << n;
    }
    // Top vertex at row -1: row 0 holds the triangle's second row, drawn once.
    const Coverage c = KernelCoverage(MakeTri(0, -1, 4, -1, 0, 3), {0, 0, 10, 10});
    Coverage expected;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x <= 3 - y; ++x) expected[{y, x}] = 1;
    EXPECT_EQ(c, expected);
}

// Two triangles sharing an edge leave no gap between them; they overlap only on the shared
// edge's own pixel of a row, since both spans include their edge columns.
TEST(TriangleWalk, TrianglesSharingAnEdgeLeaveNoGap)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> coord(-10, 40);
    for (int n = 0; n < 1000; ++n) {
        const int sx0 = coord(rng), sy0 = coord(rng), sx1 = coord(rng), sy1 = coord(rng);
        const int ax = coord(rng), ay = coord(rng), bx = coord(rng), by = coord(rng);
        // a and b strictly on opposite sides of the shared edge
        const long sa = long(sx1 - sx0) * (ay - sy0) - long(sy1 - sy0) * (ax - sx0);
        const long sb = long(sx1 - sx0) * (by - sy0) - long(sy1 - sy0) * (bx - sx0);
        if (sa == 0 || sb == 0 || (sa > 0) == (sb > 0) || sy0 == sy1) continue;
        const Tri t1 = MakeTri(sx0, sy0, sx1, sy1, ax, ay);
        const Tri t2 = MakeTri(sx0, sy0, sx1, sy1, bx, by);
        const Coverage c1 = KernelCoverage(t1, kWide), c2 = KernelCoverage(t2, kWide);
        // On each row strictly between the shared vertices, the two spans meet or overlap by
        // at most the edge's pixels.
        const int top = std::min(sy0, sy1), bottom = std::max(sy0, sy1);
        for (int y = top + 1; y < bottom; ++y) {
            std::int64_t min1 = INT64_MAX, max1 = INT64_MIN, min2 = INT64_MAX, max2 = INT64_MIN;
            for (const auto& [p, k] : c1) if (p.first == y) { min1 = std::min(min1, p.second); max1 = std::max(max1, p.second); }
            for (const auto& [p, k] : c2) if (p.first == y) { min2 = std::min(min2, p.second); max2 = std::max(max2, p.second); }
            if (min1 > max1 || min2 > max2) continue;  // a sliver row without pixels
            const std::int64_t gapOrOverlap = std::max(min1, min2) - std::min(max1, max2);
            ASSERT_LE(gapOrOverlap, 1) << "gap on row " << y << " of pair " << n;
            ASSERT_GE(gapOrOverlap, -1) << "wide overlap on row " << y << " of pair " << n;
        }
    }
}

TEST(TriangleWalk, QuadHalvesShareOnlyTheirDiagonal)
{
    // (TL, TR, BL) and (TR, BL, BR) of an 8 x 6 quad: every pixel of the 8 x 6 block plus
    // the right column (in the spans, outside a source of the quad's size) is covered, and
    // one pixel per row, on the diagonal, twice.
    const Coverage c = KernelCoverage(MakeTri(0, 6, 8, 6, 0, 12), kWide,
                                      KernelCoverage(MakeTri(8, 6, 0, 12, 8, 12), kWide));
    int twice = 0;
    for (int y = 6; y < 12; ++y) {
        for (int x = 0; x <= 8; ++x) {
            const auto it = c.find({y, x});
            ASSERT_NE(it, c.end()) << x << "," << y;
            twice += it->second == 2;
        }
    }
    EXPECT_EQ(c.size(), 9u * 6u);
    EXPECT_EQ(twice, 6);
}

TEST(TriangleWalk, ExtremeCoordinatesStayInsideTheClip)
{
    const int big = 2147483647, low = -2147483647 - 1;
    const Tri cases[] = {
        MakeTri(low, low, big, low, 0, big), MakeTri(big, big, low, 5, 3, low),
        MakeTri(low, 0, big, 1, 5, 2),       MakeTri(-9000, -9000, 9000, 20, 20, 9000),
    };
    const RECT clip = {0, 0, 16, 16};
    for (const Tri& t : cases) {
        for (const auto& [p, k] : KernelCoverage(t, clip)) {
            EXPECT_TRUE(p.second >= 0 && p.second < 16 && p.first >= 0 && p.first < 16);
            EXPECT_EQ(k, 1);
        }
    }
    // A huge triangle covering the clip fills it.
    const int far = -(1 << 30);
    EXPECT_EQ(KernelCoverage(MakeTri(far, far, big, far, far, big), clip).size(), 256u);
}

// The textured loop visits only the run of pixels whose texel lies inside the source.
TEST(TriangleWalk, InsideRunMatchesAPixelByPixelTest)
{
    for (std::int64_t start = -40; start <= 40; ++start)
    for (std::int64_t step = -9; step <= 9; ++step)
    for (std::int64_t limit : {1, 2, 7, 18})
    for (std::int64_t count : {0, 1, 5, 13}) {
        std::int64_t begin = 0, end = count;
        GetTriangleInsideRun(start, step, limit, count, &begin, &end);
        std::int64_t first = -1, last = -1;
        for (std::int64_t i = 0; i < count; ++i) {
            const std::int64_t c = start + i * step;
            if (c >= 0 && c < limit) {
                if (first < 0) first = i;
                last = i;
            }
        }
        if (first < 0) {
            ASSERT_GE(begin, end) << start << " " << step << " " << limit << " " << count;
        } else {
            ASSERT_EQ(begin, first) << start << " " << step << " " << limit << " " << count;
            ASSERT_EQ(end, last + 1) << start << " " << step << " " << limit << " " << count;
        }
    }
    // Far outside with the largest steps: no overflow, nothing inside.
    std::int64_t begin = 0, end = 1 << 20;
    GetTriangleInsideRun(std::int64_t{1} << 61, INT32_MIN, std::int64_t{16383} << 18, 1 << 20, &begin, &end);
    EXPECT_GE(begin, end);
}

}  // namespace
