// Stretch kernel: sampling (column maps, mirroring, clipped start), the
// hand-over to the 1:1 blit, refusals, the worked operator examples, and the
// whole kernel against the reference model on random draws in every
// combination of format, source kind, mode, blend graph, brightness, key and
// the MMX flag.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "graphics/blendtable.h"
#include "softrender/blit/blit.h"
#include "softrender/stretch/stretch.h"
#include "support/pixel_reference.h"
#include "support/soft_image.h"

namespace {

// Source column shown by each destination column of row 0, read back from a
// source whose pixels hold their own column number.
std::vector<int> Columns(int srcW, STRETCHBLOCK c, RECT area, int dstW = 32, IsaLevel isa = IsaLevel::Portable)
{
    KERNELPARAMS kp = ResetKernelParams(area.left, area.top, area.right, area.bottom);
    kp.Isa = isa;
    SoftImage src(srcW, 1, 1), dst(dstW, 4, 1);
    for (int x = 0; x < srcW; ++x) src.Set(x, 0, 0x01000000u + x);
    softrender::StretchBlitMemImg(kp, dst.Img(), src.Img(), &c, 0);
    std::vector<int> cols;
    for (int x = 0; x < dstW; ++x)
        if (std::uint32_t v = dst.Get(x, std::min(c.y1, c.y2) < 0 ? 0 : std::min(c.y1, c.y2))) cols.push_back(int(v - 0x01000000u));
    return cols;
}

}  // namespace

TEST(Stretch, ColumnMaps)
{
    const RECT all{0, 0, 32, 4};
    EXPECT_EQ(Columns(3, {0, 0, 5, 1}, all), (std::vector<int>{0, 0, 1, 1, 2}));
    EXPECT_EQ(Columns(3, {5, 0, 0, 1}, all), (std::vector<int>{2, 2, 1, 1, 0}));
    EXPECT_EQ(Columns(3, {0, 0, 5, 1}, {2, 0, 32, 4}), (std::vector<int>{1, 1, 2}));
    EXPECT_EQ(Columns(4, {0, 0, 2, 1}, all), (std::vector<int>{0, 2}));
    EXPECT_EQ(Columns(8, {0, 0, 4, 1}, {2, 0, 32, 4}), (std::vector<int>{4, 6}));
    EXPECT_EQ(Columns(3, {4, 0, 1, 1}, all), (std::vector<int>{2, 1, 0}));  // same size but mirrored
    EXPECT_TRUE(Columns(3, {5, 0, 5, 4}, all).empty());
    EXPECT_TRUE(Columns(3, {0, 0, 5, 1}, {10, 0, 32, 4}).empty());
    const std::vector<int> c271 = Columns(271, {0, 0, 18, 1}, all);
    ASSERT_EQ(c271.size(), 18u);
    EXPECT_EQ(c271.back(), 256);  // floor(17 * 65536 / Rx), not floor(17 * 271 / 18)
}

TEST(Stretch, WideRowsSampleByTheClosedFormAtEveryLevel)
{
    // Rows long enough for the vector loops' whole registers and their tails.
    const RECT all{0, 0, 32, 4};
    for (STRETCHBLOCK c : {STRETCHBLOCK{0, 0, 29, 1}, STRETCHBLOCK{29, 0, 0, 1}, STRETCHBLOCK{-5, 0, 27, 1}}) {
        const int left = std::min(c.x1, c.x2), right = std::max(c.x1, c.x2);
        const std::int64_t rx = std::int64_t(right - left) * 65536 / 13;
        std::vector<int> want;
        for (int x = std::max(left, 0); x < right; ++x) {
            const int k = int(std::int64_t(x - left) * 65536 / rx);
            want.push_back(c.x1 > c.x2 ? 12 - k : k);
        }
        for (IsaLevel isa : {IsaLevel::Portable, IsaLevel::Sse2, IsaLevel::Avx2})
            EXPECT_EQ(Columns(13, c, all, 32, isa), want) << "corners " << c.x1 << ".." << c.x2 << " level " << int(isa);
    }
}

