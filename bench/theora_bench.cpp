// Playing a 640x480 Theora movie as fast as it goes: the decode thread keeps
// the stock filled while the caller advances and converts each frame. The
// frames per second stand beside the movie's own rate (30); the conversions
// alone are measured too.
#include <benchmark/benchmark.h>

#include <vector>

#include "movie/theora.h"
#include "movie/theora_yuv.h"
#include "support/memory_filefuncs.h"
#include "support/theora_movie_writer.h"

namespace {

constexpr double MovieRate = 30.0;

const MovieBytes& Movie(int chroma)
{
    static MovieBytes movies[3];
    MovieBytes& m = movies[chroma == 420 ? 0 : (chroma == 422 ? 1 : 2)];
    if (m.empty()) {
        TheoraMovieSpec spec;
        spec.frameWidth = 640;
        spec.frameHeight = 480;
        spec.chroma = chroma;
        spec.frames = 90;
        spec.fpsNumerator = 30;
        spec.keyInterval = 30;
        spec.texture = true;
        m = WriteTheoraMovie(spec);
    }
    return m;
}

void PlayMovie(benchmark::State& state)
{
    InitTheoraColorTables();
    const MovieBytes& bytes = Movie(static_cast<int>(state.range(0)));
    MemoryFile file;
    file.Data = &bytes;
    THEORACTX* ctx = OpenTheoraMovie(GetMemoryFileFunctions(), MemoryFileHandle(&file), 10);
    if (ctx == nullptr) {
        state.SkipWithError("the movie did not open");
        return;
    }
    for (auto _ : state) {
        AdvanceTheoraFrame(ctx, 1);
        benchmark::DoNotOptimize(CopyTheoraFrameToImage(ctx, 1, 0));
    }
    CloseTheoraMovie(ctx);
    state.SetItemsProcessed(state.iterations());
    state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["movie_rate"] = MovieRate;
    state.counters["x_movie_rate"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / MovieRate, benchmark::Counter::kIsRate);
}
BENCHMARK(PlayMovie)->Arg(420)->Arg(444)->UseRealTime()->Unit(benchmark::kMillisecond);

void ConvertFrame(benchmark::State& state)
{
    InitTheoraColorTables();
    const int shift = state.range(0) == 420 ? 1 : 0;
    const int w = 640;
    const int h = 480;
    std::vector<BYTE> y(static_cast<std::size_t>(w * h), 120);
    std::vector<BYTE> u(static_cast<std::size_t>((w >> shift) * (h >> shift)), 90);
    std::vector<BYTE> v(u.size(), 170);
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = static_cast<BYTE>(i * 7);
    FRAMESTOCK frame{};
    frame.PlaneY = y.data();
    frame.PlaneU = u.data();
    frame.PlaneV = v.data();
    frame.YWidth = frame.YStride = w;
    frame.YHeight = h;
    frame.UVWidth = frame.UVStride = w >> shift;
    frame.UVHeight = h >> shift;
    frame.ChromaShiftX = frame.ChromaShiftY = shift;
    std::vector<BYTE> pixels(static_cast<std::size_t>(w * h * 4));
    GraphImage image{};
    image.Width = w;
    image.Height = h;
    image.Pitch = w * 4;
    image.Pixels = pixels.data();
    for (auto _ : state) {
        if (shift == 1) {
            ConvertTheoraFrameFixed(&frame, &image);
        } else {
            ConvertTheoraFrameFloat(&frame, &image);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(ConvertFrame)->Arg(420)->Arg(444)->Unit(benchmark::kMillisecond);

} // namespace
