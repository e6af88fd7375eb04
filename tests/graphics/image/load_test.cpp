// Loading with mirroring, and the alpha-mask file names.
#include <gtest/gtest.h>

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
    TestMemoryStream garbage(Bytes{});
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
