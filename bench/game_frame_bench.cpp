// The heaviest frame of the game's drawing as a fixed script, through the
// software renderer and through the Direct3D back-end on the software device:
// a blended full-screen background, 10,000 additive block quads of a 100x100
// grid (most off-screen), 100 alpha sprites, 20 lines and a line of text,
// then the batch drawn. The present's vertical-blank wait is left out.
// Direct3D runs first: a process that fell back to software stays there.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "core/api.h"
#include "core/sysstate.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/graph.h"
#include "graphics/image/graphimage.h"

namespace {

struct Frame {
    int background = -1, block = -1, sprite = -1;
};

int FilledGraph(int w, int h, int r, int g, int b)
{
    const int graph = CreateGraphOfSize(w, h, 1, 0, 0);
    if (graph == -1) std::abort();
    FillGraphWithColor(graph, r, g, b, 255);
    return graph;
}

Frame Start(int direct3D)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    char folder[] = "/tmp/game_frame_bench_XXXXXX";
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0) std::abort();
    SysState.DoubleStartAllowed = 1;
    SetDirect3DWanted(direct3D);
    SetScreenMode(640, 480, 32, 60);
    SelectWindowMode(0);
    if (StartLibrary() != 0 || IsDirect3DActive() != direct3D) std::abort();
    SysState.ActiveFlag = 1;
    SelectDrawTarget(-2);
    Frame f;
    f.background = FilledGraph(640, 480, 30, 60, 90);
    f.block = FilledGraph(16, 16, 200, 120, 40);
    const int alpha = CreateGraphOfSize(32, 32, 1, 1, 0);
    if (alpha == -1) std::abort();
    FillGraphWithColor(alpha, 250, 250, 100, 180);
    f.sprite = alpha;
    return f;
}

// Kept out of line so that callgrind can count a frame alone (--toggle-collect='*DrawFrame*').
[[gnu::noinline]] void DrawFrame(const Frame& f, int scroll)
{
    EraseScreen();
    SelectBlendMode(1, 100);
    DrawGraphAt(0, 0, f.background, 0);
    SelectBlendMode(2, 255);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) DrawGraphAt(x * 32 - scroll, y * 32 - scroll, f.block, 1);
    SelectBlendMode(0, 255);
    for (int i = 0; i < 100; ++i) DrawGraphRotated((i * 37) % 640, (i * 53) % 480, 1.0, 0.0, f.sprite, 1, 0);
    const DWORD white = GetColorValue(255, 255, 255);
    for (int i = 0; i < 20; ++i) DrawLineSegment(10, 10 + i * 20, 600, 30 + i * 20, white, 1);
    DrawFormattedText(8, 8, white, "SCORE %d", scroll);
    G_D3D_EndCurrentScene();
}

void Run(benchmark::State& state, int direct3D)
{
    const Frame f = Start(direct3D);
    int scroll = 0;
    for (auto _ : state) {
        DrawFrame(f, scroll);
        scroll = (scroll + 7) % 64;
    }
    EndLibrary();
    SetDirect3DWanted(0);
}

void BM_GameFrameDirect3D(benchmark::State& state)
{
    Run(state, 1);
}
BENCHMARK(BM_GameFrameDirect3D)->Unit(benchmark::kMillisecond);

void BM_GameFrameSoftware(benchmark::State& state)
{
    Run(state, 0);
}
BENCHMARK(BM_GameFrameSoftware)->Unit(benchmark::kMillisecond);

} // namespace
