#!/usr/bin/env bash
# Longer fuzzing of the archive reader and its LZ decoder with clang's
# libFuzzer under ASan and UBSan: builds both targets in build-fuzz/, writes
# the seed corpus with the test archive writer and runs each for SECONDS
# (default 60). The allocator and log are replaced by small stand-ins so the
# build needs only the file layer and the kernel's file functions.
# Usage: tools/fuzz-archive.sh [seconds] [archive|archive_lz ...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(archive archive_lz)

out=build-fuzz
mkdir -p "$out/corpus"
stubs="$out/archive_fuzz_stubs.cpp"
cat > "$stubs" <<'STUBS'
#include <cstdlib>
#include <cstring>
#include "core/sysstate.h"
SYSSTATE SysState;
void* AllocMemory(std::size_t size, const char*, int) { return std::malloc(size ? size : 1); }
void* AllocMemoryZeroed(std::size_t size, const char*, int) { return std::calloc(1, size ? size : 1); }
void FreeMemory(void* block) { std::free(block); }
int WriteLog(const char*) { return -1; }
STUBS
# The Shift-JIS log texts stay UTF-8 here: clang has no CP932 execution charset.
sources=(core/file/archive.cpp core/file/archive_lz.cpp core/file/packfile.cpp core/file/threadfile.cpp
         core/file/filefuncs.cpp core/file/stream.cpp core/file/file_sync.cpp
         platform/kernel/file.cpp platform/kernel/handle.cpp platform/kernel/sync.cpp platform/kernel/clock.cpp
         "$stubs")
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I. -Itests -pthread)

clang++ -std=c++20 -O1 -I. -Itests -pthread -DARCHIVE_SEEDS_ONLY tools/archive_seeds.cpp tests/support/archive_writer.cpp \
  "${sources[@]}" -o "$out/archive_seeds"
"$out/archive_seeds" "$out/archive-seeds"

for t in "${targets[@]}"; do
  clang++ "${flags[@]}" "tests/fuzz/${t}_fuzz.cpp" "${sources[@]}" -o "$out/fuzz_$t"
  mkdir -p "$out/corpus/$t"
  echo "== $t"
  "$out/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=4096 -malloc_limit_mb=2200 -print_final_stats=1 \
    -artifact_prefix="$out/crash-$t-" "$out/corpus/$t" "$out/archive-seeds/${t}_fuzz" 2>&1 |
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|ERROR|SUMMARY|Test unit written' || true
done
