#!/usr/bin/env bash
# Builds a crisis USB key image and a crisis floppy image from the bundled
# sample working and project folders with tavrin-build, checks both with
# fsck.fat and prints the result. Usage: build-sample-disks.sh BUILD_DIR [OUT_DIR]
set -uo pipefail
build=$(cd "${1:?build directory}" && pwd)
out=${2:-$build/samples/tavrin/disks}
tools=$build/tools/tavrin-build
mkdir -p "$out"
out=$(cd "$out" && pwd)
sample=$out/folders
rm -rf "$sample"
"$tools/tavrin-sample" "$sample" || exit 1
export MTOOLS_SKIP_CHECK=1
# The images are the only drives: no real disk is listed or written.
unset BIOS_TOOLS_REAL_DISKS BIOS_TOOLS_DISK_IMAGES
cfg=$(mktemp -d)
trap 'rm -rf "$cfg"' EXIT
export XDG_CONFIG_HOME=$cfg XDG_STATE_HOME=$cfg XDG_DATA_HOME=$cfg

status=0
check() {  # name image [offset]
  local target=$2
  [ -n "${3:-}" ] && target="$2@@$3"
  if fsck.fat -n "$2" > "$out/$1.fsck.txt" 2>&1; then
    echo "$1: fsck.fat -n: clean"
  else
    echo "$1: fsck.fat -n reported problems:"; sed 's/^/    /' "$out/$1.fsck.txt"; status=1
  fi
  echo "$1: files:"; mdir -b -i "$target" :: 2>&1 | sed 's/^/    /'
}

rm -f "$out/crisis-key.img" "$out/crisis-floppy.img"
truncate -s 64M "$out/crisis-key.img"
truncate -s 1474560 "$out/crisis-floppy.img"
(cd "$sample/work" &&
 "$tools/tavrin-build" --yes --project ../project --drive "$out/crisis-key.img" --compress \
   > "$out/crisis-key.log") || { echo "USB key build failed (see $out/crisis-key.log)"; status=1; }
check crisis-key "$out/crisis-key.img"
(cd "$sample/work" &&
 "$tools/tavrin-build" --yes --project ../project --drive "$out/crisis-floppy.img" \
   > "$out/crisis-floppy.log") || { echo "floppy build failed (see $out/crisis-floppy.log)"; status=1; }
check crisis-floppy "$out/crisis-floppy.img"
echo "images in $out"
exit $status
