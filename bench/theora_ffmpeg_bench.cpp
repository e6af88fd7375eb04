// A whole Theora movie decoded and converted to BGRA by the library's player
// and by the ffmpeg command (one thread, the same file), in one run. Each
// side runs three times; the medians of their processor times stand side by
// side with their ratio (x_ffmpeg above 1: the player is faster).
// The player counts its decode thread too.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "movie/theora.h"
#include "movie/theora_yuv.h"
#include "support/memory_filefuncs.h"
#include "support/theora_movie_writer.h"

extern char** environ;

namespace {

constexpr int Frames = 120;

struct SizedMovie {
    MovieBytes bytes;
    std::string path;
};

const SizedMovie& Movie(int width, int height)
{
    static std::vector<std::pair<int, SizedMovie>> made;
    for (const auto& [w, m] : made) {
        if (w == width) return m;
    }
    TheoraMovieSpec spec;
    spec.frameWidth = width;
    spec.frameHeight = height;
    spec.frames = Frames;
    spec.fpsNumerator = 30;
    spec.keyInterval = 30;
    spec.texture = true;
    SizedMovie m;
    m.bytes = WriteTheoraMovie(spec);
    m.path = "/tmp/zarvo_theora_bench_" + std::to_string(getpid()) + "_" + std::to_string(width) + ".ogv";
    if (FILE* f = std::fopen(m.path.c_str(), "wb")) {
        std::fwrite(m.bytes.data(), 1, m.bytes.size(), f);
        std::fclose(f);
    }
    made.emplace_back(width, std::move(m));
    return made.back().second;
}

double ProcessSeconds(int who)
{
    rusage use{};
    getrusage(who, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// Processor seconds of the player over the whole movie, -1 when it fails.
double PlayerSeconds(const MovieBytes& bytes)
{
    InitTheoraColorTables();
    const double start = ProcessSeconds(RUSAGE_SELF);
    MemoryFile file;
    file.Data = &bytes;
    THEORACTX* ctx = OpenTheoraMovie(GetMemoryFileFunctions(), MemoryFileHandle(&file), 10);
    if (ctx == nullptr) return -1;
    for (int frame = 1; frame < Frames; ++frame) {
        AdvanceTheoraFrame(ctx, 1);
        benchmark::DoNotOptimize(CopyTheoraFrameToImage(ctx, 1, 0));
    }
    CloseTheoraMovie(ctx);
    return ProcessSeconds(RUSAGE_SELF) - start;
}

// Processor seconds of the ffmpeg command over the same file, -1 when it cannot run.
double FfmpegSeconds(const std::string& path)
{
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-nostdin", "-threads", "1", "-i", path,
                                     "-threads", "1", "-filter_threads", "1", "-pix_fmt", "bgra", "-f", "null", "-"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    rusage use{};
    if (wait4(pid, &status, 0, &use) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

double Median3(double a, double b, double c)
{
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

void DecodeAndConvertAgainstFfmpeg(benchmark::State& state)
{
    const SizedMovie& movie = Movie(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    double player = 0;
    double ffmpeg = 0;
    for (auto _ : state) {
        double p[3];
        double f[3];
        for (int i = 0; i < 3; ++i) {
            p[i] = PlayerSeconds(movie.bytes);
            f[i] = FfmpegSeconds(movie.path);
            if (p[i] < 0 || f[i] < 0) {
                state.SkipWithError(p[i] < 0 ? "the movie did not open" : "the ffmpeg command did not run");
                return;
            }
        }
        player = Median3(p[0], p[1], p[2]);
        ffmpeg = Median3(f[0], f[1], f[2]);
        state.SetIterationTime(player);
    }
    std::remove(movie.path.c_str());
    state.counters["player_ms_per_frame"] = player * 1000 / Frames;
    state.counters["ffmpeg_ms_per_frame"] = ffmpeg * 1000 / Frames;
    state.counters["x_ffmpeg"] = ffmpeg / player;
}
BENCHMARK(DecodeAndConvertAgainstFfmpeg)
    ->Args({640, 480})
    ->Args({1280, 720})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
