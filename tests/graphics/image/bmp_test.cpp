// BMP decoding: every bit depth and compression, both row orders, and files
// whose sizes, tables or runs do not add up.
#include <iterator>
#include <string>
#include <vector>

#include "decoder_test_util.h"

namespace {

constexpr std::uint32_t Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF, White = 0xFFFFFF;
const std::vector<std::uint32_t> Colours = {Red, Green, Blue, White};

// 5 x 2 picture as palette indexes, top row first.
const int Index[2][5] = {{0, 1, 2, 3, 0}, {3, 2, 1, 0, 1}};
constexpr int W = 5, H = 2;

int IndexAt(int x, int y, int bits)
{
    return bits == 1 ? Index[y][x] & 1 : Index[y][x];
}

std::uint32_t ColourAt(int x, int y, int bits)
{
    return Colours[static_cast<std::size_t>(IndexAt(x, y, bits))];
}

std::uint32_t Encode(std::uint32_t c, std::uint32_t rm, std::uint32_t gm, std::uint32_t bm)
{
    auto place = [](std::uint32_t v8, std::uint32_t mask) {
        if (mask == 0) {
            return 0u;
        }
        int shift = 0;
        while (((mask >> shift) & 1) == 0) {
            ++shift;
        }
        std::uint32_t max = mask >> shift;
        return (v8 * max / 255) << shift;
    };
    return place(c >> 16 & 255, rm) | place(c >> 8 & 255, gm) | place(c & 255, bm);
}

struct Variant {
    const char* name;
    int bits;
    int compression;
    std::uint32_t masks[3];
};

Bytes RowsFor(const Variant& v, bool topDown)
{
    Bytes out;
    for (int i = 0; i < H; ++i) {
        int y = topDown ? i : H - 1 - i;
        Bytes row;
        if (v.compression == 1 || v.compression == 2) {
            // One run per pixel, then end of line.
            for (int x = 0; x < W; ++x) {
                int idx = IndexAt(x, y, v.bits);
                row.push_back(1);
                row.push_back(static_cast<std::uint8_t>(v.compression == 2 ? idx << 4 | idx : idx));
            }
            row.push_back(0);
            row.push_back(0);
            out.insert(out.end(), row.begin(), row.end());
            continue;
        }
        if (v.bits <= 8) {
            std::uint32_t acc = 0;
            int filled = 0;
            for (int x = 0; x < W; ++x) {
                acc = acc << v.bits | static_cast<std::uint32_t>(IndexAt(x, y, v.bits));
                filled += v.bits;
                if (filled == 8) {
                    row.push_back(static_cast<std::uint8_t>(acc));
                    acc = 0;
                    filled = 0;
                }
            }
            if (filled > 0) {
                row.push_back(static_cast<std::uint8_t>(acc << (8 - filled)));
            }
        } else {
            for (int x = 0; x < W; ++x) {
                std::uint32_t c = ColourAt(x, y, v.bits);
                if (v.bits == 24) {
                    row.push_back(static_cast<std::uint8_t>(c));
                    row.push_back(static_cast<std::uint8_t>(c >> 8));
                    row.push_back(static_cast<std::uint8_t>(c >> 16));
                    continue;
                }
                std::uint32_t m[3] = {v.masks[0], v.masks[1], v.masks[2]};
                if (v.compression == 0) {
                    m[0] = v.bits == 16 ? 0x7C00 : 0xFF0000;
                    m[1] = v.bits == 16 ? 0x3E0 : 0xFF00;
                    m[2] = v.bits == 16 ? 0x1F : 0xFF;
                }
                std::uint32_t px = Encode(c, m[0], m[1], m[2]);
                if (v.bits == 16) {
                    PutLe16(row, px);
                } else {
                    PutLe32(row, px);
                }
            }
        }
        while (row.size() % 4 != 0) {
            row.push_back(0);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    if (v.compression == 1 || v.compression == 2) {
        out.push_back(0);
        out.push_back(1);
    }
    return out;
}

Bytes MakeBmp(const Variant& v, bool topDown, int headerSize = 40)
{
    BmpSpec spec;
    spec.headerSize = headerSize;
    spec.width = W;
    spec.height = topDown ? -H : H;
    spec.bits = v.bits;
    spec.compression = v.compression;
    if (v.bits <= 8) {
        for (int i = 0; i < (1 << v.bits); ++i) {
            spec.table.push_back(i < 4 ? Colours[static_cast<std::size_t>(i)] : 0);
        }
    } else if (headerSize >= 52) {
        std::copy(std::begin(v.masks), std::end(v.masks), spec.masks);
    } else if (v.compression == 3) {
        spec.table = {v.masks[0], v.masks[1], v.masks[2]};
    }
    spec.pixels = RowsFor(v, topDown);
    return WriteBmp(spec);
}

} // namespace

TEST(BmpDecoder, EveryDepthAndCompressionDecodesToThePicture)
{
    const Variant variants[] = {
        {"1-bit", 1, 0, {}},
        {"4-bit", 4, 0, {}},
        {"8-bit", 8, 0, {}},
        {"8-bit run-length", 8, 1, {}},
        {"4-bit run-length", 4, 2, {}},
        {"16-bit 5:5:5", 16, 0, {}},
        {"16-bit bit fields 5:6:5", 16, 3, {0xF800, 0x7E0, 0x1F}},
        {"24-bit", 24, 0, {}},
        {"32-bit", 32, 0, {}},
        {"32-bit bit fields", 32, 3, {0xFF, 0xFF00, 0xFF0000}},
    };
    // Headers of 40, 108 and 124 bytes: the table follows each header's own
    // size, and the longer ones hold the masks themselves.
    for (const Variant& v : variants) {
        for (int headerSize : {40, 108, 124})
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(std::string(v.name) + (topDown ? " top-down" : " bottom-up") + " header " +
                         std::to_string(headerSize));
            Decoded d(DecodeBmpImage, MakeBmp(v, topDown, headerSize));
            ASSERT_EQ(d.Result, 0);
            EXPECT_EQ(d.Image.Width, W);
            EXPECT_EQ(d.Image.Height, H);
            for (int y = 0; y < H; ++y) {
                for (int x = 0; x < W; ++x) {
                    EXPECT_EQ(d.Rgb(x, y), ColourAt(x, y, v.bits)) << x << "," << y;
                }
            }
        }
    }
}

TEST(BmpDecoder, RowLayoutsOfTheOutput)
{
    // 24-bit 3 x 2 bottom-up: pitch 12, the first file row becomes row 1.
    BmpSpec s24;
    s24.width = 3;
    s24.height = 2;
    s24.pixels = Bytes(24, 0);
    s24.pixels[0] = 0x11;
    Decoded d24(DecodeBmpImage, WriteBmp(s24));
    ASSERT_EQ(d24.Result, 0);
    EXPECT_EQ(d24.Image.Pitch, 12);
    EXPECT_EQ(d24.Row(1)[0], 0x11);
    EXPECT_EQ(d24.Image.Format.BitsPerPixel, 24);

    // 4-bit width 5: pitch 8, one index per byte.
    BmpSpec s4;
    s4.width = 5;
    s4.height = -1;
    s4.bits = 4;
    s4.table = std::vector<std::uint32_t>(16, 0);
    s4.pixels = {0x12, 0x34, 0x50, 0};
    Decoded d4(DecodeBmpImage, WriteBmp(s4));
    ASSERT_EQ(d4.Result, 0);
    EXPECT_EQ(d4.Image.Pitch, 8);
    EXPECT_EQ(Bytes(d4.Row(0), d4.Row(0) + 5), (Bytes{1, 2, 3, 4, 5}));
}

TEST(BmpDecoder, RunLengthCodesEndMoveAndCopy)
{
    BmpSpec s;
    s.width = 6;
    s.height = -3;
    s.bits = 8;
    s.compression = 1;
    s.table = std::vector<std::uint32_t>(256, 0);
    // Row 0: copy 3 literal bytes (padded), run of 2; row 1: move right 2 and
    // down 1 (to row 2), run of 1; then the bitmap ends early.
    s.pixels = {0, 3, 7, 8, 9, 0, 2, 5, 0, 0, 0, 2, 2, 1, 1, 6, 0, 1};
    Decoded d(DecodeBmpImage, WriteBmp(s));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(Bytes(d.Row(0), d.Row(0) + 6), (Bytes{7, 8, 9, 5, 5, 0}));
    EXPECT_EQ(Bytes(d.Row(1), d.Row(1) + 6), (Bytes{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(d.Row(2), d.Row(2) + 6), (Bytes{0, 0, 6, 0, 0, 0}));
}

TEST(BmpDecoder, RunsPastTheImageOrTheDataStayInBounds)
{
    BmpSpec s;
    s.width = 2;
    s.height = 2;
    s.bits = 8;
    s.compression = 1;
    s.table = std::vector<std::uint32_t>(256, 0);
    // A 255-pixel run, a move far below the image, and a literal longer than
    // the data: decoded up to the damage, nothing written outside.
    s.pixels = {255, 4, 0, 0, 0, 200, 9, 9};
    Decoded d(DecodeBmpImage, WriteBmp(s));
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Row(1)[0], 4);
    // A picture far larger than any data could fill is refused before its
    // block is made; a small blank one with only the end code still decodes.
    for (int bits : {8, 4}) {
        s.bits = bits;
        s.compression = bits == 8 ? 1 : 2;
        s.table.resize(std::size_t{1} << bits);
        s.pixels = {0, 1};
        s.width = 8192;
        s.height = 8192;
        Decoded huge(DecodeBmpImage, WriteBmp(s));
        EXPECT_EQ(huge.Result, -1) << bits;
        s.width = 640;
        s.height = 480;
        Decoded blank(DecodeBmpImage, WriteBmp(s));
        EXPECT_EQ(blank.Result, 0) << bits;
    }
    EXPECT_EQ(d.Row(1)[1], 4);
    EXPECT_EQ(d.Row(0)[0], 0);
}

TEST(BmpDecoder, ShortColourTableIsZeroFilled)
{
    BmpSpec s;
    s.width = 2;
    s.height = 1;
    s.bits = 8;
    s.table = {0x123456};
    Bytes file = WriteBmp(s);
    // Pixel data where the table would go: indexes 0 and 200, no more bytes.
    file.resize(14 + 40 + 4);
    file.push_back(0);
    file.push_back(200);
    file.push_back(0);
    file.push_back(0);
    file[10] = static_cast<std::uint8_t>(file.size() - 4);
    Decoded d(DecodeBmpImage, file);
    ASSERT_EQ(d.Result, 0);
    EXPECT_EQ(d.Image.Format.Palette[0].Red, 0x12);
    EXPECT_EQ(d.Image.Format.Palette[255].Red, 0);
}

TEST(BmpDecoder, MalformedFilesAreRefused)
{
    auto base = [] {
        BmpSpec s;
        s.width = 4;
        s.height = 2;
        s.pixels = Bytes(24, 0x80);
        return s;
    };
    struct Case {
        const char* name;
        Bytes file;
    };
    std::vector<Case> cases;
    {
        BmpSpec s = base();
        s.height = -2;
        s.pixels.resize(13);
        cases.push_back({"top-down block shorter than the image", WriteBmp(s)});
    }
    {
        BmpSpec s = base();
        s.pixels.resize(20);
        cases.push_back({"bottom-up block shorter than the image", WriteBmp(s)});
    }
    {
        BmpSpec s = base();
        s.width = 0;
        cases.push_back({"zero width", WriteBmp(s)});
    }
    {
        BmpSpec s = base();
        s.width = -4;
        cases.push_back({"negative width", WriteBmp(s)});
    }
    {
        BmpSpec s = base();
        s.height = 0;
        cases.push_back({"zero height", WriteBmp(s)});
    }
    {
        BmpSpec s = base();
        s.width = 0x40000000;
        s.height = 0x40000000;
        cases.push_back({"size overflows", WriteBmp(s)});
    }
    {
        BmpSpec s = base();
        s.bits = 2;
        s.table = {0, 0, 0, 0};
        cases.push_back({"2-bit rows", WriteBmp(s)});
    }
    {
        BmpSpec s = base();
        s.bits = 8;
        s.compression = 3;
        s.table = std::vector<std::uint32_t>(256, 0);
        cases.push_back({"bit fields at 8 bits", WriteBmp(s)});
    }
    {
        BmpSpec s = base();
        s.compression = 4;
        cases.push_back({"embedded compression", WriteBmp(s)});
    }
    {
        BmpSpec s = base();
        s.bits = 16;
        s.compression = 3;
        s.table = {0xF000, 0x1F00, 0xFF};
        cases.push_back({"overlapping masks", WriteBmp(s)});
    }
    {
        BmpSpec s = base();
        s.bits = 0;
        cases.push_back({"zero bit count", WriteBmp(s)});
    }
    {
        Bytes f = WriteBmp(base());
        f[10] = 0xFF;
        f[11] = 0xFF;
        cases.push_back({"pixel offset past the end", f});
    }
    {
        Bytes f = WriteBmp(base());
        f.resize(30);
        cases.push_back({"truncated header", f});
    }
    for (std::uint32_t size : {0u, 12u, 44u, 0x10000u, 0xFFFFFFF0u}) {
        // 44 runs into the pixels at byte 54; the others are too short or past the file.
        Bytes f = WriteBmp(base());
        f[14] = static_cast<std::uint8_t>(size);
        f[15] = static_cast<std::uint8_t>(size >> 8);
        f[16] = static_cast<std::uint8_t>(size >> 16);
        f[17] = static_cast<std::uint8_t>(size >> 24);
        cases.push_back({"header size", f});
    }
    {
        Bytes f = WriteBmp(base());
        f[0] = 'X';
        cases.push_back({"no BM magic", f});
    }
    for (const Case& c : cases) {
        Decoded d(DecodeBmpImage, c.file);
        EXPECT_EQ(d.Result, -1) << c.name;
    }
}

TEST(BmpDecoder, SmallestDirectColourFilesNeedOnlyTheirPixels)
{
    // Without bit fields nothing follows the 40-byte header but the rows.
    const struct {
        int width, height, bits;
        Bytes pixels;
        std::uint32_t first, last;
    } cases[] = {
        {2, 1, 32, {0x33, 0x22, 0x11, 0, 0xCC, 0xBB, 0xAA, 0}, 0x112233, 0xAABBCC},
        {2, 2, 16, {0x1F, 0, 0xE0, 0x03, 0x00, 0x7C, 0xFF, 0x7F}, 0x0000FF, 0xFFFFFF},
    };
    for (const auto& c : cases) {
        BmpSpec s;
        s.width = c.width;
        s.height = c.height;
        s.bits = c.bits;
        s.pixels = c.pixels;
        Decoded d(DecodeBmpImage, WriteBmp(s));
        ASSERT_EQ(d.Result, 0) << c.bits;
        // Bottom-up: the file's first pixel is the last row's.
        EXPECT_EQ(d.Rgb(0, c.height - 1), c.first) << c.bits;
        EXPECT_EQ(d.Rgb(c.width - 1, 0), c.last) << c.bits;
    }
}
