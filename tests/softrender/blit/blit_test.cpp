// The 1:1 blit against the independent model for every combination of
// format, source kind, blend mode, parameter, brightness, colour key, blend
// graph, MMX flag and path; then the worked examples and edge cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>

#include "blit_reference.h"
#include "graphics/blendtable.h"
#include "graphics/memimg.h"
#include "softrender/blit/blit.h"
#include "support/soft_image.h"

namespace {

using blitref::Call;
using blitref::Images;
using blitref::u32;

// Owns the images of one blit and runs it through the kernel.
struct Scene {
    MEMIMG src{}, dst{}, graph{};

    ~Scene()
    {
        DropMemImgReference(&src);
        DropMemImgReference(&dst);
        DropMemImgReference(&graph);
    }

    void Build(const Call& k, const Images& m)
    {
        bool pal = k.kind == blitref::kPalette, alpha = k.kind == blitref::kAlpha;
        ASSERT_EQ(AllocateMemImg(&src, m.sw, m.sh, -1, k.key, k.format, pal, alpha, k.runsReady, nullptr), 0);
        for (int y = 0; y < m.sh; ++y) {
            BYTE* row = src.Pixels + y * src.Body->Pitch;
            for (int x = 0; x < m.sw; ++x) {
                u32 v = m.src[y * m.sw + x];
                if (pal) {
                    row[x] = static_cast<BYTE>(v);
                } else if (k.format == 1 || alpha) {
                    std::memcpy(row + 4 * x, &v, 4);
                } else {
                    WORD w = static_cast<WORD>(v);
                    std::memcpy(row + 2 * x, &w, 2);
                }
            }
        }
        if (pal) {
            for (int i = 0; i < 256; ++i) {
                u32 v = m.palette[i];
                if (k.format == 1) {
                    std::memcpy(src.Body->Palette + 4 * i, &v, 4);
                } else {
                    WORD w = static_cast<WORD>(v);
                    std::memcpy(src.Body->Palette + 2 * i, &w, 2);
                }
            }
            src.Body->PaletteCount = 256;
        }
        if (k.runsReady) BuildMemImgFastBlitData(&src);

        ASSERT_EQ(AllocateMemImg(&dst, m.dw, m.dh, -1, 0, k.format, 0, 0, 0, nullptr), 0);
        for (int y = 0; y < m.dh; ++y) {
            for (int x = 0; x < m.dw; ++x) Put(dst, k.format, x, y, m.dst[y * m.dw + x]);
        }
        if (k.graph) {
            ASSERT_EQ(AllocateMemImg(&graph, m.sw, m.sh, -1, 0, 2, 0, 0, 0, nullptr), 0);
            for (int y = 0; y < m.sh; ++y) {
                for (int x = 0; x < m.sw; ++x) graph.Pixels[y * graph.Body->Pitch + x] = static_cast<BYTE>(m.graph[y * m.sw + x]);
            }
            BuildBlendGraphFactorTable(k.graphParam, k.graphRange);
        }
    }

    static void Put(MEMIMG& img, int format, int x, int y, u32 v)
    {
        BYTE* at = img.Pixels + y * img.Body->Pitch + x * (format == 1 ? 4 : 2);
        if (format == 1) {
            std::memcpy(at, &v, 4);
        } else {
            WORD w = static_cast<WORD>(v);
            std::memcpy(at, &w, 2);
        }
    }
    static u32 Get(const MEMIMG& img, int format, int x, int y)
    {
        const BYTE* at = img.Pixels + y * img.Body->Pitch + x * (format == 1 ? 4 : 2);
        if (format == 1) {
            u32 v;
            std::memcpy(&v, at, 4);
            return v;
        }
        WORD w;
        std::memcpy(&w, at, 2);
        return w;
    }

