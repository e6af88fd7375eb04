// The rotate kernel and the quad split: 1:1 and quarter-turn mappings, the
// inverse mapping at any angle, mirrored draws, clipping, refusals, and every
// loop against the reference model.
#include "softrender/rotate/rotate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "graphics/blendtable.h"
#include "softrender/rotate/rotate_loop.h"
#include "support/pixel_reference.h"
#include "support/soft_image.h"

namespace {

constexpr std::uint32_t kUntouched = 0x5A5A5A5A;

class RotateTest : public ::testing::Test {
protected:
    void SetUp() override { kp = ResetKernelParams(0, 0, 64, 48); }
    KERNELPARAMS kp{};
};

void FillRandom(SoftImage& img, std::mt19937& rng)
{
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) img.Set(x, y, static_cast<std::uint32_t>(rng()));
}

// Texel (u, v) holds 0xAB000000 | v << 12 | u: a plain copy shows the sampling.
void FillCoordinates(SoftImage& img)
{
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) img.Set(x, y, 0xAB000000u | std::uint32_t(y) << 12 | std::uint32_t(x));
}

TEST_F(RotateTest, QuarterTurnsAndTheOneToOneCaseMapWholeTexels)
{
    // ui = a (x - cx) + b (y - cy) + (w >> 1), vi = c (x - cx) + d (y - cy) + (h >> 1),
    // sampled at the pixel's top-left corner; positive angles turn clockwise.
    struct Turn {
        float angle, rate;
        int a, b, c, d;
    };
    const float pi = static_cast<float>(M_PI);
    const Turn turns[] = {
        {0.0f, 1.0f, 1, 0, 0, 1},       {pi / 2, 1.0f, 0, 1, -1, 0},   {pi, 1.0f, -1, 0, 0, -1},
        {3 * pi / 2, 1.0f, 0, -1, 1, 0}, {0.0f, -1.0f, -1, 0, 0, -1},  // a negative rate is a half turn
    };
    std::mt19937 rng(1);
    for (int format : {1, 0}) {
        SoftImage src(7, 5, format);
        FillRandom(src, rng);
        const int cx = 20, cy = 15;
        for (const Turn& t : turns) {
            SoftImage dst(40, 30, format);
            dst.Fill(kUntouched);
            softrender::RotateScaleBlitMemImg(kp, dst.Img(), src.Img(), cx, cy, t.angle, t.rate, 0, 0);
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x) {
                    const int ui = t.a * (x - cx) + t.b * (y - cy) + 3;
                    const int vi = t.c * (x - cx) + t.d * (y - cy) + 2;
                    const bool inside = ui >= 0 && ui < 7 && vi >= 0 && vi < 5;
                    const std::uint32_t want = inside ? src.Get(ui, vi) : dst.Get(0, 0);
                    ASSERT_EQ(dst.Get(x, y), want) << "angle " << t.angle << " rate " << t.rate << " at " << x << "," << y;
                }
        }
    }
}

TEST_F(RotateTest, AnyAngleSamplesTheInverselyRotatedPixelCorner)
{
    SoftImage src(20, 12, 1);
    FillCoordinates(src);
    for (float angle : {0.3f, 0.5236f, 2.0f, -1.1f, 5.9f}) {
        for (float rate : {1.0f, 1.7f, 0.6f}) {
            SoftImage dst(64, 48, 1);
            const int cx = 31, cy = 23;
            softrender::RotateScaleBlitMemImg(kp, dst.Img(), src.Img(), cx, cy, angle, rate, 0, 0);
            const double c = std::cos(angle), s = std::sin(angle);
            for (int y = 0; y < 48; ++y)
                for (int x = 0; x < 64; ++x) {
                    const double u = ((x - cx) * c + (y - cy) * s) / rate + 10;
                    const double v = ((y - cy) * c - (x - cx) * s) / rate + 6;
                    const std::uint32_t got = dst.Get(x, y);
                    if (got == 0) {
                        EXPECT_FALSE(u > 0.01 && u < 19.99 && v > 0.01 && v < 11.99) << angle << " " << x << "," << y;
                        continue;
                    }
                    ASSERT_EQ(got >> 24, 0xABu);
                    EXPECT_NEAR(static_cast<double>(got & 0xFFF), std::floor(u), 1.0) << angle << " " << x << "," << y;
                    EXPECT_NEAR(static_cast<double>((got >> 12) & 0xFFF), std::floor(v), 1.0);
                }
        }
    }
}

