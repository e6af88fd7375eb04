// FillMemImgTriangle on real images: agreement with the reference model for every
// combination of destination format, source kind, blend mode, graph, brightness and key;
// the worked pixel values; texture placement; refusals; out-of-range input.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include "graphics/blendtable.h"
#include "graphics/memimg.h"
#include "softrender/triangle/fill_triangle.h"
#include "support/soft_image.h"
#include "support/pixel_reference.h"
#include "triangle_reference.h"

namespace {

enum class Source { Direct, Alpha, Palette };

// What the reference needs of a call besides the pixels.
struct CallCase {
    bool X8888;
    Source Kind;
    int Mode;
    int P;
    std::uint32_t Bright;
    bool Graph;
    bool Key;
    std::uint32_t ColorKey;
};

// The flat colour is tinted through the product table whatever the brightness; the
// reference's flat rule then runs with a white brightness so it adds no tint of its own.
std::uint32_t TintFlatColour(bool x8888, std::uint32_t c, std::uint32_t bright)
{
    auto p = [](std::uint32_t v, std::uint32_t i) { return i * v / 255; };
    const std::uint32_t bB = bright & 0xFF, bG = (bright >> 8) & 0xFF, bR = (bright >> 16) & 0xFF;
    if (!x8888) {
        c &= 0xFFFF;
        return p(bR, c >> 11) << 11 | p(bG, (c >> 5) & 63) << 5 | p(bB, c & 31);
    }
    return (c & 0xFF000000u) | p(bR, (c >> 16) & 0xFF) << 16 | p(bG, (c >> 8) & 0xFF) << 8 | p(bB, c & 0xFF);
}

// An image over plain vectors: header and body filled by hand, so the tests control every
// field the kernel reads.
struct TestImage {
    std::vector<std::uint8_t> Bytes;
    std::vector<std::uint8_t> PaletteBlock;
    MEMIMGBODY Body{};
    MEMIMG Image{};

