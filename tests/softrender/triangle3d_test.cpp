// The 3D triangle kernel: coverage and span examples, depth test and write,
// perspective, colour keys, depth-range clipping, the white texture, the
// mended overflows, and every loop against the reference models.
#include "softrender/triangle3d/triangle3d.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "graphics/blendtable.h"
#include "support/pixel_reference.h"
#include "support/soft_image.h"
#include "support/vertexcolour_reference.h"

namespace {

TLVTXTEX Vtx(float x, float y, float z = 0.5f, float rhw = 1.0f, DWORD diffuse = 0xFFFFFFFF, float u = 0.0f,
             float v = 0.0f)
{
    return TLVTXTEX{x, y, z, rhw, diffuse, u, v};
}

struct Span {
    int y, first, count;
    bool operator==(const Span& o) const { return y == o.y && first == o.first && count == o.count; }
};

// Rows drawn into an image that started black, as (row, first x, count); the
// pixels of a row must be contiguous.
std::vector<Span> DrawnSpans(const SoftImage& img)
{
    std::vector<Span> out;
    for (int y = 0; y < img.Height(); ++y) {
        int first = -1, count = 0;
        for (int x = 0; x < img.Width(); ++x) {
            if (img.Get(x, y) == 0) continue;
            if (first < 0) first = x;
            EXPECT_EQ(x, first + count) << "gap in row " << y;
            ++count;
        }
        if (first >= 0) out.push_back(Span{y, first, count});
    }
    return out;
}

// Untextured, vertex colour, mode 0: every covered pixel turns non-black.
std::vector<Span> Coverage(const KERNELPARAMS& kp, const std::array<TLVTXTEX, 3>& v, int w = 40, int h = 30)
{
    SoftImage dst(w, h, 1);
    softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), nullptr, nullptr, v.data(), 0, 0, 0, 1, 0);
    return DrawnSpans(dst);
}

class Triangle3DTest : public ::testing::Test {
protected:
    void SetUp() override { kp = ResetKernelParams(0, 0, 640, 480); }
    KERNELPARAMS kp{};
};

TEST_F(Triangle3DTest, WorkedSpanExamplesHoldInEveryVertexOrder)
{
    struct Example {
        std::array<TLVTXTEX, 3> v;
        std::vector<Span> spans;
    };
    const std::vector<Example> examples = {
        {{Vtx(1, 1), Vtx(9, 5), Vtx(1, 9)},
         {{1, 1, 1}, {2, 1, 3}, {3, 1, 5}, {4, 1, 7}, {5, 1, 8}, {6, 1, 6}, {7, 1, 3}, {8, 1, 1}}},
        {{Vtx(2, 1), Vtx(10, 3), Vtx(4, 9)},
         {{1, 2, 2}, {2, 2, 6}, {3, 3, 7}, {4, 3, 6}, {5, 3, 5}, {6, 3, 4}, {7, 4, 2}, {8, 4, 1}}},
        // Flat top with a vertical left edge exactly on pixel centres 3.5: column 3
        // is out; the right edge passes exactly through a centre on every row: in.
        {{Vtx(3.5f, 0), Vtx(19, 0), Vtx(3.5f, 16)}, {}},
    };
    std::vector<Example> all = examples;
    for (int r = 0; r < 15; ++r) all[2].spans.push_back(Span{r, 4, 15 - r});
    for (const Example& e : all) {
        std::array<int, 3> order{0, 1, 2};
        do {
            const std::array<TLVTXTEX, 3> v{e.v[order[0]], e.v[order[1]], e.v[order[2]]};
            EXPECT_EQ(Coverage(kp, v), e.spans) << "order " << order[0] << order[1] << order[2];
        } while (std::next_permutation(order.begin(), order.end()));
    }
}

TEST_F(Triangle3DTest, TooSmallDegenerateOrOutsideTrianglesDrawNothing)
{
    const std::vector<std::array<TLVTXTEX, 3>> none = {
        {Vtx(2, 2), Vtx(20, 2.5f), Vtx(10, 3)},     // 1.0 tall
        {Vtx(2, 2), Vtx(3, 20), Vtx(2.5f, 10)},     // 1.0 wide
        {Vtx(2, 2), Vtx(10, 10), Vtx(20, 20)},      // collinear
        {Vtx(-20, 2), Vtx(-5, 12), Vtx(-10, 20)},   // left of the area
        {Vtx(2, 2, 1.0f), Vtx(12, 2, 1.5f), Vtx(2, 12, 1.0f)},  // beyond the far plane
        {Vtx(2, 2, -1.0f), Vtx(12, 2, -0.5f), Vtx(2, 12, -0.1f)},
    };
    for (const auto& v : none) EXPECT_TRUE(Coverage(kp, v).empty());
    EXPECT_FALSE(Coverage(kp, {Vtx(2, 2), Vtx(3.2f, 2), Vtx(2, 3.2f)}).empty());
}

TEST_F(Triangle3DTest, RowsAndPixelsStayInsideTheDrawAreaAndTheImage)
{
    kp = ResetKernelParams(5, 4, 15, 12);
    const auto spans = Coverage(kp, {Vtx(-10, -10), Vtx(60, -5), Vtx(0, 60)});
    ASSERT_EQ(spans.size(), 8u);
    for (const Span& s : spans) {
        EXPECT_GE(s.first, 5);
        EXPECT_LE(s.first + s.count, 15);
    }
    // An area larger than the image is cut to the image.
    kp = ResetKernelParams(0, 0, 5000, 5000);
    const auto big = Coverage(kp, {Vtx(-100, -100), Vtx(900, -100), Vtx(-100, 900)}, 20, 10);
    ASSERT_EQ(big.size(), 10u);
    EXPECT_EQ(big.back(), (Span{9, 0, 20}));
}

