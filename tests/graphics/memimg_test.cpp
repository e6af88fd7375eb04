// MEMIMG: allocation rules, refusals, shared bodies, fast-blit planes,
// raw fill and the colour-format singletons.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "core/memory.h"
#include "graphics/memimg.h"

namespace {

struct Alloc {
    int format, usePalette, useAlpha, width, pitch;
    int wantPalette, wantAlpha, wantBpp, wantPitch, wantShift;
};

TEST(MemImgAllocate, NormalisesFlagsAndAppliesThePitchRule)
{
    const Alloc cases[] = {
        {0, 0, 0, 3, -1, 0, 0, 2, 16, -1},     // 6 bytes rounded up to 16
        {0, 0, 1, 5, -1, 0, 1, 4, 32, 5},      // 5:6:5 with alpha takes 4 bytes
        {0, 1, 1, 5, -1, 1, 0, 1, 16, -1},     // a palette drops the alpha
        {1, 0, 0, 640, -1, 0, 0, 4, 2560, -1},
        {1, 0, 0, 256, -1, 0, 0, 4, 1024, 10},
        {1, 0, 0, 4, -1, 0, 0, 4, 16, 4},
        {1, 0, 0, 2, -1, 0, 0, 4, 16, -1},     // 8 bytes: rounded, not a power of two of the row
        {1, 0, 0, 100, 1024, 0, 0, 4, 1024, 10},
        {1, 0, 0, 100, 1000, 0, 0, 4, 1000, -1},
        {2, 1, 1, 7, -1, 0, 0, 1, 16, -1},     // formats 2 and 3 drop both flags
        {3, 1, 1, 9, -1, 0, 0, 2, 32, 5},
    };
    for (const Alloc& c : cases) {
        MEMIMG img{};
        ASSERT_EQ(AllocateMemImg(&img, c.width, 3, c.pitch, 0, c.format, c.usePalette, c.useAlpha, 0, nullptr), 0);
        const MEMIMGBODY* b = img.Body;
        EXPECT_EQ(b->UsePalette, c.wantPalette) << c.format << "/" << c.width;
        EXPECT_EQ(b->UseAlpha, c.wantAlpha) << c.format << "/" << c.width;
        EXPECT_EQ(MemImgBytesPerPixel(b), c.wantBpp) << c.format << "/" << c.width;
        EXPECT_EQ(b->Pitch, c.wantPitch) << c.format << "/" << c.width;
        EXPECT_EQ(b->PitchShift, c.wantShift) << c.format << "/" << c.width;
        if (c.pitch == -1) {
            EXPECT_EQ(b->Pitch % 16, 0);
        }
        EXPECT_EQ(b->RefCount, 1);
        EXPECT_EQ(img.Tag, MEMIMG_TAG);
        EXPECT_EQ(img.Pixels, b->PixelBlock);
        EXPECT_EQ(b->Palette != nullptr, c.wantPalette == 1);
        if (b->Palette != nullptr) {
            EXPECT_EQ(b->PaletteCopy, b->Palette + 1024);
        }
        DropMemImgReference(&img);
        EXPECT_FALSE(IsMemImgAlive(&img));
    }
}

TEST(MemImgAllocate, RefusesUnsafeRequestsAndLeavesHeaderDead)
{
    struct Bad {
        int width, height, pitch, format;
        const char* why;
    } cases[] = {
        {10, 10, 39, 1, "pitch below the row"},
        {10, 10, -2, 1, "negative pitch"},
        {-1, 10, -1, 1, "negative width"},
        {10, -1, -1, 1, "negative height"},
        {10, 10, -1, 4, "unknown format"},
        {INT_MAX, 1, -1, 1, "row bytes exceed the pitch field"},
        {1 << 16, 1 << 16, -1, 1, "pixel block beyond 32-bit row offsets"},
    };
    for (const Bad& c : cases) {
        MEMIMG img{};
        EXPECT_EQ(AllocateMemImg(&img, c.width, c.height, c.pitch, 0, c.format, 0, 0, 1, nullptr), -1) << c.why;
        EXPECT_FALSE(IsMemImgAlive(&img)) << c.why;
    }
}

TEST(MemImgAllocate, LiveHeaderIsRefusedAndKept)
{
    MEMIMG img{};
    ASSERT_EQ(AllocateMemImg(&img, 8, 8, -1, 0, 1, 0, 0, 0, nullptr), 0);
    MEMIMG before = img;
    EXPECT_EQ(AllocateMemImg(&img, 16, 16, -1, 0, 0, 0, 0, 0, nullptr), -1);
    EXPECT_EQ(std::memcmp(&before, &img, sizeof img), 0);
    DropMemImgReference(&img);
}

TEST(MemImgAllocate, PlanesOnlyWhenAskedFor)
{
    MEMIMG plain{}, planes{}, depth{};
    ASSERT_EQ(AllocateMemImg(&plain, 8, 4, -1, 0, 1, 0, 1, 0, nullptr), 0);
    ASSERT_EQ(AllocateMemImg(&planes, 8, 4, -1, 0, 1, 0, 1, 1, nullptr), 0);
    ASSERT_EQ(AllocateDepthMemImg(&depth, 8, 4), 0);
    EXPECT_EQ(plain.AlphaPlane, nullptr);
    EXPECT_EQ(plain.Body->RunTable, nullptr);
    EXPECT_NE(planes.AlphaPlane, nullptr);
    EXPECT_EQ(planes.AlphaPlane, planes.Body->AlphaPlane);
    EXPECT_NE(planes.Body->RunTable, nullptr);
    EXPECT_EQ(depth.Body->PixelFormat, 3);
    EXPECT_EQ(depth.Body->Pitch, 16);
    DropMemImgReference(&plain);
    DropMemImgReference(&planes);
    DropMemImgReference(&depth);
}

TEST(MemImgAllocate, ExternalPixelsAreUsedAndNeverFreed)
{
    alignas(16) BYTE pixels[64 * 4] = {};
    MEMIMG img{};
    ASSERT_EQ(AllocateMemImg(&img, 16, 4, 64, 0, 1, 0, 0, 0, pixels), 0);
    EXPECT_EQ(img.Pixels, pixels);
    EXPECT_EQ(img.Body->ExternalPixels, 1);
    DropMemImgReference(&img);  // ASan reports a bad free if it frees the array
}

TEST(MemImgShare, ViewKeepsBodyAliveAndWritesThrough)
{
    MEMIMG parent{};
    ASSERT_EQ(AllocateMemImg(&parent, 20, 10, -1, 0, 1, 0, 0, 0, nullptr), 0);
    MEMIMG view{};
    ShareMemImgRegion(&view, &parent, 3, 2, 5, 4);
    ASSERT_TRUE(IsMemImgAlive(&view));
    EXPECT_EQ(parent.Body->RefCount, 2);
    EXPECT_EQ(view.Width, 5);
    EXPECT_EQ(view.Height, 4);
    EXPECT_EQ(view.Pixels, parent.Pixels + 2 * parent.Body->Pitch + 3 * 4);

    MEMIMGBODY* body = parent.Body;
    DropMemImgReference(&parent);
    EXPECT_FALSE(IsMemImgAlive(&parent));
    EXPECT_EQ(body->RefCount, 1);

    FillMemImgRectRaw(&view, nullptr, 0xAABBCCDD);
    DWORD first;
    std::memcpy(&first, body->PixelBlock + 2 * body->Pitch + 12, 4);
    EXPECT_EQ(first, 0xAABBCCDDu);
    DropMemImgReference(&view);  // frees the body; LSan catches a leak, ASan a double free
    DropMemImgReference(&view);  // dead header: nothing
}

TEST(MemImgShare, RegionsOutsideTheParentLeaveTheViewDead)
{
    MEMIMG parent{};
    ASSERT_EQ(AllocateMemImg(&parent, 20, 10, -1, 0, 0, 0, 1, 1, nullptr), 0);

    MEMIMG whole{};
    ShareMemImgRegion(&whole, &parent, 0, 0, 20, 10);
    ASSERT_TRUE(IsMemImgAlive(&whole));
    EXPECT_EQ(whole.Pixels, parent.Pixels);
    EXPECT_EQ(whole.AlphaPlane, parent.AlphaPlane);

    struct {
        int x, y, w, h;
    } bad[] = {{0, 0, 21, 10}, {0, 0, 20, 11}, {-1, 0, 2, 2}, {0, -1, 2, 2}, {5, 5, -3, 2}, {5, 5, 2, -3}, {INT_MAX, 0, 2, 2}};
    for (const auto& r : bad) {
        MEMIMG view{};
        ShareMemImgRegion(&view, &parent, r.x, r.y, r.w, r.h);
        EXPECT_FALSE(IsMemImgAlive(&view)) << r.x << "," << r.y << "," << r.w << "," << r.h;
    }
    EXPECT_EQ(parent.Body->RefCount, 2);

    MEMIMG dead{}, view{};
    ShareMemImgRegion(&view, &dead, 0, 0, 0, 0);
    EXPECT_FALSE(IsMemImgAlive(&view));

    DropMemImgReference(&whole);
    DropMemImgReference(&parent);
}

// An image with planes whose rows are given as pixel values.
template <typename Pixel>
MEMIMG ImageWithRows(int format, int usePalette, int useAlpha, DWORD key, const std::vector<std::vector<Pixel>>& rows)
{
    MEMIMG img{};
    int w = static_cast<int>(rows[0].size());
    int h = static_cast<int>(rows.size());
    EXPECT_EQ(AllocateMemImg(&img, w, h, -1, key, format, usePalette, useAlpha, 1, nullptr), 0);
    for (int y = 0; y < h; ++y) std::memcpy(img.Pixels + y * img.Body->Pitch, rows[y].data(), w * sizeof(Pixel));
    BuildMemImgFastBlitData(&img);
    return img;
}

std::vector<BYTE> RunBytes(const MEMIMG& img)
{
    const BYTE* p = img.Body->RunTable;
    std::vector<BYTE> out;
    for (int rowsLeft = img.Body->Height; rowsLeft > 0; ++p) {
        out.push_back(*p);
        if (*p == MEMIMG_RUN_END_OF_ROW) --rowsLeft;
    }
    return out;
}

TEST(MemImgRunTable, SplitsLongRunsAndEndsEveryRow)
{
    MEMIMG img = ImageWithRows<DWORD>(1, 0, 0, 0x123, {std::vector<DWORD>(70, 0xFF), std::vector<DWORD>(70, 0x123)});
    EXPECT_EQ(img.Body->RunsReady, 1);
    EXPECT_EQ(RunBytes(img), (std::vector<BYTE>{0x7F, 0x45, 0xC0, 0x3F, 0x05, 0xC0}));
    DropMemImgReference(&img);
}

TEST(MemImgRunTable, AlphaClassifiesByAlphaOnly)
{
    // Format 1: alpha in byte 3; the key equals the first pixel's colour and is ignored.
    MEMIMG argb = ImageWithRows<DWORD>(1, 0, 1, 0x00102030,
                                       {{0x00102030, 0x00FFFFFF, 0x80102030, 0xFF000000, 0xFF102030}});
    EXPECT_EQ(RunBytes(argb), (std::vector<BYTE>{0x01, 0x80, 0x41, 0xC0}));
    // Format 0 with alpha: the 5:6:5 colour in bits 0-15, alpha in byte 2.
    MEMIMG rgb = ImageWithRows<DWORD>(0, 0, 1, 0, {{0x0000FFFF, 0x00000000, 0x00800000, 0x00FF0000, 0x00FF1234}});
    EXPECT_EQ(RunBytes(rgb), (std::vector<BYTE>{0x01, 0x80, 0x41, 0xC0}));
    DropMemImgReference(&argb);
    DropMemImgReference(&rgb);
}

TEST(MemImgRunTable, KeyComparesTheWholePixelOrIndex)
{
    MEMIMG rgb = ImageWithRows<WORD>(0, 0, 0, 0xF81F, {{0xF81F, 0xF81E, 0xF81F, 0xF81F}});
    EXPECT_EQ(RunBytes(rgb), (std::vector<BYTE>{0x00, 0x40, 0x01, 0xC0}));
    MEMIMG pal = ImageWithRows<BYTE>(1, 1, 0, 7, {{1, 7, 7, 7}, {7, 0, 0, 0}});
    EXPECT_EQ(RunBytes(pal), (std::vector<BYTE>{0x40, 0x02, 0xC0, 0x00, 0x42, 0xC0}));
    DropMemImgReference(&rgb);
    DropMemImgReference(&pal);
}

TEST(MemImgAlphaPlane, HoldsPremultipliedColours)
{
    MEMIMG argb = ImageWithRows<DWORD>(1, 0, 1, 0, {{0x80FF4020, 0xFF123456, 0x00FFFFFF}});
    EXPECT_EQ(argb.Body->AlphaPremultiplied, 1);
    const DWORD* plane = reinterpret_cast<const DWORD*>(argb.AlphaPlane);
    // Each colour byte times alpha, shifted down by 8; alpha itself kept.
    EXPECT_EQ(plane[0], (0x80u << 24) | ((0xFFu * 0x80 >> 8) << 16) | ((0x40u * 0x80 >> 8) << 8) | (0x20u * 0x80 >> 8));
    EXPECT_EQ(plane[1], (0xFFu << 24) | ((0x12u * 255 >> 8) << 16) | ((0x34u * 255 >> 8) << 8) | (0x56u * 255 >> 8));
    EXPECT_EQ(plane[2], 0u);

    // 5:6:5: each field multiplied in place and truncated to the field.
    MEMIMG rgb = ImageWithRows<DWORD>(0, 0, 1, 0, {{0x0080FFFF, 0x00408410}});
    const DWORD* p16 = reinterpret_cast<const DWORD*>(rgb.AlphaPlane);
    auto premul = [](DWORD c, DWORD a) {
        DWORD r = (c >> 11) * a >> 8, g = ((c >> 5) & 63) * a >> 8, b = (c & 31) * a >> 8;
        return (r << 11) | (g << 5) | b | (a << 16);
    };
    EXPECT_EQ(p16[0], premul(0xFFFF, 0x80));
    EXPECT_EQ(p16[1], premul(0x8410, 0x40));
    DropMemImgReference(&argb);
    DropMemImgReference(&rgb);
}

TEST(MemImgFillRaw, ClipsToTheImageAndStoresEachPixelSize)
{
    MEMIMG img{};
    ASSERT_EQ(AllocateMemImg(&img, 4, 3, -1, 0, 0, 0, 0, 0, nullptr), 0);
    FillMemImgRectRaw(&img, nullptr, 0);
    RECT outside = {10, 0, 20, 3};
    FillMemImgRectRaw(&img, &outside, 0x1111);
    RECT part = {-5, 1, 2, 9};
    FillMemImgRectRaw(&img, &part, 0xABCD1234);
    const WORD expect[3][4] = {{0, 0, 0, 0}, {0x1234, 0x1234, 0, 0}, {0x1234, 0x1234, 0, 0}};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            WORD v;
            std::memcpy(&v, img.Pixels + y * img.Body->Pitch + 2 * x, 2);
            EXPECT_EQ(v, expect[y][x]) << x << "," << y;
        }
    }
    DropMemImgReference(&img);

    MEMIMG gray{};
    ASSERT_EQ(AllocateMemImg(&gray, 3, 1, -1, 0, 2, 0, 0, 0, nullptr), 0);
    FillMemImgRectRaw(&gray, nullptr, 0x1FE);
    EXPECT_EQ(gray.Pixels[0], 0xFE);
    EXPECT_EQ(gray.Pixels[2], 0xFE);
    DropMemImgReference(&gray);
}