TEST_F(RotateTest, TurnedDrawsGoThroughTheQuadSplitMirrored)
{
    SoftImage src(8, 6, 1);
    FillCoordinates(src);
    SoftImage dst(40, 30, 1);
    softrender::RotateScaleBlitMemImg(kp, dst.Img(), src.Img(), 20, 15, 0.0f, 1.0f, 0, 1);
    // Every source row once, reversed, within the quad's columns 16..24 (the 2D
    // triangle's own coverage decides the exact columns).
    for (int y = 0; y < 30; ++y) {
        int drawn = 0, sum = -1;
        for (int x = 0; x < 40; ++x) {
            const std::uint32_t v = dst.Get(x, y);
            if (v == 0) continue;
            ++drawn;
            ASSERT_TRUE(x >= 16 && x <= 24) << x << "," << y;
            EXPECT_EQ((v >> 12) & 0xFFF, std::uint32_t(y - 12));
            if (sum < 0) sum = x + static_cast<int>(v & 0xFFF);
            EXPECT_EQ(x + static_cast<int>(v & 0xFFF), sum) << "mirrored columns at " << x << "," << y;
        }
        // Spans include both edge columns, so no texel column of a mirrored draw is lost.
        if (y >= 12 && y < 18) EXPECT_EQ(drawn, 8) << "row " << y;
        else EXPECT_EQ(drawn, 0) << "row " << y;
    }
    // The quad split itself: corners top-left, top-right, bottom-left,
    // bottom-right of a source-sized rectangle draw the source unmirrored.
    SoftImage plain(40, 30, 1);
    const int corners[8] = {3, 4, 11, 4, 3, 10, 11, 10};
    softrender::SplitMemImgQuadToTriangles(kp, plain.Img(), src.Img(), corners, 0);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool inside = x >= 3 && x < 11 && y >= 4 && y < 10;
            ASSERT_EQ(plain.Get(x, y), inside ? src.Get(x - 3, y - 4) : 0u) << x << "," << y;
        }
    // A quad whose widened box misses the draw area draws nothing.
    kp = ResetKernelParams(20, 0, 40, 30);
    SoftImage none(40, 30, 1);
    softrender::SplitMemImgQuadToTriangles(kp, none.Img(), src.Img(), corners, 0);
    softrender::RotateScaleBlitMemImg(kp, none.Img(), src.Img(), 5, 15, 0.0f, 1.0f, 0, 1);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(none.Get(x, y), 0u);
}

TEST_F(RotateTest, ClippingKeepsEveryPixelInsideTheAreaAsTheFullDrawHasIt)
{
    SoftImage src(16, 16, 1);
    std::mt19937 rng(3);
    FillRandom(src, rng);
    SoftImage full(64, 48, 1), cut(64, 48, 1);
    softrender::RotateScaleBlitMemImg(kp, full.Img(), src.Img(), 30, 22, 0.7f, 1.3f, 0, 0);
    kp = ResetKernelParams(27, 15, 36, 40);
    softrender::RotateScaleBlitMemImg(kp, cut.Img(), src.Img(), 30, 22, 0.7f, 1.3f, 0, 0);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool in = x >= 27 && x < 36 && y >= 15 && y < 40;
            ASSERT_EQ(cut.Get(x, y), in ? full.Get(x, y) : 0u) << x << "," << y;
        }
    // A box wholly outside the area, or an area beyond the image, is harmless.
    SoftImage outside(64, 48, 1);
    softrender::RotateScaleBlitMemImg(kp, outside.Img(), src.Img(), -40, 22, 0.7f, 1.0f, 0, 0);
    kp = ResetKernelParams(0, 0, 5000, 5000);
    softrender::RotateScaleBlitMemImg(kp, outside.Img(), src.Img(), 2, 2, 0.7f, 1.0f, 0, 0);
    EXPECT_NE(outside.Get(0, 0), 0u);
    EXPECT_EQ(outside.Get(40, 40), 0u);
}

