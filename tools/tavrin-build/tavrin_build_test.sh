#!/bin/sh
# Batch builds from the sample folders onto image files, checked with
# dosfstools and mtools; refusals exit non-zero and leave the image as it was.
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
fail() { echo "$*"; exit 1; }
unchanged() {  # image hash-before -- what
  [ "$(sha256sum < "$1")" = "$2" ] || fail "$3 changed the image"
}

# Command-line conventions: help and version on stdout with status 0; usage
# errors exit 2, name no file, create nothing.
"$build" --help > "$dir/help.txt"
grep -q '^usage: tavrin-build' "$dir/help.txt"
"$build" -h | grep -q -- '--yes'
"$build" --version | grep -q '^tavrin-build (bios-tools) [0-9]'
for args in "--bogus" "--project" "--project --drive x.img" "--drive --project x" "stray.img" \
            "--mode=x --project p --drive d" "--list --drive d" "--yes=1 --project p --drive d"; do
  status=0
  # shellcheck disable=SC2086
  "$build" $args > "$dir/out.txt" 2> "$dir/err.txt" < /dev/null || status=$?
  [ $status -eq 2 ] || fail "'$args' gave status $status, not 2"
  grep -q "tavrin-build --help" "$dir/err.txt" || fail "'$args' gave no hint"
done
[ ! -e x.img ] && [ ! -e d ] && [ ! -e stray.img ] || fail "a usage error created a file"
[ "$(ls -l --time-style=+ . | md5sum)" = "$before" ] || fail "a usage error changed the working folder"

# A compressed MINIDOS key in the "Removable" layout; the project's files
# keep their own dates on the key, and the last progress line is full.
touch -d '2001-02-03 04:05:06' ../project/vgabios.exe
truncate -s 32M "$dir/key.img"
"$build" --yes --project ../project --drive "$dir/key.img" --compress > "$dir/out.txt"
grep -q '^Copying bios.qzw...$' "$dir/out.txt"
[ "$(grep '^Progress: ' "$dir/out.txt" | tail -n 1)" = "Progress: 50/50" ] || fail "progress ends short of 50/50"
fsck.fat -n "$dir/key.img" > /dev/null
mdir -i "$dir/key.img" :: > "$dir/dir.txt"
grep -i '^VGABIOS  *EXE' "$dir/dir.txt" | grep -q '2001-02-03' || fail "vgabios.exe lost its date: $(cat "$dir/dir.txt")"
mdir -b -i "$dir/key.img" :: > "$dir/dir.txt"
for f in MINIDOS.SYS KAVLO16.EXE VGABIOS.EXE BIOS.QZW; do grep -qi "$f" "$dir/dir.txt"; done
mtype -i "$dir/key.img" ::BIOS.QZW > "$dir/bios.qzw"
"$qzw" decode "$dir/bios.qzw" "$dir/bios.out"
cmp "$dir/bios.out" ../project/flashabl.rom
[ "$(ls -l --time-style=+ . | md5sum)" = "$before" ] || fail "working folder changed"
[ ! -e "$dir/cfg/tavrin.ini" ] || fail "the batch build wrote tavrin.ini"

# The "Fixed" layout puts the file system in the partition at sector 63.
truncate -s 32M "$dir/fixed.img"
"$build" --yes --project ../project --drive "$dir/fixed.img" --layout fixed > /dev/null
mdir -b -i "$dir/fixed.img@@32256" :: | grep -qi MINIDOS.SYS

# Without --yes and without a terminal nothing is erased.
truncate -s 32M "$dir/ask.img"
hash=$(sha256sum < "$dir/ask.img")
if "$build" --project ../project --drive "$dir/ask.img" < /dev/null > /dev/null 2> "$dir/err.txt"; then
  fail "a build without --yes and without a terminal went ahead"
fi
grep -q -- '--yes' "$dir/err.txt"
unchanged "$dir/ask.img" "$hash" "a build without --yes"

# On a terminal the erase is asked, naming the device and its size; only "y" goes on.
if command -v script > /dev/null; then
  cmd="'$build' --project ../project --drive '$dir/ask.img'"
  status=0
  echo n | script -qec "$cmd" /dev/null > "$dir/out.txt" 2>&1 || status=$?
  [ "$status" -eq 3 ] || fail "a declined erase exits $status, not 3 (declined): $(cat "$dir/out.txt")"
  grep -q "the erase of $dir/ask.img was declined; nothing was written" "$dir/out.txt" || fail "no word of the decline"
  grep -q "Erase all data on $dir/ask.img (disk image, 31.4Mb)? \[y/N\]" "$dir/out.txt" || fail "no prompt: $(cat "$dir/out.txt")"
  unchanged "$dir/ask.img" "$hash" "a declined erase"
  echo y | script -qec "$cmd" /dev/null > "$dir/out.txt" 2>&1 || fail "a confirmed erase failed: $(cat "$dir/out.txt")"
  fsck.fat -n "$dir/ask.img" > /dev/null
else
  echo "tavrin-build: script(1) is missing, the terminal prompt is not checked"
fi

# Refused before anything is written: a fixed disk named directly, a
# write-protected key, a 4 MiB key.
truncate -s 32M "$dir/disk.img"
hash=$(sha256sum < "$dir/disk.img")
if BIOS_TOOLS_DISK_IMAGES="fixed=$dir/disk.img" "$build" --yes --project ../project --drive "$dir/disk.img" \
     > /dev/null 2> "$dir/err.txt"; then fail "a fixed disk was built on"; fi
