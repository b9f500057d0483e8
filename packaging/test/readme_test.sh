#!/bin/bash
# Runs the commands of the README's "Getting started" section in order, as a
# newcomer would paste them, in a scratch copy of the source tree with its own
# HOME. The first block's build lines (install-deps, configure, build) are
# skipped: the build they make is BUILD_DIR, linked in as build/release, and
# ./test.sh and ./run build the same way. Every other line runs as written.
# Usage: readme_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
[ -n "${README_TEST_KEEP:-}" ] && trap - EXIT

# The fenced sh blocks between "## Getting started" and the next "## ".
awk '/^## Getting started/ { on = 1; next }
     on && /^## / { exit }
     on && /^```sh$/ { inblock = 1; print "# ---- block " ++n; next }
     inblock && /^```$/ { inblock = 0; next }
     inblock { print }' "$src/README.md" >"$scratch/blocks.sh"
[ "$(grep -c '^# ---- block' "$scratch/blocks.sh")" -ge 4 ] || { echo "FAIL: no Getting started blocks"; exit 1; }

# Lines ending in '\' continue; the skipped build lines are single lines.
{
  echo 'set -euo pipefail'
  echo 'set -x'
  sed -E 's@^(scripts/install-deps\.sh|cmake -S |cmake --build )@: skipped, the test build stands in: &@' "$scratch/blocks.sh"
} >"$scratch/run.sh"
grep -q '^cmake --install build/release' "$scratch/run.sh" || { echo "FAIL: the README does not install"; exit 1; }

mkdir -p "$scratch/src/build" "$scratch/home"
(cd "$src" && git ls-files -z 2>/dev/null | xargs -0 -I{} cp --parents {} "$scratch/src/" 2>/dev/null) ||
  cp -r "$src/README.md" "$src/scripts" "$scratch/src/"
ln -s "$build" "$scratch/src/build/release"

# Nothing leaves the scratch folder: HOME, the XDG folders and the machine-wide
# lock (which brimlets of parallel tests would share) are inside it.
env -i PATH="/usr/bin:/bin" HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" \
    BIOS_TOOLS_LOCK_DIR="$scratch/run" ASAN_OPTIONS="${ASAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" \
    bash -c "mkdir -p \"\$XDG_RUNTIME_DIR\" && cd '$scratch/src' && . '$scratch/run.sh'" \
    >"$scratch/out" 2>&1 || { cat "$scratch/out"; echo "FAIL: a README command failed (above)"; exit 1; }

try="$scratch/home/bios-try"
cmp -s "$try/before.rom" "$try/after.rom" && { cat "$scratch/out"; echo "FAIL: the README's flash left the ROM as it was"; exit 1; }
grep -q 'the ROM was rewritten' "$scratch/out" || { cat "$scratch/out"; echo "FAIL: no 'the ROM was rewritten'"; exit 1; }
grep -q 'Layout: *Quorvel' "$scratch/out" || { cat "$scratch/out"; echo "FAIL: brimlet-inspect did not find the layout"; exit 1; }
echo "README commands: ok ($(grep -c '^++* ' "$scratch/out") commands run)"
