// Filled rectangle kernel: corner order, clipping, refusals, and the
// flat-colour operators checked through it against the reference model.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>

#include "support/pixel_reference.h"
#include "support/soft_image.h"
#include "softrender/shapes/shapes.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

Pixels Changed(const SoftImage& img, std::uint32_t background)
{
    Pixels out;
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x)
            if (img.Get(x, y) != background) out.insert({x, y});
    return out;
}

Pixels Box(int l, int t, int r, int b)
{
    Pixels out;
    for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x) out.insert({x, y});
    return out;
}

}  // namespace

TEST(FillRect, CornerOrderDoesNotMatter)
{
    const RECT rects[] = {{2, 1, 5, 4}, {5, 4, 2, 1}, {5, 1, 2, 4}};
    for (const RECT& r : rects) {
        KERNELPARAMS kp = ResetKernelParams(0, 0, 16, 16);
        SoftImage img(16, 16, 1);
        softrender::FillMemImgRect(kp, img.Img(), &r, 0xFFFFFFFF);
        EXPECT_EQ(Changed(img, 0), Box(2, 1, 5, 4));
    }
    SoftImage img(16, 16, 1);
    softrender::FillMemImgRectByCorners(ResetKernelParams(0, 0, 16, 16), img.Img(), 2, 1, 5, 4, 0x123456);
    EXPECT_EQ(Changed(img, 0), Box(2, 1, 5, 4));
    EXPECT_EQ(img.Get(2, 1), 0x123456u);
}

TEST(FillRect, ClipsToDrawAreaAndImage)
{
    struct Case {
        RECT area;
        bool nullRect;
        RECT rect;
        Pixels expected;
    } cases[] = {
        {{1, 1, 11, 7}, true, {}, Box(1, 1, 11, 7)},
        {{1, 1, 11, 7}, false, {-5, -5, 3, 3}, Box(1, 1, 3, 3)},
        {{1, 1, 11, 7}, false, {20, 1, 30, 5}, {}},
        {{1, 1, 11, 7}, false, {4, 4, 4, 6}, {}},
        {{1, 1, 11, 7}, false, {8, 4, 20, 20}, Box(8, 4, 11, 7)},  // cut at the right and bottom edges
        {{-10, -10, 100, 100}, false, {-3, 5, 50, 50}, Box(0, 5, 12, 8)},  // area larger than the image
    };
    for (const Case& c : cases) {
        KERNELPARAMS kp = ResetKernelParams(c.area.left, c.area.top, c.area.right, c.area.bottom);
        SoftImage img(12, 8, 1);
        softrender::FillMemImgRect(kp, img.Img(), c.nullRect ? nullptr : &c.rect, 0xFF);
        EXPECT_EQ(Changed(img, 0), c.expected);
    }
}

TEST(FillRect, Rgb565OddWidthStopsAtTheLastPixel)
{
    KERNELPARAMS kp = ResetKernelParams(0, 0, 16, 4);
    SoftImage img(16, 4, 0);
    img.Fill(0x1234);
    const RECT r{1, 1, 4, 2};
    softrender::FillMemImgRect(kp, img.Img(), &r, 0xFFFF);
    EXPECT_EQ(img.Get(0, 1), 0x1234u);
    EXPECT_EQ(img.Get(3, 1), 0xFFFFu);
    EXPECT_EQ(img.Get(4, 1), 0x1234u);
}

TEST(FillRect, RefusedDestinationsAndModesLeaveImageUntouched)
{
    KERNELPARAMS kp = ResetKernelParams(0, 0, 8, 8);
    SoftImage pal(8, 8, 1, true), alpha(8, 8, 1, false, true), gray(8, 8, 2);
    softrender::FillMemImgRect(kp, pal.Img(), nullptr, 0xFFFFFFFF);
    softrender::FillMemImgRect(kp, alpha.Img(), nullptr, 0xFFFFFFFF);
    softrender::FillMemImgRect(kp, gray.Img(), nullptr, 0xFFFFFFFF);
    EXPECT_TRUE(Changed(pal, 0).empty());
    EXPECT_TRUE(Changed(alpha, 0).empty());
    EXPECT_TRUE(Changed(gray, 0).empty());

    const int modes[][2] = {{5, 128}, {9, 128}, {12, 128}, {-1, 128}, {1, 0}, {2, 0}, {3, 0}};
    for (auto [mode, p] : modes) {
        SoftImage img(8, 8, 1);
        img.Fill(0x00808080);
        kp.Mode = static_cast<BlendMode>(mode);
        kp.Param = p;
        softrender::FillMemImgRect(kp, img.Img(), nullptr, 0xFFFFFF);
        EXPECT_TRUE(Changed(img, 0x00808080).empty()) << mode << " " << p;
    }
}

// One flat-colour pixel: fill a 1x1 rectangle over d under the given state.
static std::uint32_t FlatOnce(bool x8888, int mode, int p, std::uint32_t bright, std::uint32_t colour, std::uint32_t d)
{
    KERNELPARAMS kp = ResetKernelParams(0, 0, 1, 1);
    kp.Mode = static_cast<BlendMode>(mode);
    kp.Param = p;
    kp.Bright = bright;
    SoftImage img(1, 1, x8888 ? 1 : 0);
    img.Set(0, 0, d);
    softrender::FillMemImgRect(kp, img.Img(), nullptr, colour);
    return img.Get(0, 0);
}

