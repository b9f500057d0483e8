#!/bin/sh
# Batch builds from the sample folders onto image files, checked with
# dosfstools and mtools; refusals exit non-zero.
set -eu
build=$1
sample=$2
qzw=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/cfg" XDG_DATA_HOME="$dir/cfg" XDG_STATE_HOME="$dir/cfg" XDG_RUNTIME_DIR="$dir/cfg"
unset BIOS_TOOLS_REAL_DISKS BIOS_TOOLS_DISK_IMAGES || true
mkdir -p "$dir/cfg"
"$sample" "$dir/s"
cd "$dir/s/work"
before=$(ls -l --time-style=+ . | md5sum)

# A compressed MINIDOS key in the "Removable" layout.
truncate -s 32M "$dir/key.img"
"$build" --project ../project --drive "$dir/key.img" --compress > "$dir/out.txt"
grep -q '^Copying bios.qzw...$' "$dir/out.txt"
grep -q '^Progress: ' "$dir/out.txt"
fsck.fat -n "$dir/key.img" > /dev/null
mdir -b -i "$dir/key.img" :: > "$dir/dir.txt"
for f in MINIDOS.SYS KAVLO16.EXE VGABIOS.EXE BIOS.QZW; do grep -qi "$f" "$dir/dir.txt"; done
mtype -i "$dir/key.img" ::BIOS.QZW > "$dir/bios.qzw"
"$qzw" decode "$dir/bios.qzw" "$dir/bios.out"
cmp "$dir/bios.out" ../project/flashabl.rom
[ "$(ls -l --time-style=+ . | md5sum)" = "$before" ] || { echo "working folder changed"; exit 1; }
[ ! -e "$dir/cfg/tavrin.ini" ] || { echo "the batch build wrote tavrin.ini"; exit 1; }

# The "Fixed" layout puts the file system in the partition at sector 63.
truncate -s 32M "$dir/fixed.img"
"$build" --project ../project --drive "$dir/fixed.img" --layout fixed > /dev/null
mdir -b -i "$dir/fixed.img@@32256" :: | grep -qi MINIDOS.SYS

# FULLDOS is refused on a USB key; a rejected project fails.
truncate -s 32M "$dir/key2.img"
if "$build" --project ../project --drive "$dir/key2.img" --mode fulldos > /dev/null 2>&1; then
  echo "FULLDOS on a key was accepted"; exit 1
fi
if "$build" --project /nonexistent --drive "$dir/key2.img" > /dev/null 2>&1; then
  echo "a missing project was accepted"; exit 1
fi
if "$build" --drive "$dir/key2.img" > /dev/null 2>&1; then echo "no --project accepted"; exit 1; fi
echo "tavrin-build: all checks passed"
