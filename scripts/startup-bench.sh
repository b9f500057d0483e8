#!/usr/bin/env bash
# On-demand benchmark (not a test): start-up of `brimlet --help` on a desktop
# (DISPLAY set, window module beside it) against `flashrom --help`, minimum of
# 20 runs each, interleaved in one run; then the silent flash benchmark.
# Usage: scripts/startup-bench.sh [--before GIT-REVISION]
#   --before builds brimlet of that revision too (Release) and times it alongside.
set -euo pipefail
cd "$(dirname "$0")/.."
before=""
if [ "${1:-}" = --before ]; then
  before=${2:?--before needs a git revision}
fi
if ! command -v flashrom >/dev/null; then
  echo "Installing: flashrom (the reference for start-up time)"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq flashrom
fi
build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBIOS_TESTS=OFF -DBIOS_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j2 --target brimlet brimlet-gui brimlet_startup_bench brimlet_flash_bench >/dev/null
programs=("flashrom --help=$(command -v flashrom) --help"
          "brimlet --help=$PWD/$build/flash/ui/brimlet --help")
if [ -n "$before" ]; then
  src=build/bench-before-src
  rm -rf "$src"
  mkdir -p "$src"
  git archive "$before" | tar -x -C "$src"
  cmake -S "$src" -B build/bench-before -G Ninja -DCMAKE_BUILD_TYPE=Release -DBIOS_TESTS=OFF >/dev/null
  cmake --build build/bench-before -j2 --target brimlet >/dev/null
  programs+=("brimlet --help ($before)=$PWD/build/bench-before/flash/ui/brimlet --help")
fi
export DISPLAY=${DISPLAY:-:0}
"$build/flash/app/brimlet_startup_bench" 20 "${programs[@]}"
echo
"$build/flash/app/brimlet_flash_bench"
