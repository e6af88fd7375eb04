// Stretch and shape kernels on a 640x480 XRGB8888 screen, beside memset and
// memcpy of the same destination bytes: full-screen fills in each mode,
// stretches 2x up and 0.5x down (opaque and mode 1), 1,000 lines and 1,000
// circles.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/blendtable.h"
#include "graphics/drawstate.h"
#include "graphics/kernel_entries.h"
#include "graphics/memimg.h"
#include "softrender/shapes/shapes.h"
#include "softrender/stretch/stretch.h"

namespace {

constexpr int kW = 640, kH = 480;
constexpr std::int64_t kScreenBytes = std::int64_t(kW) * kH * 4;

struct Image {
    MEMIMG img{};
    Image(int w, int h)
    {
        AllocateMemImg(&img, w, h, -1, 0, MEMIMG_FORMAT_XRGB8888, 0, 0, 0, nullptr);
        std::mt19937 rng(w * 31 + h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint32_t v = rng();
                std::memcpy(img.Pixels + y * img.Body->Pitch + x * 4, &v, 4);
            }
    }
    ~Image() { DropMemImgReference(&img); }
};

void SetState(int mode, int param)
{
    static bool built = false;
    if (!built) {
        BuildSoftBlendTables();
        built = true;
    }
    DrawState.DrawArea = RECT{0, 0, kW, kH};
    DrawState.BlendMode = mode;
    DrawState.BlendParam = param;
    DrawState.DrawBright = 0xFFFFFF;
}

void ReportScreen(benchmark::State& state)
{
    state.SetItemsProcessed(state.iterations() * kW * kH);
    state.SetBytesProcessed(state.iterations() * kScreenBytes);
}

void BM_MemsetScreen(benchmark::State& state)
{
    std::vector<std::uint8_t> dst(kScreenBytes);
    for (auto _ : state) {
        std::memset(dst.data(), 0x5A, dst.size());
        benchmark::ClobberMemory();
    }
    ReportScreen(state);
}
BENCHMARK(BM_MemsetScreen);

void BM_MemcpyScreen(benchmark::State& state)
{
    std::vector<std::uint8_t> src(kScreenBytes, 1), dst(kScreenBytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), dst.size());
        benchmark::ClobberMemory();
    }
    ReportScreen(state);
}
BENCHMARK(BM_MemcpyScreen);

// Args: blend mode, parameter.
void BM_FillScreen(benchmark::State& state)
{
    Image screen(kW, kH);
    SetState(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        FillMemImgRect(&screen.img, nullptr, 0x00336699);
        benchmark::ClobberMemory();
    }
    ReportScreen(state);
}
BENCHMARK(BM_FillScreen)
    ->ArgNames({"mode", "p"})
    ->Args({0, 255})
    ->Args({1, 128})
    ->Args({2, 128})
    ->Args({3, 128})
    ->Args({4, 0})
    ->Args({10, 128})
    ->Args({11, 128});

// Args: source width (320 magnifies 2x, 1280 reduces to 0.5x), blend mode.
void BM_StretchToScreen(benchmark::State& state)
{
    const int sw = int(state.range(0));
    Image screen(kW, kH), src(sw, sw * 3 / 4);
    SetState(int(state.range(1)), 128);
    const STRETCHBLOCK corners{0, 0, kW, kH};
    for (auto _ : state) {
        StretchBlitMemImg(&screen.img, &src.img, &corners, 0, nullptr);
        benchmark::ClobberMemory();
    }
    ReportScreen(state);
}
BENCHMARK(BM_StretchToScreen)->ArgNames({"srcw", "mode"})->Args({320, 0})->Args({320, 1})->Args({1280, 0})->Args({1280, 1});

void BM_Lines1000(benchmark::State& state)
{
    Image screen(kW, kH);
    SetState(int(state.range(0)), 128);
    std::mt19937 rng(5);
    std::vector<int> ends(4000);
    for (std::size_t i = 0; i < ends.size(); ++i) ends[i] = int(rng() % (i % 2 ? kH + 100 : kW + 100)) - 50;
    std::int64_t pixels = 0;
    for (std::size_t i = 0; i < ends.size(); i += 4)
        pixels += std::max(std::abs(ends[i + 2] - ends[i]), std::abs(ends[i + 3] - ends[i + 1]));
    for (auto _ : state) {
        for (std::size_t i = 0; i < ends.size(); i += 4)
            PlotMemImgLine(&screen.img, ends[i], ends[i + 1], ends[i + 2], ends[i + 3], 0x00FFFFFF);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);  // unclipped length: an upper bound
}
BENCHMARK(BM_Lines1000)->ArgName("mode")->Arg(0)->Arg(1);

// Args: fill flag.
void BM_Circles1000(benchmark::State& state)
{
    Image screen(kW, kH);
    SetState(0, 255);
    std::mt19937 rng(9);
    std::vector<int> c(3000);
    for (std::size_t i = 0; i < c.size(); i += 3) {
        c[i] = int(rng() % kW);
        c[i + 1] = int(rng() % kH);
        c[i + 2] = int(rng() % 64);
    }
    const int fill = int(state.range(0));
    for (auto _ : state) {
        for (std::size_t i = 0; i < c.size(); i += 3) PlotMemImgCircle(&screen.img, c[i], c[i + 1], c[i + 2], 0x00FF00, fill);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_Circles1000)->ArgName("fill")->Arg(0)->Arg(1);

}  // namespace
