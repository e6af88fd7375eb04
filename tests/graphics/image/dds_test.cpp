// DDS decoding: block formats, layouts from masks and format codes, and
// hostile headers.
#include <vector>

#include "core/memory.h"
#include "decoder_test_util.h"

namespace {

constexpr std::uint32_t FourCC = 0x4, Rgb = 0x40, AlphaPixels = 0x1;
constexpr std::uint32_t BC1 = 0x31545844, BC2 = 0x33545844, BC2P = 0x32545844, BC3 = 0x35545844, BC3P = 0x34545844;

Bytes ColourBlock(std::uint16_t c0, std::uint16_t c1, std::uint32_t indexes)
{
    Bytes b;
    PutLe16(b, c0);
    PutLe16(b, c1);
    PutLe32(b, indexes);
    return b;
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(DdsDecoder, MagicNeedsOnlyItsFirstThreeBytes)
{
    Bytes ok = WriteDds(1, 1, Rgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(4, 7));
    ok[3] = '?';
    Decoded d(DecodeDdsImage, ok);
    EXPECT_EQ(d.Result, 0);
    Bytes bad = ok;
    bad[2] = 'X';
    Decoded r(DecodeDdsImage, bad);
    EXPECT_EQ(r.Result, -1);
}

TEST(DdsDecoder, BC1FourColourAndThreeColourModes)
{
    // c0 = red > c1 = blue: entries 2 and 3 are the thirds. Texels use 0, 1, 2, 3.
    Decoded four(DecodeDdsImage, WriteDds(4, 4, FourCC, BC1, 0, 0, 0, 0, 0, ColourBlock(0xF800, 0x001F, 0xE4)));
    ASSERT_EQ(four.Result, 0);
    EXPECT_EQ(four.Argb(0, 0), 0xFFFF0000u);
    EXPECT_EQ(four.Argb(1, 0), 0xFF0000FFu);
    EXPECT_EQ(four.Argb(2, 0), 0xFFAA0055u);
    EXPECT_EQ(four.Argb(3, 0), 0xFF5500AAu);
    EXPECT_EQ(four.Argb(0, 1), 0xFFFF0000u);

    // c0 = c1: every entry the same colour, entry 3 transparent.
    Decoded three(DecodeDdsImage, WriteDds(4, 4, FourCC, BC1, 0, 0, 0, 0, 0, ColourBlock(0x07E0, 0x07E0, 0xE4)));
    ASSERT_EQ(three.Result, 0);
    EXPECT_EQ(three.Argb(2, 0), 0xFF00FF00u);
    EXPECT_EQ(three.Argb(3, 0), 0x0000FF00u);
}

TEST(DdsDecoder, ExplicitAndInterpolatedAlpha)
{
    // BC2: texel i has 4-bit alpha i.
    Bytes explicitAlpha = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
    Decoded bc2(DecodeDdsImage,
                WriteDds(4, 4, FourCC, BC2, 0, 0, 0, 0, 0, Cat(explicitAlpha, ColourBlock(0xFFFF, 0xFFFF, 0))));
    ASSERT_EQ(bc2.Result, 0);
    EXPECT_EQ(bc2.Argb(0, 0), 0x00FFFFFFu);
    EXPECT_EQ(bc2.Argb(1, 0), 0x11FFFFFFu);
    EXPECT_EQ(bc2.Argb(3, 3), 0xFFFFFFFFu);

    // BC3 with a0 = 255, a1 = 0: texels 0..7 take table entries 0..7.
    std::uint64_t idx = 0;
    for (int i = 0; i < 8; ++i) {
        idx |= static_cast<std::uint64_t>(i) << (3 * i);
    }
    Bytes alpha = {255, 0};
    for (int i = 0; i < 6; ++i) {
        alpha.push_back(static_cast<std::uint8_t>(idx >> (8 * i)));
    }
    Decoded bc3(DecodeDdsImage, WriteDds(4, 4, FourCC, BC3, 0, 0, 0, 0, 0, Cat(alpha, ColourBlock(0, 0, 0))));
    ASSERT_EQ(bc3.Result, 0);
    const std::uint32_t table[8] = {255, 0, 218, 182, 145, 109, 72, 36};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(bc3.Argb(i % 4, i / 4) >> 24, table[i]) << i;
    }
}

TEST(DdsDecoder, PremultipliedColoursAreDividedBackAndAlphaZeroStaysBlack)
{
    // Alpha 0 in texel 0, 0x88 (8 * 17) in texel 1; colour 0x7BEF (mid grey).
    Bytes alpha = {0x80, 0, 0, 0, 0, 0, 0, 0};
    Decoded d(DecodeDdsImage, WriteDds(4, 4, FourCC, BC2P, 0, 0, 0, 0, 0, Cat(alpha, ColourBlock(0x7BEF, 0x7BEF, 0))));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Argb(0, 0), 0u);
    EXPECT_EQ(d.Argb(1, 0), 0x88E6EAE6u); // 123 * 255 / 136 and 125 * 255 / 136, rounded down
    Bytes a3 = {1, 0, 0, 0, 0, 0, 0, 0};
    Decoded e(DecodeDdsImage, WriteDds(4, 4, FourCC, BC3P, 0, 0, 0, 0, 0, Cat(a3, ColourBlock(0xFFFF, 0xFFFF, 0))));
    ASSERT_EQ(e.Result, 0);
    EXPECT_EQ(e.Argb(0, 0), 0x01FFFFFFu) << "values above 255 are clamped";
}

