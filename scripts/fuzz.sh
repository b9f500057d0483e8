#!/usr/bin/env bash
# Builds every libFuzzer harness (fuzz/ and flash/image/fuzz) in build/fuzz
# and runs each, one after the other in a single process, for SECONDS.
# Prints per harness the inputs run, inputs per second, coverage and
# findings; exits 1 when any harness found a crash, leak, timeout or memory
# blow-up (the input is kept under the name printed), 2 on a usage or build
# error.
#   scripts/fuzz.sh SECONDS
#   scripts/fuzz.sh --campaign [SECONDS]   each harness to FUZZ_RUNS inputs
#                    (default 10,000,000) or SECONDS (default 3600), whichever
#                    comes first; the table is also kept in build/fuzz/campaign.txt
#   FUZZ_RUNS=N      stop each harness after N inputs (SECONDS stays the cap)
#   FUZZ_CAPS="name=SECONDS ..."  a cap of its own for some harnesses
#   FUZZ_JOBS=N      build jobs (default 1)
#   FUZZ_ONLY="a b"  run only these harnesses
#   FUZZ_SEEDS_ONLY=1  start from the seeds alone and keep nothing found
#                    (the corpus otherwise grows in build/fuzz/corpus)
set -uo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: scripts/fuzz.sh SECONDS | scripts/fuzz.sh --campaign [SECONDS]" >&2
  exit 2
}
campaign=0
if [ "${1:-}" = --campaign ]; then
  campaign=1
  seconds=${2:-3600}
  runs=${FUZZ_RUNS:-10000000}
else
  seconds=${1:-}
  runs=${FUZZ_RUNS:-}
fi
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || usage
[ -z "$runs" ] || [[ "$runs" =~ ^[1-9][0-9]*$ ]] || usage
# A cap of its own for a harness named in FUZZ_CAPS.
cap_of() {
  local entry
  for entry in ${FUZZ_CAPS:-}; do
    [[ "$entry" =~ ^([a-z_0-9]+)=([1-9][0-9]*)$ ]] || usage
    [ "${BASH_REMATCH[1]}" = "$1" ] && { echo "${BASH_REMATCH[2]}"; return; }
  done
  echo "$seconds"
}
cap_of - >/dev/null || exit 2

# name | max input length | dictionary (fuzz/dict) | seed folder (under the seeds folder)
harnesses=(
  "fuzz_lzss_decode|16384|lzss|fuzz_lzss_decode"
  "fuzz_ini_profile|4096|ini|fuzz_ini_profile"
  "fuzz_partnum|4096|partnum|fuzz_partnum"
  "fuzz_partition_table|1100|partition|fuzz_partition_table"
  "fuzz_wset|64|wset|fuzz_wset"
  "fuzz_file_option|140000|image|fuzz_file_option"
  "fuzz_inspect|140000|image|fuzz_inspect"
  "fuzz_emulated_driver|140000|driver|fuzz_emulated_driver"
  "fuzz_flashrom_driver|140000|driver|fuzz_flashrom_driver"
  "fuzz_locate_regions|80000|image|image/locate"
  "fuzz_package_search|8192|image|image/package"
  "fuzz_compressed_checksum|80000|image|image/checksum"
)

# clang with its libFuzzer and sanitizer runtimes.
fuzzer_works() {
  echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer,address,undefined -o /dev/null - >/dev/null 2>&1
}
if ! command -v clang++ >/dev/null || ! fuzzer_works; then
  export DEBIAN_FRONTEND=noninteractive
  packages=(clang libclang-rt-dev)
  echo "Installing: ${packages[*]}"
  apt-get install -y -qq "${packages[@]}" || { apt-get update -qq && apt-get install -y -qq "${packages[@]}"; }
  fuzzer_works || { echo "fuzz.sh: clang cannot build libFuzzer programs" >&2; exit 2; }
fi

