// TGA decoding: types, depths, row orders, colour maps and run-length data,
// and the headers and packets that are refused.
#include <vector>

#include "decoder_test_util.h"

namespace {

// 2 x 2 picture, 24-bit blue-first pixels in file order.
const Bytes Raw24 = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};

} // namespace

TEST(TgaDecoder, RowOrderFollowsTheDescriptor)
{
    struct Case {
        int descriptor;
        std::uint8_t expected[4]; // first byte of pixels (0,0) (1,0) (0,1) (1,1)
    } cases[] = {
        {0x20, {1, 2, 3, 4}},
        {0x00, {3, 4, 1, 2}},
        {0x30, {2, 1, 4, 3}},
        {0x10, {4, 3, 2, 1}},
    };
    for (const Case& c : cases) {
        Decoded d(DecodeTgaImage, WriteTga(2, 2, 2, 24, c.descriptor, Raw24));
        ASSERT_EQ(d.Result, 0) << c.descriptor;
        EXPECT_EQ(d.Image.Pitch, 6);
        EXPECT_EQ(d.Row(0)[0], c.expected[0]) << c.descriptor;
        EXPECT_EQ(d.Row(0)[3], c.expected[1]) << c.descriptor;
        EXPECT_EQ(d.Row(1)[0], c.expected[2]) << c.descriptor;
        EXPECT_EQ(d.Row(1)[3], c.expected[3]) << c.descriptor;
    }
}

TEST(TgaDecoder, RunLengthAndRawDataGiveTheSamePixels)
{
    // Type 10, 32-bit: a run of 3 then one literal pixel; the footer is skipped.
    Bytes rle = {0x82, 10, 20, 30, 40, 0x00, 50, 60, 70, 80};
    Decoded d(DecodeTgaImage, WriteTga(10, 2, 2, 32, 0x20, rle, 0, 0, 0, true));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Argb(0, 0), 0x281E140Au);
    EXPECT_EQ(d.Argb(0, 1), 0x281E140Au);
    EXPECT_EQ(d.Argb(1, 1), 0x50463C32u);
    EXPECT_EQ(d.Image.Format.AlphaMask, 0xFF000000u);
}

TEST(TgaDecoder, ColourMapFillsItsEntriesFromTheFirstIndex)
{
    // First entry 10, 4 entries of 24 bits; pixels use indexes 10 and 13, and
    // index 0, which stays a zero entry.
    Bytes payload = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 10, 13, 0, 13};
    Decoded d(DecodeTgaImage, WriteTga(1, 2, 2, 8, 0x20, payload, 10, 4, 24));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Rgb(0, 0), 0x030201u);
    EXPECT_EQ(d.Rgb(1, 0), 0x0C0B0Au);
    EXPECT_EQ(d.Rgb(0, 1), 0u);

    // The same through run-length packets (type 9).
    Bytes rle = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x81, 13, 0x01, 10, 0};
    Decoded r(DecodeTgaImage, WriteTga(9, 2, 2, 8, 0x20, rle, 10, 4, 24));
    ASSERT_EQ(r.Result, 0);
    EXPECT_EQ(r.Rgb(1, 0), 0x0C0B0Au);
    EXPECT_EQ(r.Rgb(0, 1), 0x030201u);
}

TEST(TgaDecoder, SixteenBitAttributeBitIsASpareBitNotAlpha)
{
    Bytes px;
    PutLe16(px, 0x8000 | 0x7C00);
    Decoded d(DecodeTgaImage, WriteTga(2, 1, 1, 16, 0x20, px));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Image.Format.AlphaWidth, 0);
    EXPECT_EQ(d.Image.Format.SpareMask, 0x8000u);
    EXPECT_EQ(d.Argb(0, 0), 0xFF0000u);
}

TEST(TgaDecoder, HeadersOutsideTheFormatAreRefused)
{
    auto file = [](int type, int w, int h, int depth) {
        return WriteTga(type, w, h, depth, 0x20, Bytes(static_cast<std::size_t>(w) * h * depth / 8, 0));
    };
    struct Case {
        const char* name;
        Bytes bytes;
    };
    Bytes xOrigin = file(2, 2, 2, 24);
    xOrigin[8] = 1;
    Bytes wide = file(2, 1, 1, 24);
    wide[12] = 0x01;
    wide[13] = 0x20; // 8193
    Bytes mapPast = WriteTga(1, 1, 1, 8, 0x20, Bytes(3 * 10 + 1, 0), 250, 10, 24);
    Bytes mapTypeZero = WriteTga(1, 1, 1, 8, 0x20, Bytes(3 * 2 + 1, 0), 0, 2, 24);
    mapTypeZero[1] = 0;
    Bytes runMapTypeZero = WriteTga(9, 1, 1, 8, 0x20, Bytes{0, 0, 0, 0, 0x80, 0}, 0, 2, 16);
    runMapTypeZero[1] = 0;
    const Case cases[] = {
        {"x origin 1", xOrigin},
        {"8193 wide", wide},
        {"grey type 3", file(3, 2, 2, 8)},
        {"type 11", file(11, 2, 2, 8)},
        {"depth 8", file(2, 2, 2, 8)},
        {"depth 15", file(2, 2, 2, 15)},
        {"zero width", file(2, 0, 2, 24)},
        {"colour map past entry 255", mapPast},
        {"type 1, map type 0", mapTypeZero},
        {"type 9, map type 0", runMapTypeZero},
        {"type 1, map length 0", WriteTga(1, 2, 1, 8, 0x20, Bytes{0, 0}, 0, 0, 24)},
        {"type 9, map length 0", WriteTga(9, 2, 1, 8, 0x20, Bytes{0x81, 0}, 0, 0, 24)},
        {"raw data shorter than the image", WriteTga(2, 4, 4, 32, 0x20, Bytes(60, 0))},
        {"run-length data ends early", WriteTga(10, 4, 4, 24, 0x20, Bytes{0x83, 1, 2, 3, 0x05, 1, 2, 3})},
        {"literal packet past the data", WriteTga(10, 200, 1, 24, 0x20, Bytes{0x7F, 1, 2, 3, 0x7F, 1, 2, 3})},
        {"header only", Bytes(10, 0)},
    };
    for (const Case& c : cases) {
        Decoded d(DecodeTgaImage, c.bytes);
        EXPECT_EQ(d.Result, -1) << c.name;
    }
    // 8192 x 8192 passes the size test (the data then decides).
    Bytes big = WriteTga(2, 1, 1, 24, 0x20, Bytes(3, 0));
    big[12] = 0;
    big[13] = 0x20;
    big[14] = 0;
    big[15] = 0x20;
    Decoded d(DecodeTgaImage, big);
    EXPECT_EQ(d.Result, -1);
}

TEST(TgaDecoder, RunPastTheLastPixelIsCutThere)
{
    Decoded d(DecodeTgaImage, WriteTga(10, 2, 1, 24, 0x20, Bytes{0xFF, 9, 8, 7}));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Rgb(1, 0), 0x070809u);
}
