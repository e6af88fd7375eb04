// The raw "BGRA" format: both depths, and headers whose sizes are refused.
#include "decoder_test_util.h"

TEST(BgraDecoder, EightBitChannelsAreThePixels)
{
    Decoded d(DecodeBgraImage, WriteBgra(0x08080808, 2, 1, Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Image.Pitch, 8);
    EXPECT_EQ(d.Argb(0, 0), 0x04030201u);
    EXPECT_EQ(d.Argb(1, 0), 0x08070605u);
}

TEST(BgraDecoder, SixteenBitChannelsKeepTheirHighBytes)
{
    Decoded d(DecodeBgraImage, WriteBgra(0x10101010, 1, 1, Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(*static_cast<std::uint32_t*>(d.Image.Pixels), 0x08060402u);
}

TEST(BgraDecoder, BadHeadersAreRefused)
{
    struct Case {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"depth 0x20202020", WriteBgra(0x20202020, 1, 1, Bytes(4, 0))},
        {"negative width", WriteBgra(0x08080808, -1, 1, Bytes(4, 0))},
        {"zero height", WriteBgra(0x08080808, 1, 0, Bytes(4, 0))},
        {"size overflows", WriteBgra(0x08080808, 0x40000000, 0x40000000, Bytes(4, 0))},
        {"pixels missing", WriteBgra(0x08080808, 2, 2, Bytes(12, 0))},
        {"16-bit rows missing", WriteBgra(0x10101010, 2, 2, Bytes(16, 0))},
        {"header cut short", Bytes{'B', 'G', 'R', 'A', 8, 8}},
        {"wrong magic", Bytes{'B', 'G', 'R', 'X', 8, 8, 8, 8, 1, 0, 0, 0, 1, 0, 0, 0, 1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        Decoded d(DecodeBgraImage, c.bytes);
        EXPECT_EQ(d.Result, -1) << c.name;
    }
}