    TestImage(int w, int h, int format, int bytesPerPixel, bool palette = false, bool alpha = false)
        : Bytes(static_cast<std::size_t>(w) * h * bytesPerPixel + 16), PaletteBlock(2048)
    {
        Body.RefCount = 1;
        Body.Width = w;
        Body.Height = h;
        Body.Pitch = w * bytesPerPixel;
        Body.PixelFormat = format;
        Body.UsePalette = palette;
        Body.UseAlpha = alpha;
        Body.Palette = palette ? PaletteBlock.data() : nullptr;
        Body.PixelBlock = Bytes.data();
        Image.Tag = MEMIMG_TAG;
        Image.Width = w;
        Image.Height = h;
        Image.Pixels = Bytes.data();
        Image.Body = &Body;
    }
    TestImage(const TestImage&) = delete;
    int Bpp() const { return Body.Pitch / Body.Width; }
    std::uint32_t Get(int x, int y) const
    {
        std::uint32_t v = 0;
        std::memcpy(&v, Bytes.data() + y * Body.Pitch + x * Bpp(), Bpp());
        return v;
    }
    void Set(int x, int y, std::uint32_t v) { std::memcpy(Bytes.data() + y * Body.Pitch + x * Bpp(), &v, Bpp()); }
};

int DstBpp(bool x8888) { return x8888 ? 4 : 2; }
int SrcBpp(bool x8888, Source kind) { return kind == Source::Palette ? 1 : (x8888 || kind == Source::Alpha) ? 4 : 2; }

class FillTriangle : public testing::Test {
protected:
    void SetUp() override
    {
        BuildSoftBlendTables();
        for (int g = 0; g < 256; ++g) BlendTables.BlendGraphFactorTable[g] = static_cast<BYTE>(g);
        kp.Mmx = true;
        SetState(0, 255, 0xFFFFFF, {0, 0, 1 << 20, 1 << 20});
    }
    void SetState(int mode, int p, std::uint32_t bright, RECT area)
    {
        kp.Mode = static_cast<BlendMode>(mode);
        kp.Param = p;
        kp.Bright = bright;
        kp.Area = area;
    }
    KERNELPARAMS kp{};
};

// Draws triangle t and replays it through the reference: walk, texel test, fetch, rule.
void ExpectReferenceAgrees(const KERNELPARAMS& kp, TestImage& dst, const TestImage* src, const TestImage* graph, const std::array<int, 12>& t,
                           int trans, std::uint32_t colour, const CallCase& k, const char* what)
{
    std::vector<std::uint8_t> expected = dst.Bytes;
    const RECT& a = kp.Area;
    const triref::Clip clip{std::max<std::int64_t>(a.left, 0), std::max<std::int64_t>(a.top, 0),
                            std::min<std::int64_t>(a.right, dst.Image.Width),
                            std::min<std::int64_t>(a.bottom, dst.Image.Height)};
    const int bpp = dst.Bpp();
    triref::Walk(t.data(), clip, [&](const triref::Pixel& px) {
        std::uint8_t* out = expected.data() + px.y * dst.Body.Pitch + px.x * bpp;
        std::uint32_t d = 0;
        std::memcpy(&d, out, bpp);
        std::optional<std::uint32_t> r;
        if (src == nullptr) {
            r = pixref::FlatPixel({k.X8888, k.Mode, k.P, 0xFFFFFF, TintFlatColour(k.X8888, colour, k.Bright)}, d);
        } else {
            if (px.u < 0 || px.v < 0 || px.u >= (std::int64_t{src->Image.Width} << 18) ||
                px.v >= (std::int64_t{src->Image.Height} << 18))
                return;
            const int tx = static_cast<int>(px.u >> 18), ty = static_cast<int>(px.v >> 18);
            const std::uint32_t word = src->Get(tx, ty);
            std::uint32_t entries[256];
            for (int i = 0; i < 256; ++i) {
                entries[i] = 0;
                std::memcpy(&entries[i], src->PaletteBlock.data() + i * bpp, bpp);
            }
            const int factor = graph ? BlendTables.BlendGraphFactorTable[graph->Get(tx, ty)] : 0;
            const std::uint32_t texel = k.X8888 || k.Kind == Source::Palette ? word
                                        : k.Kind == Source::Alpha          ? (word & 0xFFFFFF)
                                                                           : (word & 0xFFFF);
            // The processor flag is on: the triangle must not take the stretch kernel's byte-wise path.
            r = pixref::ImagePixel({k.X8888, k.Kind == Source::Palette, k.Kind == Source::Alpha, k.Mode, k.P, k.Bright,
                                    graph != nullptr, factor, k.Key, k.ColorKey, true, pixref::Family::Tri2D, texel,
                                    entries},
                                   d);
        }
        if (r) std::memcpy(out, &*r, bpp);
    });
    softrender::FillMemImgTriangle(WithGraph(kp, graph ? &graph->Image : nullptr), &dst.Image, src ? &src->Image : nullptr, t.data(), trans,
                       colour);
    ASSERT_EQ(dst.Bytes, expected) << what;
}

TEST_F(FillTriangle, TexturedAgreesWithReferenceForEveryCombination)
{
    std::mt19937 rng(2024);
    auto rnd = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int g = 0; g < 256; ++g) BlendTables.BlendGraphFactorTable[g] = static_cast<BYTE>(rnd(0, 255));
    const int modes[] = {0, 1, 2, 3, 4, 10, 11, 5, 12};
    for (bool x8888 : {true, false})
    for (Source kind : {Source::Direct, Source::Alpha, Source::Palette})
    for (int mode : modes)
    for (bool graphOn : {false, true})
    for (bool white : {true, false})
    for (bool key : {false, true})
    for (int rep = 0; rep < 4; ++rep) {
        const int p = rep == 0 ? 255 : rep == 1 ? 0 : rnd(1, 254);
        std::uint32_t bright = white ? (0xFFFFFFu | static_cast<std::uint32_t>(rnd(0, 255)) << 24)
                                     : static_cast<std::uint32_t>(rnd(0, 0xFFFFFE));
        if (!white && rep == 2) bright = 0xFFFFFE;  // one channel short of white
        const int fmt = x8888 ? MEMIMG_FORMAT_XRGB8888 : MEMIMG_FORMAT_RGB565;
        const int sw = rnd(1, 6), sh = rnd(1, 5);
        TestImage src(sw, sh, fmt, SrcBpp(x8888, kind), kind == Source::Palette, kind == Source::Alpha);
        for (auto& b : src.PaletteBlock) b = static_cast<std::uint8_t>(rnd(0, 255));
        src.Body.PaletteCount = 4;  // indices beyond it still read the image's own palette
        for (int y = 0; y < sh; ++y) {
            for (int x = 0; x < sw; ++x) {
                std::uint32_t v = static_cast<std::uint32_t>(rng());
                if (kind == Source::Alpha) {
                    const std::uint32_t a = rnd(0, 2) == 0 ? 0 : rnd(0, 1) ? 255 : static_cast<std::uint32_t>(rnd(1, 254));
                    v = x8888 ? (v & 0xFFFFFF) | a << 24 : (v & 0xFFFF) | a << 16 | (v & 0xFF000000u);
                }
                src.Set(x, y, v);
            }
        }
        const std::uint32_t someTexel = src.Get(rnd(0, sw - 1), rnd(0, sh - 1));
        src.Body.ColorKey = kind == Source::Palette ? someTexel : x8888 ? someTexel : (someTexel & 0xFFFF);
        TestImage graph(sw + rnd(0, 2), sh + rnd(0, 2), MEMIMG_FORMAT_CHANNEL8, 1);
        for (auto& b : graph.Bytes) b = static_cast<std::uint8_t>(rnd(0, 255));
        TestImage dst(14, 12, fmt, DstBpp(x8888));
        for (auto& b : dst.Bytes) b = static_cast<std::uint8_t>(rnd(0, 255));

        const std::array<int, 12> t = {rnd(-4, 17), rnd(-4, 15), rnd(-2, sw + 2), rnd(-2, sh + 2),
                                       rnd(-4, 17), rnd(-4, 15), rnd(-2, sw + 2), rnd(-2, sh + 2),
                                       rnd(-4, 17), rnd(-4, 15), rnd(-2, sw + 2), rnd(-2, sh + 2)};
        SetState(mode, p, bright, {rnd(-2, 4), rnd(-2, 4), rnd(8, 16), rnd(8, 14)});
        const CallCase k{x8888, kind, mode, p, bright, graphOn, key, src.Body.ColorKey};
        const int trans = key ? rnd(1, 9) : 0;
        const std::vector<std::uint8_t> before = dst.Bytes;
        for (IsaLevel isa : {IsaLevel::Portable, IsaLevel::Sse2, IsaLevel::Avx2}) {
            dst.Bytes = before;
            kp.Isa = isa;
            ExpectReferenceAgrees(kp, dst, &src, graphOn ? &graph : nullptr, t, trans, 0, k,
                                  (std::ostringstream() << "x8888 " << x8888 << " kind " << int(kind) << " mode " << mode
                                                        << " graph " << graphOn << " white " << white << " key " << key
                                                        << " rep " << rep << " level " << int(isa))
                                      .str()
                                      .c_str());
            if (HasFatalFailure()) return;
        }
    }
}

