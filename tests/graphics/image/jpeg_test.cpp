// JPEG decoding through libjpeg: colour and grey, baseline and progressive,
// compared with a bare libjpeg decode; empty, truncated and CMYK streams.
#include <cstdlib>

#include "decoder_test_util.h"

namespace {

Bytes Gradient(int w, int h, int components)
{
    Bytes s;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < components; ++c) {
                s.push_back(static_cast<std::uint8_t>((x * 16 + y * 8 + c * 60) & 255));
            }
        }
    }
    return s;
}

// The library's pixels against libjpeg's own output (RGB order there): the
// same decoder, so they must agree within one step of rounding.
void ExpectMatchesReference(const Bytes& file, const Decoded& d)
{
    int w = 0, h = 0, comps = 0;
    Bytes ref = DecodeJpegReference(file, &w, &h, &comps);
    ASSERT_EQ(d.Image.Width, w);
    ASSERT_EQ(d.Image.Height, h);
    ASSERT_EQ(d.Image.Pitch, w * comps);
    int worst = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < comps; ++c) {
                int mine = d.Row(y)[x * comps + (comps == 3 ? 2 - c : c)];
                int theirs = ref[static_cast<std::size_t>((y * w + x) * comps + c)];
                worst = std::max(worst, std::abs(mine - theirs));
            }
        }
    }
    EXPECT_LE(worst, 1);
}

} // namespace

TEST(JpegDecoder, ColourAndGreyMatchLibjpeg)
{
    struct Case {
        const char* name;
        int w, h, components;
        bool progressive;
    } cases[] = {
        {"colour baseline", 3, 2, 3, false},
        {"colour progressive", 37, 21, 3, true},
        {"grey baseline", 17, 9, 1, false},
        {"grey progressive", 16, 16, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = WriteJpeg(c.w, c.h, c.components, Gradient(c.w, c.h, c.components), c.progressive);
        Decoded d(DecodeJpegImage, file);
        ASSERT_EQ(d.Result, 0);
        if (c.components == 1) {
            EXPECT_EQ(d.Image.Format.BytesPerPixel, 1);
            EXPECT_EQ(d.Image.Format.Palette[77].Green, 77) << "grey palette: index = grey value";
        } else {
            EXPECT_EQ(d.Image.Format.BitsPerPixel, 24);
        }
        ExpectMatchesReference(file, d);
    }
    // Noise compresses badly: a file longer than the decoder's read buffer.
    Bytes noise(300 * 300 * 3);
    unsigned seed = 9;
    for (auto& b : noise) b = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    Bytes big = WriteJpeg(300, 300, 3, noise, false, 95);
    ASSERT_GT(big.size(), 65536u);
    Decoded d(DecodeJpegImage, big);
    ASSERT_EQ(d.Result, 0);
    ExpectMatchesReference(big, d);
}

TEST(JpegDecoder, ColourPixelsAreBlueFirstWithinTolerance)
{
    Bytes red;
    for (int i = 0; i < 64; ++i) {
        red.insert(red.end(), {250, 10, 10});
    }
    Decoded d(DecodeJpegImage, WriteJpeg(8, 8, 3, red, false));
    ASSERT_EQ(d.Result, 0);
    EXPECT_NEAR(d.Row(0)[0], 10, 4);
    EXPECT_NEAR(d.Row(0)[2], 250, 4);
}

TEST(JpegDecoder, TruncatedFileStillGivesAWholeImage)
{
    Bytes file = WriteJpeg(32, 32, 3, Gradient(32, 32, 3), false);
    file.resize(file.size() * 2 / 3);
    Decoded d(DecodeJpegImage, file);
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Image.Height, 32);
}

TEST(JpegDecoder, EmptyCmykAndNonJpegStreamsAreRefused)
{
    Decoded empty(DecodeJpegImage, Bytes{});
    EXPECT_EQ(empty.Result, -1);
    Decoded cmyk(DecodeJpegImage, WriteJpeg(8, 8, 4, Gradient(8, 8, 4), false));
    EXPECT_EQ(cmyk.Result, -1);
    Decoded other(DecodeJpegImage, WriteBgra(0x08080808, 1, 1, Bytes(4, 0)));
    EXPECT_EQ(other.Result, -1);
}