// A 32-bit texture whose texel (u, v) holds 0xAB000000 | v << 12 | u, so a
// plain whole-word copy shows which texel each pixel sampled.
void FillCoordinates(SoftImage& tex)
{
    for (int y = 0; y < tex.Height(); ++y)
        for (int x = 0; x < tex.Width(); ++x) tex.Set(x, y, 0xAB000000u | std::uint32_t(y) << 12 | std::uint32_t(x));
}

TEST_F(Triangle3DTest, PerspectiveDivisionUsesTheIntegerQuotient)
{
    SoftImage tex(16, 16, 1);
    FillCoordinates(tex);
    for (float rhw : {1.0f, 0.9f}) {
        SoftImage dst(40, 20, 1);
        // tu = x / 16 along the row.
        const TLVTXTEX v[3] = {Vtx(0, 0, 0.5f, rhw, ~0u, 0, 0), Vtx(32, 0, 0.5f, rhw, ~0u, 2.0f, 0),
                               Vtx(0, 16, 0.5f, rhw, ~0u, 0, 1.0f)};
        softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), nullptr, tex.Img(), v, 0, 0, 0, 0, 0);
        for (int x : {2, 5, 10, 14}) {
            // Q = 8 at rhw 0.9 (2^29 / q truncated), so U comes out 0.9 of its value.
            const int expected = rhw == 1.0f ? x : static_cast<int>(0.9 * (x + 0.5));
            EXPECT_EQ(dst.Get(x, 1) & 0xFFF, std::uint32_t(expected)) << "rhw " << rhw << " x " << x;
        }
    }
    // tu = 1.0 everywhere gives U equal to the width: nothing is drawn.
    SoftImage dst(40, 20, 1);
    const TLVTXTEX v[3] = {Vtx(0, 0, 0.5f, 1, ~0u, 1, 0), Vtx(30, 0, 0.5f, 1, ~0u, 1, 0),
                           Vtx(0, 16, 0.5f, 1, ~0u, 1, 0.5f)};
    softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), nullptr, tex.Img(), v, 0, 0, 0, 0, 0);
    EXPECT_TRUE(DrawnSpans(dst).empty());
}

TEST_F(Triangle3DTest, DepthTestPassesEqualValuesAndWritesBeforeTheTexelIsKnown)
{
    SoftImage tex(4, 4, 1);
    tex.Fill(0xFF102030);
    struct Case {
        float zTop, zBottom;  // pixel (2, 2) lies at zTop - (zTop - zBottom) * 2.5 / 16
        std::uint16_t stored;
        int depthWrite;
        float tu;  // 1.0: every texel is out of bounds
        bool drawn;
        std::uint16_t after;
    };
    const Case cases[] = {
        {0.5f, 0.5f, 32768, 1, 0.0f, true, 32768},  // equal passes
        {0.5f, 0.5f, 32767, 1, 0.0f, false, 32767},
        {0.5f, 0.5f, 40000, 0, 0.0f, true, 40000},  // no write
        {0.5f, 0.5f, 40000, 1, 0.0f, true, 32768},
        {0.5f, 0.5f, 40000, 1, 1.0f, false, 32768},  // written although the texel is skipped
        {1.2f, 0.2f, 65535, 1, 0.0f, true, 65535},   // z beyond 1.0 is the farthest value
        {1.2f, 0.2f, 65534, 1, 0.0f, false, 65534},
        {-0.2f, 0.8f, 0, 1, 0.0f, true, 0},          // and below 0.0 the nearest
    };
    for (const Case& c : cases) {
        SoftImage dst(20, 20, 1);
        SoftImage depth(20, 20, 3);
        depth.Fill(c.stored);
        const TLVTXTEX v[3] = {Vtx(0, 0, c.zTop, 1, ~0u, c.tu, 0), Vtx(16, 0, c.zTop, 1, ~0u, c.tu, 0),
                               Vtx(0, 16, c.zBottom, 1, ~0u, c.tu, 0.5f)};
        softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), depth.Img(), tex.Img(), v, 0, c.depthWrite, 0, 0, 0);
        EXPECT_EQ(dst.Get(2, 2) == 0xFF102030, c.drawn) << "z " << c.zTop << " stored " << c.stored;
        EXPECT_EQ(depth.Get(2, 2), c.after) << "z " << c.zTop << " stored " << c.stored;
        EXPECT_EQ(depth.Get(19, 19), c.stored);
    }
}

TEST_F(Triangle3DTest, ColourKeyComparesTheWholeTexel)
{
    // Palette key 5: index 5 is skipped whatever its colour, other indices drawn.
    SoftImage pal(4, 1, 1, true, false, 5);
    pal.SetPaletteEntry(5, 0x00123456);
    pal.SetPaletteEntry(6, 0x00123456);
    for (int x = 0; x < 4; ++x) pal.Set(x, 0, x < 2 ? 5 : 6);
    // 32-bit key 0x00FF00FF: a texel differing only in the fourth byte is drawn.
    SoftImage direct(4, 1, 1, false, false, 0x00FF00FF);
    for (int x = 0; x < 4; ++x) direct.Set(x, 0, x < 2 ? 0x00FF00FF : 0xFFFF00FF);
    for (SoftImage* tex : {&pal, &direct}) {
        for (int trans : {0, 1}) {
            SoftImage dst(16, 8, 1);
            const TLVTXTEX v[3] = {Vtx(0, 0, 0.5f, 1, ~0u, 0, 0), Vtx(16, 0, 0.5f, 1, ~0u, 1, 0),
                                   Vtx(0, 16, 0.5f, 1, ~0u, 0, 1)};
            softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), nullptr, tex->Img(), v, trans, 0, 0, 0, 0);
            EXPECT_EQ(dst.Get(1, 1) != 0, trans == 0);  // texel column 0
            EXPECT_NE(dst.Get(12, 1), 0u);                // texel column 3
        }
    }
}

