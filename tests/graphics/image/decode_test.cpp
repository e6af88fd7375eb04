// The decoder dispatch: order of the built-in decoders, and every decoder
// starting again at offset 0 with a zeroed descriptor.
#include <png.h>

#include "decoder_test_util.h"

namespace {

int Dispatch(const Bytes& bytes, GraphImage* image)
{
    TestMemoryStream stream(bytes);
    return DecodeImageStream(&stream.Ref, image);
}

} // namespace

TEST(DecodeDispatch, EveryFormatFindsItsDecoder)
{
    BmpSpec bmp;
    bmp.width = 1;
    bmp.height = 1;
    bmp.pixels = {1, 2, 3, 0};
    struct Case {
        const char* name;
        Bytes bytes;
        int bits;
    } cases[] = {
        {"BMP", WriteBmp(bmp), 24},
        {"JPEG", WriteJpeg(8, 8, 1, Bytes(64, 9), false), 8},
        {"PNG", WritePng(PngSpec{1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, Bytes{1, 2, 3, 4}, {}, {}}), 32},
        // BMP, JPEG and PNG read its header first and refuse it: BGRA must
        // still see the stream from offset 0.
        {"BGRA", WriteBgra(0x08080808, 1, 1, Bytes{1, 2, 3, 4}), 32},
        {"TGA", WriteTga(2, 1, 1, 16, 0x20, Bytes{0, 0}), 16},
        {"DDS", WriteDds(1, 1, 0x40, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0, Bytes{1, 2, 3}), 24},
    };
    for (const Case& c : cases) {
        GraphImage image{};
        ASSERT_EQ(Dispatch(c.bytes, &image), 0) << c.name;
        EXPECT_EQ(image.Format.BitsPerPixel, c.bits) << c.name;
        FreeGraphImagePixels(&image);
    }
}

TEST(DecodeDispatch, NothingAcceptsGarbageAndTheDescriptorStaysEmpty)
{
    GraphImage image{};
    EXPECT_EQ(Dispatch(Bytes{'D', 'D', 'S', ' ', 1, 2, 3}, &image), -1);
    EXPECT_EQ(image.Pixels, nullptr);
    EXPECT_EQ(image.Width, 0);
    EXPECT_EQ(Dispatch(Bytes{}, &image), -1);
}
