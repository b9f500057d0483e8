#!/bin/sh
# Screenshot of the main dialog under Xvfb with an attached 64 MiB key image.
# Usage: doc/screenshot.sh TAVRIN OUT.png
set -eu
tavrin=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/fb" "$tmp/cfg" "$tmp/work"
truncate -s 64M "$tmp/key.img"
cd "$tmp/work"
BIOS_TOOLS_DISK_IMAGES="$tmp/key.img" XDG_CONFIG_HOME="$tmp/cfg" ASAN_OPTIONS=detect_leaks=0 \
  xvfb-run -a -s "-screen 0 640x720x24 -fbdir $tmp/fb" sh -c \
  "\"$tavrin\" /home/engineer/bios/4A1 2>/dev/null & pid=\$!; sleep 4; cp $tmp/fb/Xvfb_screen0 $tmp/screen.xwd; kill \$pid"
python3 "$here/xwd_to_png.py" "$tmp/screen.xwd" "$out" 0 0 442 591