TEST(Stretch, SameSizeUnmirroredGoesToTheBlit)
{
    // (1,1,4,3) on a 3x2 source is the blit's, even when the draw area cuts it.
    for (RECT area : {RECT{0, 0, 8, 8}, RECT{2, 0, 8, 2}}) {
        KERNELPARAMS kp = ResetKernelParams(area.left, area.top, area.right, area.bottom);
        kp.Mode = static_cast<BlendMode>(1);
        kp.Param = 128;
        SoftImage src(3, 2, 1), viaStretch(8, 8, 1), viaBlit(8, 8, 1);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) src.Set(x, y, 0x00FF8040u + x * 0x10101u + y);
        viaStretch.Fill(0x00204060);
        viaBlit.Fill(0x00204060);
        const STRETCHBLOCK c{1, 1, 4, 3};
        softrender::StretchBlitMemImg(kp, viaStretch.Img(), src.Img(), &c, 0);
        softrender::BlitMemImg(kp, viaBlit.Img(), src.Img(), 1, 1, 0);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) ASSERT_EQ(viaStretch.Get(x, y), viaBlit.Get(x, y)) << x << "," << y;
    }
    // The blit refuses a destination with alpha; one pixel wider is this kernel's and is drawn.
    KERNELPARAMS kp = ResetKernelParams(0, 0, 8, 8);
    SoftImage src(3, 2, 1), dst(8, 8, 1, false, true);
    src.Fill(0x00FFFFFF);
    STRETCHBLOCK same{0, 0, 3, 2}, wider{0, 0, 4, 2};
    softrender::StretchBlitMemImg(kp, dst.Img(), src.Img(), &same, 0);
    EXPECT_EQ(dst.Get(0, 0), 0u);
    softrender::StretchBlitMemImg(kp, dst.Img(), src.Img(), &wider, 0);
    EXPECT_EQ(dst.Get(0, 0), 0x00FFFFFFu);
}

TEST(Stretch, RefusedDraws)
{
    KERNELPARAMS kp = ResetKernelParams(0, 0, 16, 16);
    SoftImage src(4, 4, 1);
    src.Fill(0x00FFFFFF);
    const STRETCHBLOCK c{0, 0, 8, 8};
    auto untouched = [](SoftImage& img) {
        for (int y = 0; y < img.Height(); ++y)
            for (int x = 0; x < img.Width(); ++x)
                if (img.Get(x, y) != 0) return false;
        return true;
    };
    {
        SoftImage dst(16, 16, 0);  // other format
        softrender::StretchBlitMemImg(kp, dst.Img(), src.Img(), &c, 0);
        EXPECT_TRUE(untouched(dst));
    }
    {
        SoftImage dst(16, 16, 1, true);  // palette destination
        softrender::StretchBlitMemImg(kp, dst.Img(), src.Img(), &c, 0);
        EXPECT_TRUE(untouched(dst));
    }
    {
        SoftImage src565(4, 4, 0), dst(16, 16, 0, false, true);  // RGB565 destination with 4-byte pixels
        src565.Fill(0xFFFF);
        softrender::StretchBlitMemImg(kp, dst.Img(), src565.Img(), &c, 0);
        EXPECT_TRUE(untouched(dst));
    }
    {
        SoftImage dst(16, 16, 1), graph(4, 3, 2);  // blend graph one row short of the source
        graph.Fill(255);
        softrender::StretchBlitMemImg(WithGraph(kp, graph.Img()), dst.Img(), src.Img(), &c, 0);
        EXPECT_TRUE(untouched(dst));
    }
    {
        SoftImage wide(65537, 1, 1), dst(16, 16, 1);  // wider than 65,536
        wide.Fill(0x00FFFFFF);
        const STRETCHBLOCK w{0, 0, 16, 16};
        softrender::StretchBlitMemImg(kp, dst.Img(), wide.Img(), &w, 0);
        EXPECT_TRUE(untouched(dst));
    }
    for (int mode : {5, 9, 12, -1}) {
        SoftImage dst(16, 16, 1);
        kp.Mode = static_cast<BlendMode>(mode);
        softrender::StretchBlitMemImg(kp, dst.Img(), src.Img(), &c, 0);
        EXPECT_TRUE(untouched(dst)) << mode;
    }
}