TEST_F(FillTriangle, FlatAgreesWithReferenceForEveryMode)
{
    std::mt19937 rng(77);
    auto rnd = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (bool x8888 : {true, false})
    for (int mode : {0, 1, 2, 3, 4, 10, 11, 5, 9, 12, -1})
    for (int rep = 0; rep < 6; ++rep) {
        const int p = rep == 0 ? 255 : rep == 1 ? 0 : rnd(1, 254);
        const std::uint32_t bright = rep == 2 ? 0xFFFFFF : rep == 3 ? 0x80FFFF : static_cast<std::uint32_t>(rng());
        TestImage dst(14, 12, x8888 ? MEMIMG_FORMAT_XRGB8888 : MEMIMG_FORMAT_RGB565, DstBpp(x8888));
        for (auto& b : dst.Bytes) b = static_cast<std::uint8_t>(rnd(0, 255));
        const std::array<int, 12> t = {rnd(-4, 17), rnd(-4, 15), 0, 0, rnd(-4, 17), rnd(-4, 15), 0, 0,
                                       rnd(-4, 17), rnd(-4, 15), 0, 0};
        // RGB565 colours above 16 bits are taken to their low 16 bits.
        const std::uint32_t colour = static_cast<std::uint32_t>(rng());
        SetState(mode, p, bright, {rnd(-2, 4), rnd(-2, 4), rnd(8, 16), rnd(8, 14)});
        const CallCase k{x8888, Source::Direct, mode, p, bright, false, false, 0};
        ExpectReferenceAgrees(kp, dst, nullptr, nullptr, t, 1, colour, k, "flat");
        if (HasFatalFailure()) return;
    }
}