TEST_F(Triangle3DTest, DepthRangeClipping)
{
    // Depth image holds the depth of every covered pixel; drawn pixels turn white.
    SoftImage white(4, 4, 1);
    white.Fill(0xFFFFFFFF);
    auto draw = [&white, this](const std::array<TLVTXTEX, 3>& v, int clip, int vertexColour, int depthWrite,
                         int pieceDepthWrite, SoftImage& dst, SoftImage& depth) {
        dst.Fill(0);
        depth.Fill(0xFFFF);
        softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), depth.Img(), white.Img(), v.data(), 0, depthWrite,
                                  pieceDepthWrite, vertexColour, clip);
    };
    SoftImage dst(40, 40, 1), depth(40, 40, 3), dst2(40, 40, 1), depth2(40, 40, 3);

    // All three outside, although the triangle crosses the visible range.
    draw({Vtx(0, 0, -0.5f), Vtx(32, 0, -0.5f), Vtx(0, 32, 1.5f)}, 1, 1, 1, 1, dst, depth);
    EXPECT_TRUE(DrawnSpans(dst).empty());

    // All inside: exactly as without clipping (no change of family or depth write).
    const std::array<TLVTXTEX, 3> inside{Vtx(0, 0, 0.2f), Vtx(32, 0, 0.4f), Vtx(0, 32, 0.9f)};
    draw(inside, 1, 1, 1, 0, dst, depth);
    draw(inside, 0, 1, 1, 0, dst2, depth2);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            ASSERT_EQ(dst.Get(x, y), dst2.Get(x, y));
            ASSERT_EQ(depth.Get(x, y), depth2.Get(x, y));
        }

    // One vertex in front of the near plane: with rhw 1 the depth is linear on
    // the screen, z = (x - 8) / 32 here, so the pieces cover x >= 8 exactly and
    // the new vertices lie at depth 0.
    const std::array<TLVTXTEX, 3> near{Vtx(0, 0, -0.25f), Vtx(32, 0, 0.75f), Vtx(0, 32, -0.25f)};
    draw(near, 1, 1, 1, 1, dst, depth);
    int drawn = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool inTriangle = x + 0.5 + y + 0.5 < 32 - 1e-3 && y > 0;
            const bool visible = x + 0.5 > 8 + 1e-3;
            if (inTriangle && visible && x + y < 30) {
                EXPECT_NE(dst.Get(x, y), 0u) << x << "," << y;
                const double z = (x + 0.5 - 8) / 32.0;
                EXPECT_NEAR(depth.Get(x, y), z * 65536, 40) << x << "," << y;
                ++drawn;
            }
            if (!visible || !(x + y <= 32)) {
                EXPECT_EQ(dst.Get(x, y), 0u) << x << "," << y;
            }
        }
    EXPECT_GT(drawn, 100);

    // The pieces take the vertex-colour loops and the parent's piece depth write,
    // whatever the parent's own family and depth write: a tinting bright colour
    // is not read, and the depth stays unwritten with pieceDepthWrite 0.
    kp.Bright = 0x000000;
    draw(near, 1, 0, 1, 0, dst, depth);
    EXPECT_EQ(dst.Get(20, 2) & 0xFFFFFF, 0xFEFEFEu);
    EXPECT_EQ(depth.Get(20, 2), 0xFFFF);
    // clip == 2 clips nothing: the triangle is drawn as it stands (z >= 0 part only
    // by the depth test), here without a depth image.
    SoftImage plain(40, 40, 1);
    kp.Bright = 0xFFFFFF;
    softrender::RasterizeMemImgTriangle3D(kp, plain.Img(), nullptr, nullptr, near.data(), 0, 0, 0, 1, 2);
    EXPECT_NE(plain.Get(2, 2), 0u);
}

TEST_F(Triangle3DTest, ClippedVertexColoursStartFromTheRightEnd)
{
    // Far pass: t = 0.5 from the inside end. A horizontal band keeps the colour
    // constant along each row's sample, so read it where the new vertex lies.
    auto blueAt = [this](DWORD insideBlue, DWORD outsideBlue, bool farPass) {
        SoftImage dst(64, 8, 1);
        const float zIn = farPass ? 0.5f : 0.5f;
        const float zOut = farPass ? 1.5f : -0.5f;
        // Inside vertices on the left (x = 0), outside on the right (x = 64);
        // the clipped edge crosses the plane at x = 32.
        const TLVTXTEX v[3] = {Vtx(0, 0, zIn, 1, 0xFF000000 | insideBlue), Vtx(64, 4, zOut, 1, 0xFF000000 | outsideBlue),
                               Vtx(0, 8, zIn, 1, 0xFF000000 | insideBlue)};
        softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), nullptr, nullptr, v, 0, 0, 0, 1, 1);
        // The pixel just left of the crossing: colour of the new vertex, modulated
        // by the white texel (s' = blue * 255 >> 8 after the 14-bit interpolation).
        return dst.Get(31, 4) & 0xFF;
    };
    // The new vertex gets ((E - S) * 127 + S * 256) >> 8 with S the inside end in
    // the far pass and the outside end in the near pass: 126 or 128. The pixel
    // at x = 31.5 lies 1/64 of the way back toward the inside vertices, and the
    // white texel under it gives m - 1.
    auto expected = [](double inside, double created) { return std::floor(inside + (created - inside) * 31.5 / 32) - 1; };
    EXPECT_NEAR(blueAt(0, 255, true), expected(0, 126), 1.0);
    EXPECT_NEAR(blueAt(255, 0, true), expected(255, 128), 1.0);
    EXPECT_NEAR(blueAt(255, 0, false), expected(255, 126), 1.0);
    EXPECT_NEAR(blueAt(0, 255, false), expected(0, 128), 1.0);
}

