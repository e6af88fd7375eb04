// GraphImage set-up and pixel access.
#include <gtest/gtest.h>

#include <climits>

#include "graphics/image/graphimage.h"

TEST(GraphImage, SetupRoundsPitchToFourBytes)
{
    GraphImage img{};
    ASSERT_EQ(SetupGraphImageRGB24(5, 2, &img), 0);
    EXPECT_EQ(img.Pitch, 16);
    FreeGraphImagePixels(&img);
    ASSERT_EQ(SetupGraphImageARGB32(5, 2, &img), 0);
    EXPECT_EQ(img.Pitch, 20);
    FreeGraphImagePixels(&img);
    EXPECT_EQ(img.Pixels, nullptr);
    EXPECT_EQ(img.Width, 0);
}

TEST(GraphImage, SetupRefusesSizesThatOverflow)
{
    const int sizes[][2] = {{INT_MAX, 2}, {70000, 70000}, {-1, 4}, {4, -1}, {0, 4}};
    for (auto& s : sizes) {
        GraphImage img{};
        EXPECT_EQ(SetupGraphImageARGB32(s[0], s[1], &img), -1) << s[0] << "x" << s[1];
        EXPECT_EQ(img.Pixels, nullptr);
    }
}

TEST(GraphImage, PixelsOutsideTheImageAreRefusedAndUntouched)
{
    GraphImage img{};
    SetupGraphImageXRGB32(3, 2, &img);
    FillGraphImageColor(&img, 1, 2, 3, 0);
    EXPECT_EQ(SetGraphImagePixel(&img, 3, 0, 255, 255, 255, 255), -1);
    EXPECT_EQ(SetGraphImagePixel(&img, -1, 0, 255, 255, 255, 255), -1);
    EXPECT_EQ(GetGraphImagePixelRGBA(&img, 0, 2, nullptr, nullptr, nullptr, nullptr), -1);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(GetGraphImagePixelPacked(&img, x, y), 0x010203u);
        }
    }
    FreeGraphImagePixels(&img);
}

TEST(GraphImage, PackedReaderPutsNarrowChannelsAtTheTop)
{
    GraphImage img{};
    SetColorFormatFromMasks(&img.Format, 16, 0xF800, 0x7E0, 0x1F, 0);
    WORD px = 0xFFFF;
    img.Width = img.Height = 1;
    img.Pitch = 2;
    img.Pixels = &px;
    EXPECT_EQ(GetGraphImagePixelPacked(&img, 0, 0), 0xF8FCF8u);
    DWORD r, g, b;
    ASSERT_EQ(GetGraphImagePixelRGBA(&img, 0, 0, &r, &g, &b, nullptr), 0);
    EXPECT_EQ(r + g + b, 765u);
}

TEST(GraphImage, MirrorSwapsPixelsAndRefusesEmptyImage)
{
    GraphImage img{};
    SetupGraphImageRGB24(3, 1, &img);
    SetGraphImagePixel(&img, 0, 0, 1, 0, 0, 0);
    SetGraphImagePixel(&img, 1, 0, 2, 0, 0, 0);
    SetGraphImagePixel(&img, 2, 0, 3, 0, 0, 0);
    ASSERT_EQ(MirrorGraphImageHorizontally(&img), 0);
    DWORD r[3];
    for (int x = 0; x < 3; ++x) {
        GetGraphImagePixelRGBA(&img, x, 0, &r[x], nullptr, nullptr, nullptr);
    }
    EXPECT_EQ(r[0], 3u);
    EXPECT_EQ(r[1], 2u);
    EXPECT_EQ(r[2], 1u);
    FreeGraphImagePixels(&img);
    EXPECT_EQ(MirrorGraphImageHorizontally(&img), -1);
}

TEST(GraphImage, PaletteImageReportsEntryBytes)
{
    GraphImage img{};
    SetColorFormatPalette8(&img.Format);
    img.Format.Palette[7] = COLORPALETTEENTRY{30, 20, 10, 99};
    BYTE px = 7;
    img.Width = img.Height = img.Pitch = 1;
    img.Pixels = &px;
    DWORD r, g, b, a;
    GetGraphImagePixelRGBA(&img, 0, 0, &r, &g, &b, &a);
    EXPECT_EQ(r, 10u);
    EXPECT_EQ(g, 20u);
    EXPECT_EQ(b, 30u);
    EXPECT_EQ(a, 99u);
    EXPECT_EQ(SetGraphImagePixel(&img, 0, 0, 10, 20, 30, 0), 0);
    EXPECT_EQ(px, 7);
}