TEST_F(RotateTest, RefusedDrawsLeaveTheDestinationUntouched)
{
    SoftImage src32(8, 8, 1), src16(8, 8, 0), graph(7, 8, 2), wide(8192, 1, 1), tall(1, 8192, 1);
    src32.Fill(0xFFFFFFFF);
    wide.Fill(0xFFFFFFFF);
    tall.Fill(0xFFFFFFFF);
    SoftImage dst(32, 32, 1), palDst(32, 32, 1, true), alphaDst(32, 32, 1, false, true);
    softrender::RotateScaleBlitMemImg(kp, dst.Img(), src16.Img(), 16, 16, 0.2f, 1.0f, 0, 0);
    softrender::RotateScaleBlitMemImg(kp, palDst.Img(), src32.Img(), 16, 16, 0.2f, 1.0f, 0, 0);
    softrender::RotateScaleBlitMemImg(kp, alphaDst.Img(), src32.Img(), 16, 16, 0.2f, 1.0f, 0, 0);
    softrender::RotateScaleBlitMemImg(WithGraph(kp, graph.Img()), dst.Img(), src32.Img(), 16, 16, 0.2f, 1.0f, 0, 0);
    softrender::RotateScaleBlitMemImg(kp, dst.Img(), wide.Img(), 16, 16, 0.0f, 1.0f, 0, 0);
    softrender::RotateScaleBlitMemImg(kp, dst.Img(), tall.Img(), 16, 16, 0.0f, 1.0f, 0, 1);
    softrender::RotateScaleBlitMemImg(kp, dst.Img(), src32.Img(), 16, 16, 0.2f, 0.0f, 0, 0);
    softrender::RotateScaleBlitMemImg(kp, dst.Img(), src32.Img(), 16, 16, NAN, 1.0f, 0, 0);
    softrender::RotateScaleBlitMemImg(kp, dst.Img(), src32.Img(), 16, 16, 0.2f, INFINITY, 0, 0);
    for (int mode : {5, 6, 7, 8, 9, 12, -1}) {
        kp.Mode = static_cast<BlendMode>(mode);
        softrender::RotateScaleBlitMemImg(kp, dst.Img(), src32.Img(), 16, 16, 0.2f, 1.0f, 0, 0);
    }
    for (SoftImage* img : {&dst, &palDst, &alphaDst})
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) ASSERT_EQ(img->Get(x, y), 0u);
}

TEST_F(RotateTest, ExtremeCentresAndRatesStayInsideTheImages)
{
    SoftImage src(16, 16, 1);
    src.Fill(0xFFFFFFFF);
    // The destination is a view inside a larger image, whose frame must stay untouched.
    SoftImage parent(80, 64, 1);
    parent.Fill(kUntouched);
    MEMIMG dst{};
    ShareMemImgRegion(&dst, parent.Img(), 8, 8, 64, 48);
    kp = ResetKernelParams(0, 0, 5000, 5000);  // only the kernel's own clip keeps it inside
    const int centres[][2] = {{INT32_MAX, 0}, {INT32_MIN, INT32_MIN}, {9000, 20}, {20, -9000}, {6000, 6000}};
    for (const auto& c : centres)
        for (int turn : {0, 1}) softrender::RotateScaleBlitMemImg(kp, &dst, src.Img(), c[0], c[1], 0.785f, 1.0f, 0, turn);
    for (float rate : {1e-6f, 3.0f, 40.0f, 1e6f, -3e4f})
        for (int turn : {0, 1}) softrender::RotateScaleBlitMemImg(kp, &dst, src.Img(), 30, 20, 0.4f, rate, 0, turn);
    DropMemImgReference(&dst);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 80; ++x) {
            if (x >= 8 && x < 72 && y >= 8 && y < 56) continue;
            ASSERT_EQ(parent.Get(x, y), kUntouched) << "outside the destination at " << x << "," << y;
        }
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(src.Get(x, y), 0xFFFFFFFFu) << "source at " << x << "," << y;
}

// --- every loop against the reference model ---------------------------------

// Every level the kernels know; a level the processor lacks runs as the widest it has.
constexpr IsaLevel kLevels[] = {IsaLevel::Portable, IsaLevel::Sse2, IsaLevel::Avx2};