namespace {

std::uint32_t Expand(std::uint16_t c)
{
    return (((c >> 11) & 31) * 255u / 31u) << 16 | (((c >> 5) & 63) * 255u / 63u) << 8 | (c & 31) * 255u / 31u;
}

// Each 4x4 cell of the picture holds two 5:6:5 colours (and, where the format
// has alpha, two alpha levels); texels pick one of them, so every format can
// carry the picture exactly and a block read from the wrong place shows.
struct BlockPicture {
    int Width, Height;
    std::uint32_t Kind;
    bool Punch; // BC1 with transparent texels
    std::uint32_t Hash(int x, int y, int salt) const
    {
        std::uint32_t h = static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u ^
                          static_cast<std::uint32_t>(salt) * 83492791u;
        h ^= h >> 13;
        h *= 0x5bd1e995u;
        return h ^ (h >> 15);
    }
    std::uint16_t Colour(int bx, int by, int which) const
    {
        // Two different values; the lower one first.
        std::uint16_t a = static_cast<std::uint16_t>(Hash(bx, by, 1) & 0x7FFF);
        return static_cast<std::uint16_t>(which == 0 ? a : a + 1 + (Hash(bx, by, 2) & 0x7FFF));
    }
    std::uint32_t Alpha(int bx, int by, int which) const
    {
        if (Kind == BC2) {
            return ((Hash(bx, by, 3 + which) & 15) * 17);
        }
        std::uint32_t a = Hash(bx, by, 3) & 127;
        return which == 0 ? a : a + 1 + (Hash(bx, by, 4) & 127);
    }
    bool Pick(int x, int y, int salt) const { return (Hash(x, y, salt) & 1) != 0; }
    std::uint32_t Texel(int x, int y) const
    {
        const int bx = x / 4, by = y / 4;
        if (Punch && Hash(x, y, 7) % 5 == 0) {
            return 0;
        }
        std::uint32_t rgb = Expand(Colour(bx, by, Pick(x, y, 5) ? 1 : 0));
        std::uint32_t a = 255;
        if (Kind == BC2 || Kind == BC3) {
            a = Alpha(bx, by, Pick(x, y, 6) ? 1 : 0);
        }
        return a << 24 | rgb;
    }
    // The encoder: texels outside the picture take index 0.
    Bytes Encode() const
    {
        Bytes out;
        for (int by = 0; by < (Height + 3) / 4; ++by) {
            for (int bx = 0; bx < (Width + 3) / 4; ++bx) {
                std::uint32_t colourIdx = 0;
                std::uint64_t alphaIdx = 0;
                for (int i = 0; i < 16; ++i) {
                    const int x = bx * 4 + i % 4, y = by * 4 + i / 4;
                    if (x >= Width || y >= Height) {
                        continue;
                    }
                    const std::uint32_t t = Texel(x, y);
                    std::uint32_t ci = (t & 0xFFFFFF) == Expand(Colour(bx, by, 0)) ? 0 : 1;
                    if (Punch && t == 0) {
                        ci = 3;
                    }
                    // Four-colour blocks (BC2, BC3, opaque BC1) want c0 > c1: the higher colour is stored first.
                    if (!Punch) {
                        ci ^= 1;
                    }
                    colourIdx |= ci << (2 * i);
                    if (Kind == BC2) {
                        alphaIdx |= static_cast<std::uint64_t>((t >> 24) / 17) << (4 * i);
                    } else if (Kind == BC3) {
                        alphaIdx |= static_cast<std::uint64_t>((t >> 24) == Alpha(bx, by, 0) ? 0 : 1) << (3 * i);
                    }
                }
                if (Kind == BC2) {
                    for (int i = 0; i < 8; ++i) {
                        out.push_back(static_cast<std::uint8_t>(alphaIdx >> (8 * i)));
                    }
                } else if (Kind == BC3) {
                    out.push_back(static_cast<std::uint8_t>(Alpha(bx, by, 0)));
                    out.push_back(static_cast<std::uint8_t>(Alpha(bx, by, 1)));
                    for (int i = 0; i < 6; ++i) {
                        out.push_back(static_cast<std::uint8_t>(alphaIdx >> (8 * i)));
                    }
                }
                const std::uint16_t lo = Colour(bx, by, 0), hi = Colour(bx, by, 1);
                Bytes colour = Punch ? ColourBlock(lo, hi, colourIdx) : ColourBlock(hi, lo, colourIdx);
                out.insert(out.end(), colour.begin(), colour.end());
            }
        }
        return out;
    }
};

} // namespace

