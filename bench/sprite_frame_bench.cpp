// A sprite frame through three renderers in one run: 1,000 sprites of 32x32
// on a 640x480 32-bit screen, keyed and per-pixel alpha sprites taking
// turns, every fifth turned; the screen cleared first and the batch drawn
// last, without a present. Through the Direct3D back-end on the software
// device, through the software renderer, and through SDL2's own software
// renderer onto a surface with textures of the same pixels.
// Direct3D runs first: a process that fell back to software stays there.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

#include "core/api.h"
#include "core/sysstate.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3ddraw.h"
#include "support/image_fixtures.h"

namespace {

constexpr int kSprites = 1000;
constexpr int kSize = 32;
constexpr double kPi = 3.14159265358979323846;

// 0xAARRGGBB. The keyed sprite is a disc on black, the library's key colour;
// the alpha sprite fades from opaque at its centre to clear at its corners.
std::uint32_t KeyedPixel(int x, int y)
{
    const int dx = x - 16, dy = y - 16;
    if (dx * dx + dy * dy > 15 * 15) return 0xFF000000u;
    return 0xFF000000u | static_cast<std::uint32_t>(40 + x * 6) << 16 | static_cast<std::uint32_t>(200 - y * 5) << 8 | 90u;
}

std::uint32_t AlphaPixel(int x, int y)
{
    const int dx = x - 16, dy = y - 16;
    const int a = std::max(0, 255 - (dx * dx + dy * dy) * 255 / 512);
    return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(220 - y * 3) << 16 |
           static_cast<std::uint32_t>(60 + x * 5) << 8 | 180u;
}

int SpriteX(int i) { return (i * 37) % (640 - kSize); }
int SpriteY(int i) { return (i * 53) % (480 - kSize); }
bool Turned(int i) { return i % 5 == 4; }
double Angle(int i) { return (i % 16) * kPi / 8.0 + 0.3; }

int GraphOf(const char* name, std::uint32_t (*pixel)(int, int), bool alpha)
{
    PngSpec spec;
    spec.width = spec.height = kSize;
    spec.colorType = alpha ? 6 : 2;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const std::uint32_t v = pixel(x, y);
            spec.samples.push_back(static_cast<std::uint8_t>(v >> 16));
            spec.samples.push_back(static_cast<std::uint8_t>(v >> 8));
            spec.samples.push_back(static_cast<std::uint8_t>(v));
            if (alpha) spec.samples.push_back(static_cast<std::uint8_t>(v >> 24));
        }
    WriteFileBytes(name, WritePng(spec));
    const int graph = LoadGraphFile(name, 0);
    if (graph == -1) std::abort();
    return graph;
}

// One frame; kept out of line so that callgrind can count it alone
// (--toggle-collect='*OneFrame*').
[[gnu::noinline]] void OneFrame(int keyed, int alpha, int direct3D)
{
    EraseScreen();
    for (int i = 0; i < kSprites; ++i) {
        const int graph = i % 2 == 0 ? keyed : alpha;
        if (Turned(i)) DrawGraphRotated(SpriteX(i) + kSize / 2, SpriteY(i) + kSize / 2, 1.0, Angle(i), graph, 1, 0);
        else DrawGraphAt(SpriteX(i), SpriteY(i), graph, 1);
    }
    if (direct3D) G_D3D_EndCurrentScene();
}

void RunLibrary(benchmark::State& state, int direct3D)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    char folder[] = "/tmp/sprite_frame_bench_XXXXXX";
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0) std::abort();
    SysState.DoubleStartAllowed = 1;
    SetDirect3DWanted(direct3D);
    SetScreenMode(640, 480, 32, 60);
    SelectWindowMode(0);
    if (StartLibrary() != 0 || IsDirect3DActive() != direct3D) std::abort();
    SysState.ActiveFlag = 1;
    SelectDrawTarget(-2);
    const int keyed = GraphOf("keyed.png", KeyedPixel, false);
    const int alpha = GraphOf("alpha.png", AlphaPixel, true);
    for (auto _ : state) {
        OneFrame(keyed, alpha, direct3D);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSprites);
    EndLibrary();
    SetDirect3DWanted(0);
}

void BM_SpriteFrameDirect3D(benchmark::State& state)
{
    RunLibrary(state, 1);
}
BENCHMARK(BM_SpriteFrameDirect3D)->Unit(benchmark::kMillisecond);

void BM_SpriteFrameSoftware(benchmark::State& state)
{
    RunLibrary(state, 0);
}
BENCHMARK(BM_SpriteFrameSoftware)->Unit(benchmark::kMillisecond);

SDL_Texture* TextureOf(SDL_Renderer* renderer, std::uint32_t (*pixel)(int, int), bool keyed)
{
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, kSize, kSize, 32, SDL_PIXELFORMAT_ARGB8888);
    if (s == nullptr) std::abort();
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            static_cast<std::uint32_t*>(s->pixels)[y * s->pitch / 4 + x] = pixel(x, y);
    if (keyed) SDL_SetColorKey(s, SDL_TRUE, 0xFF000000u);
    SDL_Texture* t = SDL_CreateTextureFromSurface(renderer, s);
    SDL_FreeSurface(s);
    if (t == nullptr) std::abort();
    if (!keyed) SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    return t;
}

void BM_SpriteFrameSdlSoftware(benchmark::State& state)
{
    SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* renderer = screen != nullptr ? SDL_CreateSoftwareRenderer(screen) : nullptr;
    if (renderer == nullptr) std::abort();
    SDL_Texture* keyed = TextureOf(renderer, KeyedPixel, true);
    SDL_Texture* alpha = TextureOf(renderer, AlphaPixel, false);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    for (auto _ : state) {
        SDL_RenderClear(renderer);
        for (int i = 0; i < kSprites; ++i) {
            SDL_Texture* t = i % 2 == 0 ? keyed : alpha;
            const SDL_Rect to{SpriteX(i), SpriteY(i), kSize, kSize};
            if (Turned(i)) SDL_RenderCopyEx(renderer, t, nullptr, &to, Angle(i) * 180.0 / kPi, nullptr, SDL_FLIP_NONE);
            else SDL_RenderCopy(renderer, t, nullptr, &to);
        }
        SDL_RenderFlush(renderer);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSprites);
    SDL_DestroyTexture(keyed);
    SDL_DestroyTexture(alpha);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(screen);
}
BENCHMARK(BM_SpriteFrameSdlSoftware)->Unit(benchmark::kMillisecond);

} // namespace
