#!/usr/bin/env bash
# The bios_update role against a fleet of three emulated machines, run by
# ansible-playbook on this host (connection local), one machine per batch:
# check mode changes nothing; the first machine is flashed, the second's
# programming run is cut off and stops the play, the third is never touched;
# every backup taken reaches the controller; a second run flashes nothing.
# Usage: bios_update_test.sh BRIMLET ROMREAD INSPECT IMAGEGEN COLLECTIONS_DIR
set -euo pipefail
brimlet=$1 romread=$2 inspect=$3 imagegen=$4 collections=$(cd "$5" && pwd)
if ! command -v ansible-playbook >/dev/null; then
  echo "ansible-playbook is not installed (scripts/install-deps.sh installs ansible-core): skipped"
  exit 77
fi
python=$(python3 -c 'import sys; print(sys.executable)')
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
step() { echo "== $*"; }

# Nothing of Ansible's may land outside the scratch folder.
export HOME="$scratch/home" ANSIBLE_HOME="$scratch/home/.ansible" TMPDIR="$scratch/tmp"
export ANSIBLE_LOCAL_TEMP="$scratch/tmp/local" ANSIBLE_REMOTE_TEMP="$scratch/tmp/remote"
export ANSIBLE_CONFIG="$scratch/ansible.cfg" ANSIBLE_COLLECTIONS_PATH="$collections"
export ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_NOCOLOR=1 ANSIBLE_GATHERING=explicit
export BIOS_TOOLS_NO_POWER_ACTION=1
unset DISPLAY WAYLAND_DISPLAY BRIMLET_MACHINE ANSIBLE_LOG_PATH
mkdir -p "$HOME" "$TMPDIR"
: >"$ANSIBLE_CONFIG"
cd "$scratch"

"$imagegen" update new.rom >/dev/null
hosts=(host1 host2 host3)
{
  echo "fleet:"
  echo "  vars: {ansible_connection: local, ansible_python_interpreter: '$python'}"
  echo "  hosts:"
  for h in "${hosts[@]}"; do
    d="$scratch/$h"
    mkdir -p "$d/run" "$d/dmi"
    "$imagegen" machine "$d/machine" >/dev/null
    cp "$d/machine/rom.bin" "$d/original.rom"
    echo "    $h: {bios_update_environment: {BRIMLET_MACHINE: '$d/machine', XDG_STATE_HOME: '$d/state'," \
      "XDG_DATA_HOME: '$d/data', XDG_CONFIG_HOME: '$d/config', XDG_RUNTIME_DIR: '$d/run'," \
      "BIOS_TOOLS_LOCK_DIR: '$d/run', BIOS_TOOLS_FLASHROM_LOCK_DIR: '$d/run', BIOS_TOOLS_DMI_ROOT: '$d/dmi'," \
      "BIOS_TOOLS_NO_POWER_ACTION: '1'}}"
  done
} >inventory.yml
printf '[FAULTS]\nCUTOFF=2\n' >>host2/machine/machine.ini
cat >site.yml <<EOF
- name: Update the BIOS of the fleet
  hosts: fleet
  gather_facts: false
  serial: 1
  max_fail_percentage: 0
  roles:
    - role: bios_tools.fleet.bios_update
      bios_update_image: $scratch/new.rom
      bios_update_backup_dir: $scratch/backups
      bios_update_brimlet: $brimlet
      bios_update_romread: $romread
      bios_update_inspect: $inspect
EOF
play() { ansible-playbook -i inventory.yml site.yml "$@" >"$scratch/play.log" 2>&1; }
show() { cat "$scratch/play.log"; }
recap() { grep -E "^$1 +: ok=[0-9]+ +changed=$2 " "$scratch/play.log" >/dev/null || { show; fail "$1 not changed=$2"; }; }
summary() { grep -F "\"msg\": \"$1: $2" "$scratch/play.log" >/dev/null || { show; fail "no summary '$1: $2'"; }; }
# Every file of the machines and the state folders, but the driver service
# record and the lock files, which brimlet makes on any read of the ROM.
snapshot() {
  find "${hosts[@]}" -type f ! -path '*/services/*' ! -path '*/run/*' ! -path '*/data/*' \
    ! -name machine.lock -print0 | sort -z | xargs -0 sha256sum
  [ ! -e backups ] || find backups
}
last_status() { tail -n 1 "$1/state/bios-tools/history.jsonl" | sed -n 's/.*"exitStatus":\([0-9]*\).*/\1/p'; }

step "check mode: every machine would be flashed, nothing is written"
snapshot >before
play --check || { s=$?; show; fail "ansible-playbook --check exits $s"; }
snapshot >after
diff before after || fail "check mode changed the files above"
[ -z "$(find tmp -name '*.bios_update')" ] || fail "a staging folder was left: $(find tmp -name '*.bios_update')"
for h in "${hosts[@]}"; do
  recap "$h" 1
  summary "$h" "would flash HLB 06/28/07 -> 11/30/07, 3 block(s) to change"