build=build/fuzz
mkdir -p "$build"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBIOS_FUZZ=ON -DBIOS_IMAGE_FUZZ=ON -DBIOS_SANITIZE=ON -DBIOS_TESTS=OFF -DBIOS_GUI=OFF \
  -DBIOS_BENCHMARKS=OFF >"$build.configure.log" 2>&1 || { cat "$build.configure.log" >&2; exit 2; }
targets=(fuzz_make_seeds)
for h in "${harnesses[@]}"; do targets+=("${h%%|*}"); done
cmake --build "$build" -j"${FUZZ_JOBS:-1}" --target "${targets[@]}" >"$build.build.log" 2>&1 ||
  { tail -n 40 "$build.build.log" >&2; exit 2; }

seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds/image"
"$build/fuzz/fuzz_make_seeds" "$seeds" || exit 2
python3 flash/image/fuzz/make_seeds.py "$seeds/image" || exit 2

# Harnesses that read files do so in memory-backed folders when there are some.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  scratch=$(mktemp -d /dev/shm/bios-fuzz.XXXXXX)
else
  scratch=$(mktemp -d)
fi
trap 'rm -rf "$scratch"' EXIT

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
findings=$build/findings
mkdir -p "$findings"
status=0
table=$build/campaign.txt
row() { printf '%-26s %12s %10s %8s %14s %9s %s\n' "$@"; }
header=$(row harness inputs inputs/s seconds "cov (edges)" features findings)
echo "$header"
if [ $campaign = 1 ]; then
  { echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
    echo "# up to $runs inputs or $seconds s per harness${FUZZ_CAPS:+ (caps: $FUZZ_CAPS)}"
    echo "$header"; } >"$table"
fi
for h in "${harnesses[@]}"; do
  IFS='|' read -r name maxlen dict seedDir <<<"$h"
  if [ -n "${FUZZ_ONLY:-}" ] && ! [[ " $FUZZ_ONLY " == *" $name "* ]]; then continue; fi
  exe=$(find "$build" -name "$name" -type f -perm -u+x | head -n 1)
  [ -n "$exe" ] || { echo "fuzz.sh: $name was not built" >&2; exit 2; }
  corpus=$build/corpus/$name
  [ "${FUZZ_SEEDS_ONLY:-0}" = 1 ] && corpus=$scratch/corpus-$name
  mkdir -p "$corpus" "$scratch/$name"
  log=$build/$name.log
  cap=$(cap_of "$name") || exit 2
  args=(-max_total_time="$cap" -print_final_stats=1 -max_len="$maxlen" -timeout=25
        -rss_limit_mb=2560 -artifact_prefix="$findings/$name-")
  [ -n "$runs" ] && args+=(-runs="$runs")
  [ -f "fuzz/dict/$dict.dict" ] && args+=(-dict="fuzz/dict/$dict.dict")
  started=$SECONDS
  TMPDIR="$scratch/$name" "$exe" "${args[@]}" "$corpus" "$seeds/$seedDir" >"$log" 2>&1
  rc=$?
  took=$((SECONDS - started))
  done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  total=$(sed -n 's/.*Loaded 1 modules *(\([0-9]*\) inline 8-bit counters.*/\1/p' "$log" | head -n 1)
  found=$(grep -c 'Test unit written to' "$log")
  [ $rc -ne 0 ] && [ "$found" = 0 ] && found="exit $rc"
  line=$(row "$name" "${done_runs:-?}" "${rate:-?}" "$took" "${cov:-?}/${total:-?}" "${ft:-?}" "$found")
  echo "$line"
  [ $campaign = 1 ] && echo "$line" >>"$table"
  if [ $rc -ne 0 ]; then
    status=1
    echo "  FINDING in $name (exit $rc); log: $log" >&2
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" | head -n 3 | sed 's/^/  /' >&2
    grep -o 'Test unit written to .*' "$log" | sed 's/^/  /' >&2
  fi
done
exit $status
