// The converting copy: every format pair and option word the callers use,
// as a table of source bytes and the exact destination bytes.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/image/convert.h"

namespace {

COLORFMT Masks(int bits, DWORD r, DWORD g, DWORD b, DWORD a)
{
    COLORFMT f{};
    SetColorFormatFromMasks(&f, bits, r, g, b, a);
    return f;
}

COLORFMT Palette()
{
    COLORFMT f{};
    SetColorFormatPalette8(&f);
    f.Palette[1] = COLORPALETTEENTRY{0xFF, 0x00, 0xFF, 0}; // magenta
    f.Palette[2] = COLORPALETTEENTRY{0x08, 0x84, 0xF0, 0}; // r F0 g 84 b 08
    f.Palette[3] = COLORPALETTEENTRY{0xFF, 0xFF, 0xFF, 0};
    return f;
}

COLORFMT Gray()
{
    COLORFMT f{};
    SetColorFormatGray8(&f);
    return f;
}

const COLORFMT F565 = Masks(16, 0xF800, 0x7E0, 0x1F, 0);
const COLORFMT F555 = Masks(16, 0x7C00, 0x3E0, 0x1F, 0);
const COLORFMT F1555 = Masks(16, 0x7C00, 0x3E0, 0x1F, 0x8000);
const COLORFMT F4444 = Masks(16, 0xF00, 0xF0, 0xF, 0xF000);
const COLORFMT F24 = Masks(24, 0xFF0000, 0xFF00, 0xFF, 0);
const COLORFMT FX32 = Masks(32, 0xFF0000, 0xFF00, 0xFF, 0);
const COLORFMT FA32 = Masks(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);

std::vector<BYTE> Le(std::initializer_list<DWORD> values, int bytes)
{
    std::vector<BYTE> out;
    for (DWORD v : values) {
        for (int i = 0; i < bytes; ++i) {
            out.push_back(static_cast<BYTE>(v >> (8 * i)));
        }
    }
    return out;
}

struct Options {
    int mirror = 0, keyToAlpha = 0;
    DWORD key = 0;
    int dither = 0, colorOff = 0, alphaFromRed = 0, keySkip = 0, remap = 0;
};

struct Case {
    const char* name;
    COLORFMT src;
    std::vector<BYTE> srcBytes;
    COLORFMT dst;
    std::vector<BYTE> expected; // 0xEE marks bytes the copy must not write
    Options opt = {};
    int answer = 0;
};

int RunCase(const Case& c, std::vector<BYTE>& out)
{
    int w = static_cast<int>(c.srcBytes.size()) / c.src.BytesPerPixel;
    out.assign(static_cast<std::size_t>(w) * c.dst.BytesPerPixel, 0xEE);
    RECT r{0, 0, w, 1};
    return CopyPixelsConvertingFormat(out.data(), static_cast<int>(out.size()), &c.dst, c.srcBytes.data(),
                                      static_cast<int>(c.srcBytes.size()), &c.src, nullptr, 0, nullptr, 0, 0, &r,
                                      c.opt.mirror, c.opt.keyToAlpha, c.opt.key, c.opt.dither, c.opt.colorOff,
                                      c.opt.alphaFromRed, c.opt.keySkip, c.opt.remap);
}

} // namespace

