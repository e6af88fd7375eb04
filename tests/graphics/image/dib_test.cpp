// Graph images described as 24-bit DIBs, and DIB sections made from them.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/memory.h"
#include "graphics/image/dib.h"

namespace {

struct Image24 {
    GraphImage Image{};
    std::vector<std::uint8_t> Storage;
    Image24(int width, int pitch, int height)
    {
        SetColorFormatRGB24(&Image.Format);
        Storage.assign(static_cast<std::size_t>(pitch) * height, 0);
        for (std::size_t i = 0; i < Storage.size(); ++i) {
            Storage[i] = static_cast<std::uint8_t>(i);
        }
        Image.Width = width;
        Image.Height = height;
        Image.Pitch = pitch;
        Image.Pixels = Storage.data();
    }
};

} // namespace

TEST(GraphImageDib, SharesPaddedRowsAndCopiesUnpaddedOnes)
{
    struct Case {
        int width, pitch, expected;
    } cases[] = {{4, 12, 0}, {5, 16, 0}, {5, 15, 1}};
    for (const Case& c : cases) {
        Image24 img(c.width, c.pitch, 2);
        BITMAPINFO info;
        void* bits = nullptr;
        ASSERT_EQ(ConvertGraphImageToDIB(&img.Image, &info, &bits), c.expected) << c.width << "/" << c.pitch;
        EXPECT_EQ(info.bmiHeader.biHeight, -2);
        EXPECT_EQ(info.bmiHeader.biBitCount, 24);
        if (c.expected == 0) {
            EXPECT_EQ(bits, img.Image.Pixels);
        } else {
            const auto* b = static_cast<const std::uint8_t*>(bits);
            EXPECT_EQ(std::memcmp(b + 16, img.Storage.data() + 15, 15), 0) << "second row at 16 bytes";
            FreeMemory(bits);
        }
    }
}

TEST(GraphImageDib, OtherLayoutsAreConvertedAndShownInASection)
{
    GraphImage img{};
    ASSERT_EQ(SetupGraphImageXRGB32(3, 2, &img), 0);
    FillGraphImageColor(&img, 0x10, 0x20, 0x30, 0);
    BITMAPINFO info;
    void* bits = nullptr;
    ASSERT_EQ(ConvertGraphImageToDIB(&img, &info, &bits), 1);
    const auto* b = static_cast<const std::uint8_t*>(bits);
    EXPECT_EQ(b[12], 0x30);
    EXPECT_EQ(b[13], 0x20);
    EXPECT_EQ(b[14], 0x10);

    HBITMAP section = CreateDIBGraph(&info, bits);
    ASSERT_NE(section, nullptr);
    BITMAP bm{};
    ASSERT_NE(GetObjectA(section, sizeof bm, &bm), 0);
    ASSERT_NE(bm.bmBits, nullptr);
    const auto* shown = static_cast<const std::uint8_t*>(bm.bmBits);
    EXPECT_EQ(shown[bm.bmWidthBytes + 2], 0x10);
    DeleteObject(section);
    FreeMemory(bits);
    FreeGraphImagePixels(&img);
}