// One texel drawn onto destination pixel (0, 0) by the upper half of a 1 x 1 quad.
struct PixelCase {
    bool X8888;
    Source Kind;
    int Mode, P;
    std::uint32_t Bright;
    int Factor;  // blend-graph factor, or -1 for no graph
    bool Key;
    std::uint32_t ColorKey, Texel, Dst, Expected;
};

std::uint32_t Rgb565(int r, int g, int b) { return static_cast<std::uint32_t>(r << 11 | g << 5 | b); }

TEST_F(FillTriangle, WorkedPixelValues)
{
    const std::uint32_t white = 0xFFFFFF;
    const PixelCase cases[] = {
        // Multiply with an alpha-0 texel and the key on turns the pixel black; alpha 255 and
        // 128 multiply as usual; the key off gives black too.
        {true, Source::Alpha, 4, 255, white, -1, true, 0, 0x003264C8, 0x441E140A, 0x44000000},
        {true, Source::Alpha, 4, 255, white, -1, true, 0, 0xFF3264C8, 0x441E140A, 0x44050707},
        {true, Source::Alpha, 4, 255, white, -1, true, 0, 0x803264C8, 0x441E140A, 0x44020303},
        {true, Source::Alpha, 4, 255, white, -1, false, 0, 0x003264C8, 0x441E140A, 0x44000000},
        // Subtract at 255 always uses the packed subtraction (the processor flag is 1 here).
        {true, Source::Direct, 3, 255, white, -1, false, 0, 0x09050505, 0x550A0A0A, 0x00070705},
        // Alpha copy: 254 and byte 3 kept with the key off, whole word with it on.
        {true, Source::Alpha, 0, 255, white, -1, false, 0, 0xFFFFFFFF, 0x12000000, 0x12FEFEFE},
        {true, Source::Alpha, 0, 255, white, -1, true, 0, 0xFFFFFFFF, 0x12000000, 0xFFFFFFFF},
        // Add carries out of red into byte 3.
        {true, Source::Direct, 2, 255, white, -1, false, 0, 0x003264C8, 0x77FAC864, 0x01FFFFFF},
        // Inverted blend tinted after the inversion.
        {true, Source::Direct, 10, 255, 0x808080, -1, false, 0, 0, 0, 0x007F7F7F},
        {true, Source::Direct, 10, 255, white, -1, false, 0, 0, 0, 0x00FEFEFE},
        // A key matching the colour but not byte 3 is drawn.
        {true, Source::Direct, 0, 255, white, -1, true, 0x00123456, 0x01123456, 0, 0x01123456},
        // RGB565: a key 0x10000 above the texel never matches.
        {false, Source::Direct, 0, 255, white, -1, true, 0x10000 + 0x1234, 0x1234, 0, 0x1234},
        {false, Source::Alpha, 4, 255, white, -1, true, 0, 0x00FFFF, 0xFFFF, 0},
        {false, Source::Direct, 10, 255, 0x80FFFF, -1, false, 0, 0, 0, Rgb565(15, 63, 31)},
        {false, Source::Direct, 11, 255, white, -1, false, 0, 0xFFFF, Rgb565(16, 32, 16), Rgb565(15, 31, 15)},
        {false, Source::Direct, 1, 128, white, -1, false, 0, 0xFFFF, 0, Rgb565(15, 31, 15)},
        // RGB565 palette: subtract at 0 still runs; mode 1 at 255 is mode 0 with the graph.
        {false, Source::Palette, 3, 0, white, -1, false, 0, 0 /*entry 0*/, 0, Rgb565(1, 0, 0)},
        {false, Source::Palette, 3, 0, white, -1, false, 0, 0, 0xFFFF, Rgb565(31, 62, 31)},
        {false, Source::Palette, 1, 255, white, 8, false, 0, 1 /*entry G32*/, 0, Rgb565(0, 1, 0)},
        {true, Source::Palette, 3, 0, white, -1, false, 0, 0, 0x12000000, 0x00010100},
    };
    for (const PixelCase& c : cases) {
        const int fmt = c.X8888 ? MEMIMG_FORMAT_XRGB8888 : MEMIMG_FORMAT_RGB565;
        TestImage src(1, 1, fmt, SrcBpp(c.X8888, c.Kind), c.Kind == Source::Palette, c.Kind == Source::Alpha);
        src.Set(0, 0, c.Texel);
        src.Body.ColorKey = c.ColorKey;
        const std::uint16_t entries[2] = {0, static_cast<std::uint16_t>(Rgb565(0, 32, 0))};
        std::memcpy(src.PaletteBlock.data(), entries, sizeof entries);  // entry 0 black, entry 1 G32
        TestImage graph(1, 1, MEMIMG_FORMAT_CHANNEL8, 1);
        graph.Set(0, 0, static_cast<std::uint32_t>(std::max(c.Factor, 0)));
        TestImage dst(2, 1, fmt, DstBpp(c.X8888));
        dst.Set(0, 0, c.Dst);
        SetState(c.Mode, c.P, c.Bright, {0, 0, 2, 1});
        const int t[12] = {0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 0, 1};
        softrender::FillMemImgTriangle(WithGraph(kp, c.Factor >= 0 ? &graph.Image : nullptr), &dst.Image, &src.Image, t, c.Key, 0);
        EXPECT_EQ(dst.Get(0, 0), c.Expected) << std::hex << "mode " << c.Mode << " texel " << c.Texel;
        EXPECT_EQ(dst.Get(1, 0), 0u) << "u = 1 lies outside a 1-texel source";
    }
}

