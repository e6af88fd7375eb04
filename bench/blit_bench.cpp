// Speed of the 1:1 blit kernel on a 640x480 screen and on 20x20 sprites, in
// both pixel formats, beside a memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/sysstate.h"
#include "graphics/blendtable.h"
#include "graphics/drawstate.h"
#include "graphics/kernel_entries.h"
#include "graphics/memimg.h"
#include "softrender/blit/blit.h"

namespace {

// kSpriteKeyed: a sheet of 32x32 cells, each a disc of radius 14 on the key
// colour, with its run table prepared, as sprites are drawn.
enum SrcKind { kDirect, kKeyed, kAlpha, kPalette, kSpriteKeyed };

struct Images {
    MEMIMG src{}, dst{};
    Images(int format, SrcKind kind, int w, int h)
    {
        BuildSoftBlendTables();
        AllocateMemImg(&dst, 640, 480, -1, 0, format, 0, 0, 0, nullptr);
        FillMemImgRectRaw(&dst, nullptr, 0x336699);
        AllocateMemImg(&src, w, h, -1, 0, format, kind == kPalette, kind == kAlpha, kind == kSpriteKeyed, nullptr);
        std::mt19937 rng(1);
        int bpp = MemImgBytesPerPixel(src.Body);
        for (int y = 0; y < h; ++y) {
            BYTE* row = src.Pixels + y * src.Body->Pitch;
            for (int i = 0; i < w * bpp; ++i) row[i] = static_cast<BYTE>(rng());
            if (kind == kKeyed) {  // a quarter of the pixels transparent
                for (int x = 0; x < w; x += 4) std::memset(row + x * bpp, 0, bpp);
            }
            if (kind == kSpriteKeyed) {
                for (int x = 0; x < w; ++x) {
                    int dx = x % 32 - 16, dy = y % 32 - 16;
                    if (dx * dx + dy * dy > 14 * 14) std::memset(row + x * bpp, 0, bpp);
                    else if (row[x * bpp] == 0) row[x * bpp] = 1;
                }
            }
        }
        if (kind == kSpriteKeyed) BuildMemImgFastBlitData(&src);
        if (kind == kPalette) {
            for (int i = 0; i < 1024; ++i) src.Body->Palette[i] = static_cast<BYTE>(rng());
        }
    }
    ~Images()
    {
        DropMemImgReference(&src);
        DropMemImgReference(&dst);
    }
};

void SetState(int mode, int p, int mmx)
{
    DrawState.DrawArea = RECT{0, 0, 640, 480};
    DrawState.BlendMode = mode;
    DrawState.BlendParam = p;
    DrawState.DrawBright = 0xFFFFFF;
    SysState.MMXFlag = mmx;
}

// A whole 640x480 source drawn onto the screen.
void BM_BlitScreen(benchmark::State& state, int format, SrcKind kind, int mode, int p, int mmx)
{
    Images im(format, kind, 640, 480);
    SetState(mode, p, mmx);
    int key = kind == kKeyed || kind == kAlpha || kind == kSpriteKeyed ? 1 : 0;
    for (auto _ : state) {
        BlitMemImg(&im.dst, &im.src, 0, 0, key, nullptr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 640 * 480);
    state.SetBytesProcessed(state.iterations() * 640 * 480 * (format == 1 ? 4 : 2));
}

// 1,000 sprites of 20x20 placed over the screen.
void BM_BlitSprites(benchmark::State& state, int format, SrcKind kind, int mode, int p, int mmx)
{
    Images im(format, kind, 20, 20);
    SetState(mode, p, mmx);
    int key = kind == kKeyed || kind == kAlpha ? 1 : 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) BlitMemImg(&im.dst, &im.src, (i * 37) % 620, (i * 53) % 460, key, nullptr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 400);
}

// The anchor: memcpy of the same rows of bytes.
void BM_MemcpyScreen(benchmark::State& state, int bytesPerPixel)
{
    std::vector<BYTE> a(640 * 480 * bytesPerPixel, 1), b(640 * 480 * bytesPerPixel, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 640 * 480);
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(a.size()));
}

}  // namespace

BENCHMARK_CAPTURE(BM_MemcpyScreen, xrgb, 4);
BENCHMARK_CAPTURE(BM_MemcpyScreen, rgb565, 2);

#define BLIT_CASES(FMT, NAME)                                                                  \
    BENCHMARK_CAPTURE(BM_BlitScreen, NAME##_opaque_copy, FMT, kDirect, 0, 0, 1);               \
    BENCHMARK_CAPTURE(BM_BlitScreen, NAME##_keyed_copy, FMT, kKeyed, 0, 0, 1);                 \
    BENCHMARK_CAPTURE(BM_BlitScreen, NAME##_keyed_runs, FMT, kSpriteKeyed, 0, 0, 1);           \
    BENCHMARK_CAPTURE(BM_BlitScreen, NAME##_mode1_p100, FMT, kDirect, 1, 100, 1);              \
    BENCHMARK_CAPTURE(BM_BlitScreen, NAME##_mode1_p128, FMT, kDirect, 1, 128, 1);              \
    BENCHMARK_CAPTURE(BM_BlitScreen, NAME##_mode2_p200, FMT, kDirect, 2, 200, 1);              \
    BENCHMARK_CAPTURE(BM_BlitScreen, NAME##_mode2_p255_mmx, FMT, kDirect, 2, 255, 1);          \
    BENCHMARK_CAPTURE(BM_BlitScreen, NAME##_mode2_p255_nommx, FMT, kDirect, 2, 255, 0);        \
    BENCHMARK_CAPTURE(BM_BlitScreen, NAME##_alpha_mode0, FMT, kAlpha, 0, 0, 1);                \
    BENCHMARK_CAPTURE(BM_BlitScreen, NAME##_alpha_mode1_p200, FMT, kAlpha, 1, 200, 1);         \
    BENCHMARK_CAPTURE(BM_BlitScreen, NAME##_palette_copy, FMT, kPalette, 0, 0, 1);             \
    BENCHMARK_CAPTURE(BM_BlitSprites, NAME##_sprites_opaque_copy, FMT, kDirect, 0, 0, 1);      \
    BENCHMARK_CAPTURE(BM_BlitSprites, NAME##_sprites_keyed_copy, FMT, kKeyed, 0, 0, 1);        \
    BENCHMARK_CAPTURE(BM_BlitSprites, NAME##_sprites_mode1_p100, FMT, kDirect, 1, 100, 1);     \
    BENCHMARK_CAPTURE(BM_BlitSprites, NAME##_sprites_mode2_p200, FMT, kDirect, 2, 200, 1);     \
    BENCHMARK_CAPTURE(BM_BlitSprites, NAME##_sprites_mode2_p255_mmx, FMT, kDirect, 2, 255, 1); \
    BENCHMARK_CAPTURE(BM_BlitSprites, NAME##_sprites_alpha_mode0, FMT, kAlpha, 0, 0, 1)

BLIT_CASES(1, xrgb);
BLIT_CASES(0, rgb565);