// wide: a larger destination and source, so rows hold spans of many vector registers.
void CheckRotateLoop(bool x8888, bool palette, bool alpha, bool graphOn, bool white, bool key, int mode,
                     std::mt19937& rng, IsaLevel isa, bool wide = false)
{
    const int W = wide ? 90 : 30, H = wide ? 70 : 26;
    const int fmt = x8888 ? 1 : 0;
    const int SW = (wide ? 20 : 1) + static_cast<int>(rng() % (wide ? 30 : 9)),
              SH = (wide ? 20 : 1) + static_cast<int>(rng() % (wide ? 30 : 9));
    SoftImage src(SW, SH, fmt, palette, alpha, 0);
    std::vector<std::uint32_t> entries(256);
    for (auto& e : entries) e = x8888 ? static_cast<std::uint32_t>(rng()) : rng() & 0xFFFF;
    if (palette)
        for (int i = 0; i < 256; ++i) src.SetPaletteEntry(i, entries[i]);
    std::vector<std::uint32_t> texels(SW * SH);
    const std::uint32_t alphas[] = {0, 255, 1, 254};
    for (auto& t : texels) {
        t = palette ? rng() % 4 : (x8888 ? static_cast<std::uint32_t>(rng()) : rng() & 0xFFFF);
        if (alpha) {
            const std::uint32_t a = rng() % 3 == 0 ? alphas[rng() % 4] : rng() & 0xFF;
            t = x8888 ? ((t & 0xFFFFFF) | a << 24) : (t | a << 16);
        }
    }
    const std::uint32_t keyValue = palette ? 2 : (x8888 ? texels[0] : texels[0] & 0xFFFF);
    src.Img()->Body->ColorKey = keyValue;
    for (int i = 0; i < SW * SH; ++i) src.Set(i % SW, i / SW, texels[i]);
    SoftImage graph(SW, SH + 1, 2);
    for (int y = 0; y <= SH; ++y)
        for (int x = 0; x < SW; ++x) graph.Set(x, y, rng() & 0xFF);

    const float angle = static_cast<float>(rng() % 6283) / 1000.0f;
    const float rate = 0.5f + static_cast<float>(rng() % 2000) / 1000.0f;
    const int cx = static_cast<int>(rng() % W), cy = static_cast<int>(rng() % H);
    const int p = rng() % 4 == 0 ? (rng() % 2 ? 0 : 255) : static_cast<int>(rng() % 256);
    const DWORD bright = white ? 0xFFFFFF : (static_cast<DWORD>(rng()) & 0xFFFFFF) | 1;
    KERNELPARAMS kp = ResetKernelParams(1, 2, W - 2, H - 1);
    for (int g = 0; g < 256; ++g) BlendTables.BlendGraphFactorTable[g] = static_cast<BYTE>(rng() % 3 ? rng() : g);

    // The probe of the sampled texels is drawn by the portable loops, so a
    // vector level that samples amiss shows against it.
    SoftImage coordSrc(SW, SH, 1), coords(W, H, 1);
    FillCoordinates(coordSrc);
    softrender::RotateScaleBlitMemImg(kp, coords.Img(), coordSrc.Img(), cx, cy, angle, rate, 0, 0);

    SoftImage dst(W, H, fmt), before(W, H, fmt);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const std::uint32_t v = x8888 ? static_cast<std::uint32_t>(rng()) : rng() & 0xFFFF;
            dst.Set(x, y, v);
            before.Set(x, y, v);
        }
    kp.Mode = static_cast<BlendMode>(mode);
    kp.Param = p;
    kp.Bright = bright;
    kp.Isa = isa;
    softrender::RotateScaleBlitMemImg(WithGraph(kp, graphOn ? graph.Img() : nullptr), dst.Img(), src.Img(), cx, cy, angle, rate, key, 0);

    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const std::uint32_t d0 = before.Get(x, y), probe = coords.Get(x, y);
            std::uint32_t expected = d0;
            if ((probe >> 24) == 0xAB) {
                const int u = probe & 0xFFF, v = (probe >> 12) & 0xFFF;
                pixref::ImageCase k{};
                k.X8888 = x8888;
                k.Palette = palette;
                k.Alpha = alpha;
                k.Mode = mode;
                k.P = p;
                k.Bright = bright;
                k.Graph = graphOn;
                k.Factor = BlendTables.BlendGraphFactorTable[graph.Get(u, v)];
                k.Key = key;
                k.ColorKey = keyValue;
                k.Fam = pixref::Family::RotTri3D;
                k.Texel = texels[v * SW + u];
                k.Entries = entries.data();
                if (auto r = pixref::ImagePixel(k, d0)) expected = x8888 ? *r : (*r & 0xFFFF);
            }
            ASSERT_EQ(dst.Get(x, y), expected) << "pixel " << x << "," << y << " mode " << mode << " p " << p
                                               << " angle " << angle << " rate " << rate << " level "
                                               << static_cast<int>(isa);
        }
}

