// Playing a 640x480 MPEG-4 movie through the multimedia streams as fast as
// it goes: each refresh decodes the frame the clock has reached, converts it
// into the sample surface, copies it into the frame image and the graph. The
// frames per second stand beside the movie's own rate (30).
#include <benchmark/benchmark.h>

#include <string>

#include "bench_library.h"
#include "graphics/graph.h"
#include "movie/movierec.h"
#include "platform/kernel/clock.h"
#include "support/ffmpeg_movie_writer.h"

namespace {

constexpr double MovieRate = 30.0;

void RefreshStreamMovie(benchmark::State& state)
{
    StartBenchLibrary("/tmp/zarvo-movie-bench-XXXXXX");
    FfmpegMovieSpec spec;
    spec.width = 640;
    spec.height = 480;
    spec.frames = 90;
    spec.fps = 30;
    if (!WriteFfmpegMovie("bench.mp4", spec)) {
        state.SkipWithError("ffmpeg did not make the movie");
        return;
    }
    const int graph = LoadGraphByName("bench.mp4", 1);
    MOVIEREC* m = graph != -1 ? GetMovieRecord(GetGraphRecord(graph)->Movie) : nullptr;
    if (m == nullptr) {
        state.SkipWithError("the movie did not open");
        return;
    }
    UseManualClock(1000, 0);
    m->PlayType = 1 | MOVIE_PLAYTYPE_LOOP_BIT;
    m->PlayRequested = 1;
    ResumeSystemPausedMovies();
    const int handle = GetGraphRecord(graph)->Movie;
    for (auto _ : state) {
        AdvanceManualClock(1000000 / 30);
        // Forced, the update completes before it returns: one whole frame.
        RefreshMovieFrame(handle, 1);
    }
    UseRealClock();
    DestroyGraphHandle(graph, 0);
    state.SetItemsProcessed(state.iterations());
    state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["x_movie_rate"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / MovieRate, benchmark::Counter::kIsRate);
}
BENCHMARK(RefreshStreamMovie)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