TEST_F(Triangle3DTest, UntexturedTrianglesUseWhiteTintedByTheBrightColourInAnyAreaAndMode)
{
    // Draw area starting at x = 3 and blend mode 2: the texture is still white,
    // tinted as a rectangle fill tints its colour (c * b >> 8).
    kp = ResetKernelParams(3, 0, 40, 40);
    kp.Mode = static_cast<BlendMode>(2);
    kp.Param = 0;  // a rectangle fill would draw nothing here
    kp.Bright = 0x80FFFF;  // red 128
    for (int format : {1, 0}) {
        SoftImage dst(40, 40, format);
        const TLVTXTEX v[3] = {Vtx(0, 0), Vtx(32, 0), Vtx(0, 32)};
        softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), nullptr, nullptr, v, 0, 0, 0, 1, 0);
        // Texel channels 254, 254, 127 (32-bit) or 30, 62, 15 (16-bit), added at
        // vertex colour and alpha 255 onto black.
        if (format == 1) EXPECT_EQ(dst.Get(5, 5), 0x007EFCFCu);
        else EXPECT_EQ(dst.Get(5, 5), (14u << 11) | (61u << 5) | 29u);
        EXPECT_EQ(dst.Get(2, 5), 0u);
    }
}

TEST_F(Triangle3DTest, SmallTexturedTriangleFarFromTheOriginIsDrawn)
{
    SoftImage tex(16, 16, 1);
    FillCoordinates(tex);
    SoftImage dst(640, 480, 1);
    const TLVTXTEX v[3] = {Vtx(600, 400, 0.5f, 1, ~0u, 0, 0), Vtx(616, 400, 0.5f, 1, ~0u, 1, 0),
                           Vtx(600, 416, 0.5f, 1, ~0u, 0, 1)};
    softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), nullptr, tex.Img(), v, 0, 0, 0, 0, 0);
    EXPECT_EQ(dst.Get(605, 402), 0xAB000000u | 2u << 12 | 5u);
    EXPECT_EQ(dst.Get(601, 410), 0xAB000000u | 10u << 12 | 1u);
}

TEST_F(Triangle3DTest, ZeroPerspectiveInsideARowSkipsThePixel)
{
    SoftImage tex(8, 8, 1);
    tex.Fill(0xFFFFFFFF);
    SoftImage dst(64, 16, 1);
    // rhw crosses 0 inside every row.
    const TLVTXTEX v[3] = {Vtx(0, 0, 0.5f, 1.0f, ~0u, 0, 0), Vtx(64, 0, 0.5f, -1.0f, ~0u, 0, 0),
                           Vtx(0, 16, 0.5f, 1.0f, ~0u, 0, 0)};
    softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), nullptr, tex.Img(), v, 0, 0, 0, 0, 0);
    EXPECT_NE(dst.Get(2, 1), 0u);
}

TEST_F(Triangle3DTest, RefusedDrawsLeaveEverythingUntouched)
{
    SoftImage tex32(8, 8, 1), tex16(8, 8, 0), graph(4, 4, 2);
    tex32.Fill(0xFFFFFFFF);
    SoftImage dst(20, 20, 1), palDst(20, 20, 1, true), alphaDst(20, 20, 1, false, true), depthNarrow(19, 20, 3);
    const TLVTXTEX v[3] = {Vtx(0, 0, 0.5f, 1, ~0u, 0, 0), Vtx(16, 0, 0.5f, 1, ~0u, 1, 0),
                           Vtx(0, 16, 0.5f, 1, ~0u, 0, 1)};
    softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), nullptr, tex16.Img(), v, 0, 0, 0, 0, 0);
    softrender::RasterizeMemImgTriangle3D(kp, palDst.Img(), nullptr, nullptr, v, 0, 0, 0, 0, 0);
    softrender::RasterizeMemImgTriangle3D(kp, alphaDst.Img(), nullptr, nullptr, v, 0, 0, 0, 0, 0);
    softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), depthNarrow.Img(), tex32.Img(), v, 0, 1, 0, 0, 0);
    softrender::RasterizeMemImgTriangle3D(WithGraph(kp, graph.Img()), dst.Img(), nullptr, tex32.Img(), v, 0, 0, 0, 0, 0);  // graph too small
    for (int mode : {5, 7, 9, 12, -1}) {
        kp.Mode = static_cast<BlendMode>(mode);
        softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), nullptr, nullptr, v, 0, 0, 0, 1, 0);
        softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), nullptr, tex32.Img(), v, 0, 0, 0, 0, 1);
    }
    EXPECT_TRUE(DrawnSpans(dst).empty());
    EXPECT_TRUE(DrawnSpans(palDst).empty());
    EXPECT_TRUE(DrawnSpans(alphaDst).empty());
    EXPECT_EQ(depthNarrow.Get(2, 2), 0u);
}

