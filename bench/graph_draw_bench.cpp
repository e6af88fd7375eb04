// The whole road of a sprite draw (public entry, checks, graph and surface
// records, kernel) beside the 1:1 blit kernel alone: 1,000 keyed 20x20
// sprites per frame on a started library's 640x480 software back screen.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "bench_library.h"
#include "core/api.h"
#include "core/sysstate.h"
#include "graphics/graph.h"
#include "graphics/kernel_entries.h"
#include "graphics/screen.h"
#include "graphics/soft/surface2d.h"
#include "softrender/blit/blit.h"

namespace {

struct Library {
    int sprite = -1;
    Library()
    {
        StartBenchLibrary("/tmp/graph_bench_XXXXXX");
        sprite = CreateBlankGraph(20, 20, 1);
        FillGraphWithColor(sprite, 200, 100, 50, 255);
    }
    ~Library() { EndLibrary(); }
};

Library& Lib()
{
    static Library lib;
    return lib;
}

int SpriteX(int i) { return (i * 37) % 620; }
int SpriteY(int i) { return (i * 53) % 460; }

void BM_DrawGraphAtRoad(benchmark::State& state)
{
    const int sprite = Lib().sprite;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) DrawGraphAt(SpriteX(i), SpriteY(i), sprite, 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_DrawGraphAtRoad)->Unit(benchmark::kMicrosecond);

void BM_BlitKernelAlone(benchmark::State& state)
{
    const int sprite = Lib().sprite;
    const GRAPHREC* g = GetGraphRecord(sprite);
    const SURF2DREC* s = GetSurface2DRecord(g->Surfaces[0]);
    const MEMIMG* src = &GetImageSurfaceRecord(s->ImageSurface)->Image;
    MEMIMG* dst = ScreenState.DrawImage;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) BlitMemImg(dst, src, SpriteX(i), SpriteY(i), 1, nullptr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_BlitKernelAlone)->Unit(benchmark::kMicrosecond);

}  // namespace
