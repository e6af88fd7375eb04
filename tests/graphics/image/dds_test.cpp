// DDS decoding: block formats, layouts from masks and format codes, and
// hostile headers.
#include <vector>

#include "decoder_test_util.h"

namespace {

constexpr std::uint32_t FourCC = 0x4, Rgb = 0x40, AlphaPixels = 0x1;
constexpr std::uint32_t BC1 = 0x31545844, BC2 = 0x33545844, BC2P = 0x32545844, BC3 = 0x35545844, BC3P = 0x34545844;

Bytes ColourBlock(std::uint16_t c0, std::uint16_t c1, std::uint32_t indexes)
{
    Bytes b;
    PutLe16(b, c0);
    PutLe16(b, c1);
    PutLe32(b, indexes);
    return b;
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(DdsDecoder, MagicNeedsOnlyItsFirstThreeBytes)
{
    Bytes ok = WriteDds(1, 1, Rgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(4, 7));
    ok[3] = '?';
    Decoded d(DecodeDdsImage, ok);
    EXPECT_EQ(d.Result, 0);
    Bytes bad = ok;
    bad[2] = 'X';
    Decoded r(DecodeDdsImage, bad);
    EXPECT_EQ(r.Result, -1);
}

TEST(DdsDecoder, BC1FourColourAndThreeColourModes)
{
    // c0 = red > c1 = blue: entries 2 and 3 are the thirds. Texels use 0, 1, 2, 3.
    Decoded four(DecodeDdsImage, WriteDds(4, 4, FourCC, BC1, 0, 0, 0, 0, 0, ColourBlock(0xF800, 0x001F, 0xE4)));
    ASSERT_EQ(four.Result, 0);
    EXPECT_EQ(four.Argb(0, 0), 0xFFFF0000u);
    EXPECT_EQ(four.Argb(1, 0), 0xFF0000FFu);
    EXPECT_EQ(four.Argb(2, 0), 0xFFAA0055u);
    EXPECT_EQ(four.Argb(3, 0), 0xFF5500AAu);
    EXPECT_EQ(four.Argb(0, 1), 0xFFFF0000u);

    // c0 = c1: every entry the same colour, entry 3 transparent.
    Decoded three(DecodeDdsImage, WriteDds(4, 4, FourCC, BC1, 0, 0, 0, 0, 0, ColourBlock(0x07E0, 0x07E0, 0xE4)));
    ASSERT_EQ(three.Result, 0);
    EXPECT_EQ(three.Argb(2, 0), 0xFF00FF00u);
    EXPECT_EQ(three.Argb(3, 0), 0x0000FF00u);
}

TEST(DdsDecoder, ExplicitAndInterpolatedAlpha)
{
    // BC2: texel i has 4-bit alpha i.
    Bytes explicitAlpha = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
    Decoded bc2(DecodeDdsImage,
                WriteDds(4, 4, FourCC, BC2, 0, 0, 0, 0, 0, Cat(explicitAlpha, ColourBlock(0xFFFF, 0xFFFF, 0))));
    ASSERT_EQ(bc2.Result, 0);
    EXPECT_EQ(bc2.Argb(0, 0), 0x00FFFFFFu);
    EXPECT_EQ(bc2.Argb(1, 0), 0x11FFFFFFu);
    EXPECT_EQ(bc2.Argb(3, 3), 0xFFFFFFFFu);

    // BC3 with a0 = 255, a1 = 0: texels 0..7 take table entries 0..7.
    std::uint64_t idx = 0;
    for (int i = 0; i < 8; ++i) {
        idx |= static_cast<std::uint64_t>(i) << (3 * i);
    }
    Bytes alpha = {255, 0};
    for (int i = 0; i < 6; ++i) {
        alpha.push_back(static_cast<std::uint8_t>(idx >> (8 * i)));
    }
    Decoded bc3(DecodeDdsImage, WriteDds(4, 4, FourCC, BC3, 0, 0, 0, 0, 0, Cat(alpha, ColourBlock(0, 0, 0))));
    ASSERT_EQ(bc3.Result, 0);
    const std::uint32_t table[8] = {255, 0, 218, 182, 145, 109, 72, 36};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(bc3.Argb(i % 4, i / 4) >> 24, table[i]) << i;
    }
}

TEST(DdsDecoder, PremultipliedColoursAreDividedBackAndAlphaZeroStaysBlack)
{
    // Alpha 0 in texel 0, 0x88 (8 * 17) in texel 1; colour 0x7BEF (mid grey).
    Bytes alpha = {0x80, 0, 0, 0, 0, 0, 0, 0};
    Decoded d(DecodeDdsImage, WriteDds(4, 4, FourCC, BC2P, 0, 0, 0, 0, 0, Cat(alpha, ColourBlock(0x7BEF, 0x7BEF, 0))));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Argb(0, 0), 0u);
    EXPECT_EQ(d.Argb(1, 0), 0x88E6EAE6u); // 123 * 255 / 136 and 125 * 255 / 136, rounded down
    Bytes a3 = {1, 0, 0, 0, 0, 0, 0, 0};
    Decoded e(DecodeDdsImage, WriteDds(4, 4, FourCC, BC3P, 0, 0, 0, 0, 0, Cat(a3, ColourBlock(0xFFFF, 0xFFFF, 0))));
    ASSERT_EQ(e.Result, 0);
    EXPECT_EQ(e.Argb(0, 0), 0x01FFFFFFu) << "values above 255 are clamped";
}