TEST(Stretch, ExtremeCornersSampleByTheClosedForm)
{
    // A rectangle 2^32 - 1 wide: the ratio and the clipped start need 64 bits.
    KERNELPARAMS kp = ResetKernelParams(0, 0, 8, 2);
    SoftImage src(65536, 1, 1), dst(8, 2, 1);
    for (int x = 0; x < 65536; ++x) src.Set(x, 0, 0x01000000u + x);
    const STRETCHBLOCK c{INT_MIN, 0, INT_MAX, 1};
    softrender::StretchBlitMemImg(kp, dst.Img(), src.Img(), &c, 0);
    const std::int64_t rx = (std::int64_t(INT_MAX) - INT_MIN) * 65536 / 65536;
    for (int x = 0; x < 8; ++x) {
        const std::int64_t k = (std::int64_t(x) - INT_MIN) * 65536 / rx;
        EXPECT_EQ(dst.Get(x, 0), 0x01000000u + std::uint32_t(k)) << x;
    }
    // Mirrored, from the far edge.
    dst.Fill(0);
    const STRETCHBLOCK m{INT_MAX, 0, INT_MIN, 1};
    softrender::StretchBlitMemImg(kp, dst.Img(), src.Img(), &m, 0);
    for (int x = 0; x < 8; ++x) {
        const std::int64_t k = (std::int64_t(x) - INT_MIN) * 65536 / rx;
        EXPECT_EQ(dst.Get(x, 0), 0x01000000u + std::uint32_t(65535 - k)) << x;
    }
}

namespace {

struct OpCase {
    bool x8888;
    int kind;  // 0 direct, 1 alpha, 2 palette
    int mode, p;
    std::uint32_t bright;
    int factor;  // blend-graph factor, -1 for none
    bool key;
    bool mmx;
    std::uint32_t texel;  // 8888 word; 565 colour | alpha << 16; palette: the entry of index 1
    std::uint32_t d;
    std::uint32_t expected;
};

// One source pixel drawn 2x1 (so the stretch kernel, not the blit, draws it).
std::uint32_t DrawOp(const OpCase& c, std::uint32_t colorKey)
{
    KERNELPARAMS kp = ResetKernelParams(0, 0, 2, 1);
    kp.Mode = static_cast<BlendMode>(c.mode);
    kp.Param = c.p;
    kp.Bright = c.bright;
    kp.Mmx = c.mmx;
    const int fmt = c.x8888 ? 1 : 0;
    SoftImage src(1, 1, fmt, c.kind == 2, c.kind == 1, colorKey), dst(2, 1, fmt), graph(1, 1, 2);
    if (c.kind == 2) {
        src.SetPaletteEntry(1, c.texel);
        src.Set(0, 0, 1);
    } else {
        src.Set(0, 0, c.texel);
    }
    graph.Set(0, 0, c.factor < 0 ? 0 : c.factor);
    dst.Fill(c.d);
    const STRETCHBLOCK corners{0, 0, 2, 1};
    softrender::StretchBlitMemImg(WithGraph(kp, c.factor < 0 ? nullptr : graph.Img()), dst.Img(), src.Img(), &corners, c.key);
    EXPECT_EQ(dst.Get(0, 0), dst.Get(1, 0));
    kp.Mmx = true;
    return dst.Get(0, 0);
}

constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return (r << 11) | (g << 5) | b; }
constexpr std::uint32_t kWhite = 0xFFFFFF;

}  // namespace

