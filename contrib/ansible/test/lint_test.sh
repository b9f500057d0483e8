#!/usr/bin/env bash
# ansible-lint (production profile) finds nothing in the collection, and every
# module's documentation parses as ansible-doc reads it.
# Usage: lint_test.sh COLLECTION_DIR
set -euo pipefail
collection=$(cd "$1" && pwd)
if ! command -v ansible-lint >/dev/null || ! command -v ansible-doc >/dev/null; then
  echo "ansible-lint or ansible-doc is not installed (scripts/install-deps.sh installs them): skipped"
  exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The linter's caches stay in the scratch folder, and the collection is
# linted from a copy so that nothing is written beside the sources.
export HOME="$scratch/home" ANSIBLE_HOME="$scratch/home/.ansible" TMPDIR="$scratch/tmp"
export ANSIBLE_LOCAL_TEMP="$scratch/tmp/local" ANSIBLE_CONFIG="$scratch/ansible.cfg" PYTHONDONTWRITEBYTECODE=1
mkdir -p "$HOME" "$TMPDIR" "$scratch/ansible_collections/bios_tools"
: >"$ANSIBLE_CONFIG"
cp -r "$collection" "$scratch/ansible_collections/bios_tools/fleet"
export ANSIBLE_COLLECTIONS_PATH="$scratch"
cd "$scratch/ansible_collections/bios_tools/fleet"
ansible-lint --nocolor --profile production || { echo "FAIL: ansible-lint"; exit 1; }
for module in plugins/modules/*.py; do
  name=bios_tools.fleet.$(basename "$module" .py)
  ansible-doc "$name" >"$scratch/doc" 2>&1 || { cat "$scratch/doc"; echo "FAIL: ansible-doc $name"; exit 1; }
  grep -q '^RETURN VALUES' "$scratch/doc" || { cat "$scratch/doc"; echo "FAIL: $name documents no return values"; exit 1; }
done
ansible-doc -t role bios_tools.fleet.bios_update >"$scratch/doc" 2>&1 || { cat "$scratch/doc"; echo "FAIL: ansible-doc cannot describe the role's arguments"; exit 1; }
echo PASS
