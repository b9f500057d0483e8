#!/bin/sh
# The command-line programs need no window library: none is in what they
# link (ldd), and none is loaded when they answer --help on a desktop with
# brimlet's window module beside brimlet (LD_DEBUG). Only tavrin's window
# program and brimlet-gui.so may bring wx and GTK.
# Usage: no_window_libraries_test.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
tools="flash/ui/brimlet tools/romread/brimlet-romread tools/inspect/brimlet-inspect
tools/pack/brimlet-pack tools/imagegen/brimlet-imagegen tools/qzw/qzw
tools/tavrin-build/tavrin-build tools/tavrin-build/tavrin-sample tools/crisis-samples/crisis-samples"
window_libraries='libwx_|libgtk-|libgdk-|libX11\.|brimlet-gui\.so'

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_STATE_HOME="$scratch/state" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config"
export XDG_RUNTIME_DIR="$scratch/run" BIOS_TOOLS_LOCK_DIR="$scratch/run" BIOS_TOOLS_NO_POWER_ACTION=1
mkdir -p "$scratch/run"
failures=0
ok() { echo "ok   $1: $2"; }
fail() { echo "FAIL $1: $2"; failures=$((failures + 1)); }

for tool in $tools; do
  exe="$build/$tool"
  name=$(basename "$tool")
  if [ ! -x "$exe" ]; then
    fail "$name" "not built: $exe"
    continue
  fi
  if ! ldd "$exe" >"$scratch/ldd" 2>&1; then
    fail "$name" "ldd failed: $(cat "$scratch/ldd")"
  elif grep -E "$window_libraries" "$scratch/ldd" >"$scratch/found"; then
    fail "$name" "links window libraries: $(tr '\n' ' ' <"$scratch/found")"
  else
    ok "$name" "links no window library"
  fi
  rm -f "$scratch"/ld.*
  (cd "$scratch" && DISPLAY=:4097 LD_DEBUG=libs LD_DEBUG_OUTPUT="$scratch/ld" "$exe" --help >/dev/null 2>&1)
  if ! cat "$scratch"/ld.* 2>/dev/null | grep -q 'calling init:'; then
    fail "$name" "no loader log for --help"
  elif cat "$scratch"/ld.* | grep 'calling init:' | grep -E "$window_libraries" >"$scratch/found"; then
    fail "$name" "--help with a display loads: $(tr '\n' ' ' <"$scratch/found")"
  else
    ok "$name" "--help with a display loads no window library"
  fi
done

# The check itself: brimlet's window module does link them.
module="$build/flash/ui/brimlet-gui.so"
if [ -f "$module" ]; then
  if ldd "$module" | grep -qE 'libwx_|libgtk-'; then
    ok brimlet-gui.so "links wx and GTK (the pattern finds them)"
  else
    fail brimlet-gui.so "links no wx/GTK: the check above would find nothing"
  fi
fi
[ "$failures" -eq 0 ]