TEST(StretchOperators, WorkedExamples)
{
    const OpCase cases[] = {
        // 32-bit direct and alpha sources.
        {true, 1, 0, 0, kWhite, -1, false, false, 0xFFFFFFFF, 0x33000000, 0x33FEFEFE},
        {true, 1, 0, 0, kWhite, -1, true, false, 0xFFFFFFFF, 0x33000000, 0xFFFFFFFF},
        {true, 1, 1, 128, kWhite, -1, false, false, 0x00406080, 0x33102030, 0x33102030},  // a = 0
        {true, 1, 2, 255, kWhite, -1, false, false, 0x00406080, 0x33102030, 0x00102030},
        {true, 1, 3, 255, kWhite, -1, false, false, 0x00406080, 0x33000000, 0x00010100},
        {true, 1, 4, 0, kWhite, -1, false, false, 0x00406080, 0x33102030, 0x33000000},
        {true, 0, 0, 0, kWhite, -1, false, false, 0x00FFFFFF, 0x44000000, 0x00FFFFFF},
        {true, 0, 1, 128, kWhite, -1, false, false, 0x00FFFFFF, 0, 0x007F7F7F},
        {true, 0, 1, 128, kWhite, -1, false, false, 0, 0x00FFFFFF, 0x007F7F7F},
        {true, 0, 4, 77, kWhite, -1, false, false, 0x00FFFFFF, 0x00FFFFFF, 0x00FEFEFE},
        {true, 0, 4, 77, kWhite, 255, false, false, 0x00FFFFFF, 0x00FFFFFF, 0x00FDFDFD},
        {true, 0, 2, 255, kWhite, -1, false, false, 0x00FFFFFF, 0, 0x00FFFFFF},
        {true, 0, 2, 255, kWhite, 255, false, false, 0x00FFFFFF, 0, 0x00FDFDFD},
        {true, 0, 3, 255, kWhite, -1, false, true, 0x09050505, 0x550A0A0A, 0x4C050505},
        {true, 0, 3, 255, kWhite, -1, false, false, 0x09050505, 0x550A0A0A, 0x00070705},
        {true, 0, 11, 255, kWhite, -1, false, false, 0x00FFFFFF, 0x00FFFFFF, 0x00FEFEFE},
        {true, 0, 10, 255, kWhite, -1, false, false, 0, 0, 0x00FEFEFE},
        {true, 0, 0, 0, 0x80FF80, -1, false, false, 0x00FFFFFF, 0x66000000, 0x6680FF80},
        // 16-bit direct and alpha sources.
        {false, 1, 0, 0, kWhite, -1, false, false, 0xFF0000 | Rgb(31, 63, 31), 0, Rgb(30, 62, 30)},
        {false, 1, 0, 0, kWhite, -1, true, false, 0xFF0000 | Rgb(31, 63, 31), 0, Rgb(31, 63, 31)},
        {false, 0, 1, 128, kWhite, -1, false, false, Rgb(31, 63, 31), 0, Rgb(15, 31, 15)},
        {false, 0, 1, 128, kWhite, -1, false, false, 0, Rgb(31, 63, 31), Rgb(16, 32, 16)},
        {false, 0, 1, 128, kWhite, 255, false, false, 0, Rgb(31, 63, 31), Rgb(15, 31, 15)},
        {false, 0, 1, 254, kWhite, -1, false, false, Rgb(31, 63, 31), 0, Rgb(30, 62, 30)},
        {false, 0, 3, 255, kWhite, -1, false, false, 0, 0, Rgb(1, 0, 0)},
        {false, 0, 3, 255, kWhite, -1, false, false, 0, Rgb(31, 63, 31), Rgb(31, 62, 31)},
        {false, 0, 3, 255, kWhite, -1, false, false, Rgb(0, 5, 0), Rgb(0, 10, 0), Rgb(1, 6, 0)},
        {false, 0, 3, 255, kWhite, -1, false, false, Rgb(5, 0, 0), Rgb(10, 0, 0), Rgb(7, 0, 0)},
        {false, 1, 3, 255, kWhite, -1, false, false, Rgb(31, 63, 31), 0, Rgb(1, 0, 0)},  // a = 0
        {false, 0, 4, 0, kWhite, -1, false, false, Rgb(31, 63, 31), Rgb(31, 63, 31), Rgb(30, 62, 30)},
        {false, 0, 4, 0, kWhite, 255, false, false, Rgb(31, 63, 31), Rgb(31, 63, 31), Rgb(29, 61, 29)},
        {false, 1, 4, 0, kWhite, -1, false, false, Rgb(31, 63, 31), Rgb(31, 63, 31), 0},
        {false, 1, 4, 0, kWhite, -1, true, false, Rgb(31, 63, 31), Rgb(31, 63, 31), Rgb(31, 63, 31)},
        {false, 0, 11, 255, kWhite, -1, false, false, Rgb(31, 63, 31), Rgb(31, 63, 31), Rgb(30, 62, 30)},
        {false, 0, 10, 255, kWhite, -1, false, false, 0, 0, Rgb(31, 63, 31)},
        {false, 1, 11, 255, kWhite, -1, false, false, 0xFF0000 | Rgb(0, 1, 0), Rgb(0, 44, 0), Rgb(0, 0, 0)},
        {false, 1, 2, 255, 0xC8FFFF, -1, false, false, 0x800000 | Rgb(3, 0, 0), 0, 0},  // alpha before tint
        {false, 0, 0, 0, 0x80FF80, -1, false, false, Rgb(31, 63, 31), Rgb(3, 3, 3), Rgb(15, 63, 15)},
        // Palette sources (the entry of index 1).
        {true, 2, 0, 0, kWhite, -1, false, false, 0xAB123456, 0, 0xAB123456},
        {true, 2, 0, 0, 0xFEFFFF, -1, false, false, 0xAB123456, 0x77000000, 0x77113456},  // byte 3 kept
        {true, 2, 3, 0, kWhite, -1, false, false, 0x00FFFFFF, 0x12000000, 0x00010100},
        {true, 2, 3, 255, kWhite, -1, false, true, 0x09050505, 0x550A0A0A, 0x4C050505},
        {true, 2, 3, 255, kWhite, -1, false, false, 0x09050505, 0x550A0A0A, 0x00070705},
        {true, 2, 1, 128, kWhite, -1, false, false, 0x00FFFFFF, 0, 0x007F7F7F},
        {false, 2, 1, 128, kWhite, -1, false, false, Rgb(31, 63, 31), 0, Rgb(15, 31, 15)},
        {false, 2, 1, 128, kWhite, -1, false, false, 0, Rgb(31, 63, 31), Rgb(16, 32, 16)},
        {false, 2, 1, 128, kWhite, 255, false, false, Rgb(31, 63, 31), 0, Rgb(15, 31, 15)},
        {false, 2, 3, 0, kWhite, -1, false, false, Rgb(31, 63, 31), Rgb(10, 20, 10), Rgb(11, 20, 10)},
        {false, 2, 3, 0, kWhite, -1, false, false, 0, Rgb(31, 63, 31), Rgb(31, 62, 31)},
        {false, 2, 4, 0, kWhite, -1, false, false, Rgb(31, 63, 31), Rgb(31, 63, 31), Rgb(30, 62, 30)},
        {false, 2, 4, 0, kWhite, 255, false, false, Rgb(31, 63, 31), Rgb(31, 63, 31), Rgb(29, 61, 29)},
        {false, 2, 2, 255, kWhite, -1, false, false, Rgb(31, 63, 31), 0, Rgb(31, 63, 31)},
        {false, 2, 2, 255, kWhite, 255, false, false, Rgb(31, 63, 31), 0, Rgb(30, 62, 30)},
        {false, 2, 0, 0, 0x808080, -1, false, false, Rgb(31, 63, 31), 0, Rgb(15, 31, 15)},
        {false, 2, 11, 255, kWhite, -1, false, false, Rgb(31, 63, 31), Rgb(31, 63, 31), Rgb(30, 62, 30)},
        {false, 2, 10, 255, kWhite, -1, false, false, 0, 0, Rgb(31, 63, 31)},
        {false, 2, 11, 0, kWhite, -1, false, false, Rgb(31, 63, 31), Rgb(5, 6, 7), Rgb(5, 6, 7)},
    };
    std::uint32_t entries[256] = {};
    for (const OpCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "x8888 " << c.x8888 << " kind " << c.kind << " mode "
                                        << std::dec << c.mode << " p " << c.p << std::hex << " texel " << c.texel
                                        << " d " << c.d);
        EXPECT_EQ(DrawOp(c, 0xFFFFFFFF), c.expected);
        entries[1] = c.texel;
        pixref::ImageCase r{c.x8888, c.kind == 2, c.kind == 1, c.mode, c.p, c.bright, c.factor >= 0,
                            c.factor, c.key, 0xFFFFFFFF, c.mmx, pixref::Family::Stretch,
                            c.kind == 2 ? 1u : c.texel, entries};
        EXPECT_EQ(pixref::ImagePixel(r, c.d).value_or(c.d), c.expected) << "reference";
    }
}