TEST_F(Triangle3DTest, VertexColourRulesWorkedExamples)
{
    // One constant vertex colour over a big triangle, one texel, one pixel read.
    struct Case {
        int format;
        int mode;
        std::uint32_t diffuse;  // the same at every vertex: exact multipliers
        std::uint32_t texel;
        std::uint32_t dst;
        bool graph, alpha, key;
        std::uint32_t expected;
    };
    const std::uint32_t white565 = 0xFFFF;
    const Case cases[] = {
        // Mode 0: 255 under 255 gives 254; a vertex colour of 0 gives black; byte 3 kept.
        {1, 0, 0xFFFFFFFF, 0x00FFFFFF, 0x12000000, false, false, false, 0x12FEFEFE},
        {1, 0, 0xFF000000, 0x00FFFFFF, 0x12345678, false, false, false, 0x12000000},
        // Mode 1 weighs by the vertex alpha: 254 over 0 gives 253, 0 over 255 gives 0.
        {1, 1, 0xFFFFFFFF, 0x00FFFFFF, 0x00000000, false, false, false, 0x00FDFDFD},
        {1, 1, 0xFFFFFFFF, 0x00000000, 0x00FFFFFF, false, false, false, 0x00000000},
        {1, 1, 0x00FFFFFF, 0x00FFFFFF, 0x00000000, false, false, false, 0x00000000},
        // 16-bit, m_A = 128: red 30 over 0 gives 15, 0 over red 31 gives 15.
        {0, 1, 0x80FFFFFF, 0xF800, 0x0000, false, false, false, 15u << 11},
        {0, 1, 0x80FFFFFF, 0x0000, 0xF800, false, false, false, 15u << 11},
        // Mode 2 adds (s m m_A) >> 16: 255 everywhere adds 253.
        {1, 2, 0xFFFFFFFF, 0x00FFFFFF, 0x00000000, false, false, false, 0x00FDFDFD},
        // Mode 4: white on white 253, 252 with a full graph, 250 with alpha 254.
        {1, 4, 0xFFFFFFFF, 0x00FFFFFF, 0x00FFFFFF, false, false, false, 0x00FDFDFD},
        {1, 4, 0xFFFFFFFF, 0x00FFFFFF, 0x00FFFFFF, true, false, false, 0x00FCFCFC},
        {1, 4, 0xFFFFFFFF, 0xFEFFFFFF, 0x00FFFFFF, true, true, false, 0x00FAFAFA},
        // Mode 10: black under 255 onto black, m_A 255 gives 253, 128 gives 127;
        // 16-bit gives (29, 61, 29).
        {1, 10, 0xFFFFFFFF, 0x00000000, 0x00000000, false, false, false, 0x00FDFDFD},
        {1, 10, 0x80FFFFFF, 0x00000000, 0x00000000, false, false, false, 0x007F7F7F},
        {0, 10, 0xFFFFFFFF, 0x0000, 0x0000, false, false, false, (29u << 11) | (61u << 5) | 29u},
        // Mode 11: white, m = 255, d = 255: y = 253; m_A 255 gives 253, 128 gives 254.
        {1, 11, 0xFFFFFFFF, 0x00FFFFFF, 0x00FFFFFF, false, false, false, 0x00FDFDFD},
        {1, 11, 0x80FFFFFF, 0x00FFFFFF, 0x00FFFFFF, false, false, false, 0x00FEFEFE},
        {0, 11, 0xFFFFFFFF, white565, white565, false, false, false, (29u << 11) | (61u << 5) | 29u},
        // Alpha 0 with the key flag: skipped, except in mode 4 which blackens.
        {1, 1, 0xFFFFFFFF, 0x00FFFFFF, 0x00101010, false, true, true, 0x00101010},
        {1, 4, 0xFFFFFFFF, 0x00FFFFFF, 0x00101010, false, true, true, 0x00000000},
    };
    SoftImage graph(1, 1, 2);
    graph.Set(0, 0, 255);
    for (const Case& c : cases) {
        SoftImage tex(1, 1, c.format, false, c.alpha);
        tex.Set(0, 0, c.texel);
        SoftImage dst(8, 8, c.format);
        dst.Fill(c.dst);
        kp.Mode = static_cast<BlendMode>(c.mode);
        kp.Param = 0;  // never read by these loops
        const TLVTXTEX v[3] = {Vtx(0, 0, 0.5f, 1, c.diffuse, 0, 0), Vtx(16, 0, 0.5f, 1, c.diffuse, 0, 0),
                               Vtx(0, 16, 0.5f, 1, c.diffuse, 0, 0)};
        softrender::RasterizeMemImgTriangle3D(WithGraph(kp, c.graph ? graph.Img() : nullptr), dst.Img(), nullptr, tex.Img(), v, c.key, 0, 0, 1, 0);
        EXPECT_EQ(dst.Get(2, 2), c.expected) << "mode " << c.mode << " texel " << std::hex << c.texel;
    }
}

// How many of the triangle's rules cover the pixel centre (px, py), in double
// precision: rows strictly between the top and bottom vertex; within a row,
// right of the left edge and not right of the right edge, whose part below a
// middle vertex lying right of the long edge starts one pixel further right.
// Answers -1 when the centre lies too close to an edge to call.
int RuleCovers(const TLVTXTEX* v, double px, double py)
{
    int o[3] = {0, 1, 2};
    std::sort(o, o + 3, [&](int a, int b) { return v[a].y < v[b].y; });
    const TLVTXTEX &top = v[o[0]], &mid = v[o[1]], &bot = v[o[2]];
    constexpr double eps = 1e-3;
    if (std::abs(py - top.y) < eps || std::abs(py - bot.y) < eps || std::abs(py - mid.y) < eps) return -1;
    if (!(py > top.y && py < bot.y)) return 0;
    auto at = [](double x0, double y0, double x1, double y1, double startY, double y) {
        return x0 + (y - startY) * (x1 - x0) / (y1 - y0);
    };
    double xl, xr;
    const long t = static_cast<long>(top.y), m = static_cast<long>(mid.y), b = static_cast<long>(bot.y);
    if (t == m) {
        const TLVTXTEX &ls = top.x > mid.x ? mid : top, &rs = top.x > mid.x ? top : mid;
        xl = at(ls.x, ls.y, bot.x, bot.y, ls.y, py);
        xr = at(rs.x, rs.y, bot.x, bot.y, ls.y, py);  // both edges start from the left start's row
    } else if (m == b) {
        const TLVTXTEX &le = mid.x > bot.x ? bot : mid, &re = mid.x > bot.x ? mid : bot;
        xl = at(top.x, top.y, le.x, le.y, top.y, py);
        xr = at(top.x, top.y, re.x, re.y, top.y, py);
    } else {
        const double sTM = static_cast<float>((mid.x - top.x) / (mid.y - top.y));
        const double sTB = static_cast<float>((bot.x - top.x) / (bot.y - top.y));
        const double longX = at(top.x, top.y, bot.x, bot.y, top.y, py);
        const double shortX = py < mid.y ? at(top.x, top.y, mid.x, mid.y, top.y, py)
                                         : at(mid.x + 1.0, mid.y, bot.x, bot.y, mid.y, py);
        if (sTB > sTM) {
            xl = py < mid.y ? shortX : at(mid.x, mid.y, bot.x, bot.y, mid.y, py);
            xr = longX;
        } else {
            xl = longX;
            xr = shortX;
        }
    }
    if (std::abs(px - xl) < eps || std::abs(px - xr) < eps) return -1;
    return px > xl && px <= xr ? 1 : 0;
}