TEST(FlatOperators, WorkedExamples)
{
    constexpr std::uint32_t kWhite = 0xFFFFFF;
    auto rgb = [](std::uint32_t r, std::uint32_t g, std::uint32_t b) { return (r << 11) | (g << 5) | b; };
    struct Case {
        bool x8888;
        int mode, p;
        std::uint32_t bright, colour, d, expected;
    } cases[] = {
        {true, 0, 0, kWhite, 0xAB123456, 0x11111111, 0xAB123456},   // whole word, byte 3 included
        {true, 1, 255, kWhite, 0xAB123456, 0x11111111, 0xAB123456},  // mode 1 at 255 is mode 0
        {true, 0, 0, 0x80FFFF, 0x00FFFFFF, 0, 0x007FFEFE},          // 255 lowered to 254 by a non-white brightness
        {false, 0, 0, 0x80FFFF, rgb(31, 63, 31), 0, rgb(15, 62, 30)},
        {true, 1, 128, kWhite, 0xFFFFFF, 0x55000000, 0x557F7F7F},  // floor of the shift by 8
        {false, 1, 128, kWhite, rgb(31, 63, 31), 0, rgb(15, 31, 15)},  // truncated division by 255
        {true, 2, 255, kWhite, 0x000200, 0x4400FF00, 0x0001FF00},  // green saturates into red; byte 3 is red's carry
        {true, 2, 255, kWhite, 0x0000FF, 0x33000001, 0x000001FF},
        {true, 3, 255, kWhite, 0, 0x7F000000, 0x00010100},
        {true, 3, 255, kWhite, 0x000100, 0, 0x00010100},
        {true, 3, 255, kWhite, 0xFFFFFF, 0, 0},
        {true, 2, 255, kWhite, 0x800000, 0x00800000, 0x01FF0000},  // red saturates: byte 3 becomes 1
        {false, 3, 255, kWhite, 0, 0, rgb(1, 0, 0)},
        {false, 2, 255, kWhite, rgb(0, 2, 0), rgb(0, 62, 0), rgb(1, 62, 0)},
        {false, 3, 255, kWhite, rgb(0, 3, 0), rgb(0, 10, 0), rgb(1, 8, 0)},
        {true, 10, 0, kWhite, 0x123456, 0x9A654321, 0x9A654321},  // p = 0 rewrites the pixel unchanged
        {true, 4, 0, kWhite, 0xFFFFFF, 0xEEFFFFFF, 0xEEFEFEFE},
        {false, 0, 0, kWhite, 0xFFFFFFFF, 0, 0xFFFF},  // an RGB565 colour uses its low 16 bits
        {false, 2, 255, 0x808080, 0xFFFFFFFF, 0, rgb(15, 31, 15)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FlatOnce(c.x8888, c.mode, c.p, c.bright, c.colour, c.d), c.expected)
            << std::hex << "mode " << c.mode << " p " << c.p << " colour " << c.colour << " d " << c.d;
        const auto ref = pixref::FlatPixel({c.x8888, c.mode, c.p, c.bright, c.colour}, c.d);
        EXPECT_EQ(ref.value_or(c.d), c.expected) << "reference disagrees with the worked example";
    }
}

TEST(FlatOperators, AgreeWithReferenceOnRandomPixels)
{
    std::mt19937 rng(777);
    const int modes[] = {-1, 0, 1, 2, 3, 4, 5, 10, 11, 12};
    for (bool x8888 : {true, false})
        for (int mode : modes)
            for (int round = 0; round < 12; ++round) {
                const int p = round == 0 ? 0 : round == 1 ? 255 : int(rng() % 256);
                const std::uint32_t bright = round % 3 == 0 ? 0xFFFFFF : (rng() & 0xFFFFFF);
                const std::uint32_t colour = x8888 ? rng() : (rng() & 0xFFFF);
                KERNELPARAMS kp = ResetKernelParams(0, 0, 64, 1);
                kp.Mode = static_cast<BlendMode>(mode);
                kp.Param = p;
                kp.Bright = bright;
                SoftImage img(64, 1, x8888 ? 1 : 0);
                std::uint32_t before[64];
                for (int x = 0; x < 64; ++x) {
                    before[x] = x8888 ? rng() : (rng() & 0xFFFF);
                    img.Set(x, 0, before[x]);
                }
                softrender::FillMemImgRect(kp, img.Img(), nullptr, colour);
                for (int x = 0; x < 64; ++x) {
                    const auto ref = pixref::FlatPixel({x8888, mode, p, bright, colour}, before[x]);
                    ASSERT_EQ(img.Get(x, 0), ref.value_or(before[x]))
                        << std::hex << "x8888 " << x8888 << " mode " << std::dec << mode << " p " << p << std::hex
                        << " bright " << bright << " colour " << colour << " d " << before[x];
                }
            }
}