done

step "the fleet: the first machine flashed, the second cut off, the third untouched"
if play; then show; fail "the play succeeded with a faulty machine in the fleet"; fi
# host  ROM        last exit status  summary
while read -r h rom status text; do
  if [ "$rom" = same ]; then
    cmp -s "$h/original.rom" "$h/machine/rom.bin" || fail "$h: the ROM changed"
  else
    cmp -s "$h/original.rom" "$h/machine/rom.bin" && fail "$h: the ROM was not programmed"
  fi
  if [ "$status" = - ]; then
    [ ! -e "$h/state/bios-tools/history.jsonl" ] || fail "$h: brimlet ran: $(cat "$h/state/bios-tools/history.jsonl")"
    [ ! -e "backups/$h" ] || fail "$h: backups were fetched"
    grep -q "$h" "$scratch/play.log" && { show; fail "$h was in the play"; }
    continue
  fi
  [ "$(last_status "$h")" = "$status" ] || fail "$h: history status $(last_status "$h"), not $status"
  summary "$h" "$text"
  # The backup and its record are on the controller, and the backup is the ROM as it was.
  rom_copy=$(find "backups/$h" -name '*.rom' 2>/dev/null || true)
  [ -f "$rom_copy" ] && [ -f "${rom_copy%.rom}.json" ] || fail "$h: backup not fetched: $(find backups)"
  cmp -s "$rom_copy" "$h/original.rom" || fail "$h: the fetched backup is not the old ROM"
  grep -q "\"sha256\":\"$(sha256sum "$rom_copy" | cut -d' ' -f1)\"" "${rom_copy%.rom}.json" ||
    fail "$h: the record does not describe the backup"
done <<'EOF'
host1 changed 0 flashed HLB 06/28/07 -> 11/30/07, verify passed, backup
host2 changed 5 FAILED: brimlet exited 5 (programming or read-back verify failed)
host3 same - -
EOF
"$inspect" --json host1/machine/rom.bin | grep -q '"date":"11/30/07"' || fail "host1 holds another BIOS"
# The flash and the fetch of its backup.
recap host1 2

step "a second run leaves the machine at the image's release alone"
cp host1/machine/rom.bin host1.rom
lines=$(wc -l <host1/state/bios-tools/history.jsonl)
play --limit host1 || { s=$?; show; fail "the second run exits $s"; }
recap host1 0
summary host1 "already at HLB 11/30/07, nothing flashed"
cmp -s host1.rom host1/machine/rom.bin || fail "the second run changed the ROM"
[ "$(wc -l <host1/state/bios-tools/history.jsonl)" = "$lines" ] || fail "the second run ran brimlet"

step "brimlet's own release check: its image's release is no failure, an older image is"
# A copy of brimlet outside the build folder with the release check on, as installed.
mkdir checked
cp "$brimlet" "$(dirname "$brimlet")/flash.sys" checked/
printf '[VERIFY_FUNCTION]\nVERIFYRELEASEDATE=1\n' >checked/setting.ini
"$imagegen" reference old.rom >/dev/null
"$imagegen" package old.pkg >/dev/null
# brimlet mode  dry_run image   task    changed same_release rc
while read -r prog mode dry image task changed same rc; do
  [ "$prog" = checked ] && prog=$scratch/checked/brimlet || prog=$brimlet
  ansible -i inventory.yml host1 -m bios_tools.fleet.brimlet -a "{\"brimlet\": \"$prog\", \"mode\": \"$mode\",
    \"dry_run\": $dry, \"image\": \"$scratch/$image\", \"reflash\": true, \"romread\": \"$romread\", \"inspect\": \"$inspect\",
    \"environment\": \"{{ bios_update_environment }}\"}" >adhoc.log 2>&1 || true
  got=$(python3 -c '
import json, re, sys
text = open(sys.argv[1]).read()
m = re.search(r"^host1 \| (\w+)!? => ", text, re.M)
r = json.loads(text[m.end():]) if m else {}
print(m.group(1) if m else "none", str(r.get("changed")).lower(), str(r.get("same_release")).lower(), r.get("rc", "-"))
' adhoc.log)
  [ "$got" = "$task $changed $same $rc" ] || { cat adhoc.log; fail "$mode $image (dry run $dry): $got, not $task $changed $same $rc"; }
done <<'EOF'
checked flash false new.rom SUCCESS false true  4
checked flash true  old.rom FAILED  false false 4
checked flash false old.rom FAILED  false false 4
built   info  false old.pkg SUCCESS false false -
EOF
cmp -s host1.rom host1/machine/rom.bin || fail "a refused image changed the ROM"
[ "$(tail -n +$((lines + 1)) host1/state/bios-tools/history.jsonl | grep -c '"exitStatus":4,')" = 2 ] ||
  fail "not two refusals in the history: $(tail -n +$((lines + 1)) host1/state/bios-tools/history.jsonl)"
echo "PASS"
