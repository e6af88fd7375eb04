// Keeps the benchmark build wired until the first kernel benchmark lands.
#include <benchmark/benchmark.h>

#include "core/version.h"

static void BM_VersionText(benchmark::State& state)
{
    for (auto _ : state) benchmark::DoNotOptimize(GetLibraryVersionText());
}
BENCHMARK(BM_VersionText);
