// The 1:1 blit against the independent model for every combination of
// format, source kind, blend mode, parameter, brightness, colour key, blend
// graph, MMX flag and path; then the worked examples and edge cases.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>

#include "blit_reference.h"
#include "core/sysstate.h"
#include "graphics/blendtable.h"
#include "graphics/drawstate.h"
#include "graphics/memimg.h"
#include "softrender/blit/blit.h"

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

    std::vector<u32> Draw(const Call& k, const Images& m)
    {
        DrawState.DrawArea = RECT{m.areaLeft, m.areaTop, m.areaRight, m.areaBottom};
        DrawState.BlendMode = k.mode;
        DrawState.BlendParam = k.p;
        DrawState.DrawBright = k.bright;
        SysState.MMXFlag = k.mmx ? 1 : 0;
        BlitMemImg(&dst, &src, m.x, m.y, k.keyFlag, k.graph ? &graph : nullptr);
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
    void TearDown() override
    {
        SysState.MMXFlag = 1;
        DrawState = DRAWSTATE{};
    }
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
    m.dw = 12;
    m.dh = 8;
    m.areaLeft = 1;
    m.areaTop = 1;
    m.areaRight = 11;
    m.areaBottom = 7;
    m.x = clipped ? -1 + static_cast<int>(any(2)) * 8 : 2;
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
                                        Images m = RandomImages(k, rng, clipped, (layout & 1) ? 5 : 6);

                                        Scene scene;
                                        scene.Build(k, m);
                                        std::vector<u32> got = scene.Draw(k, m);
                                        std::vector<u32> want = blitref::Model(k, m).Run();
                                        ++checked;
                                        if (got != want) {
                                            if (++failures <= 10) {
                                                for (std::size_t i = 0; i < got.size(); ++i) {
                                                    if (got[i] != want[i]) {
                                                        ADD_FAILURE() << Describe(k, m) << ": pixel " << i % m.dw << ","
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
    EXPECT_EQ(failures, 0) << "of " << checked << " draws";
}

}  // namespace
