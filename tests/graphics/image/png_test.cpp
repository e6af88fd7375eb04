// PNG decoding through libpng: the output layout of each colour type, depth
// and transparency, interlacing, and damaged streams.
#include <png.h>

#include "decoder_test_util.h"

namespace {

Bytes Ramp(std::size_t n, int step)
{
    Bytes s;
    for (std::size_t i = 0; i < n; ++i) {
        s.push_back(static_cast<std::uint8_t>(i * static_cast<std::size_t>(step)));
    }
    return s;
}

const Bytes Palette4 = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};

} // namespace

TEST(PngDecoder, TrueColourLayouts)
{
    PngSpec rgb{3, 2, PNG_COLOR_TYPE_RGB, 8, false, Ramp(18, 13), {}, {}};
    Decoded d(DecodePngImage, WritePng(rgb));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Image.Pitch, 9) << "no padding to 4";
    EXPECT_EQ(d.Image.Format.BitsPerPixel, 24);
    EXPECT_EQ(d.Row(0)[0], 2 * 13) << "blue first";
    EXPECT_EQ(d.Rgb(2, 1), 0xC3D0DDu);

    Bytes rgba16;
    for (unsigned i = 1; i <= 4; ++i) {
        PutLe16(rgba16, 0x1234u * i);
    }
    PngSpec deep{1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, false, rgba16, {}, {}};
    Decoded d16(DecodePngImage, WritePng(deep));
    ASSERT_EQ(d16.Result, 0);
    EXPECT_EQ(d16.Image.Format.AlphaMask, 0xFF000000u);
    EXPECT_EQ(d16.Argb(0, 0), 0x48122436u) << "16-bit channels keep their high bytes";

    PngSpec rgb16{1, 1, PNG_COLOR_TYPE_RGB, 16, false, Bytes{0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A}, {}, {}};
    Decoded d24(DecodePngImage, WritePng(rgb16));
    ASSERT_EQ(d24.Result, 0);
    EXPECT_EQ(d24.Image.Format.BitsPerPixel, 24);
    EXPECT_EQ(d24.Rgb(0, 0), 0x12569Au);
}

TEST(PngDecoder, PaletteKeepsOnlyTheFileEntries)
{
    PngSpec pal{4, 1, PNG_COLOR_TYPE_PALETTE, 2, false, Bytes{0x1B}, Palette4, {}};
    Decoded d(DecodePngImage, WritePng(pal));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Image.Format.BytesPerPixel, 1);
    EXPECT_EQ(Bytes(d.Row(0), d.Row(0) + 4), (Bytes{0, 1, 2, 3}));
    EXPECT_EQ(d.Rgb(3, 0), 0x646E78u);
    for (int i = 4; i < 256; ++i) {
        const COLORPALETTEENTRY& e = d.Image.Format.Palette[i];
        ASSERT_EQ(e.Red | e.Green | e.Blue | e.Alpha, 0) << i;
    }
}

TEST(PngDecoder, TransparencyChunkExpandsToAlpha)
{
    PngSpec pal{2, 1, PNG_COLOR_TYPE_PALETTE, 8, false, Bytes{0, 1}, Palette4, Bytes{0x40}};
    Decoded d(DecodePngImage, WritePng(pal));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Image.Format.BitsPerPixel, 32);
    EXPECT_EQ(d.Argb(0, 0), 0x400A141Eu);
    EXPECT_EQ(d.Argb(1, 0), 0xFF28323Cu) << "entries past the tRNS list are opaque";

    PngSpec rgb{2, 1, PNG_COLOR_TYPE_RGB, 8, false, Bytes{1, 2, 3, 4, 5, 6}, {}, Bytes{1, 2, 3}};
    Decoded k(DecodePngImage, WritePng(rgb));
    ASSERT_EQ(k.Result, 0);
    EXPECT_EQ(k.Argb(0, 0), 0x00010203u);
    EXPECT_EQ(k.Argb(1, 0), 0xFF040506u);
}

TEST(PngDecoder, GreyDepthsAndGreyAlpha)
{
    PngSpec grey2{4, 1, PNG_COLOR_TYPE_GRAY, 2, false, Bytes{0x1B}, {}, {}};
    Decoded d(DecodePngImage, WritePng(grey2));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(Bytes(d.Row(0), d.Row(0) + 4), (Bytes{0, 85, 170, 255}));
    EXPECT_EQ(d.Rgb(1, 0), 0x555555u);

    PngSpec grey16{1, 1, PNG_COLOR_TYPE_GRAY, 16, false, Bytes{0x00, 0xAB}, {}, {}};
    Decoded g16(DecodePngImage, WritePng(grey16));
    ASSERT_EQ(g16.Result, 0);
    EXPECT_EQ(g16.Image.Format.BytesPerPixel, 1);
    EXPECT_EQ(g16.Rgb(0, 0), 0xABABABu);

    // Grey with alpha keeps the grey low byte and loses its alpha.
    PngSpec ga{2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, Bytes{0x40, 0x00, 0x80, 0xFF}, {}, {}};
    Decoded a(DecodePngImage, WritePng(ga));
    ASSERT_EQ(a.Result, 0);
    EXPECT_EQ(a.Image.Format.BitsPerPixel, 16);
    EXPECT_EQ(a.Image.Format.AlphaWidth, 0);
    EXPECT_EQ(a.Image.Format.SpareMask, 0xFF00u);
    EXPECT_EQ(a.Argb(0, 0), 0x404040u);
    EXPECT_EQ(a.Argb(1, 0), 0x808080u);

    PngSpec keyed{2, 1, PNG_COLOR_TYPE_GRAY, 8, false, Bytes{7, 9}, {}, Bytes{7}};
    Decoded k(DecodePngImage, WritePng(keyed));
    ASSERT_EQ(k.Result, 0);
    EXPECT_EQ(k.Image.Format.BitsPerPixel, 16) << "grey with tRNS becomes the grey-alpha layout";
}

TEST(PngDecoder, InterlacedEqualsNonInterlaced)
{
    for (int type : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA}) {
        std::size_t n = 13 * 11 * (type == PNG_COLOR_TYPE_RGB ? 3 : 4);
        PngSpec plain{13, 11, type, 8, false, Ramp(n, 7), {}, {}};
        PngSpec laced = plain;
        laced.interlaced = true;
        Decoded a(DecodePngImage, WritePng(plain));
        Decoded b(DecodePngImage, WritePng(laced));
        ASSERT_EQ(a.Result, 0);
        ASSERT_EQ(b.Result, 0);
        ASSERT_EQ(a.Image.Pitch, b.Image.Pitch);
        EXPECT_EQ(Bytes(a.Row(0), a.Row(0) + n), Bytes(b.Row(0), b.Row(0) + n));
    }
}

TEST(PngDecoder, DamagedStreamsAreRefused)
{
    Bytes good = WritePng(PngSpec{8, 8, PNG_COLOR_TYPE_RGB, 8, false, Ramp(192, 1), {}, {}});
    Bytes truncated(good.begin(), good.end() - 30);
    Bytes badCrc = good;
    badCrc[20] ^= 0xFF;
    Bytes notPng = good;
    notPng[1] = 'X';
    for (const Bytes* b : {&truncated, &badCrc, &notPng}) {
        Decoded d(DecodePngImage, *b);
        EXPECT_EQ(d.Result, -1);
    }
    Decoded empty(DecodePngImage, Bytes{});
    EXPECT_EQ(empty.Result, -1);
}
