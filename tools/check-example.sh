#!/usr/bin/env bash
# Builds examples/hello the three ways a program takes the library in - as a
# CMake subproject, against the installed CMake package, through pkg-config -
# and runs each build headless for a few frames.
# Usage: tools/check-example.sh SOURCE_DIR BUILD_DIR WORK_DIR [cmake options]
# BUILD_DIR is a built tree of the library, installed into WORK_DIR/prefix;
# the cmake options (generator, build type, compilers) go to both example builds.
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
mkdir -p "$3"
work=$(cd "$3" && pwd)
shift 3
jobs=${ZARVO_EXAMPLE_JOBS:-4}
frames=5
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

# Runs a build step with its output in a log file, shown when the step fails.
step() {
  local log="$work/$1.log"
  shift
  if ! "$@" >> "$log" 2>&1; then
    cat "$log"
    echo "example check: '$*' failed"
    exit 1
  fi
}

# Runs the program in a fresh folder of its own; its output (the library's
# debugger output carries the log) is shown when it fails.
run() {
  local dir="$work/run-$1"
  rm -rf "$dir"
  mkdir -p "$dir"
  if ! (cd "$dir" && ZARVO_INSTANCE_DIR="$dir" "$2" "$frames" > output.txt 2>&1); then
    cat "$dir/output.txt"
    echo "example ($1) failed"
    exit 1
  fi
  echo "example ($1): ran $frames frames"
}
rm -f "$work"/*.log

# A subproject: the example's CMakeLists.txt takes the source tree in with
# add_subdirectory. Its build folder is kept, so later runs rebuild only what changed.
step subproject cmake -S "$src/examples/hello" -B "$work/subproject" -DZARVO_SOURCE="$src" "$@"
step subproject cmake --build "$work/subproject" -j "$jobs"
run subproject "$work/subproject/hello"

# The installed package, found by find_package(zarvo) in a temporary prefix.
rm -rf "$work/prefix" "$work/package"
step package cmake --install "$build" --prefix "$work/prefix"
step package cmake -S "$src/examples/hello" -B "$work/package" -DCMAKE_PREFIX_PATH="$work/prefix" "$@"
step package cmake --build "$work/package" -j "$jobs"
run package "$work/package/hello"

# pkg-config against the same prefix.
pc=$(find "$work/prefix" -name zarvo.pc)
flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --static --cflags --libs zarvo)
# shellcheck disable=SC2086
step pkg-config c++ -std=c++17 "$src/examples/hello/main.cpp" -o "$work/hello-pkg-config" $flags
run pkg-config "$work/hello-pkg-config"