TEST_F(FillTriangle, FlatColourTintedThroughTheProductTable)
{
    struct Case { bool x8888; int mode; std::uint32_t bright, colour, dst, expected; };
    const Case cases[] = {
        {true, 0, 0xFFFFFF, 0xAB123456, 0, 0xAB123456},        // stored whole when white
        {true, 0, 0x80FFFF, 0x00FFFFFF, 0, 0x0080FFFF},        // 255 channels stay 255
        {false, 0, 0x80FFFF, 0xFFFF, 0, 0x7FFF},
        {false, 0, 0xFFFFFF, 0xFFFFFFFF, 0, 0xFFFF},           // low 16 bits only
        {true, 2, 0xFFFFFF, 0x00000200, 0x0000FF00, 0x0001FF00},
        {false, 2, 0xFFFFFF, Rgb565(0, 2, 0), Rgb565(0, 62, 0), Rgb565(1, 62, 0)},
    };
    for (const Case& c : cases) {
        TestImage dst(4, 4, c.x8888 ? MEMIMG_FORMAT_XRGB8888 : MEMIMG_FORMAT_RGB565, DstBpp(c.x8888));
        dst.Set(0, 0, c.dst);
        SetState(c.mode, 255, c.bright, {0, 0, 4, 4});
        const int t[12] = {0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0};
        softrender::FillMemImgTriangle(kp, &dst.Image, nullptr, t, 0, c.colour);
        EXPECT_EQ(dst.Get(0, 0), c.expected) << std::hex << c.colour;
    }
}

// Distinct texels so a pixel tells which texel it shows.
void FillDistinct(TestImage& src)
{
    for (int y = 0; y < src.Image.Height; ++y)
        for (int x = 0; x < src.Image.Width; ++x) src.Set(x, y, 0x100u * (y + 1) + x + 1);
}

void DrawQuad(const KERNELPARAMS& kp, TestImage& dst, const TestImage& src, int x0, int y0, int half = 3)
{
    const int w = src.Image.Width, h = src.Image.Height;
    const int tl[4] = {x0, y0, 0, 0}, tr[4] = {x0 + w, y0, w, 0}, bl[4] = {x0, y0 + h, 0, h},
              br[4] = {x0 + w, y0 + h, w, h};
    int t1[12], t2[12];
    std::memcpy(t1, tl, 16), std::memcpy(t1 + 4, tr, 16), std::memcpy(t1 + 8, bl, 16);
    std::memcpy(t2, tr, 16), std::memcpy(t2 + 4, bl, 16), std::memcpy(t2 + 8, br, 16);
    if (half & 1) softrender::FillMemImgTriangle(kp, &dst.Image, &src.Image, t1, 0, 0);
    if (half & 2) softrender::FillMemImgTriangle(kp, &dst.Image, &src.Image, t2, 0, 0);
}