TEST(DdsDecoder, PartialBlocksStayZero)
{
    Decoded d(DecodeDdsImage, WriteDds(6, 6, FourCC, BC1, 0, 0, 0, 0, 0, ColourBlock(0xFFFF, 0xFFFF, 0)));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Image.Pitch, 24);
    EXPECT_EQ(d.Argb(3, 3), 0xFFFFFFFFu);
    EXPECT_EQ(d.Argb(4, 0), 0u);
    EXPECT_EQ(d.Argb(0, 5), 0u);
}

TEST(DdsDecoder, UncompressedLayoutsKeepTheFilePixelsAndPitch)
{
    Bytes rows(2 * 8, 0);
    rows[0] = 0x00;
    rows[1] = 0xF8; // red in 5:6:5
    Decoded d(DecodeDdsImage, WriteDds(3, 2, Rgb, 0, 16, 0xF800, 0x7E0, 0x1F, 0, rows, 8));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Image.Pitch, 8);
    EXPECT_EQ(d.Image.Format.RedMask, 0xF800u);
    EXPECT_EQ(d.Rgb(0, 0), 0xFF0000u);

    Bytes argb;
    PutLe32(argb, 0x80402010);
    Decoded code(DecodeDdsImage, WriteDds(1, 1, FourCC, 21, 0, 0, 0, 0, 0, argb));
    ASSERT_EQ(code.Result, 0);
    EXPECT_EQ(code.Argb(0, 0), 0x80402010u);
    Decoded abgr(DecodeDdsImage, WriteDds(1, 1, FourCC, 32, 0, 0, 0, 0, 0, argb));
    ASSERT_EQ(abgr.Result, 0);
    EXPECT_EQ(abgr.Argb(0, 0), 0x80102040u);
    Decoded alpha(DecodeDdsImage, WriteDds(1, 1, Rgb | AlphaPixels, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, argb));
    ASSERT_EQ(alpha.Result, 0);
    EXPECT_EQ(alpha.Argb(0, 0), 0x80402010u);
}

TEST(DdsDecoder, HostileHeadersAreRefused)
{
    struct Case {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"pitch shorter than a row", WriteDds(4, 1, Rgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(16, 0), 8)},
        {"bit count 0", WriteDds(4, 1, Rgb, 0, 0, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(16, 0))},
        {"bit count 64", WriteDds(1, 1, Rgb, 0, 64, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(16, 0))},
        {"negative width", WriteDds(-4, 1, Rgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(16, 0))},
        {"zero height", WriteDds(4, 0, Rgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(16, 0))},
        {"huge size", WriteDds(0x10000, 0x10000, Rgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(16, 0))},
        {"huge block image", WriteDds(0x7FFF0000, 0x7FFF0000, FourCC, BC1, 0, 0, 0, 0, 0, Bytes(16, 0))},
        {"pixels missing", WriteDds(8, 8, Rgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(16, 0))},
        {"blocks missing", WriteDds(8, 8, FourCC, BC3, 0, 0, 0, 0, 0, Bytes(16, 0))},
        {"unknown four-character code", WriteDds(4, 4, FourCC, 0x30315844, 0, 0, 0, 0, 0, Bytes(64, 0))},
        {"format code with extra flags", WriteDds(1, 1, FourCC | Rgb, 21, 32, 0, 0, 0, 0, Bytes(4, 0))},
        {"header cut short", Bytes{'D', 'D', 'S', ' ', 0, 0}},
    };
    for (const Case& c : cases) {
        Decoded d(DecodeDdsImage, c.bytes);
        EXPECT_EQ(d.Result, -1) << c.name;
    }
}