TEST(StretchOperators, ColourKeyComparesWholeValues)
{
    KERNELPARAMS kp = ResetKernelParams(0, 0, 8, 1);
    // Palette: the index is compared, never the colour; a key above 255 skips nothing.
    for (std::uint32_t key : {7u, 263u}) {
        SoftImage src(2, 1, 1, true, false, key), dst(4, 1, 1);
        src.SetPaletteEntry(7, 0x00ABCDEF);
        src.SetPaletteEntry(8, 0x00ABCDEF);
        src.Set(0, 0, 7);
        src.Set(1, 0, 8);
        const STRETCHBLOCK c{0, 0, 4, 1};
        softrender::StretchBlitMemImg(kp, dst.Img(), src.Img(), &c, 1);
        EXPECT_EQ(dst.Get(0, 0), key == 7 ? 0u : 0x00ABCDEFu);
        EXPECT_EQ(dst.Get(3, 0), 0x00ABCDEFu);
    }
    // Direct 32-bit: all 32 bits; a key differing only in byte 3 is drawn.
    SoftImage src(2, 1, 1, false, false, 0x01ABCDEF), dst(4, 1, 1);
    src.Set(0, 0, 0x01ABCDEF);
    src.Set(1, 0, 0x00ABCDEF);
    const STRETCHBLOCK c{0, 0, 4, 1};
    softrender::StretchBlitMemImg(kp, dst.Img(), src.Img(), &c, 1);
    EXPECT_EQ(dst.Get(0, 0), 0u);
    EXPECT_EQ(dst.Get(3, 0), 0x00ABCDEFu);
}