grep -q 'not removable' "$dir/err.txt"
unchanged "$dir/disk.img" "$hash" "a fixed disk named directly"
truncate -s 32M "$dir/ro.img"
chmod 444 "$dir/ro.img"
hash=$(sha256sum < "$dir/ro.img")
if "$build" --yes --project ../project --drive "$dir/ro.img" > "$dir/out.txt" 2>&1; then fail "a write-protected key was built on"; fi
grep -q "Error, the disk $dir/ro.img is write-protected" "$dir/out.txt"
unchanged "$dir/ro.img" "$hash" "a write-protected key"
head -c 4194304 /dev/urandom > "$dir/small.img"
hash=$(sha256sum < "$dir/small.img")
if "$build" --yes --project ../project --drive "$dir/small.img" > "$dir/out.txt" 2>&1; then fail "a 4 MiB key was built on"; fi
grep -q "is too small for a crisis disk" "$dir/out.txt"
unchanged "$dir/small.img" "$hash" "a 4 MiB key"

# --list: attached images with their sizes and states, and why others are left out.
BIOS_TOOLS_DISK_IMAGES="$dir/key.img:$dir/ro.img:fixed=$dir/disk.img" "$build" --list > "$dir/list.txt"
grep -q "PhysicalDrive0 .*$dir/key.img (disk image, 31.4Mb)$" "$dir/list.txt" || fail "--list: $(cat "$dir/list.txt")"
grep -q "$dir/ro.img (disk image, 31.4Mb), write-protected$" "$dir/list.txt"
grep -q "^Left out:" "$dir/list.txt"
grep -q "$dir/disk.img (disk image, 31.4Mb): not removable$" "$dir/list.txt"

# --list with real disks asked for, over a stand-in sysfs: maker and model of
# a USB key, and why an internal disk and the system's own disk are left out.
sys="$dir/sys"
fake_disk() {  # name sectors removable dev vendor model
  mkdir -p "$sys/block/$1/device" "$dir/dev"
  echo "$2" > "$sys/block/$1/size"; echo "$3" > "$sys/block/$1/removable"
  echo 0 > "$sys/block/$1/ro"; echo "$4" > "$sys/block/$1/dev"
  echo "$5" > "$sys/block/$1/device/vendor"; echo "$6" > "$sys/block/$1/device/model"
  truncate -s $(($2 * 512)) "$dir/dev/$1"
}
fake_disk sda 1000000 0 4000:0 "ATA     " "Internal SSD    "
fake_disk sdb 15630336 1 4000:16 "SanDisk " "Cruzer Blade    "
fake_disk sdc 200000 1 "$(stat -c '%Hd:%Ld' /)" "Kingston" "DataTraveler"
BIOS_TOOLS_REAL_DISKS=1 BIOS_TOOLS_SYSFS_ROOT="$sys" BIOS_TOOLS_DEV_ROOT="$dir/dev" "$build" --list > "$dir/list.txt"
grep -q "PhysicalDrive1 .*$dir/dev/sdb (SanDisk Cruzer Blade, 7.4Gb)$" "$dir/list.txt" || fail "--list: $(cat "$dir/list.txt")"
grep -q "$dir/dev/sda (ATA Internal SSD, 486.3Mb): not removable$" "$dir/list.txt"
grep -q "$dir/dev/sdc (Kingston DataTraveler, 94.1Mb): system disk$" "$dir/list.txt"

# Two builds started together on one key: each either builds or is refused
# before it writes (it never gets to the boot sector); the key stays sound.
i=0; one=0
while [ $i -lt 20 ]; do
  rm -f "$dir/race.img"; truncate -s 32M "$dir/race.img"
  "$build" --yes --project ../project --drive "$dir/race.img" > "$dir/r1.txt" 2>&1 & p1=$!
  "$build" --yes --project ../project --drive "$dir/race.img" > "$dir/r2.txt" 2>&1 & p2=$!
  s1=0; wait $p1 || s1=$?
  s2=0; wait $p2 || s2=$?
  [ $s1 -eq 0 ] || [ $s2 -eq 0 ] || fail "neither of two builds built: $(cat "$dir/r1.txt" "$dir/r2.txt")"
  for r in 1 2; do
    eval "s=\$s$r"
    if [ "$s" -ne 0 ]; then
      grep -q "is in use" "$dir/r$r.txt" || fail "refused without the in-use message: $(cat "$dir/r$r.txt")"
      if grep -q "Updating Boot Sector" "$dir/r$r.txt"; then fail "a refused build got to the boot sector"; fi
      one=$((one + 1))
    fi
  done
  fsck.fat -n "$dir/race.img" > "$dir/fsck.txt" || fail "fsck after two builds: $(cat "$dir/fsck.txt")"
  mtype -i "$dir/race.img" ::BIOS.QZW | cmp - ../project/flashabl.rom
  i=$((i + 1))
done
[ $one -gt 0 ] || fail "no build was ever refused while another held the key"
[ "$(ls -l --time-style=+ . | md5sum)" = "$before" ] || fail "working folder changed by the races"
echo "tavrin-build: two builds started together: one refused in $one of 20 tries"

# FULLDOS is refused on a USB key; a rejected project fails.
truncate -s 32M "$dir/key2.img"
if "$build" --yes --project ../project --drive "$dir/key2.img" --mode fulldos > /dev/null 2>&1; then
  fail "FULLDOS on a key was accepted"
fi
if "$build" --yes --project /nonexistent --drive "$dir/key2.img" > /dev/null 2>&1; then
  fail "a missing project was accepted"
fi
echo "tavrin-build: all checks passed"