    std::vector<u32> Draw(const Call& k, const Images& m, IsaLevel isa = IsaLevel::Portable)
    {
        KERNELPARAMS kp{};
        kp.Isa = isa;
        kp.Area = RECT{m.areaLeft, m.areaTop, m.areaRight, m.areaBottom};
        kp.Mode = static_cast<BlendMode>(k.mode);
        kp.Param = k.p;
        kp.Bright = k.bright;
        kp.Mmx = k.mmx;
        softrender::BlitMemImg(WithGraph(kp, k.graph ? &graph : nullptr), &dst, &src, m.x, m.y, k.keyFlag);
        std::vector<u32> out;
        for (int y = 0; y < m.dh; ++y) {
            for (int x = 0; x < m.dw; ++x) out.push_back(Get(dst, k.format, x, y));
        }
        return out;
    }
};

class BlitTest : public testing::Test {
protected:
    static void SetUpTestSuite() { BuildSoftBlendTables(); }
    KERNELPARAMS kp{BlendMode::Copy, 255, 0xFFFFFF, RECT{}, nullptr, true};
};

std::string Describe(const Call& k, const Images& m)
{
    std::ostringstream o;
    o << "format " << k.format << " kind " << k.kind << " mode " << k.mode << " p " << k.p << " bright " << std::hex
      << k.bright << std::dec << " key " << k.keyFlag << " graph " << k.graph << " mmx " << k.mmx << " runs "
      << k.runsReady << " at " << m.x << "," << m.y << " size " << m.sw << "x" << m.sh;
    return o.str();
}

Images RandomImages(const Call& k, std::mt19937& rng, bool clipped, int sw)
{
    auto any = [&](u32 n) { return static_cast<u32>(rng() % n); };
    Images m;
    m.sw = sw;
    m.sh = 4;
    m.dw = sw + 5;
    m.dh = 8;
    m.areaLeft = 1;
    m.areaTop = 1;
    m.areaRight = sw + 4;
    m.areaBottom = 7;
    m.x = clipped ? -1 + static_cast<int>(any(2)) * (sw + 1) : 2;
    m.y = clipped ? 5 : 2;
    u32 colourMask = k.format == 1 ? 0xFFFFFFFFu : 0xFFFFu;
    for (int i = 0; i < m.sw * m.sh; ++i) {
        u32 v;
        switch (k.kind) {
            case blitref::kPalette: v = any(4) == 0 ? k.key : any(256); break;
            case blitref::kDirect: v = any(4) == 0 ? k.key : static_cast<u32>(rng()) & colourMask; break;
            default: {
                u32 pick = any(4);
                u32 a = pick == 0 ? 0 : (pick == 1 ? 255 : any(256));
                v = k.format == 1 ? ((static_cast<u32>(rng()) & 0xFFFFFF) | (a << 24))
                                  : ((static_cast<u32>(rng()) & 0xFFFF) | (a << 16) | (any(256) << 24));
                break;
            }
        }
        m.src.push_back(v);
    }
    for (int i = 0; i < 256; ++i) m.palette.push_back(static_cast<u32>(rng()) & colourMask);
    for (int i = 0; i < m.sw * m.sh; ++i) m.graph.push_back(static_cast<int>(any(256)));
    for (int i = 0; i < m.dw * m.dh; ++i) m.dst.push_back(static_cast<u32>(rng()) & colourMask);
    return m;
}

// Every level the kernels know; a level the processor lacks runs as the widest it has.
constexpr IsaLevel kLevels[] = {IsaLevel::Portable, IsaLevel::Sse2, IsaLevel::Avx2};

TEST_F(BlitTest, EveryCombinationMatchesTheModel)
{
    std::mt19937 rng(12345);
    const int modes[] = {0, 1, 2, 3, 4, 10, 11, 5, 9, 12, -1};
    int checked = 0, failures = 0;
    for (int format : {0, 1}) {
        for (auto kind : {blitref::kPalette, blitref::kDirect, blitref::kAlpha}) {
            for (int mode : modes) {
                for (int p : {0, 1, 127, 128, 200, 254, 255}) {
                    for (bool white : {true, false}) {
                        for (int keyFlag : {0, 1, 2}) {
                            for (bool graph : {false, true}) {
                                for (bool mmx : {false, true}) {
                                    for (int layout = 0; layout < 4; ++layout) {
                                        Call k{};
                                        k.format = format;
                                        k.kind = kind;
                                        k.mode = mode;
                                        k.p = p;
                                        k.bright = white ? 0xFFFFFF : (static_cast<u32>(rng()) & 0xFFFFFF) | 0x010101;
                                        if (!white && (k.bright & 0xFFFFFF) == 0xFFFFFF) k.bright = 0x80FF40;
                                        k.keyFlag = keyFlag;
                                        k.key = kind == blitref::kPalette ? static_cast<u32>(rng() % 256)
                                                                         : (static_cast<u32>(rng()) & (format == 1 ? 0xFFFFFFFFu : 0xFFFFu));
                                        k.mmx = mmx;
                                        k.graph = graph;
                                        k.graphParam = static_cast<int>(rng() % 256);
                                        k.graphRange = static_cast<int>(rng() % 256);
                                        k.runsReady = layout >= 2;
                                        bool clipped = layout == 1 || layout == 3;
                                        // 29 columns reach every step of the vector loops: whole
                                        // registers, the AVX2 rows' 16-byte step, single pixels.
                                        Images m = RandomImages(k, rng, clipped, (layout & 1) ? 5 : 29);
                                        std::vector<u32> want = blitref::Model(k, m).Run();
                                        for (IsaLevel isa : kLevels) {
                                        Scene scene;
                                        scene.Build(k, m);
                                        std::vector<u32> got = scene.Draw(k, m, isa);
                                        ++checked;
                                        if (got != want) {
                                            if (++failures <= 10) {
                                                for (std::size_t i = 0; i < got.size(); ++i) {
                                                    if (got[i] != want[i]) {
                                                        ADD_FAILURE() << Describe(k, m) << " level " << static_cast<int>(isa) << ": pixel " << i % m.dw << ","
                                                                      << i / m.dw << " got " << std::hex << got[i]
                                                                      << " want " << want[i] << " was " << m.dst[i];
                                                        break;
                                                    }
                                                }
                                            }
                                        }
                                        }
                                    }
                                }
                            }
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(failures, 0) << "of " << checked << " draws";
}

TEST_F(BlitTest, RunTableCopiesOfEveryLengthMatchTheModel)
{
    // Keyed and opaque stretches of 1 to 70 pixels (runs up to the 64-pixel
    // limit and past it), drawn at two offsets so the runs' destination
    // addresses fall on and off the register width.
    std::mt19937 rng(7);
    for (int format : {0, 1}) {
        Call k{};
        k.format = format;
        k.kind = blitref::kDirect;
        k.mode = 0;
        k.p = 255;
        k.bright = 0xFFFFFF;
        k.keyFlag = 1;
        k.key = format == 1 ? 0x00FF00FFu : 0xF81Fu;
        k.runsReady = true;
        Images m;
        m.sw = 300;
        m.sh = 12;
        bool keyed = false;
        for (int y = 0, len = 1; y < m.sh; ++y) {
            for (int x = 0; x < m.sw; ++len) {
                for (int i = 0; i < (len - 1) % 70 + 1 && x < m.sw; ++i, ++x)
                    m.src.push_back(keyed ? k.key : (static_cast<u32>(rng()) | 1) & (format == 1 ? 0xFFFFFFu : 0xFFFEu));
                keyed = !keyed;
            }
        }
        m.palette.assign(256, 0);
        m.graph.assign(m.sw * m.sh, 0);
        m.dw = m.sw + 9;
        m.dh = m.sh;
        for (int i = 0; i < m.dw * m.dh; ++i) m.dst.push_back(static_cast<u32>(rng()) & (format == 1 ? ~0u : 0xFFFFu));
        m.y = 0;
        m.areaLeft = m.areaTop = 0;
        m.areaRight = m.dw;
        m.areaBottom = m.dh;
        for (int x : {0, 5}) {
            m.x = x;
            const std::vector<u32> want = blitref::Model(k, m).Run();
            for (IsaLevel isa : kLevels) {
                Scene scene;
                scene.Build(k, m);
                const std::vector<u32> got = scene.Draw(k, m, isa);
                const auto diff = std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin();
                EXPECT_EQ(diff, std::ssize(got)) << Describe(k, m) << " level " << static_cast<int>(isa) << ": pixel "
                                             << diff % m.dw << "," << diff / m.dw;
            }
        }
    }
}

}  // namespace

namespace {

// One worked example on a row of one or two pixels.
struct Example {
    const char* what;
    int format;
    blitref::Kind kind;
    int mode, p;
    u32 bright;
    int keyFlag;
    u32 key;
    int factor;  // -1 no blend graph, else 0 or 255
    bool mmx;
    bool runs;  // prepared run table, drawn whole
    std::vector<u32> src, dst, want;
    std::vector<u32> palette = {};
};

constexpr u32 W = 0xFFFFFF;
constexpr auto Pal = blitref::kPalette;
constexpr auto Dir = blitref::kDirect;
constexpr auto Alp = blitref::kAlpha;
constexpr u32 R16(u32 r, u32 g, u32 b) { return r << 11 | g << 5 | b; }

TEST_F(BlitTest, WorkedExamples)
{
    const Example rows[] = {
        // 32-bit add and subtract
        {"mmx add keeps low bits", 1, Dir, 2, 255, W, 0, 0, -1, true, false, {0}, {0x010101}, {0x010101}},
        {"word fast add loses green and red low bits", 1, Dir, 2, 255, W, 0, 0, -1, false, false, {0}, {0x010101}, {0x000001}},
        {"full add below 255 keeps them", 1, Dir, 2, 254, W, 0, 0, -1, true, false, {0}, {0x010101}, {0x010101}},
        {"blue overflow sets green's low bit", 1, Dir, 2, 255, W, 0, 0, -1, false, false, {0x64}, {0x0AC8}, {0x0BFF}},
        {"mmx add saturates blue only", 1, Dir, 2, 255, W, 0, 0, -1, true, false, {0x64}, {0x0AC8}, {0x0AFF}},
        {"red overflow sets byte 3", 1, Dir, 2, 255, W, 0, 0, -1, false, false, {0x640000}, {0xC80000}, {0x01FF0000}},
        {"subtract raises an even red", 1, Dir, 3, 255, W, 0, 0, -1, false, false, {0x01}, {0x040400}, {0x050400}},
        {"mmx subtract includes byte 3", 1, Dir, 3, 255, W, 0, 0, -1, true, false, {0x10000001}, {0x30040400}, {0x20040400}},
        {"subtract at 0 still runs for palettes", 1, Pal, 3, 0, W, 0, 0, -1, true, false, {0}, {0xAA102030}, {0x00112130}, {0x55667788}},
        {"subtract at 0 draws nothing for direct", 1, Dir, 3, 0, W, 0, 0, -1, true, false, {0x55667788}, {0xAA102030}, {0xAA102030}},
        // 32-bit mode 1
        {"half-sum at 128", 1, Dir, 1, 128, W, 0, 0, -1, true, false, {0x010101}, {0x7F010101}, {0}},
        {"lerp at 129 keeps byte 3", 1, Dir, 1, 129, W, 0, 0, -1, true, false, {0x010101}, {0x7F010101}, {0x7F010101}},
        {"mode 1 at 255 copies the word", 1, Dir, 1, 255, W, 0, 0, -1, true, false, {0xAB123456}, {0}, {0xAB123456}},
        {"mode 1 at 255 tinted keeps byte 3", 1, Dir, 1, 255, 0x808080, 0, 0, -1, true, false, {0xABFF0080}, {0x11000000}, {0x11800040}},
        {"mode 1 at 0 draws nothing", 1, Dir, 1, 0, W, 0, 0, -1, true, false, {0xFFFFFF}, {0x123456}, {0x123456}},
        // 32-bit alpha sources
        {"alpha 0 in mode 4 writes black", 1, Alp, 4, 100, W, 1, 0, -1, true, false, {0x00FFFFFF}, {0x5A808080}, {0x5A000000}},
        {"alpha 0 in mode 2 is passed over", 1, Alp, 2, 100, W, 1, 0, -1, true, false, {0x00FFFFFF}, {0x5A808080}, {0x5A808080}},
        {"alpha 0 in mode 11 keeps the pixel", 1, Alp, 11, 100, W, 1, 0, -1, true, false, {0x00FFFFFF}, {0x5A808080}, {0x5A808080}},
        {"no key, white: the word is copied", 1, Alp, 0, 0, W, 0, 0, -1, true, false, {0x40123456}, {0x99000000}, {0x40123456}},
        {"no key, tinted: blended by alpha", 1, Alp, 0, 0, 0xFFFFFE, 0, 0, -1, true, false, {0x80FF0000}, {0x99000000}, {0x997F0000}},
        {"graph lerp24 without key", 1, Alp, 1, 254, W, 0, 0, 255, true, false, {0xFF000000}, {0xFFFFFF}, {0x030303}},
        {"graph opaque lerp16 with key", 1, Alp, 1, 254, W, 1, 0, 255, true, false, {0xFF000000}, {0xFFFFFF}, {0x020202}},
        {"mode 4 with factor 0 writes black", 1, Dir, 4, 77, W, 0, 0, 0, true, false, {0xFFFFFF}, {0x12FFFFFF}, {0x12000000}},
        {"mode 10 inverts then tints", 1, Dir, 10, 255, 0x800000, 0, 0, -1, true, false, {0x000000}, {0x800000}, {0x800000}},
        // run-length path
        {"runs: mode 1 at 128 is the lerp", 1, Dir, 1, 128, W, 1, 0x123, -1, true, true, {0x010101}, {0x010101}, {0x010101}},
        {"runs: mode 2 at 255 is the full add", 1, Dir, 2, 255, W, 1, 0x123, -1, true, true, {0}, {0x05010101}, {0x010101}},
        {"runs: translucent palette run is opaque", 1, Pal, 0, 0, W, 1, 9, -1, true, true, {1, 9}, {5, 6}, {0x11, 6}, {0, 0x11}},
        // 16-bit
        {"565 half-sum at 128", 0, Dir, 1, 128, W, 0, 0, -1, false, false, {R16(1, 1, 1)}, {R16(1, 1, 1)}, {0}},
        {"565 cube at 127", 0, Dir, 1, 127, W, 0, 0, -1, false, false, {R16(1, 1, 1)}, {R16(1, 1, 1)}, {R16(1, 1, 1)}},
        {"565 subtract clears green's low bit", 0, Dir, 3, 255, W, 0, 0, -1, false, false, {R16(0, 0, 1)}, {R16(4, 5, 0)}, {R16(5, 4, 0)}},
        {"565 subtract at 0 on a palette", 0, Pal, 3, 0, W, 0, 0, -1, false, false, {0}, {R16(2, 2, 2)}, {R16(3, 2, 2)}, {0xFFFF}},
        {"565 fast add of black", 0, Dir, 2, 255, W, 0, 0, -1, false, false, {0}, {R16(1, 1, 1)}, {R16(0, 0, 1)}},
        {"565 full add of black", 0, Dir, 2, 254, W, 0, 0, -1, false, false, {0}, {R16(1, 1, 1)}, {R16(1, 1, 1)}},
        {"565 blue overflow", 0, Dir, 2, 255, W, 0, 0, -1, false, false, {R16(0, 0, 20)}, {R16(0, 10, 20)}, {R16(0, 11, 31)}},
        {"565 pair carries red into blue", 0, Dir, 2, 255, W, 0, 0, -1, false, false, {R16(30, 0, 0), R16(0, 0, 2)},
         {R16(30, 0, 0), R16(0, 0, 2)}, {R16(31, 0, 0), R16(0, 0, 5)}},
        {"565 right pixel alone", 0, Dir, 2, 255, W, 1, R16(30, 0, 0), -1, false, false, {R16(30, 0, 0), R16(0, 0, 2)},
         {R16(30, 0, 0), R16(0, 0, 2)}, {R16(30, 0, 0), R16(0, 0, 4)}},
        {"565 alpha 0 in mode 4 writes black", 0, Alp, 4, 9, W, 1, 0, -1, false, false, {0x0000FFFF}, {0xFFFF}, {0}},
        {"565 alpha 0 in mode 11 keeps", 0, Alp, 11, 9, W, 1, 0, -1, false, false, {0x0000FFFF}, {0x1234}, {0x1234}},
        {"565 opaque alpha gets the step", 0, Alp, 1, 128, W, 1, 0, -1, false, false, {0x00FF0000 | R16(1, 1, 1)}, {R16(1, 1, 1)}, {R16(1, 1, 1)}},
        {"565 runs: mode 1 at 128 steps", 0, Dir, 1, 128, W, 1, 0x123, -1, false, true, {R16(1, 1, 1)}, {R16(1, 1, 1)}, {R16(1, 1, 1)}},
        // frame
        {"modes 5 to 9 draw nothing", 1, Dir, 7, 100, W, 0, 0, -1, true, false, {0xFFFFFF}, {0x123456}, {0x123456}},
        {"mode 12 draws nothing", 1, Dir, 12, 100, W, 0, 0, -1, true, false, {0xFFFFFF}, {0x123456}, {0x123456}},
        {"mode -1 draws nothing", 1, Dir, -1, 100, W, 0, 0, -1, true, false, {0xFFFFFF}, {0x123456}, {0x123456}},
        {"palette beyond its count reads the image's palette", 1, Pal, 0, 0, W, 0, 0, -1, true, false, {5}, {0}, {0x00ABCDEF},
         {0, 0, 0, 0, 0, 0x00ABCDEF}},
    };
    for (const Example& e : rows) {
        Call k{};
        k.format = e.format;
        k.kind = e.kind;
        k.mode = e.mode;
        k.p = e.p;
        k.bright = e.bright;
        k.keyFlag = e.keyFlag;
        k.key = e.key;
        k.mmx = e.mmx;
        k.graph = e.factor >= 0;
        k.graphParam = e.factor == 0 ? 255 : 0;
        k.graphRange = e.factor == 0 ? 255 : 0;
        k.runsReady = e.runs;
        Images m;
        m.sw = static_cast<int>(e.src.size());
        m.sh = 1;
        m.src = e.src;
        m.palette = e.palette;
        m.palette.resize(256, 0);
        m.graph.assign(m.sw, 0);
        m.dw = static_cast<int>(e.dst.size());
        m.dh = 1;
        m.dst = e.dst;
        m.x = m.y = 0;
        m.areaLeft = m.areaTop = 0;
        m.areaRight = m.dw;
        m.areaBottom = 1;

        Scene scene;
        scene.Build(k, m);
        if (e.kind == Pal) scene.src.Body->PaletteCount = 2;
        EXPECT_EQ(scene.Draw(k, m), e.want) << e.what;
        EXPECT_EQ(blitref::Model(k, m).Run(), e.want) << "model: " << e.what;
    }
}

}  // namespace

namespace {

MEMIMG Filled(int w, int h, int format, u32 value, int palette = 0, int alpha = 0, int planes = 0)
{
    MEMIMG img{};
    EXPECT_EQ(AllocateMemImg(&img, w, h, -1, 0, format, palette, alpha, planes, nullptr), 0);
    FillMemImgRectRaw(&img, nullptr, value);
    return img;
}

u32 At(const MEMIMG& img, int x, int y) { return Scene::Get(img, img.Body->PixelFormat, x, y); }

TEST_F(BlitTest, RefusedDrawsLeaveTheDestinationAlone)
{
    kp.Area = RECT{0, 0, 4, 4};
    kp.Mode = static_cast<BlendMode>(0);
    kp.Bright = W;
    MEMIMG src32 = Filled(2, 2, 1, 0xFFFFFF), src16 = Filled(2, 2, 0, 0xFFFF);
    MEMIMG dst32 = Filled(4, 4, 1, 0x123456), palDst = Filled(4, 4, 1, 7, 1), alphaDst = Filled(4, 4, 1, 0, 0, 1);
    MEMIMG smallGraph = Filled(1, 2, 2, 0xFF), dead{};

    softrender::BlitMemImg(kp, &dst32, &src16, 0, 0, 0);
    EXPECT_EQ(At(dst32, 0, 0), 0x123456u) << "format mismatch";
    softrender::BlitMemImg(kp, &palDst, &src32, 0, 0, 0);
    EXPECT_EQ(palDst.Pixels[0], 7) << "palette destination";
    softrender::BlitMemImg(kp, &alphaDst, &src32, 0, 0, 0);
    EXPECT_EQ(At(alphaDst, 0, 0), 0u) << "alpha destination";
    softrender::BlitMemImg(WithGraph(kp, &smallGraph), &dst32, &src32, 0, 0, 0);
    EXPECT_EQ(At(dst32, 0, 0), 0x123456u) << "blend graph smaller than the source";
    softrender::BlitMemImg(kp, &dst32, &dead, 0, 0, 0);
    softrender::BlitMemImg(kp, &dead, &src32, 0, 0, 0);
    kp.Area = RECT{0, 0, 8, 8};  // an area larger than the destination
    softrender::BlitMemImg(kp, &dst32, &src32, 3, 3, 0);
    EXPECT_EQ(At(dst32, 3, 3), 0x123456u) << "clipped rectangle outside the destination";

    for (MEMIMG* img : {&src32, &src16, &dst32, &palDst, &alphaDst, &smallGraph}) DropMemImgReference(img);
}

TEST_F(BlitTest, ClipsToTheDrawAreaOnEveryEdge)
{
    kp.Mode = static_cast<BlendMode>(0);
    kp.Bright = W;
    MEMIMG src{};
    ASSERT_EQ(AllocateMemImg(&src, 3, 3, -1, 0, 1, 0, 0, 0, nullptr), 0);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) Scene::Put(src, 1, x, y, static_cast<u32>(0x10 * y + x + 1));
    }
    struct {
        int x, y;
        const char* what;
    } places[] = {{0, 1, "left edge"}, {4, 2, "right edge"}, {2, 0, "top edge"}, {1, 4, "bottom edge"},
                  {-2, 2, "outside left"}, {6, 2, "outside right"}, {-1, -1, "top-left corner"}};
    const RECT area = {1, 1, 6, 6};
    for (const auto& pl : places) {
        MEMIMG dst = Filled(8, 8, 1, 0);
        kp.Area = area;
        softrender::BlitMemImg(kp, &dst, &src, pl.x, pl.y, 0);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                int sx = x - pl.x, sy = y - pl.y;
                bool inside = x >= area.left && x < area.right && y >= area.top && y < area.bottom && sx >= 0 &&
                              sx < 3 && sy >= 0 && sy < 3;
                u32 want = inside ? static_cast<u32>(0x10 * sy + sx + 1) : 0u;
                ASSERT_EQ(At(dst, x, y), want) << pl.what << " at " << x << "," << y;
            }
        }
        DropMemImgReference(&dst);
    }
    DropMemImgReference(&src);
}

TEST_F(BlitTest, RunTableOverrunningItsRowIsCutAtTheRowsEnd)
{
    // Row 0 claims 256 drawn pixels of 200, row 1 a keyed 64 and then 192
    // drawn ones; nothing lands past the row, and row 1 starts at its own
    // table bytes. A cut-off run ends its row without drawing a pixel.
    kp.Mode = static_cast<BlendMode>(0);
    kp.Bright = W;
    kp.Area = RECT{0, 0, 210, 2};
    for (int format : {0, 1}) {
        const u32 colour = format == 1 ? 0x00123456u : 0x1234u, back = format == 1 ? 0x00ABCDEFu : 0xABCDu;
        MEMIMG src = Filled(200, 2, format, colour, 0, 0, 1);
        src.Body->ColorKey = back;
        BuildMemImgFastBlitData(&src);
        const BYTE table[] = {0x7F, 0x7F, 0x7F, 0x7F, 0xC0, 0x3F, 0x7F, 0x7F, 0x7F, 0x40, 0xC0};
        std::memcpy(src.Body->RunTable, table, sizeof table);
        for (IsaLevel isa : kLevels) {
            MEMIMG dst = Filled(210, 2, format, back);
            kp.Isa = isa;
            softrender::BlitMemImg(kp, &dst, &src, 0, 0, 1);
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 210; ++x) {
                    const bool drawn = x < 200 && (y == 0 || x >= 64);
                    ASSERT_EQ(At(dst, x, y), drawn ? colour : back)
                        << "format " << format << " level " << static_cast<int>(isa) << " at " << x << "," << y;
                }
            DropMemImgReference(&dst);
        }
        DropMemImgReference(&src);
    }
}

TEST_F(BlitTest, RunTableServesOnlyWholeUnclippedSourcesWithKeyFlagOne)
{
    // Mode 1 at 128 tells the paths apart: the half-sum gives 0 from 1 and 1, the lerp gives 1.
    kp.Mode = static_cast<BlendMode>(1);
    kp.Param = 128;
    kp.Bright = W;
    kp.Area = RECT{0, 0, 4, 4};
    MEMIMG src = Filled(2, 2, 1, 0x010101, 0, 0, 1);
    src.Body->ColorKey = 0x999;
    BuildMemImgFastBlitData(&src);
    ASSERT_EQ(src.Body->RunsReady, 1);

    struct {
        int keyFlag, x;
        bool view;
        u32 want;
        const char* what;
    } cases[] = {
        {1, 0, false, 0x010101, "whole and unclipped: run table"},
        {2, 0, false, 0, "key flag 2: per pixel"},
        {1, -1, false, 0, "one column clipped: per pixel"},
        {1, 0, true, 0, "a view on the image: per pixel"},
    };
    for (const auto& c : cases) {
        MEMIMG dst = Filled(4, 4, 1, 0x010101);
        MEMIMG view{};
        ShareMemImgRegion(&view, &src, 0, 0, 2, 1);
        softrender::BlitMemImg(kp, &dst, c.view ? &view : &src, c.x, 0, c.keyFlag);
        EXPECT_EQ(At(dst, 1 + c.x, 0), c.want) << c.what;  // source column 1
        DropMemImgReference(&view);
        DropMemImgReference(&dst);
    }
    DropMemImgReference(&src);
}

}  // namespace

namespace {

// A coverage glyph must draw what the keyed blit of its expanded alpha image
// draws, at every level, for every mode, parameter, brightness and clip.
TEST_F(BlitTest, CoverageGlyphsDrawAsTheirExpandedAlphaImage)
{
    std::mt19937 rng(777);
    struct Shape {
        int w, h, x, y;
        const char* what;
    } shapes[] = {{16, 4, 3, 2, "inside"},       {29, 3, -5, 1, "cut on the left"}, {37, 5, 20, -2, "cut on top"},
                  {7, 6, 50, 6, "cut right and bottom"}, {1, 1, 0, 0, "one pixel"},  {2100, 3, -30, 1, "wider than a band"},
                  {9, 4, 70, 1, "outside"}};
    const RECT area{0, 0, 60, 9};
    int failures = 0;
    for (int format : {0, 1}) {
        for (int mode : {0, 1, 2, 3, 4, 10, 11}) {
            for (int p : {0, 100, 128, 255}) {
                for (u32 bright : {W, 0x80C040u}) {
                    for (const Shape& s : shapes) {
                        // Every level, then random levels.
                        std::vector<BYTE> coverage(static_cast<std::size_t>(s.w) * s.h);
                        for (std::size_t i = 0; i < coverage.size(); ++i)
                            coverage[i] = static_cast<BYTE>(i < 16 ? i : rng() % 16);
                        DWORD levels[16];
                        const u32 colour = static_cast<u32>(rng()) & (format == 1 ? 0xFFFFFFu : 0xFFFFu);
                        levels[0] = 0;
                        for (int v = 1; v < 16; ++v)
                            levels[v] = colour | static_cast<u32>(v * 17) << (format == 1 ? 24 : 16);
                        MEMIMG expanded{};
                        ASSERT_EQ(AllocateMemImg(&expanded, s.w, s.h, -1, 0, format, 0, 1, 0, nullptr), 0);
                        for (int y = 0; y < s.h; ++y)
                            for (int x = 0; x < s.w; ++x)
                                std::memcpy(expanded.Pixels + y * expanded.Body->Pitch + 4 * x,
                                            &levels[coverage[static_cast<std::size_t>(y) * s.w + x]], 4);
                        std::vector<u32> under(80 * 10);
                        for (u32& v : under) v = static_cast<u32>(rng()) & (format == 1 ? 0xFFFFFFu : 0xFFFFu);
                        for (IsaLevel isa : kLevels) {
                            KERNELPARAMS k{static_cast<BlendMode>(mode), p, bright, area, nullptr, true, isa};
                            MEMIMG want{}, got{};
                            ASSERT_EQ(AllocateMemImg(&want, 80, 10, -1, 0, format, 0, 0, 0, nullptr), 0);
                            ASSERT_EQ(AllocateMemImg(&got, 80, 10, -1, 0, format, 0, 0, 0, nullptr), 0);
                            for (int y = 0; y < 10; ++y)
                                for (int x = 0; x < 80; ++x) {
                                    Scene::Put(want, format, x, y, under[y * 80 + x]);
                                    Scene::Put(got, format, x, y, under[y * 80 + x]);
                                }
                            softrender::BlitMemImg(k, &want, &expanded, s.x, s.y, 1);
                            softrender::BlitCoverageGlyph(k, &got, expanded.Body, levels, coverage.data(), s.w, s.w,
                                                          s.h, s.x, s.y);
                            for (int y = 0; y < 10 && failures < 10; ++y)
                                for (int x = 0; x < 80; ++x)
                                    if (At(got, x, y) != At(want, x, y)) {
                                        ADD_FAILURE() << s.what << " format " << format << " mode " << mode << " p "
                                                      << p << " bright " << std::hex << bright << " level "
                                                      << static_cast<int>(isa) << " at " << std::dec << x << "," << y;
                                        ++failures;
                                        break;
                                    }
                            DropMemImgReference(&want);
                            DropMemImgReference(&got);
                        }
                        DropMemImgReference(&expanded);
                    }
                }
            }
        }
    }
}

TEST_F(BlitTest, CoverageGlyphsDrawNothingUnderABlendGraphOrOnAnAlphaDestination)
{
    const BYTE coverage[4] = {15, 15, 15, 15};
    DWORD levels[16] = {};
    for (int v = 1; v < 16; ++v) levels[v] = 0xFFFFFFFFu;
    MEMIMG levelsImage = Filled(2, 2, 1, 0, 0, 1), graph = Filled(2, 2, 2, 0xFF);
    MEMIMG dst = Filled(4, 4, 1, 0x123456), alphaDst = Filled(4, 4, 1, 0, 0, 1);
    kp.Area = RECT{0, 0, 4, 4};
    softrender::BlitCoverageGlyph(WithGraph(kp, &graph), &dst, levelsImage.Body, levels, coverage, 2, 2, 2, 0, 0);
    EXPECT_EQ(At(dst, 0, 0), 0x123456u);
    softrender::BlitCoverageGlyph(kp, &alphaDst, levelsImage.Body, levels, coverage, 2, 2, 2, 0, 0);
    EXPECT_EQ(At(alphaDst, 0, 0), 0u);
    softrender::BlitCoverageGlyph(kp, &dst, levelsImage.Body, levels, coverage, 2, 2, 2, 1, 1);
    EXPECT_EQ(At(dst, 1, 1) & 0xFFFFFF, 0xFFFFFFu);
    for (MEMIMG* img : {&levelsImage, &graph, &dst, &alphaDst}) DropMemImgReference(img);
}

}  // namespace