TEST_F(FillTriangle, QuadMapsPixelsOneToOneOntoTexels)
{
    TestImage src(5, 3, MEMIMG_FORMAT_XRGB8888, 4);
    FillDistinct(src);
    TestImage dst(10, 6, MEMIMG_FORMAT_XRGB8888, 4);
    DrawQuad(kp, dst, src, 2, 1);
    int drawn = 0;
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 2 && x < 7 && y >= 1 && y < 4;
            drawn += dst.Get(x, y) != 0;
            if (inside) {
                EXPECT_EQ(dst.Get(x, y), src.Get(x - 2, y - 1)) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(drawn, 15);
}

// Spans long enough for the vector loops' whole registers and their tails, at
// 1:1, magnified (also against the source's last column), minified and
// mirrored, against the reference at every level.
TEST_F(FillTriangle, WideSpansAgreeWithReferenceAtEveryLevel)
{
    TestImage src(29, 5, MEMIMG_FORMAT_XRGB8888, 4);
    FillDistinct(src);
    const CallCase k{true, Source::Direct, 0, 255, 0xFFFFFF, false, false, 0};
    const std::array<int, 12> triangles[] = {
        {0, 0, 0, 0, 40, 0, 29, 0, 0, 12, 0, 5},     // magnified
        {1, 1, 0, 0, 30, 1, 29, 0, 1, 6, 0, 5},      // 1:1
        {0, 0, 29, 0, 38, 2, 0, 3, 3, 11, 29, 5},    // mirrored and slanted
        {2, 0, 0, 0, 17, 0, 29, 0, 2, 9, 0, 5},      // minified
        {0, 0, 21, 0, 40, 0, 29, 0, 0, 12, 21, 5},   // magnified up to the last column
        {0, 0, 29, 0, 40, 0, 20, 0, 0, 12, 29, 5},   // the same mirrored
    };
    for (const auto& t : triangles)
        for (IsaLevel isa : {IsaLevel::Portable, IsaLevel::Sse2, IsaLevel::Avx2}) {
            TestImage dst(40, 12, MEMIMG_FORMAT_XRGB8888, 4);
            SetState(0, 255, 0xFFFFFF, {0, 0, 40, 12});
            kp.Isa = isa;
            ExpectReferenceAgrees(kp, dst, &src, nullptr, t, 0, 0, k,
                                  (std::ostringstream() << "level " << int(isa)).str().c_str());
            if (HasFatalFailure()) return;
        }
}

// An image drawn onto itself one column to the right: each pixel reads the
// texel its left neighbour has just written, at every level, so a row comes
// out as one colour.
TEST_F(FillTriangle, AnImageDrawnOntoItselfIsReadInPixelOrder)
{
    const std::array<int, 12> t{1, 0, 0, 0, 49, 0, 48, 0, 1, 16, 0, 16};
    std::vector<std::uint8_t> portable;
    for (IsaLevel isa : {IsaLevel::Portable, IsaLevel::Sse2, IsaLevel::Avx2}) {
        TestImage img(48, 6, MEMIMG_FORMAT_XRGB8888, 4);
        FillDistinct(img);
        kp.Isa = isa;
        softrender::FillMemImgTriangle(kp, &img.Image, &img.Image, t.data(), 0, 0);
        for (int x = 2; x < 40; ++x) EXPECT_EQ(img.Get(x, 1), img.Get(1, 1)) << "level " << int(isa) << " x " << x;
        if (isa == IsaLevel::Portable) portable = img.Bytes;
        else EXPECT_EQ(img.Bytes, portable) << "level " << int(isa);
    }
}

// Whole parts are floored: a quad starting left of and above 0 maps every pixel to the
// texel the unclipped mapping puts there, and its two halves agree on the shared diagonal.
TEST_F(FillTriangle, QuadHalvesAgreeLeftOfAndAboveZero)
{
    TestImage src(5, 4, MEMIMG_FORMAT_XRGB8888, 4);
    FillDistinct(src);
    const int diagonal[3][2] = {{3, 0}, {2, 1}, {0, 2}};  // where the edge TR-BL crosses rows 0-2
    for (int half : {1, 2}) {
        TestImage dst(6, 4, MEMIMG_FORMAT_XRGB8888, 4);
        DrawQuad(kp, dst, src, -1, -1, half);
        for (const auto& p : diagonal) EXPECT_EQ(dst.Get(p[0], p[1]), src.Get(p[0] + 1, p[1] + 1)) << "half " << half;
    }
    TestImage dst(6, 4, MEMIMG_FORMAT_XRGB8888, 4);
    DrawQuad(kp, dst, src, -1, -1);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(dst.Get(x, y), x < 4 && y < 3 ? src.Get(x + 1, y + 1) : 0u) << x << "," << y;
        }
    }
}