// A line thicker than one pixel reaches the kernel as the strip the thick-line
// draw builds: P1 + n, P2 + n, P1 - n, P2 - n, with n the normal of half the
// thickness, drawn untextured with vertex colour at z = 0 and rhw = 1.
TEST_F(Triangle3DTest, ThickLinesCoverThePixelsTheRulesGive)
{
    struct Line {
        float x1, y1, x2, y2;
        int thickness;
    };
    const Line lines[] = {{5, 5, 40, 5, 2},  {5, 5, 40, 5, 3},   {20, 3, 20, 25, 2},
                          {20, 3, 20, 25, 3}, {10, 10, 30, 25, 2}, {10, 10, 30, 25, 3},
                          {36, 4, 6, 26, 3},  {3.5f, 20, 41, 11, 2}};
    kp.Mode = static_cast<BlendMode>(2);  // additive: each covering triangle adds 15
    for (const Line& l : lines) {
        const double dx = l.x2 - l.x1, dy = l.y2 - l.y1, len = std::sqrt(dx * dx + dy * dy);
        const double k = l.thickness * 0.5 / len;
        const float nx = static_cast<float>(dy * k), ny = static_cast<float>(-dx * k);
        const DWORD colour = 0xFF101010;
        const TLVTXTEX strip[4] = {Vtx(l.x1 + nx, l.y1 + ny, 0, 1, colour), Vtx(l.x2 + nx, l.y2 + ny, 0, 1, colour),
                                   Vtx(l.x1 - nx, l.y1 - ny, 0, 1, colour), Vtx(l.x2 - nx, l.y2 - ny, 0, 1, colour)};
        const TLVTXTEX second[3] = {strip[3], strip[2], strip[1]};
        SoftImage dst(48, 32, 1);
        softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), nullptr, nullptr, strip, 0, 0, 1, 1, 0);
        softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), nullptr, nullptr, second, 0, 0, 1, 1, 0);
        int drawn = 0, checked = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 48; ++x) {
                const int a = RuleCovers(strip, x + 0.5, y + 0.5), b = RuleCovers(second, x + 0.5, y + 0.5);
                const std::uint32_t got = dst.Get(x, y) & 0xFFFFFF;
                drawn += got != 0;
                if (a < 0 || b < 0) continue;
                ++checked;
                EXPECT_EQ(got, 0x0F0F0Fu * static_cast<std::uint32_t>(a + b))
                    << "line " << l.x1 << "," << l.y1 << " t " << l.thickness << " at " << x << "," << y;
            }
        EXPECT_GT(drawn, 2 * l.thickness);
        EXPECT_GT(checked, 48 * 32 - 100);
    }
}

// --- every loop against the reference models -------------------------------

struct LoopCase {
    bool x8888, palette, alpha, graph, white, key, vertexColour, depthTest, depthWrite;
    int mode;
};

