// Loading with mirroring, and the alpha-mask file names.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "decoder_test_util.h"
#include "graphics/image/load.h"

TEST(ImageLoad, MirrorFlipsEveryRowOfTheDecodedImage)
{
    Bytes file = WriteBgra(0x08080808, 3, 2, Bytes{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0});
    for (int mirror : {0, 1}) {
        TestMemoryStream stream(file);
        GraphImage image{};
        ASSERT_EQ(LoadGraphImageFromStream(&stream.Ref, mirror, &image), 0);
        const auto* p = static_cast<const std::uint32_t*>(image.Pixels);
        if (mirror == 1) {
            EXPECT_EQ(p[0], 3u);
            EXPECT_EQ(p[2], 1u);
            EXPECT_EQ(p[3], 6u);
        } else {
            EXPECT_EQ(p[0], 1u);
            EXPECT_EQ(p[5], 6u);
        }
        FreeGraphImagePixels(&image);
    }
    const Bytes nothing;
    TestMemoryStream garbage(nothing);
    GraphImage image{};
    EXPECT_EQ(LoadGraphImageFromStream(&garbage.Ref, 1, &image), -1);
}

TEST(ImageLoad, MaskNameInsertsBeforeTheLastDot)
{
    const char* cases[][2] = {
        {"date\\graph\\my.png", "date\\graph\\my_a.png"},
        {"img", "img_a"},
        {"a.b\\c", "a_a.b\\c"},
        {"pic.tga", "pic_a.tga"},
    };
    for (auto& c : cases) {
        char out[ImagePathBufferSize];
        ASSERT_EQ(MakeAlphaMaskFileName(c[0], out), 0);
        EXPECT_STREQ(out, c[1]);
    }
    std::string fits(257, 'x');
    std::string tooLong(258, 'x');
    char out[ImagePathBufferSize];
    EXPECT_EQ(MakeAlphaMaskFileName(fits.c_str(), out), 0);
    EXPECT_EQ(std::strlen(out), 259u);
    EXPECT_EQ(MakeAlphaMaskFileName(tooLong.c_str(), out), -1);
}

namespace {

Bytes Tga24(std::uint8_t value)
{
    return WriteTga(2, 2, 1, 24, 0x20, Bytes(6, value));
}

struct Loaded {
    GraphImage Image{}, Mask{};
    ~Loaded()
    {
        FreeGraphImagePixels(&Image);
        FreeGraphImagePixels(&Mask);
    }
};

} // namespace

TEST(ImageLoad, MaskFileJoinsItsImage)
{
    WriteFileBytes("pic.tga", Tga24(0x11));
    WriteFileBytes("pic_a.tga", Tga24(0x80));
    Loaded l;
    ASSERT_EQ(LoadGraphImageWithAlphaMask("pic.tga", nullptr, 0, 0, nullptr, 0, 0, &l.Image, &l.Mask, 0), 0);
    EXPECT_EQ(static_cast<std::uint8_t*>(l.Image.Pixels)[0], 0x11);
    EXPECT_EQ(static_cast<std::uint8_t*>(l.Mask.Pixels)[0], 0x80);

    WriteFileBytes("solo.tga", Tga24(0x22));
    Loaded solo;
    EXPECT_EQ(LoadGraphImageWithAlphaMask("solo.tga", nullptr, 0, 0, nullptr, 0, 0, &solo.Image, &solo.Mask, 0), 1);
    EXPECT_NE(solo.Image.Pixels, nullptr);
    EXPECT_EQ(solo.Mask.Pixels, nullptr);

    Loaded none;
    EXPECT_EQ(LoadGraphImageWithAlphaMask("missing.tga", nullptr, 0, 0, nullptr, 0, 0, &none.Image, &none.Mask, 0), -1);
}

TEST(ImageLoad, MemoryImagesAndMemoryMasks)
{
    const Bytes image = Tga24(0x33), mask = Tga24(0x44), junk = {1, 2, 3};
    Loaded both;
    ASSERT_EQ(LoadGraphImageWithAlphaMask(nullptr, image.data(), static_cast<std::uint32_t>(image.size()), 1,
                                          mask.data(), static_cast<std::uint32_t>(mask.size()), 1, &both.Image,
                                          &both.Mask, 1),
              0);
    EXPECT_EQ(static_cast<std::uint8_t*>(both.Mask.Pixels)[0], 0x44);

    Loaded noMask;
    EXPECT_EQ(LoadGraphImageWithAlphaMask(nullptr, image.data(), static_cast<std::uint32_t>(image.size()), 1, nullptr,
                                          0, 1, &noMask.Image, &noMask.Mask, 0),
              1);
    Loaded otherMode;
    EXPECT_EQ(LoadGraphImageWithAlphaMask(nullptr, image.data(), static_cast<std::uint32_t>(image.size()), 1,
                                          mask.data(), static_cast<std::uint32_t>(mask.size()), 2, &otherMode.Image,
                                          &otherMode.Mask, 0),
              1);
    Loaded badMask;
    EXPECT_EQ(LoadGraphImageWithAlphaMask(nullptr, image.data(), static_cast<std::uint32_t>(image.size()), 1,
                                          junk.data(), 3, 1, &badMask.Image, &badMask.Mask, 0),
              1);
    EXPECT_NE(badMask.Image.Pixels, nullptr);
    Loaded badImage;
    EXPECT_EQ(LoadGraphImageFromSource(nullptr, junk.data(), 3, 1, 0, &badImage.Image), -1);
}