TEST(DdsDecoder, BlockImagesOfAnySizeDecodeToTheirTexels)
{
    const struct {
        const char* name;
        std::uint32_t kind;
        bool punch;
    } formats[] = {{"BC1", BC1, false}, {"BC1 with alpha", BC1, true}, {"BC2", BC2, false}, {"BC3", BC3, false}};
    const int sizes[][2] = {{1, 1}, {5, 7}, {31, 17}, {61, 47}, {8, 4}};
    for (const auto& f : formats) {
        for (const auto& wh : sizes) {
            const BlockPicture pic{wh[0], wh[1], f.kind, f.punch};
            Decoded d(DecodeDdsImage, WriteDds(wh[0], wh[1], FourCC, f.kind, 0, 0, 0, 0, 0, pic.Encode()));
            ASSERT_EQ(d.Result, 0) << f.name << " " << wh[0] << "x" << wh[1];
            int wrong = 0;
            for (int y = 0; y < wh[1]; ++y) {
                for (int x = 0; x < wh[0]; ++x) {
                    const std::uint32_t want = pic.Texel(x, y), got = d.Argb(x, y);
                    // A transparent BC1 texel's colour is not part of the picture.
                    const bool same = want == 0 && f.punch ? got >> 24 == 0 : got == want;
                    if (!same && wrong++ < 3) {
                        ADD_FAILURE() << f.name << " " << wh[0] << "x" << wh[1] << " at " << x << "," << y
                                      << std::hex << ": 0x" << got << " for 0x" << want;
                    }
                }
            }
            EXPECT_EQ(wrong, 0) << f.name << " " << wh[0] << "x" << wh[1];
        }
    }
}

