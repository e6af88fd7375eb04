// Speed of the rotate kernel (a 64x64 sprite at 30 degrees, 1,000 draws) and
// of the 3D triangle kernel (a full-screen textured quad with and without a
// depth image), beside a memcpy of the same destination bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/blendtable.h"
#include "graphics/drawstate.h"
#include "graphics/kernel_entries.h"
#include "graphics/memimg.h"
#include "softrender/rotate/rotate.h"
#include "softrender/triangle3d/triangle3d.h"

namespace {

struct Image {
    MEMIMG img{};
    Image(int w, int h, int format, bool alpha = false)
    {
        AllocateMemImg(&img, w, h, -1, 0, format, 0, alpha, 0, nullptr);
        std::mt19937 rng(7);
        for (int y = 0; y < h; ++y)
            for (int i = 0; i < img.Body->Pitch; ++i) img.Pixels[y * img.Body->Pitch + i] = static_cast<BYTE>(rng());
    }
    ~Image() { DropMemImgReference(&img); }
};

void SetState(int mode, int p)
{
    BuildSoftBlendTables();
    DrawState.DrawArea = RECT{0, 0, 640, 480};
    DrawState.BlendMode = mode;
    DrawState.BlendParam = p;
    DrawState.DrawBright = 0xFFFFFF;
}

// 1,000 draws of a 64x64 sprite at 30 degrees spread over the screen.
void BM_RotateSprite64(benchmark::State& state, int format, int mode, bool alpha)
{
    SetState(mode, 128);
    Image screen(640, 480, format), sprite(64, 64, format, alpha);
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i)
            RotateScaleBlitMemImg(&screen.img, &sprite.img, 40 + (i * 37) % 560, 40 + (i * 53) % 400, 0.5235988f,
                                  1.0f, alpha ? 1 : 0, 0, nullptr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 64 * 64);
    state.SetBytesProcessed(state.iterations() * 1000 * 64 * 64 * (format == 1 ? 4 : 2));
}
BENCHMARK_CAPTURE(BM_RotateSprite64, x8888_copy, 1, 0, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RotateSprite64, x8888_alpha_blend, 1, 0, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RotateSprite64, x8888_mode1, 1, 1, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RotateSprite64, r565_copy, 0, 0, false)->Unit(benchmark::kMillisecond);

// The same bytes as 1,000 64x64 sprites, copied.
void BM_MemcpySprites64(benchmark::State& state, int bytesPerPixel)
{
    const std::size_t n = 64 * 64 * static_cast<std::size_t>(bytesPerPixel);
    std::vector<BYTE> a(n * 16, 1), b(640 * 480 * 4, 2);
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) std::memcpy(b.data() + (i % 64) * n / 4, a.data() + (i % 16) * n, n);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 64 * 64);
    state.SetBytesProcessed(state.iterations() * 1000 * static_cast<std::int64_t>(n));
}
BENCHMARK_CAPTURE(BM_MemcpySprites64, x8888, 4)->Unit(benchmark::kMillisecond);

// A 640x480 quad of two textured triangles from a 256x256 texture; with
// perspective its right edge lies twice as far as its left, so q changes
// along every span.
void BM_Triangle3DScreenQuad(benchmark::State& state, int format, bool withDepth, int vertexColour, int mode,
                             bool perspective = false)
{
    SetState(mode, 128);
    Image screen(640, 480, format), texture(256, 256, format);
    MEMIMG depth{};
    AllocateDepthMemImg(&depth, 640, 480);
    const DWORD c = 0xFFFFFFFF;
    const float far = perspective ? 0.5f : 1.0f;
    const TLVTXTEX quad[4] = {{0, 0, 0.5f, 1, c, 0, 0}, {640, 0, 0.5f, far, c, 1, 0}, {0, 480, 0.5f, 1, c, 0, 1},
                              {640, 480, 0.5f, far, c, 1, 1}};
    const TLVTXTEX second[3] = {quad[3], quad[2], quad[1]};
    for (auto _ : state) {
        if (withDepth) FillMemImgRectRaw(&depth, nullptr, 0xFFFF);
        RasterizeMemImgTriangle3D(&screen.img, withDepth ? &depth : nullptr, &texture.img, quad, 0, nullptr, 1, 1,
                                  vertexColour, 0);
        RasterizeMemImgTriangle3D(&screen.img, withDepth ? &depth : nullptr, &texture.img, second, 0, nullptr, 1, 1,
                                  vertexColour, 0);
        benchmark::ClobberMemory();
    }
    DropMemImgReference(&depth);
    state.SetItemsProcessed(state.iterations() * 640 * 480);
    state.SetBytesProcessed(state.iterations() * 640 * 480 * (format == 1 ? 4 : 2));
}
BENCHMARK_CAPTURE(BM_Triangle3DScreenQuad, x8888_no_depth, 1, false, 0, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Triangle3DScreenQuad, x8888_depth, 1, true, 0, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Triangle3DScreenQuad, x8888_vertex_colour, 1, false, 1, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Triangle3DScreenQuad, x8888_mode1, 1, false, 0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Triangle3DScreenQuad, r565_no_depth, 0, false, 0, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Triangle3DScreenQuad, x8888_perspective, 1, false, 0, 0, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Triangle3DScreenQuad, x8888_perspective_depth, 1, true, 0, 0, true)->Unit(benchmark::kMillisecond);

void BM_MemcpyScreen(benchmark::State& state, int bytesPerPixel)
{
    const std::size_t n = 640 * 480 * static_cast<std::size_t>(bytesPerPixel);
    std::vector<BYTE> a(n, 1), b(n, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 640 * 480);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
BENCHMARK_CAPTURE(BM_MemcpyScreen, x8888, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MemcpyScreen, r565, 2)->Unit(benchmark::kMillisecond);

}  // namespace