TEST(MemImgColorFormat, SingletonsPerFormatAlphaAndPalette)
{
    struct {
        int format, alpha, palette, bits, bytes;
        DWORD red, alphaMask, spare;
    } cases[] = {
        {0, 0, 0, 16, 2, 0xF800, 0, 0},
        {0, 0, 1, 8, 1, 0xF800, 0, 0},
        {0, 1, 0, 32, 4, 0xF800, 0xFF0000, 0xFF000000},
        {1, 0, 0, 32, 4, 0xFF0000, 0, 0xFF000000},
        {1, 1, 0, 32, 4, 0xFF0000, 0xFF000000, 0},
        {1, 1, 1, 8, 1, 0xFF0000, 0xFF000000, 0},
        {2, 1, 1, 8, 1, 0xFF, 0xFF, 0},
        {3, 0, 0, 16, 2, 0xFFFF, 0xFFFF, 0},
    };
    for (const auto& c : cases) {
        const COLORFMT* f = LookupMemImgColorFormat(c.format, c.alpha, c.palette);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f, LookupMemImgColorFormat(c.format, c.alpha, c.palette));
        EXPECT_EQ(f->BitsPerPixel, c.bits) << c.format << c.alpha << c.palette;
        EXPECT_EQ(f->BytesPerPixel, c.bytes) << c.format << c.alpha << c.palette;
        EXPECT_EQ(f->RedMask, c.red) << c.format << c.alpha << c.palette;
        EXPECT_EQ(f->AlphaMask, c.alphaMask) << c.format << c.alpha << c.palette;
        EXPECT_EQ(f->SpareMask, c.spare) << c.format << c.alpha << c.palette;
    }
    const COLORFMT* rgb = LookupMemImgColorFormat(0, 0, 0);
    EXPECT_EQ(rgb->GreenWidth, 6);
    EXPECT_EQ(rgb->GreenShift, 5);
    EXPECT_EQ(rgb->RedShift, 11);
    const COLORFMT* xrgb = LookupMemImgColorFormat(1, 0, 0);
    EXPECT_EQ(xrgb->SpareShift, 24);
    EXPECT_EQ(xrgb->SpareWidth, 8);
    EXPECT_EQ(LookupMemImgColorFormat(4, 0, 0), nullptr);
}

}  // namespace

