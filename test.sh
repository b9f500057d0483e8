#!/usr/bin/env bash
# The one test command: installs what is missing, builds with ASan/UBSan and
# runs every test through CTest (GUI tests under xvfb-run).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBIOS_SANITIZE=ON -DBIOS_TESTS=ON >/dev/null
cmake --build "$build" -j2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export BIOS_TOOLS_NO_POWER_ACTION=1
status=0
(cd "$build" && ctest --output-on-failure -j2 -LE gui) || status=1
if (cd "$build" && ctest -N -L gui | grep -q 'Total Tests: [1-9]'); then
  (cd "$build" && xvfb-run -a ctest --output-on-failure -L gui) || status=1
fi
# Every fuzz harness briefly, in its own clang build (build/fuzz), as a
# smoke test; BIOS_SKIP_FUZZ=1 leaves it out.
if [ "${BIOS_SKIP_FUZZ:-0}" != 1 ]; then
  echo "Fuzz smoke run (2 s per harness):"
  FUZZ_JOBS=2 FUZZ_SEEDS_ONLY=1 scripts/fuzz.sh 2 || status=1
fi
exit $status
