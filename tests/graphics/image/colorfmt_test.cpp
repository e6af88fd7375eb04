// Colour values in and out of pixel layouts.
#include <gtest/gtest.h>

#include "graphics/image/colorfmt.h"

namespace {

COLORFMT Masks(int bits, DWORD r, DWORD g, DWORD b, DWORD a)
{
    COLORFMT f{};
    SetColorFormatFromMasks(&f, bits, r, g, b, a);
    return f;
}

COLORFMT Fixed(int (*maker)(COLORFMT*))
{
    COLORFMT f{};
    maker(&f);
    return f;
}

} // namespace

TEST(ColorFormat, MaskAnalysisGivesShiftsWidthsAndSpareBits)
{
    COLORFMT f = Masks(16, 0x7C00, 0x3E0, 0x1F, 0);
    EXPECT_EQ(f.BytesPerPixel, 2);
    EXPECT_EQ(f.RedShift, 10);
    EXPECT_EQ(f.RedWidth, 5);
    EXPECT_EQ(f.SpareMask, 0x8000u);
    EXPECT_EQ(f.SpareShift, 15);
    EXPECT_EQ(f.SpareWidth, 1);
    // A mask with a gap counts only its lowest run.
    EXPECT_EQ(Masks(32, 0x0F0F, 0, 0, 0).RedWidth, 4);
    EXPECT_EQ(Masks(32, 0xFF0000, 0xFF00, 0xFF, 0).SpareMask, 0xFF000000u);
}

TEST(ColorFormat, ColorValuesInFormats)
{
    struct Case {
        const char* name;
        COLORFMT format;
        int r, g, b, a;
        DWORD expected;
    } cases[] = {
        {"565 white", Masks(16, 0xF800, 0x7E0, 0x1F, 0), 255, 255, 255, 255, 0xFFFF},
        {"XRGB carries spare bits", Fixed(SetColorFormatXRGB32), 0x12, 0x34, 0x56, 0, 0xFF123456},
        {"ARGB alpha", Fixed(SetColorFormatARGB32), 0x12, 0x34, 0x56, 0x80, 0x80123456},
        {"555 truncates", Masks(16, 0x7C00, 0x3E0, 0x1F, 0), 0x0F, 0x0F, 0x0F, 0, 0x8000 | 0x421},
        {"grey palette nearest", Fixed(SetColorFormatGray8), 10, 20, 30, 0, 20},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetColorValueInFormat(&c.format, c.r, c.g, c.b, c.a), c.expected) << c.name;
    }
    COLORFMT flat = Fixed(SetColorFormatPalette8);
    for (auto& e : flat.Palette) {
        e = COLORPALETTEENTRY{9, 9, 9, 0};
    }
    EXPECT_EQ(GetColorValueInFormat(&flat, 200, 1, 77, 0), 0u) << "ties go to the lowest index";
}

TEST(ColorFormat, ConvertBetweenFormatsWidensWithZerosAndFillsMissingAlpha)
{
    COLORFMT rgb565 = Masks(16, 0xF800, 0x7E0, 0x1F, 0);
    COLORFMT xrgb = Fixed(SetColorFormatXRGB32);
    COLORFMT argb = Fixed(SetColorFormatARGB32);
    EXPECT_EQ(ConvertColorValueBetweenFormats(&xrgb, &rgb565, 0xF800), 0xFFF80000u);
    EXPECT_EQ(ConvertColorValueBetweenFormats(&argb, &rgb565, 0xF800), 0xFFF80000u);
    EXPECT_EQ(ConvertColorValueBetweenFormats(&rgb565, &argb, 0x80FF8040), 0xFC08u);
}

TEST(ColorFormat, ChannelsFromValueScaleToFullRange)
{
    COLORFMT rgb565 = Masks(16, 0xF800, 0x7E0, 0x1F, 0);
    DWORD r = 0, a = 9;
    GetColorChannelsFromValue(&rgb565, 31u << 11, &r, nullptr, nullptr, &a);
    EXPECT_EQ(r, 255u);
    EXPECT_EQ(a, 0u);
    GetColorChannelsFromValue(&rgb565, 16u << 11, &r, nullptr, nullptr, nullptr);
    EXPECT_EQ(r, 131u);
}

TEST(ColorFormat, SameFormatComparesBitsAndMasksOnly)
{
    COLORFMT a = Fixed(SetColorFormatXRGB32);
    COLORFMT b = a;
    b.BytesPerPixel = 3;
    b.Palette[4].Red = 1;
    EXPECT_EQ(IsSameColorFormat(&a, &b), 1);
    b.AlphaMask = 0xFF000000;
    EXPECT_EQ(IsSameColorFormat(&a, &b), 0);
    COLORFMT none1{}, none2{};
    none2.FormatKind = 3;
    EXPECT_EQ(IsSameColorFormat(&none1, &none2), 0);
}

TEST(ColorFormat, PixelFormatRoundTripAndUnusedMask)
{
    DDPIXELFORMAT pf;
    FillRGBPixelFormat(&pf, 16, 0x7C00, 0x3E0, 0x1F, 0x8000);
    EXPECT_EQ(pf.dwSize, 32u);
    EXPECT_EQ(pf.dwFlags, DDPF_RGB);
    COLORFMT f{};
    f.FormatKind = 7;
    SetColorFormatFromDDPixelFormat(&pf, &f);
    EXPECT_EQ(f.AlphaShift, 15);
    EXPECT_EQ(f.SpareMask, 0u);
    EXPECT_EQ(f.FormatKind, 7u);
    f.AlphaMask = 0;
    f.AlphaWidth = 0;
    UpdateColorFormatUnusedMask(&f);
    EXPECT_EQ(f.SpareMask, 0x8000u);
}