namespace {

struct RandomDraw {
    bool x8888;
    int kind, mode, p;
    bool graph, white, key, mmx;
    IsaLevel isa;
};

// One random draw through the kernel, every destination pixel checked
// against the reference applied to the closed-form sampling.
void CheckRandomDraw(const RandomDraw& r, std::mt19937& rng)
{
    const int fmt = r.x8888 ? 1 : 0;
    const int sw = 1 + int(rng() % 6), sh = 1 + int(rng() % 5);
    const std::uint32_t mask = r.x8888 ? 0xFFFFFFFFu : 0xFFFFu;
    SoftImage src(sw, sh, fmt, r.kind == 2, r.kind == 1), dst(12, 10, fmt), graph(sw + int(rng() % 3), sh + 1, 2);
    std::uint32_t entries[256];
    for (auto& e : entries) e = rng() & mask;
    if (r.kind == 2)
        for (int i = 0; i < 256; ++i) src.SetPaletteEntry(i, entries[i]);
    std::vector<std::uint32_t> texels(sw * sh);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
            std::uint32_t t;
            if (r.kind == 2) {
                t = rng() % 4 == 0 ? 255 : rng() % 8;
            } else {
                t = rng() & mask;
                if (r.kind == 1) {
                    const std::uint32_t pick = rng() % 4, a = pick == 0 ? 0 : pick == 1 ? 255 : (rng() & 0xFF);
                    t = r.x8888 ? ((t & 0xFFFFFF) | a << 24) : (t | a << 16);
                }
            }
            texels[y * sw + x] = t;
            src.Set(x, y, t);
        }
    for (int y = 0; y < graph.Height(); ++y)
        for (int x = 0; x < graph.Width(); ++x) graph.Set(x, y, rng() & 0xFF);
    src.Img()->Body->ColorKey = r.kind == 1 ? (rng() & mask) : texels[rng() % texels.size()];
    const std::uint32_t colorKey = src.Img()->Body->ColorKey;
    std::vector<std::uint32_t> before(12 * 10);
    for (int i = 0; i < 120; ++i) {
        before[i] = rng() & mask;
        dst.Set(i % 12, i / 12, before[i]);
    }

