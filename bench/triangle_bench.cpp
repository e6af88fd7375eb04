// The 2D triangle kernel: a full-screen quad (two triangles) flat and textured in blend
// modes 0, 1 and 2 beside a memcpy of the same bytes, and 1,000 small textured quads.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "graphics/blendtable.h"
#include "graphics/drawstate.h"
#include "graphics/kernel_entries.h"
#include "graphics/memimg.h"
#include "softrender/triangle/fill_triangle.h"
#include "softrender/simd/isa.h"

namespace {

constexpr int ScreenW = 640, ScreenH = 480;

struct BenchImage {
    std::vector<std::uint8_t> Bytes;
    MEMIMGBODY Body{};
    MEMIMG Image{};
    BenchImage(int w, int h, int format, int bpp) : Bytes(static_cast<std::size_t>(w) * h * bpp)
    {
        Body.RefCount = 1;
        Body.Width = w;
        Body.Height = h;
        Body.Pitch = w * bpp;
        Body.PixelFormat = format;
        Body.PixelBlock = Bytes.data();
        Image = {MEMIMG_TAG, w, h, Bytes.data(), nullptr, &Body};
        std::mt19937 rng(5);
        for (auto& b : Bytes) b = static_cast<std::uint8_t>(rng());
    }
};

void SetUpState(int mode)
{
    static bool built = BuildSoftBlendTables() == 0;
    (void)built;
    DrawState.BlendMode = mode;
    DrawState.BlendParam = 200;
    DrawState.DrawBright = 0xFFFFFF;
    DrawState.DrawArea = {0, 0, ScreenW, ScreenH};
}

// The quad's two halves, as the quad back-end splits it.
void DrawQuad(MEMIMG* dst, const MEMIMG* src, int x0, int y0, int w, int h, int sw, int sh, int trans)
{
    const int t1[12] = {x0, y0, 0, 0, x0 + w, y0, sw, 0, x0, y0 + h, 0, sh};
    const int t2[12] = {x0 + w, y0, sw, 0, x0, y0 + h, 0, sh, x0 + w, y0 + h, sw, sh};
    FillMemImgTriangle(dst, src, t1, trans, nullptr, 0x336699);
    FillMemImgTriangle(dst, src, t2, trans, nullptr, 0x336699);
}

void BM_MemcpyScreen(benchmark::State& state)
{
    const int bpp = static_cast<int>(state.range(0));
    std::vector<std::uint8_t> a(static_cast<std::size_t>(ScreenW) * ScreenH * bpp), b(a.size(), 1);
    for (auto _ : state) {
        std::memcpy(a.data(), b.data(), a.size());
        benchmark::DoNotOptimize(a.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * ScreenW * ScreenH);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(a.size()));
}
BENCHMARK(BM_MemcpyScreen)->Arg(4)->Arg(2);

// range(0): blend mode; range(1): 1 XRGB8888, 0 RGB565.
void BM_FullScreenQuadFlat(benchmark::State& state)
{
    const int format = static_cast<int>(state.range(1));
    BenchImage dst(ScreenW, ScreenH, format, format == 1 ? 4 : 2);
    SetUpState(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        DrawQuad(&dst.Image, nullptr, 0, 0, ScreenW, ScreenH, 0, 0, 0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * ScreenW * ScreenH);
}
BENCHMARK(BM_FullScreenQuadFlat)->ArgsProduct({{0, 1, 2}, {1, 0}});

// A 256 x 256 texture stretched over the screen.
void BM_FullScreenQuadTextured(benchmark::State& state)
{
    const int format = static_cast<int>(state.range(1));
    const int bpp = format == 1 ? 4 : 2;
    BenchImage dst(ScreenW, ScreenH, format, bpp), src(256, 256, format, bpp);
    SetUpState(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        DrawQuad(&dst.Image, &src.Image, 0, 0, ScreenW, ScreenH, 256, 256, 0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * ScreenW * ScreenH);
}
BENCHMARK(BM_FullScreenQuadTextured)->ArgsProduct({{0, 1, 2}, {1, 0}});

// The 32-bit copy of the same quad with the kernel's loops held to one
// instruction-set level: range(0) 0 portable, 1 SSE2, 2 AVX2 (lowered to the
// processor's).
void BM_FullScreenQuadTexturedAtLevel(benchmark::State& state)
{
    BenchImage dst(ScreenW, ScreenH, 1, 4), src(256, 256, 1, 4);
    SetUpState(0);
    KERNELPARAMS kp{};
    kp.Mode = BlendMode::Copy;
    kp.Param = 255;
    kp.Bright = 0xFFFFFF;
    kp.Area = {0, 0, ScreenW, ScreenH};
    kp.Isa = softrender::UsableIsaLevel(static_cast<IsaLevel>(state.range(0)));
    const int t1[12] = {0, 0, 0, 0, ScreenW, 0, 256, 0, 0, ScreenH, 0, 256};
    const int t2[12] = {ScreenW, 0, 256, 0, 0, ScreenH, 0, 256, ScreenW, ScreenH, 256, 256};
    for (auto _ : state) {
        softrender::FillMemImgTriangle(kp, &dst.Image, &src.Image, t1, 0, 0);
        softrender::FillMemImgTriangle(kp, &dst.Image, &src.Image, t2, 0, 0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * ScreenW * ScreenH);
}
BENCHMARK(BM_FullScreenQuadTexturedAtLevel)->Arg(0)->Arg(1)->Arg(2);

// 1,000 quads of 16 x 16 pixels from a 16 x 16 texture with the colour key, spread over
// the screen: per-call set-up cost dominates.
void BM_SmallTexturedQuads(benchmark::State& state)
{
    BenchImage dst(ScreenW, ScreenH, 1, 4), src(16, 16, 1, 4);
    src.Body.ColorKey = 0;
    SetUpState(static_cast<int>(state.range(0)));
    std::mt19937 rng(9);
    std::vector<int> pos(2000);
    for (std::size_t i = 0; i < pos.size(); i += 2) {
        pos[i] = static_cast<int>(rng() % (ScreenW - 16));
        pos[i + 1] = static_cast<int>(rng() % (ScreenH - 16));
    }
    for (auto _ : state) {
        for (std::size_t i = 0; i < pos.size(); i += 2) DrawQuad(&dst.Image, &src.Image, pos[i], pos[i + 1], 16, 16, 16, 16, 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 16 * 16);
}
BENCHMARK(BM_SmallTexturedQuads)->Arg(0)->Arg(1);

}  // namespace
