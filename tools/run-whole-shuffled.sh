#!/usr/bin/env bash
# Runs every test executable of a build folder whole, as one process, in a
# shuffled order, each in a fresh folder of its own: a test must not lean on
# what another left behind. Usage: tools/run-whole-shuffled.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
status=0
for t in "$build"/tests/test_*; do
  [ -f "$t" ] && [ -x "$t" ] || continue
  dir=$(mktemp -d)
  if (cd "$dir" && "$t" --gtest_shuffle > "$dir/output.txt" 2>&1); then
    echo "whole and shuffled: $(basename "$t") passed"
  else
    grep -a -m1 'Randomizing tests' "$dir/output.txt" || true
    grep -a -E '^\[  FAILED  \]|Failure' "$dir/output.txt" | head -40 || true
    tail -n 20 "$dir/output.txt"
    echo "whole and shuffled: $(basename "$t") FAILED"
    status=1
  fi
  rm -rf "$dir"
done
exit $status
