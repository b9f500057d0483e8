#!/usr/bin/env bash
# Takes the README screenshots under Xvfb (1280x1024, no window manager, so
# no title bars): brimlet's pages, the window without a package, the
# programming dialog and the first-paint question into flash/ui/doc, tavrin's
# dialog and its open drive list into crisis/app/ui/doc.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default build/test; not run by ./test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh --screenshots
build=${1:-build/test}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBIOS_TESTS=ON >/dev/null
fi
cmake --build "$build" -j2 --target brimlet tavrin flash_ui_wx_tests brimlet-pack brimlet-imagegen brimlet-romread
build=$(cd "$build" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export ASAN_OPTIONS=detect_leaks=0 BIOS_TOOLS_NO_POWER_ACTION=1
screen="-screen 0 1280x1024x24"

echo "== brimlet's pages, the window without a package, the programming dialog mid-flash"
BRIMLET_SCREENSHOT_DIR="$root/flash/ui/doc" xvfb-run -a -s "$screen" "$build/flash/ui/wx/flash_ui_wx_tests" \
  --gtest_filter='MainWindow.PagesChangeSettingsWord:MainWindow.SlowFlash*:MainWindow.WithoutPackage*' \
  >"$tmp/tests.log" 2>&1 || { cat "$tmp/tests.log"; exit 1; }

# Runs COMMAND on a fresh Xvfb, waits for a window named WAIT, optionally
# clicks at a point of window CLICK_IN given in its own pixels, then writes
# the screen cropped to window CROP into OUT.
# shot OUT CROP WAIT [CLICK_IN X Y] -- COMMAND...
shot() {
  local out=$1 crop=$2 wait=$3
  shift 3
  local click=()
  while [ "$1" != -- ]; do click+=("$1"); shift; done
  shift
  rm -rf "$tmp/fb" && mkdir -p "$tmp/fb"
  cat >"$tmp/inside.sh" <<INSIDE
set -eu
"\$@" >/dev/null 2>&1 &
pid=\$!
xdotool search --sync --onlyvisible --name "^$wait\\\$" >/dev/null
sleep 2
if [ -n "${click[0]:-}" ]; then
  win=\$(xdotool search --onlyvisible --name "^${click[0]:-}\\\$" | head -n1)
  xdotool mousemove --window "\$win" ${click[1]:-0} ${click[2]:-0} click 1
  sleep 2
fi
cp "$tmp/fb/Xvfb_screen0" "$tmp/screen.xwd"
xwininfo -name "$crop" >"$tmp/geometry"
kill \$pid
INSIDE
  xvfb-run -a -s "$screen -fbdir $tmp/fb" sh "$tmp/inside.sh" "$@"
  local x y w h
  x=$(awk '/Absolute upper-left X/ {print $NF}' "$tmp/geometry")
  y=$(awk '/Absolute upper-left Y/ {print $NF}' "$tmp/geometry")
  w=$(awk '/Width:/ {print $NF}' "$tmp/geometry")
  h=$(awk '/Height:/ {print $NF}' "$tmp/geometry")
  python3 "$root/scripts/xwd_to_png.py" "$tmp/screen.xwd" "$out" "$x" "$y" "$w" "$h"
  echo "$out (${w}x${h})"
}

echo "== brimlet with a package on the demo machine: the first paint's question"
demo=$tmp/demo
mkdir -p "$demo/prog" "$demo/state" "$demo/data" "$demo/config" "$demo/run"
export XDG_STATE_HOME="$demo/state" XDG_DATA_HOME="$demo/data" XDG_CONFIG_HOME="$demo/config" XDG_RUNTIME_DIR="$demo/run"
unset BRIMLET_MACHINE
"$build/tools/imagegen/brimlet-imagegen" update "$demo/update.rom" >/dev/null
"$build/tools/pack/brimlet-pack" --settings 0100001000001000011011101001000000 \
  --image "$demo/update.rom" --exe "$build/flash/ui/brimlet" -o "$demo/prog/brimlet" >/dev/null
cp "$build/flash/ui/flash.sys" "$demo/prog/"
"$build/tools/romread/brimlet-romread" "$demo/before.rom" >/dev/null
(cd "$demo/prog" && shot "$root/flash/ui/doc/first-paint-question.png" "Brimlet V1.05.08" "Brimlet Warning" -- ./brimlet /kpsw)

echo "== tavrin with a floppy and a USB key attached"
mkdir -p "$tmp/work" "$tmp/cfg"
truncate -s 1440K "$tmp/floppy.img"
truncate -s 64M "$tmp/key.img"
export BIOS_TOOLS_DISK_IMAGES="A=$tmp/floppy.img:$tmp/key.img" XDG_CONFIG_HOME="$tmp/cfg"
caption="Quorvel Crisis Disk Build(For  internal test,do not release to customers )"
pattern="Quorvel Crisis Disk Build\\(For  internal test,do not release to customers \\)"
cd "$tmp/work"
shot "$root/crisis/app/ui/doc/tavrin-dialog.png" "$caption" "$pattern" -- "$build/crisis/app/ui/tavrin" /home/engineer/bios/4A1
# The drive list opens on a click into it (dialog units 14,61, 194 wide; the dialog is 221x278).
geometry=$(xvfb-run -a -s "$screen" sh -c "\"$build/crisis/app/ui/tavrin\" >/dev/null 2>&1 & pid=\$!;
  xdotool search --sync --onlyvisible --name '^$pattern\$' >/dev/null; sleep 1;
  xwininfo -name '$caption'; kill \$pid")
w=$(echo "$geometry" | awk '/Width:/ {print $NF}')
h=$(echo "$geometry" | awk '/Height:/ {print $NF}')
shot "$root/crisis/app/ui/doc/tavrin-drive-list.png" "$caption" "$pattern" "$pattern" $((80 * w / 221)) $((68 * h / 278)) -- \
  "$build/crisis/app/ui/tavrin" /home/engineer/bios/4A1
