// Text with the default font on a started library's 640x480 software back
// screen: 100 strings of 20 characters per frame from warm glyph caches,
// half-width and full-width, beside the 1:1 keyed blit of the same areas.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <unistd.h>

#include "bench_library.h"
#include "core/api.h"
#include "core/sysstate.h"
#include "graphics/font/font.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "graphics/soft/surface2d.h"
#include "graphics/kernel_entries.h"

namespace {

constexpr int kStrings = 100;
const char kHalfWidth[] = "Best:1234sec Stage30";                          // 20 characters
// Benchmarks are compiled without the code page 932 literals: "合計未出現未クリア" twice, then "合計".
const char kFullWidth[] = "\x8D\x87\x8C\x76\x96\xA2\x8F\x6F\x8C\xBB\x96\xA2\x83\x4E\x83\x8A\x83\x41\x8D\x87\x8C\x76\x96\xA2\x8F\x6F\x8C\xBB\x96\xA2\x83\x4E\x83\x8A\x83\x41\x8D\x87\x8C\x76";

struct Library {
    DWORD colour = 0;
    Library()
    {
        StartBenchLibrary("/tmp/text_bench_XXXXXX");
        colour = GetColorValue(0, 0, 0);
    }
    ~Library() { EndLibrary(); }
};

Library& Lib()
{
    static Library lib;
    return lib;
}

int TextX(int i) { return (i * 37) % 300; }
int TextY(int i) { return (i * 53) % 460; }

void DrawStrings(benchmark::State& state, const char* text)
{
    const DWORD colour = Lib().colour;
    DrawFormattedText(0, 0, colour, "%s", text);  // warms the cache
    for (auto _ : state) {
        for (int i = 0; i < kStrings; ++i) DrawFormattedText(TextX(i), TextY(i), colour, "%s", text);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kStrings * 20);
}

// The same areas as 1:1 keyed blits of a graph the size of the string.
void BlitAreas(benchmark::State& state, const char* text)
{
    Lib();
    SIZE size{};
    RenderStringWithFontCache(0, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, 1, QueryDefaultFontHandle(), 0, -1, 0,
                              &size);
    const int graph = CreateBlankGraph(size.cx, size.cy, 1);
    FillGraphWithColor(graph, 200, 100, 50, 255);
    const SURF2DREC* s = GetSurface2DRecord(GetGraphRecord(graph)->Surfaces[0]);
    const MEMIMG* src = &GetImageSurfaceRecord(s->ImageSurface)->Image;
    MEMIMG* dst = ScreenState.DrawImage;
    for (auto _ : state) {
        for (int i = 0; i < kStrings; ++i) BlitMemImg(dst, src, TextX(i), TextY(i), 1, nullptr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kStrings * 20);
    state.counters["width"] = size.cx;
    DestroyGraphHandle(graph, 0);
}

void BM_HalfWidthStrings(benchmark::State& state) { DrawStrings(state, kHalfWidth); }
void BM_HalfWidthAreaBlits(benchmark::State& state) { BlitAreas(state, kHalfWidth); }
void BM_FullWidthStrings(benchmark::State& state) { DrawStrings(state, kFullWidth); }
void BM_FullWidthAreaBlits(benchmark::State& state) { BlitAreas(state, kFullWidth); }

BENCHMARK(BM_HalfWidthStrings)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HalfWidthAreaBlits)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullWidthStrings)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullWidthAreaBlits)->Unit(benchmark::kMicrosecond);

}  // namespace