TEST(DdsDecoder, BlockCountsComeFromTheDeclaredSizeBeforeAnyBlockIsMade)
{
    // 3 x 100,000,000 declares 25,000,000 block rows; none are there.
    const WORD before = AllocState.NextID;
    Decoded d(DecodeDdsImage, WriteDds(3, 100000000, FourCC, BC1, 0, 0, 0, 0, 0, Bytes(8, 0)));
    EXPECT_EQ(d.Result, -1);
    EXPECT_EQ(AllocState.NextID, before) << "refused before allocating";
    // A block short for a 5x5 image (four blocks stored) is refused too.
    Decoded shortData(DecodeDdsImage, WriteDds(5, 5, FourCC, BC1, 0, 0, 0, 0, 0, Bytes(3 * 8, 0)));
    EXPECT_EQ(shortData.Result, -1);
}

TEST(DdsDecoder, UncompressedLayoutsKeepTheFilePixelsAndPitch)
{
    Bytes rows(2 * 8, 0);
    rows[0] = 0x00;
    rows[1] = 0xF8; // red in 5:6:5
    Decoded d(DecodeDdsImage, WriteDds(3, 2, Rgb, 0, 16, 0xF800, 0x7E0, 0x1F, 0, rows, 8));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Image.Pitch, 8);
    EXPECT_EQ(d.Image.Format.RedMask, 0xF800u);
    EXPECT_EQ(d.Rgb(0, 0), 0xFF0000u);

    Bytes argb;
    PutLe32(argb, 0x80402010);
    Decoded code(DecodeDdsImage, WriteDds(1, 1, FourCC, 21, 0, 0, 0, 0, 0, argb));
    ASSERT_EQ(code.Result, 0);
    EXPECT_EQ(code.Argb(0, 0), 0x80402010u);
    Decoded abgr(DecodeDdsImage, WriteDds(1, 1, FourCC, 32, 0, 0, 0, 0, 0, argb));
    ASSERT_EQ(abgr.Result, 0);
    EXPECT_EQ(abgr.Argb(0, 0), 0x80102040u);
    Decoded alpha(DecodeDdsImage, WriteDds(1, 1, Rgb | AlphaPixels, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, argb));
    ASSERT_EQ(alpha.Result, 0);
    EXPECT_EQ(alpha.Argb(0, 0), 0x80402010u);
}

TEST(DdsDecoder, HostileHeadersAreRefused)
{
    struct Case {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"pitch shorter than a row", WriteDds(4, 1, Rgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(16, 0), 8)},
        {"bit count 0", WriteDds(4, 1, Rgb, 0, 0, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(16, 0))},
        {"bit count 64", WriteDds(1, 1, Rgb, 0, 64, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(16, 0))},
        {"negative width", WriteDds(-4, 1, Rgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(16, 0))},
        {"zero height", WriteDds(4, 0, Rgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(16, 0))},
        {"huge size", WriteDds(0x10000, 0x10000, Rgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(16, 0))},
        {"huge block image", WriteDds(0x7FFF0000, 0x7FFF0000, FourCC, BC1, 0, 0, 0, 0, 0, Bytes(16, 0))},
        {"pixels missing", WriteDds(8, 8, Rgb, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, Bytes(16, 0))},
        {"blocks missing", WriteDds(8, 8, FourCC, BC3, 0, 0, 0, 0, 0, Bytes(16, 0))},
        {"unknown four-character code", WriteDds(4, 4, FourCC, 0x30315844, 0, 0, 0, 0, 0, Bytes(64, 0))},
        {"format code with extra flags", WriteDds(1, 1, FourCC | Rgb, 21, 32, 0, 0, 0, 0, Bytes(4, 0))},
        {"header cut short", Bytes{'D', 'D', 'S', ' ', 0, 0}},
    };
    for (const Case& c : cases) {
        Decoded d(DecodeDdsImage, c.bytes);
        EXPECT_EQ(d.Result, -1) << c.name;
    }
}