    STRETCHBLOCK c;
    do {
        c = {int(rng() % 18) - 3, int(rng() % 16) - 3, int(rng() % 18) - 3, int(rng() % 16) - 3};
    } while (c.x1 == c.x2 || c.y1 == c.y2 || (c.x2 - c.x1 == sw && c.y2 - c.y1 == sh));
    const int al = int(rng() % 6), at = int(rng() % 5);
    const RECT area{al, at, al + 1 + int(rng() % (12 - al)), at + 1 + int(rng() % (10 - at))};
    KERNELPARAMS kp = ResetKernelParams(area.left, area.top, area.right, area.bottom);
    kp.Mode = static_cast<BlendMode>(r.mode);
    kp.Param = r.p;
    kp.Bright = r.white ? 0xFFFFFF : ((rng() & 0xFFFFFF) & ~(0x80u << (8 * (rng() % 3))));
    kp.Mmx = r.mmx;
    kp.Isa = r.isa;
    softrender::StretchBlitMemImg(WithGraph(kp, r.graph ? graph.Img() : nullptr), dst.Img(), src.Img(), &c, r.key);
    kp.Mmx = true;

    const bool mirrorX = c.x1 > c.x2, mirrorY = c.y1 > c.y2;
    const std::int64_t left = std::min(c.x1, c.x2), right = std::max(c.x1, c.x2);
    const std::int64_t top = std::min(c.y1, c.y2), bottom = std::max(c.y1, c.y2);
    const std::int64_t rx = (right - left) * 65536 / sw, ry = (bottom - top) * 65536 / sh;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            const std::uint32_t d = before[y * 12 + x];
            std::uint32_t expected = d;
            if (x >= left && x < right && y >= top && y < bottom && x >= area.left && x < area.right &&
                y >= area.top && y < area.bottom) {
                std::int64_t kx = (x - left) * 65536 / rx, ky = (y - top) * 65536 / ry;
                if (mirrorX) kx = sw - 1 - kx;
                if (mirrorY) ky = sh - 1 - ky;
                pixref::ImageCase k{r.x8888, r.kind == 2, r.kind == 1, r.mode, r.p, kp.Bright,
                                    r.graph, int(graph.Get(int(kx), int(ky))), r.key, colorKey, r.mmx,
                                    pixref::Family::Stretch, texels[ky * sw + kx], entries};
                expected = pixref::ImagePixel(k, d).value_or(d);
            }
            ASSERT_EQ(dst.Get(x, y), expected)
                << std::hex << "at " << std::dec << x << "," << y << " corners " << c.x1 << "," << c.y1 << ","
                << c.x2 << "," << c.y2 << " source " << sw << "x" << sh << " d " << std::hex << d;
        }
}

}  // namespace

TEST(StretchOperators, AgreeWithReferenceInEveryCombination)
{
    std::mt19937 rng(2024);
    const int modes[] = {0, 1, 2, 3, 4, 5, 10, 11, 12};
    for (bool x8888 : {true, false})
        for (int kind = 0; kind < 3; ++kind)
            for (int mode : modes)
                for (int flags = 0; flags < 8; ++flags)
                    for (bool mmx : {false, true}) {
                        if (mmx && !(x8888 && mode == 3)) continue;
                        for (int p : {0, 1, 128, 254, 255, int(rng() % 256)})
                            for (IsaLevel isa : {IsaLevel::Portable, IsaLevel::Sse2, IsaLevel::Avx2}) {
                                const RandomDraw r{x8888, kind, mode, p, bool(flags & 1), bool(flags & 2),
                                                   bool(flags & 4), mmx, isa};
                                SCOPED_TRACE(testing::Message() << "x8888 " << x8888 << " kind " << kind << " mode "
                                                                << mode << " p " << p << " G " << r.graph << " W "
                                                                << r.white << " K " << r.key << " mmx " << mmx
                                                                << " level " << static_cast<int>(isa));
                                CheckRandomDraw(r, rng);
                                if (HasFatalFailure()) return;
                            }
                    }
}