namespace {

TEST(MemImgColorFormat, DDPixelFormatsMatchTheColourFormats)
{
    const DDPIXELFORMAT* rgb = LookupMemImgDDPixelFormat(0, 1, 0);
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(rgb->dwSize, 32u);
    EXPECT_EQ(rgb->dwFlags, DDPF_RGB);
    EXPECT_EQ(rgb->dwRGBBitCount, 32u);
    EXPECT_EQ(rgb->dwGBitMask, 0x7E0u);
    EXPECT_EQ(rgb->dwRGBAlphaBitMask, 0xFF0000u);
    const DDPIXELFORMAT* depth = LookupMemImgDDPixelFormat(3, 0, 0);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->dwSize, 0u);
    EXPECT_EQ(depth->dwFlags, 0u);
    EXPECT_EQ(depth->dwRGBBitCount, 16u);
    EXPECT_EQ(depth->dwBBitMask, 0xFFFFu);
    EXPECT_EQ(LookupMemImgDDPixelFormat(4, 0, 0), nullptr);
}

}  // namespace

namespace {

// A decoded image of one row in the given layout (freed by the caller).
GraphImage RowImage(int width, void (*setFormat)(COLORFMT*), int bytesPerPixel)
{
    GraphImage img{};
    setFormat(&img.Format);
    img.Width = width;
    img.Height = 1;
    img.Pitch = width * bytesPerPixel;
    img.Pixels = AllocMemoryZeroed(static_cast<std::size_t>(img.Pitch), __FILE__, __LINE__);
    return img;
}
void SetArgb(COLORFMT* f) { SetColorFormatARGB32(f); }
void SetXrgb(COLORFMT* f) { SetColorFormatXRGB32(f); }
void SetPal(COLORFMT* f) { SetColorFormatPalette8(f); }

TEST(MemImgTransfer, WholeImageBuildsRunsAndPremultipliedPlane)
{
    GraphImage argb = RowImage(3, SetArgb, 4);
    const DWORD px[3] = {0x00FFFFFF, 0x80FF4020, 0xFF102030};
    std::memcpy(argb.Pixels, px, sizeof px);

    MEMIMG img{};
    ASSERT_EQ(AllocateMemImg(&img, 3, 1, -1, 0, 1, 0, 1, 1, nullptr), 0);
    TransferGraphImageToMemImg(&argb, nullptr, &img, 0, 0, 3, 1, 0, 0, 0);
    EXPECT_EQ(std::memcmp(img.Pixels, px, sizeof px), 0);
    EXPECT_EQ(img.Body->RunsReady, 1);
    EXPECT_EQ(img.Body->AlphaPremultiplied, 1);
    EXPECT_EQ(RunBytes(img), (std::vector<BYTE>{0x00, 0x80, 0x40, 0xC0}));
    DWORD plane;
    std::memcpy(&plane, img.AlphaPlane + 4, 4);
    EXPECT_EQ(plane, 0x807F2010u);

    // A partial transfer leaves the fast-blit data marked stale.
    TransferGraphImageToMemImg(&argb, nullptr, &img, 0, 0, 2, 1, 0, 0, 0);
    EXPECT_EQ(img.Body->RunsReady, 0);
    EXPECT_EQ(img.Body->AlphaPremultiplied, 0);
    DropMemImgReference(&img);
    FreeGraphImagePixels(&argb);
}

TEST(MemImgTransfer, PaletteImageSetsCountAndConvertedPalette)
{
    GraphImage pal = RowImage(4, SetPal, 1);
    const BYTE idx[4] = {0, 3, 7, 3};
    std::memcpy(pal.Pixels, idx, 4);
    pal.Format.Palette[7] = COLORPALETTEENTRY{0x1F, 0xFF, 0xF8, 0};  // blue, green, red

    MEMIMG img{};
    ASSERT_EQ(AllocateMemImg(&img, 4, 1, -1, 3, 0, 1, 0, 0, nullptr), 0);
    TransferGraphImageToMemImg(&pal, nullptr, &img, 0, 0, 4, 1, 0, 0, 0);
    EXPECT_EQ(std::memcmp(img.Pixels, idx, 4), 0);
    EXPECT_EQ(img.Body->PaletteCount, 8);
    WORD entry;
    std::memcpy(&entry, img.Body->Palette + 14, 2);
    EXPECT_EQ(entry, (0xF8 >> 3) << 11 | (0xFF >> 2) << 5 | (0x1F >> 3));
    EXPECT_EQ(std::memcmp(img.Body->Palette, img.Body->PaletteCopy, 512), 0);
    DropMemImgReference(&img);
    FreeGraphImagePixels(&pal);
}

TEST(MemImgTransfer, RectanglesAreClippedToBothImages)
{
    GraphImage xrgb = RowImage(4, SetXrgb, 4);
    const DWORD px[4] = {1, 2, 3, 4};
    std::memcpy(xrgb.Pixels, px, sizeof px);
    MEMIMG img{};
    ASSERT_EQ(AllocateMemImg(&img, 3, 1, -1, 0, 1, 0, 0, 0, nullptr), 0);
    FillMemImgRectRaw(&img, nullptr, 0);
    TransferGraphImageToMemImg(&xrgb, nullptr, &img, -1, 0, 10, 5, 1, 0, 0);  // source x 0 lands at 2
    DWORD got[3];
    std::memcpy(got, img.Pixels, sizeof got);
    EXPECT_EQ(got[0], 0u);
    EXPECT_EQ(got[1], 0u);
    EXPECT_EQ(got[2] & 0xFFFFFF, 1u);
    TransferGraphImageToMemImg(&xrgb, nullptr, &img, 0, 0, 4, 1, 5, 0, 0);  // wholly outside: nothing
    DropMemImgReference(&img);
    FreeGraphImagePixels(&xrgb);
}

TEST(MemImgCopy, BetweenImagesAndOutToGraphImages)
{
    MEMIMG rgb{}, xrgb{};
    ASSERT_EQ(AllocateMemImg(&rgb, 2, 1, -1, 0, 0, 0, 0, 0, nullptr), 0);
    ASSERT_EQ(AllocateMemImg(&xrgb, 2, 1, -1, 0, 1, 0, 0, 0, nullptr), 0);
    FillMemImgRectRaw(&rgb, nullptr, 0xF800);
    FillMemImgRectRaw(&xrgb, nullptr, 0);
    EXPECT_EQ(CopyMemImgRect(&xrgb, &rgb, nullptr, 0, 0), 0);
    DWORD v;
    std::memcpy(&v, xrgb.Pixels + 4, 4);
    EXPECT_EQ(v & 0xFFFFFF, 0xF80000u);
    RECT empty = {1, 0, 1, 1};
    EXPECT_EQ(CopyMemImgRect(&xrgb, &rgb, &empty, 0, 0), -1);

    GraphImage out = RowImage(2, SetXrgb, 4);
    DWORD keyed[2] = {0x00FF00FF, 0x00123456};
    std::memcpy(xrgb.Pixels, keyed, sizeof keyed);
    CopyMemImgRectToGraphImage(&out, &xrgb, 0, 0, 2, 1, 0, 0, 0x00FF00FF, 1);
    DWORD got[2];
    std::memcpy(got, out.Pixels, sizeof got);
    EXPECT_EQ(got[0], 0u) << "key colour skipped";
    EXPECT_EQ(got[1] & 0xFFFFFF, 0x123456u);

    MEMIMG pal{};
    ASSERT_EQ(AllocateMemImg(&pal, 2, 1, -1, 0, 1, 1, 0, 0, nullptr), 0);
    EXPECT_EQ(CopyMemImgRectToGraphImage(&out, &pal, 0, 0, 2, 1, 0, 0, 0, 0), -1) << "palette sources are refused";
    DropMemImgReference(&pal);
    DropMemImgReference(&rgb);
    DropMemImgReference(&xrgb);
    FreeGraphImagePixels(&out);
}

}  // namespace