TEST_F(FillTriangle, ClippedDrawKeepsThePixelsInsideTheArea)
{
    std::mt19937 rng(31);
    auto rnd = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    TestImage src(7, 5, MEMIMG_FORMAT_RGB565, 2);
    FillDistinct(src);
    for (int n = 0; n < 300; ++n) {
        const int t[12] = {rnd(-6, 20), rnd(-6, 20), rnd(-3, 9), rnd(-3, 7), rnd(-6, 20), rnd(-6, 20),
                           rnd(-3, 9),  rnd(-3, 7),  rnd(-6, 20), rnd(-6, 20), rnd(-3, 9), rnd(-3, 7)};
        TestImage full(16, 16, MEMIMG_FORMAT_RGB565, 2), clipped(16, 16, MEMIMG_FORMAT_RGB565, 2);
        SetState(1, 100, 0xFFFFFF, {0, 0, 16, 16});
        softrender::FillMemImgTriangle(kp, &full.Image, &src.Image, t, 0, 0);
        const RECT area = {rnd(0, 8), rnd(0, 8), rnd(8, 16), rnd(8, 16)};
        SetState(1, 100, 0xFFFFFF, area);
        softrender::FillMemImgTriangle(kp, &clipped.Image, &src.Image, t, 0, 0);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const bool in = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
                ASSERT_EQ(clipped.Get(x, y), in ? full.Get(x, y) : 0u) << n << ": " << x << "," << y;
            }
        }
    }
}