// Draws a random triangle with the real keys, and the same geometry three more
// times as probes: the sampled texel of every pixel (coordinate texture, plain
// copy), its depth (depth write into an empty depth image) and, for vertex
// colour, the interpolated colour and alpha (white texel under mode 0).
void CheckLoopAgainstReference(const LoopCase& c, IsaLevel isa, std::mt19937& rng)
{
    const int W = 24, H = 20, TW = 7, TH = 6;
    const int fmt = c.x8888 ? 1 : 0;
    auto rnd = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto rndf = [&](float lo, float hi) { return lo + (hi - lo) * static_cast<float>(rng() % 10000) / 10000.0f; };

    SoftImage tex(TW, TH, fmt, c.palette, c.alpha, 0);
    std::vector<std::uint32_t> entries(256);
    for (auto& e : entries) e = c.x8888 ? static_cast<std::uint32_t>(rng()) : rng() & 0xFFFF;
    if (c.palette)
        for (int i = 0; i < 256; ++i) tex.SetPaletteEntry(i, entries[i]);
    std::vector<std::uint32_t> texels(TW * TH);
    const std::uint32_t alphas[] = {0, 255, 1, 128, 254};
    for (int i = 0; i < TW * TH; ++i) {
        std::uint32_t t;
        if (c.palette) t = rng() % 4;
        else if (c.x8888) t = static_cast<std::uint32_t>(rng());
        else t = rng() & 0xFFFF;
        if (c.alpha) {
            const std::uint32_t a = rnd(3) == 0 ? alphas[rnd(5)] : rng() & 0xFF;
            t = c.x8888 ? ((t & 0xFFFFFF) | a << 24) : (t | a << 16);
        }
        texels[i] = t;
    }
    // The key matches some texels.
    const std::uint32_t key = c.palette ? 2 : (c.x8888 ? texels[3] : texels[3] & 0xFFFF);
    tex.Img()->Body->ColorKey = key;
    for (int i = 0; i < TW * TH; ++i) {
        if (i % 5 == 0 && !c.palette) texels[i] = (texels[i] & ~(c.x8888 ? 0xFFFFFFFFu : 0xFFFFu)) | key;
        tex.Set(i % TW, i / TW, texels[i]);
    }
    SoftImage graph(TW + 1, TH, 2);
    for (int y = 0; y < TH; ++y)
        for (int x = 0; x <= TW; ++x) graph.Set(x, y, rng() & 0xFF);
    TLVTXTEX v[3];
    // Depth on one gentle plane, so no pixel of a thin triangle reaches the
    // probe's empty value 0xFFFF.
    const float zx = rndf(-0.01f, 0.01f), zy = rndf(-0.01f, 0.01f);
    for (auto& p : v) {
        const float rhw = rndf(0.3f, 1.5f);
        const float x = rndf(-4, W + 4), y = rndf(-4, H + 4);
        p = TLVTXTEX{x, y, 0.5f + zx * x + zy * y, rhw, static_cast<DWORD>(rng()) | 0x08080808u, rndf(-0.1f, 1.1f),
                     rndf(-0.1f, 1.1f)};
    }
    const int p = rnd(4) == 0 ? (rnd(2) ? 0 : 255) : rnd(256);
    const DWORD bright = c.white ? 0xFFFFFF : (static_cast<DWORD>(rng()) & 0xFFFFFF) | 0x000001;
    KERNELPARAMS kp = ResetKernelParams(1, 2, W - 1, H - 1);
    for (int g = 0; g < 256; ++g) BlendTables.BlendGraphFactorTable[g] = static_cast<BYTE>(rng() % 3 == 0 ? g : rng());

    // Probes, in mode 0 with a white bright colour.
    SoftImage coordTex(TW, TH, 1);
    FillCoordinates(coordTex);
    SoftImage coords(W, H, 1), depthProbe(W, H, 3), colourProbe(W, H, 1), alphaProbe(W, H, 1), whiteTex(TW, TH, 1);
    whiteTex.Fill(0xFFFFFFFF);
    depthProbe.Fill(0xFFFF);
    softrender::RasterizeMemImgTriangle3D(kp, coords.Img(), depthProbe.Img(), coordTex.Img(), v, 0, 1, 0, 0, 0);
    if (c.vertexColour) {
        softrender::RasterizeMemImgTriangle3D(kp, colourProbe.Img(), nullptr, whiteTex.Img(), v, 0, 0, 0, 1, 0);
        TLVTXTEX va[3];
        for (int i = 0; i < 3; ++i) {
            va[i] = v[i];
            va[i].diffuse = v[i].diffuse >> 24;  // alpha into blue
        }
        softrender::RasterizeMemImgTriangle3D(kp, alphaProbe.Img(), nullptr, whiteTex.Img(), va, 0, 0, 0, 1, 0);
    }

    SoftImage dst(W, H, fmt), depth(W, H, 3);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            dst.Set(x, y, c.x8888 ? static_cast<std::uint32_t>(rng()) : rng() & 0xFFFF);
            depth.Set(x, y, rng() & 0xFFFF);
        }
    SoftImage before(W, H, fmt), depthBefore(W, H, 3);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            before.Set(x, y, dst.Get(x, y));
            depthBefore.Set(x, y, depth.Get(x, y));
        }
    kp.Mode = static_cast<BlendMode>(c.mode);
    kp.Param = p;
    kp.Bright = bright;
    kp.Isa = isa;  // the probes above ran the portable loops
    softrender::RasterizeMemImgTriangle3D(WithGraph(kp, c.graph ? graph.Img() : nullptr), dst.Img(), c.depthTest ? depth.Img() : nullptr, tex.Img(), v, c.key, c.depthWrite, 0, c.vertexColour, 0);
    // The parameter's early exits draw nothing at all, depth included.
    const int m = c.mode;
    const bool nothingDrawn = !c.vertexColour && (((m == 1 || m == 2) && p == 0) || (m == 3 && p == 0 && !c.palette));

    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const std::uint32_t d0 = before.Get(x, y);
            std::uint32_t expected = d0;
            std::uint32_t expectedDepth = depthBefore.Get(x, y);
            const std::uint32_t n = depthProbe.Get(x, y);
            bool pass = n != 0xFFFF;  // inside the spans
            if (pass && c.depthTest) {
                if (expectedDepth < n) pass = false;
                else if (c.depthWrite) expectedDepth = n;
            }
            const std::uint32_t probe = coords.Get(x, y);
            bool predictable = true;
            if (pass && (probe >> 24) == 0xAB) {
                const int u = probe & 0xFFF, w = (probe >> 12) & 0xFFF;
                const std::uint32_t texel = texels[w * TW + u];
                std::optional<std::uint32_t> r;
                if (c.vertexColour) {
                    vcref::VcCase k{};
                    k.X8888 = c.x8888;
                    k.Palette = c.palette;
                    k.Alpha = c.alpha;
                    k.Mode = c.mode;
                    k.Graph = c.graph;
                    k.Factor = BlendTables.BlendGraphFactorTable[graph.Get(u, w)];
                    k.Key = c.key;
                    k.ColorKey = key;
                    k.Texel = texel;
                    k.Entries = entries.data();
                    // White texel under mode 0 gives m - 1 (m >= 2 inside).
                    const std::uint32_t cp = colourProbe.Get(x, y), ap = alphaProbe.Get(x, y);
                    for (int i = 0; i < 3; ++i) k.M[i] = static_cast<int>((cp >> (8 * i)) & 0xFF) + 1;
                    k.MA = static_cast<int>(ap & 0xFF) + 1;
                    // A probe of 0 stands for 0 or 1 (the float plane of a thin triangle can
                    // leave the vertices' range): such pixels cannot be predicted here.
                    predictable = (cp & 0xFF) != 0 && (cp & 0xFF00) != 0 && (cp & 0xFF0000) != 0 && (ap & 0xFF) != 0;
                    r = vcref::VcPixel(k, d0);
                } else {
                    pixref::ImageCase k{};
                    k.X8888 = c.x8888;
                    k.Palette = c.palette;
                    k.Alpha = c.alpha;
                    k.Mode = c.mode;
                    k.P = p;
                    k.Bright = bright;
                    k.Graph = c.graph;
                    k.Factor = BlendTables.BlendGraphFactorTable[graph.Get(u, w)];
                    k.Key = c.key;
                    k.ColorKey = key;
                    k.Fam = pixref::Family::RotTri3D;
                    k.Texel = texel;
                    k.Entries = entries.data();
                    r = pixref::ImagePixel(k, d0);
                }
                if (r) expected = c.x8888 ? *r : (*r & 0xFFFF);
            }
            if (nothingDrawn) expectedDepth = depthBefore.Get(x, y);
            if (predictable) {
                ASSERT_EQ(dst.Get(x, y), expected)
                    << "pixel " << x << "," << y << " mode " << c.mode << " p " << p << " level " << int(isa)
                    << " bright " << std::hex << bright;
            }
            if (c.depthTest) {
                ASSERT_EQ(depth.Get(x, y), expectedDepth) << "depth at " << x << "," << y << " level " << int(isa);
            }
        }
}