TEST(ConvertingCopy, FormatPairsAndOptionsGiveExactValues)
{
    COLORFMT pal = Palette();
    Options mirror;
    mirror.mirror = 1;
    Options keyMagenta;
    keyMagenta.keyToAlpha = 1;
    keyMagenta.key = 0xFF00FF;
    Options skipKey;
    skipKey.keySkip = 1;
    skipKey.key = 0x1234;
    Options red;
    red.alphaFromRed = 1;
    Options off;
    off.colorOff = 1;

    const Case cases[] = {
        // Same layout: raw copies.
        {"raw mirror", FX32, Le({1, 2, 3}, 4), FX32, Le({3, 2, 1}, 4), mirror},
        {"raw key skip", F565, Le({0x1234, 0x5678}, 2), F565, {0xEE, 0xEE, 0x78, 0x56}, skipKey},
        {"plain palette copy answers the largest index", pal, {3, 200, 7}, pal, {3, 200, 7}, {}, 200},
        // Fixed-formula pairs.
        {"palette to 565", pal, {2}, F565, Le({0xF421}, 2)},
        {"palette to 555 sets bit 15", pal, {2}, F555, Le({0x8000 | 0x7A01}, 2)},
        {"palette to XRGB", pal, {2}, FX32, Le({0xFFF08408}, 4)},
        {"24 to 565", F24, {0x08, 0x84, 0xF0}, F565, Le({0xF421}, 2)},
        {"24 to 555 sets bit 15", F24, {0, 0, 0}, F555, Le({0x8000}, 2)},
        {"24 to XRGB", F24, {1, 2, 3}, FX32, {1, 2, 3, 0xFF}},
        {"24 to ARGB", F24, {1, 2, 3}, FA32, {1, 2, 3, 0xFF}},
        {"XRGB to 565", FX32, Le({0xFFF08408}, 4), F565, Le({0xF421}, 2)},
        {"565 to 24", F565, Le({0xFFFF}, 2), F24, {0xF8, 0xFC, 0xF8}},
        {"565 to XRGB keeps top byte 0", F565, Le({0xFFFF}, 2), FX32, Le({0x00F8FCF8}, 4)},
        {"565 to 555", F565, Le({0xFFFF}, 2), F555, Le({0x7FFF}, 2)},
        {"555 to 565 repeats green's low bit", F555, Le({0x7FFF, 0x0020}, 2), F565, Le({0xFFFF, 0x0060}, 2)},
        // Key to alpha.
        {"palette key to 1555", pal, {1, 3}, F1555, Le({0x7C1F, 0xFFFF}, 2), keyMagenta},
        {"palette key to ARGB", pal, {1, 3}, FA32, Le({0x00FF00FF, 0xFFFFFFFF}, 4), keyMagenta},
        {"24 key to 1555", F24, {0xFF, 0, 0xFF, 0, 0, 0}, F1555, Le({0x7C1F, 0x8000}, 2), keyMagenta},
        {"24 key to ARGB", F24, {0xFF, 0, 0xFF, 1, 1, 1}, FA32, Le({0x00FF00FF, 0xFF010101}, 4), keyMagenta},
        {"565 key to 1555", F565, Le({0xF81F, 0}, 2), F1555, Le({0x7C1F, 0x8000}, 2), keyMagenta},
        {"XRGB key to ARGB over the same layout", FX32, Le({0xFFFF00FF, 0xFF000001}, 4), FA32,
         Le({0x00FF00FF, 0xFF000001}, 4), keyMagenta},
        {"555 key to 1555 ignores the attribute bit", F555, Le({0x7C1F, 0xFC1F}, 2), F1555,
         Le({0x7C1F, 0x7C1F}, 2), keyMagenta},
        // General path.
        {"565 to ARGB widens proportionally", F565, Le({0xFFFF, 0x0821}, 2), FA32,
         Le({0xFFFFFFFF, 0xFF080408}, 4)},
        {"ARGB to 4444", FA32, Le({0x80FF4010}, 4), F4444, Le({0x8F41}, 2)},
        {"4444 to ARGB", F4444, Le({0x8F41}, 2), FA32, Le({0x88FF4411}, 4)},
        {"alpha from red", FX32, Le({0xFF402010}, 4), FA32, Le({0x40402010}, 4), red},
        {"colour off keeps only alpha", FA32, Le({0x80402010}, 4), FA32, Le({0x80000000}, 4), off},
        {"mirror through the general path", F565, Le({0xF800, 0x001F}, 2), FA32,
         Le({0xFF0000FF, 0xFFFF0000}, 4), mirror},
        {"grey-alpha PNG layout to XRGB keeps the grey", Masks(16, 0xFF, 0xFF, 0xFF, 0), Le({0x8040}, 2), FX32,
         Le({0xFF404040}, 4)},
        {"palette to 4444 narrows and fills alpha", pal, {2}, F4444, Le({0xFF80}, 2)},
        {"ARGB to XRGB drops alpha, sets spare bits", FA32, Le({0x80123456}, 4), FX32, Le({0xFF123456}, 4)},
        {"XRGB to ARGB gives full alpha", FX32, Le({0x00123456}, 4), FA32, Le({0xFF123456}, 4)},
        {"1555 to ARGB widens alpha and colour", F1555, Le({0xFC00, 0x7C00}, 2), FA32,
         Le({0xFFFF0000, 0x00FF0000}, 4)},
        {"ARGB to 1555 keeps the top alpha bit", FA32, Le({0x80FF0000, 0x7FFF0000}, 4), F1555,
         Le({0xFC00, 0x7C00}, 2)},
        {"RGB to palette picks the nearest entry", F24, {0x07, 0x80, 0xEF, 0xFE, 0xFF, 0xFF}, pal, {2, 3}},
        {"565 to grey palette", F565, Le({0xFFFF, 0}, 2), Gray(), {255, 0}},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> out;
        EXPECT_EQ(RunCase(c, out), c.answer) << c.name;
        EXPECT_EQ(out, c.expected) << c.name;
    }
}

