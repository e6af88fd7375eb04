#!/usr/bin/env bash
# Longer fuzzing of the image decoders with clang's libFuzzer under ASan and
# UBSan: builds each target in build-fuzz/, writes the seed corpus from the
# fixture writers and runs every target for SECONDS (default 60) each.
# Usage: tools/fuzz-images.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(bmp tga dds png jpeg bgra dispatch)

out=build-fuzz
mkdir -p "$out/corpus"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I. -Itests -Itests/fuzz)
# The decoders and their formats, with malloc-backed stand-ins for the
# allocator and the log (tests/fuzz/fuzz_core_stubs.cpp) so the core need not
# be built here; the CMake build fuzzes against the real ones.
sources=(graphics/image/colorfmt.cpp graphics/image/graphimage.cpp graphics/image/convert.cpp
         graphics/image/decode.cpp graphics/image/bmp.cpp graphics/image/bgra.cpp graphics/image/tga.cpp
         graphics/image/dds.cpp graphics/image/png.cpp graphics/image/jpeg.cpp tests/fuzz/fuzz_core_stubs.cpp
         tests/support/image_fixtures.cpp)
libs=(-lpng -ljpeg -lz)

# The seed maker writes the archive seeds too: it needs the archive writer and
# the archive reader it calls, with the threaded files and kernel under them.
archive_sources=(tests/support/archive_writer.cpp core/file/archive.cpp core/file/archive_lz.cpp
                 core/file/threadfile.cpp core/file/file_sync.cpp platform/kernel/file.cpp
                 platform/kernel/handle.cpp platform/kernel/sync.cpp platform/kernel/clock.cpp)
clang++ -std=c++20 -O1 -I. -Itests -pthread tests/fuzz/make_seeds.cpp "${sources[@]}" "${archive_sources[@]}" \
  -o "$out/make_seeds" "${libs[@]}"
"$out/make_seeds" "$out/seeds"

for t in "${targets[@]}"; do
  clang++ "${flags[@]}" "tests/fuzz/${t}_fuzz.cpp" "${sources[@]}" -o "$out/fuzz_$t" "${libs[@]}"
  mkdir -p "$out/corpus/$t"
  echo "== $t"
  "$out/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=4096 -malloc_limit_mb=2200 -print_final_stats=1 \
    -artifact_prefix="$out/crash-$t-" "$out/corpus/$t" "$out/seeds" 2>&1 |
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|ERROR|SUMMARY|Test unit written' || true
done