TEST_F(RotateTest, EveryLoopAgreesWithTheReferenceModel)
{
    std::mt19937 rng(41);
    for (int bits = 0; bits < 64; ++bits) {
        const bool x8888 = bits & 1, palette = bits & 2, alpha = bits & 4, graph = bits & 8, white = bits & 16,
                   key = bits & 32;
        if (palette && alpha) continue;
        for (int mode : {0, 1, 2, 3, 4, 10, 11})
            for (int rep = 0; rep < 4; ++rep)
                for (IsaLevel isa : kLevels) {
                    CheckRotateLoop(x8888, palette, alpha, graph, white, key, mode, rng, isa);
                    if (HasFatalFailure()) return;
                }
    }
}

TEST_F(RotateTest, WideRowsAgreeWithTheReferenceModelAtEveryLevel)
{
    // The plain and keyed copies, whose rows the vector levels take whole, and
    // one blend for contrast.
    std::mt19937 rng(43);
    for (bool x8888 : {true, false})
        for (bool key : {false, true})
            for (int mode : {0, 1})
                for (int rep = 0; rep < 6; ++rep)
                    for (IsaLevel isa : kLevels) {
                        CheckRotateLoop(x8888, false, false, false, true, key, mode, rng, isa, true);
                        if (HasFatalFailure()) return;
                    }
}

TEST(RotateRowSpans, EachRowIsExactlyThePixelsInsideTheSource)
{
    // Against the per-pixel test, on steps of every sign and size, from zero
    // and one unit to many pixels, and starts far outside the source; half
    // the draws on a coarse grid, so positions land exactly on the edges.
    std::mt19937_64 rng(5);
    std::int64_t grid = 1;
    auto pick = [&](std::int64_t range) {
        return (static_cast<std::int64_t>(rng() % (2 * range + 1)) - range) / grid * grid;
    };
    for (int draw = 0; draw < 4000; ++draw) {
        grid = draw % 2 ? 1 : std::int64_t(1) << 16;
        const std::int64_t scales[] = {0, 1, 1 << 10, 1 << 18, 1 << 21, std::int64_t(1) << 30};
        auto step = [&] { return pick(scales[rng() % 6]); };
        const std::uint64_t boundU = (1 + rng() % 40) << 18, boundV = (1 + rng() % 40) << 18;
        const std::int64_t u0 = pick(std::int64_t(60) << 18), v0 = pick(std::int64_t(60) << 18);
        const std::int64_t dUx = step(), dVx = step(), dUy = step(), dVy = step();
        const int rows = 1 + static_cast<int>(rng() % 40), cols = 1 + static_cast<int>(rng() % 90);
        softrender::RowSpans spans(u0, v0, dUx, dVx, dUy, dVy, boundU, boundV);
        for (int r = 0; r < rows; ++r) {
            int want = 0, first = -1, last = -1;
            for (int i = 0; i < cols; ++i) {
                const std::int64_t u = u0 + r * dUy + i * dUx, v = v0 + r * dVy + i * dVx;
                if (static_cast<std::uint64_t>(u) < boundU && static_cast<std::uint64_t>(v) < boundV) {
                    if (first < 0) first = i;
                    last = i;
                    ++want;
                }
            }
            int lo = 0, hi = 0;
            const bool any = spans.Next(cols, &lo, &hi);
            ASSERT_EQ(any, want > 0) << "draw " << draw << " row " << r;
            if (!any) continue;
            ASSERT_EQ(last - first + 1, want) << "the pixels inside are one interval";
            ASSERT_EQ(lo, first) << "draw " << draw << " row " << r;
            ASSERT_EQ(hi, last + 1) << "draw " << draw << " row " << r;
        }
    }
}

}  // namespace