TEST(ConvertingCopy, EmptyRectangleAnswersMinusOneAndWritesNothing)
{
    DWORD src = 1, dst = 0xEEEEEEEE;
    RECT r{0, 0, 0, 1};
    EXPECT_EQ(CopyPixelsConvertingFormat(&dst, 4, &FX32, &src, 4, &FX32, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, 0, 0,
                                         0, 0, 0),
              -1);
    EXPECT_EQ(dst, 0xEEEEEEEEu);
}

TEST(ConvertingCopy, OrderedDitherRoundsUpWhereTheMatrixIsBelowHalf)
{
    // Red 0x84 drops the bits 100 when narrowed to 5 bits: every pixel whose
    // matrix entry is below 8 rounds up, half of a 4 x 4 block.
    std::vector<DWORD> src(16, 0x840000u);
    std::vector<WORD> dst(16);
    RECT r{0, 0, 4, 4};
    CopyPixelsConvertingFormat(dst.data(), 8, &F565, src.data(), 16, &FX32, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, 1,
                               0, 0, 0, 0);
    const int matrix[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(dst[i] >> 11, matrix[i] < 8 ? 0x11 : 0x10) << i;
    }
    // No dropped bits: never rounded.
    std::fill(src.begin(), src.end(), 0x800000u);
    CopyPixelsConvertingFormat(dst.data(), 8, &F565, src.data(), 16, &FX32, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, 1,
                               0, 0, 0, 0);
    for (WORD v : dst) {
        EXPECT_EQ(v >> 11, 0x10);
    }
}

TEST(ConvertingCopy, CarriedErrorDitherAddsAUnitWhenTheSumOverflows)
{
    // Red 0x84 drops 4 of 7 each pixel: the sum passes 7 on every second pixel.
    std::vector<DWORD> src(4, 0x840000u);
    std::vector<WORD> dst(4);
    RECT r{0, 0, 4, 1};
    CopyPixelsConvertingFormat(dst.data(), 8, &F565, src.data(), 16, &FX32, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, 2,
                               0, 0, 0, 0);
    EXPECT_EQ(dst[0] >> 11, 0x10);
    EXPECT_EQ(dst[1] >> 11, 0x11);
    EXPECT_EQ(dst[2] >> 11, 0x10);
    EXPECT_EQ(dst[3] >> 11, 0x11);
}

TEST(ConvertingCopy, AlphaFromASeparateImage)
{
    COLORFMT gray = Gray();
    const DWORD src[2] = {0xFF102030, 0xFF405060};
    const BYTE alpha[2] = {0x00, 0x80};
    DWORD dst[2] = {};
    RECT r{0, 0, 2, 1};
    CopyPixelsConvertingFormat(dst, 8, &FA32, src, 8, &FX32, alpha, 2, &gray, 0, 0, &r, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(dst[0], 0x00102030u);
    EXPECT_EQ(dst[1], 0x80405060u);
}

TEST(ConvertingCopy, PaletteRemapFindsEachColourInTheTargetPalette)
{
    COLORFMT a = Palette();
    COLORFMT b{};
    SetColorFormatPalette8(&b);
    b.Palette[9] = a.Palette[3];
    b.Palette[4] = a.Palette[1];
    const BYTE src[3] = {1, 3, 0};
    BYTE dst[3] = {};
    RECT r{0, 0, 3, 1};
    EXPECT_EQ(CopyPixelsConvertingFormat(dst, 3, &b, src, 3, &a, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, 0, 0, 0, 0,
                                         1),
              0);
    EXPECT_EQ(dst[0], 4);
    EXPECT_EQ(dst[1], 9);
    EXPECT_EQ(dst[2], 0);
}

TEST(ConvertingCopy, SubRectangleLandsAtTheDestinationPosition)
{
    const DWORD src[2][3] = {{1, 2, 3}, {4, 5, 6}};
    DWORD dst[3][4] = {};
    RECT r{1, 0, 3, 2};
    CopyPixelsConvertingFormat(dst, 16, &FX32, src, 12, &FX32, nullptr, 0, nullptr, 2, 1, &r, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(dst[1][2], 2u);
    EXPECT_EQ(dst[1][3], 3u);
    EXPECT_EQ(dst[2][2], 5u);
    EXPECT_EQ(dst[2][3], 6u);
    EXPECT_EQ(dst[0][2], 0u);
}