TEST_F(Triangle3DTest, EveryLoopAgreesWithTheReferenceModels)
{
    std::mt19937 rng(11);
    const int modes[] = {0, 1, 2, 3, 4, 10, 11};
    int combos = 0;
    for (int bits = 0; bits < (1 << 9); ++bits) {
        LoopCase c{};
        c.x8888 = bits & 1;
        c.palette = bits & 2;
        c.alpha = bits & 4;
        c.graph = bits & 8;
        c.white = bits & 16;
        c.key = bits & 32;
        c.vertexColour = bits & 64;
        c.depthTest = bits & 128;
        c.depthWrite = bits & 256;
        if (c.palette && c.alpha) continue;
        if (c.vertexColour && !c.white) continue;  // the bright colour is not read
        if (!c.depthTest && c.depthWrite) continue;
        for (int mode : modes) {
            c.mode = mode;
            for (int rep = 0; rep < 3; ++rep)
                for (IsaLevel isa : {IsaLevel::Portable, IsaLevel::Sse2, IsaLevel::Avx2}) {
                    CheckLoopAgainstReference(c, isa, rng);
                    if (HasFatalFailure()) return;
                }
            ++combos;
        }
    }
    EXPECT_GT(combos, 500);
}

// The vector loops take spans in groups of four or eight pixels and chunks of
// 64, and hoist the quotient of spans whose q does not change: wide triangles,
// with and without perspective, must come out of every level as out of the
// portable loops, depth image included; and a texture that is the destination
// itself must be read in the portable loops' order.
TEST_F(Triangle3DTest, VectorLevelsDrawWideSpansAsThePortableLoops)
{
    struct Case {
        int format, mode;
        bool palette, alpha, key, vertexColour, depth, selfTexture;
    };
    const Case cases[] = {
        {1, 0, false, false, false, false, false, false},  // the gathered copy
        {1, 0, false, false, false, false, true, false},
        {1, 1, false, false, true, false, true, false},
        {1, 4, false, true, true, false, false, false},
        {1, 1, false, false, false, true, true, false},
        {1, 2, true, false, true, false, false, false},
        {0, 0, false, false, false, false, true, false},
        {0, 11, false, true, true, true, false, false},
        {1, 0, false, false, false, false, false, true},
    };
    const int W = 300, H = 170;
    std::mt19937 rng(23);
    for (const Case& c : cases)
        // rhw 12 leaves the range of the single-precision quotient, -0.5 crosses q = 0.
        for (float rhwFar : {1.0f, 0.25f, 12.0f, -0.5f}) {
            SoftImage tex(97, 61, c.format, c.palette, c.alpha);
            for (int y = 0; y < tex.Height(); ++y)
                for (int x = 0; x < tex.Width(); ++x) tex.Set(x, y, c.palette ? rng() % 4 : static_cast<std::uint32_t>(rng()));
            if (c.palette)
                for (int i = 0; i < 256; ++i) tex.SetPaletteEntry(i, static_cast<std::uint32_t>(rng()));
            tex.Img()->Body->ColorKey = c.palette ? 1 : tex.Get(5, 5);
            // Texture coordinates beyond 0..1 leave some pixels outside the texture.
            const TLVTXTEX v[3] = {Vtx(-20, -10, 0.2f, 1.0f, 0xFF2040F0, -0.1f, -0.05f),
                                   Vtx(W + 15, 30, 0.9f, rhwFar, 0x80F08010, 1.1f, 0.2f),
                                   Vtx(40, H + 5, 0.5f, 0.5f * (1.0f + rhwFar), 0xFF10F080, 0.3f, 1.05f)};
            std::vector<std::uint32_t> pixels[3], depths[3];
            int level = 0;
            for (IsaLevel isa : {IsaLevel::Portable, IsaLevel::Sse2, IsaLevel::Avx2}) {
                SoftImage dst(W, H, c.format), depth(W, H, 3);
                std::mt19937 fill(5);
                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < W; ++x) {
                        dst.Set(x, y, static_cast<std::uint32_t>(fill()));
                        depth.Set(x, y, fill() & 0xFFFF);
                    }
                kp = ResetKernelParams(0, 0, W, H);
                kp.Mode = static_cast<BlendMode>(c.mode);
                kp.Param = 100;
                kp.Isa = isa;
                const MEMIMG* texture = c.selfTexture ? dst.Img() : tex.Img();
                softrender::RasterizeMemImgTriangle3D(kp, dst.Img(), c.depth ? depth.Img() : nullptr, texture, v, c.key, 1, 0,
                                                      c.vertexColour, 0);
                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < W; ++x) {
                        pixels[level].push_back(dst.Get(x, y));
                        depths[level].push_back(depth.Get(x, y));
                    }
                ++level;
            }
            for (int l = 1; l < 3; ++l) {
                EXPECT_EQ(pixels[l], pixels[0]) << "level " << l << " format " << c.format << " mode " << c.mode << " rhw " << rhwFar;
                EXPECT_EQ(depths[l], depths[0]) << "level " << l << " format " << c.format << " mode " << c.mode;
            }
            int changed = 0;
            std::mt19937 fill(5);
            for (std::size_t i = 0; i < pixels[0].size(); ++i) {
                const std::uint32_t was = static_cast<std::uint32_t>(fill());
                fill();
                changed += pixels[0][i] != (c.format == 1 ? was : was & 0xFFFF);
            }
            EXPECT_GT(changed, rhwFar < 0 ? 500 : W * H / 10) << "format " << c.format << " mode " << c.mode << " rhw " << rhwFar;
        }
}

}  // namespace