TEST_F(FillTriangle, RefusedDrawsLeaveTheDestinationUntouched)
{
    const int t[12] = {0, 0, 0, 0, 8, 0, 4, 0, 0, 8, 0, 4};
    auto drawsAnything = [&](TestImage& dst, const MEMIMG* src, const MEMIMG* graph) {
        std::fill(dst.Bytes.begin(), dst.Bytes.end(), 0x5A);
        const std::vector<std::uint8_t> before = dst.Bytes;
        softrender::FillMemImgTriangle(WithGraph(kp, graph), &dst.Image, src, t, 0, 0x12345678);
        return dst.Bytes != before;
    };
    TestImage dst32(8, 8, MEMIMG_FORMAT_XRGB8888, 4), dst16(8, 8, MEMIMG_FORMAT_RGB565, 2);
    TestImage src32(4, 4, MEMIMG_FORMAT_XRGB8888, 4), src16(4, 4, MEMIMG_FORMAT_RGB565, 2);
    FillDistinct(src32);
    EXPECT_TRUE(drawsAnything(dst32, &src32.Image, nullptr));  // the baseline draws
    EXPECT_FALSE(drawsAnything(dst32, &src16.Image, nullptr)) << "source of another format";
    TestImage graphSmall(3, 4, MEMIMG_FORMAT_CHANNEL8, 1), graphOk(4, 4, MEMIMG_FORMAT_CHANNEL8, 1);
    std::fill(graphOk.Bytes.begin(), graphOk.Bytes.end(), 200);
    EXPECT_TRUE(drawsAnything(dst32, &src32.Image, &graphOk.Image));
    EXPECT_FALSE(drawsAnything(dst32, &src32.Image, &graphSmall.Image)) << "blend graph smaller than the source";
    TestImage wide(16384, 1, MEMIMG_FORMAT_XRGB8888, 4);
    std::fill(wide.Bytes.begin(), wide.Bytes.end(), 0x11);
    EXPECT_FALSE(drawsAnything(dst32, &wide.Image, nullptr)) << "source wider than 16,383";
    TestImage paletteDst(8, 8, MEMIMG_FORMAT_XRGB8888, 1, true), alphaDst(8, 8, MEMIMG_FORMAT_XRGB8888, 4, false, true);
    EXPECT_FALSE(drawsAnything(paletteDst, nullptr, nullptr));
    EXPECT_FALSE(drawsAnything(alphaDst, nullptr, nullptr));
    TestImage channelDst(8, 8, MEMIMG_FORMAT_CHANNEL8, 1);
    EXPECT_FALSE(drawsAnything(channelDst, nullptr, nullptr)) << "8-bit destination";
    for (int mode : {5, 6, 7, 8, 9, 12, -1}) {
        SetState(mode, 128, 0xFFFFFF, {0, 0, 8, 8});
        EXPECT_FALSE(drawsAnything(dst32, nullptr, nullptr)) << "mode " << mode;
        EXPECT_FALSE(drawsAnything(dst16, &src16.Image, nullptr)) << "mode " << mode;
    }
    for (int mode : {1, 2, 3}) {
        SetState(mode, 0, 0xFFFFFF, {0, 0, 8, 8});
        EXPECT_FALSE(drawsAnything(dst32, nullptr, nullptr)) << "flat mode " << mode << " at 0";
        EXPECT_FALSE(drawsAnything(dst32, &src32.Image, nullptr)) << "direct mode " << mode << " at 0";
    }
    SetState(0, 255, 0xFFFFFF, {3, 3, 3, 8});
    EXPECT_FALSE(drawsAnything(dst32, nullptr, nullptr)) << "empty draw area";
}

// No input reaches outside the destination, the source or the blend graph; the sanitizer
// build checks the accesses, this checks that only the draw area changes.
TEST_F(FillTriangle, ExtremeCoordinatesStayInsideTheImages)
{
    const int big = 2147483647, low = -2147483647 - 1;
    const int cases[][12] = {
        {low, low, low, low, big, low, big, low, 0, big, 0, big},
        {-5, -5, low, big, 20, 3, big, low, 3, 20, 7, -9},
        {0, 0, 16383, 16383, 12, 0, 0, 16383, 0, 12, 16383, 0},
        {big, big, 0, 0, low, 7, 3, 3, 7, low, 1, 2},
        {-100000, 2, 0, 0, 100000, 3, 4, 0, 0, 9, 0, 4},
    };
    TestImage src(4, 4, MEMIMG_FORMAT_XRGB8888, 4), graph(4, 4, MEMIMG_FORMAT_CHANNEL8, 1);
    FillDistinct(src);
    std::fill(graph.Bytes.begin(), graph.Bytes.end(), 255);
    for (const auto& t : cases) {
        TestImage dst(12, 10, MEMIMG_FORMAT_XRGB8888, 4);
        SetState(1, 128, 0xFFFFFF, {2, 2, 10, 8});
        softrender::FillMemImgTriangle(WithGraph(kp, &graph.Image), &dst.Image, &src.Image, t, 0, 0);
        softrender::FillMemImgTriangle(kp, &dst.Image, nullptr, t, 0, 0xFFFFFF);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 12; ++x) {
                if (x < 2 || x >= 10 || y < 2 || y >= 8) {
                    EXPECT_EQ(dst.Get(x, y), 0u) << x << "," << y;
                }
            }
        }
    }
    // A draw area larger than the destination is held to the destination.
    TestImage dst(6, 6, MEMIMG_FORMAT_RGB565, 2);
    SetState(0, 255, 0xFFFFFF, {-50, -50, 500, 500});
    const int t[12] = {-40, -40, 0, 0, 400, -40, 0, 0, -40, 400, 0, 0};
    softrender::FillMemImgTriangle(kp, &dst.Image, nullptr, t, 0, 0xFFFF);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) EXPECT_EQ(dst.Get(x, y), 0xFFFFu);
    }
}

}  // namespace
