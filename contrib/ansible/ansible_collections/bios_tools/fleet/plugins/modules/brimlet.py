#!/usr/bin/python
# -*- coding: utf-8 -*-
# Runs on the target: flashes the BIOS with brimlet, or reads what is there.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: brimlet
short_description: Flash a BIOS image with brimlet, or read the current BIOS identity
version_added: "1.0.0"
description:
  - Runs C(brimlet) on the target with the given arguments and environment and
    reports the outcome as brimlet recorded it, in the line the run appended to
    the flash history (C(brimlet --history --json)) and the record beside the
    ROM backup it took.
  - Before flashing, reads the current ROM (C(brimlet-romread)) and the image
    (C(brimlet-inspect --json)); a machine whose BIOS is already at the image's
    release is left alone and reported unchanged. The release is compared the
    way brimlet's own release check does (model code, release number and, in
    the Quorvel layout, the build time).
  - brimlet refusing an image because the ROM is as new as it (exit status 4)
    is not a failure when the ROM is at the image's release.
  - In check mode brimlet runs with C(--dry-run), which does every check and
    writes nothing (no backup, no history line).
  - With C(mode=info) nothing is flashed; the module returns the identity of the
    current BIOS and, when an image is known, whether it is at the image's release.
options:
  mode:
    description:
      - C(flash) runs brimlet; C(info) only reads the current BIOS and the image.
    type: str
    choices: [flash, info]
    default: flash
  brimlet:
    description:
      - The brimlet program on the target. A package made with C(brimlet-pack)
        may be named here too; its own image is then flashed when no C(image) is given.
    type: path
    default: /usr/bin/brimlet
  image:
    description:
      - The image or package file on the target, passed to brimlet as C(/f:IMAGE).
      - Without it, an argument C(/f:FILE) in C(args), else the package appended
        to C(brimlet), is the image.
    type: path
  args:
    description:
      - brimlet's arguments. C(/silent) flashes without a window.
    type: list
    elements: str
    default: ['/silent']
  environment:
    description:
      - Variables set for brimlet and its tools, over the module's own environment,
        e.g. C(BRIMLET_MACHINE), C(XDG_STATE_HOME), C(BIOS_TOOLS_LOCK_DIR),
        C(BIOS_TOOLS_NO_POWER_ACTION).
    type: dict
    default: {}
  dry_run:
    description:
      - Run brimlet with C(--dry-run) also outside check mode.
    type: bool
    default: false
  reflash:
    description:
      - Flash even when the BIOS is already at the image's release (brimlet's own
        release check still applies).
    type: bool
    default: false
  romread:
    description:
      - C(brimlet-romread) on the target. Default the one beside C(brimlet)
        (also beside the file the link C(brimlet) leads to), else the one on C(PATH).
    type: path
  inspect:
    description:
      - C(brimlet-inspect) on the target, looked for as C(romread) is.
    type: path
notes:
  - brimlet holds a machine-wide lock; a second brimlet on the same machine is
    refused with exit status 22 and the task fails.
  - Set C(BIOS_TOOLS_NO_POWER_ACTION) in C(environment) to make sure brimlet never
    restarts or powers off the machine itself (a package's own settings may ask for it).
author:
  - bios-tools maintainers
"""

EXAMPLES = r"""
- name: Read the current BIOS and compare it with an image
  bios_tools.fleet.brimlet:
    mode: info
    image: /var/tmp/new.rom
  register: bios

- name: Flash the image without a window, brimlet doing no power action
  bios_tools.fleet.brimlet:
    image: /var/tmp/new.rom
    args: ['/silent']
    environment:
      BIOS_TOOLS_NO_POWER_ACTION: "1"
  when: not bios.same_release

- name: Only check whether the image would be accepted
  bios_tools.fleet.brimlet:
    image: /var/tmp/new.rom
    dry_run: true
"""

RETURN = r"""
rc:
  description: brimlet's exit status (0 flashed and verified; see C(man brimlet)). Absent when brimlet was not run.
  returned: when brimlet ran
  type: int
  sample: 0
cmd:
  description: The command line brimlet ran with.
  returned: when brimlet ran
  type: list
  elements: str
stdout:
  description: brimlet's standard output.
  returned: when brimlet ran
  type: str
stderr:
  description: brimlet's standard error (its messages in silent mode).
  returned: when brimlet ran
  type: str
result:
  description: What the exit status means, as the history line says it (or brimlet's table when no line was written).
  returned: when brimlet ran
  type: str
  sample: flashed and verified
dry_run:
  description: Whether brimlet ran with C(--dry-run).
  returned: always
  type: bool
same_release:
  description: Whether the current BIOS is at the image's release (null when either could not be read).
  returned: always
  type: bool
current:
  description: The current BIOS as read before anything was run.
  returned: when the ROM was read
  type: dict
  contains:
    layout: {description: Layout name (Tarvex, Lindar, Quorvel)., type: str}
    model: {description: Model code., type: str}
    version: {description: Version text found in the ROM., type: str}
    date: {description: Release date text., type: str}
    build_time: {description: Build time text., type: str}
    release_number: {description: The release as brimlet compares it., type: int}
    build_time_number: {description: The build time as brimlet compares it (Quorvel)., type: int}
    flag: {description: The firmware's FLAG word., type: int}
    size: {description: ROM size in bytes., type: int}
    base: {description: ROM base address (hexadecimal)., type: str}
  sample: {layout: Quorvel, model: HLB, version: V1.20, date: 06/28/07, release_number: 70628}
image:
  description: The image's identity, the keys of C(current) but flag, size and base.
  returned: when an image was known and read
  type: dict
old:
  description: The BIOS the run replaced, from the history line (layout, model, version, date).
  returned: when the run wrote a history line
  type: dict
new:
  description: The image the run programmed, from the history line.
  returned: when the run wrote a history line
  type: dict
verify:
  description: The read-back verify result (passed, not run, failed ...).
  returned: when the run wrote a history line
  type: str
  sample: passed
backup:
  description: The ROM backup taken before programming.
  returned: when the run took a backup
  type: str
  sample: /root/.local/state/bios-tools/backups/HLB_bios-06-28-07_flashed-20261208-173124.rom
backup_record:
  description: The backup's JSON record (NAME.json beside NAME.rom).
  returned: when the run took a backup
  type: str
backup_files:
  description: The backup's files that exist (NAME.rom, NAME.json, NAME.module), to fetch.
  returned: always
  type: list
  elements: str
record:
  description: The backup record's contents (sha256, size, identity, machine identity).
  returned: when the record could be read
  type: dict
history:
  description: The whole history line of the run.
  returned: when the run wrote a history line
  type: dict
blocks_to_change:
  description: How many 64 KiB blocks a dry run says would change.
  returned: after a dry run that passed
  type: int
"""

import json
import os
import re

from ansible.module_utils.basic import AnsibleModule

# brimlet's own words for its exit statuses (as in the history), for runs
# that wrote no history line.
STATUS_MEANING = {
    0: "flashed and verified",
    1: "image checksum check failed",
    2: "image size check failed",
    3: "image model check failed",
    4: "image is not newer than the current BIOS",
    5: "programming or read-back verify failed",
    6: "flash device, ROM read, BIOS support check or setup password failed",
    9: "image file could not be opened or holds no package",
    10: "image file could not be read",
    20: "refused by the power check",
    21: "refused by the F-segment check",
    22: "another brimlet is running",
    23: "the lock file cannot be taken",
    24: "the user declined a question",
    25: "the /F: file name is too long",
    26: "the current ROM could not be backed up",
    27: "failed, ROM unchanged",
    28: "refused, ROM unchanged",
    29: "restore refused, ROM unchanged",
    30: "the window module cannot be loaded and there is no terminal",
}
STATUS_RELEASE = 4
# Statuses after which the ROM may differ from what it was.
STATUS_ROM_CHANGED = (0, 5)


class BrimletError(Exception):
    pass


def tool_path(module, given, brimlet, name):
    if given:
        return given
    folders = [os.path.dirname(brimlet), os.path.dirname(os.path.realpath(brimlet))]
    for folder in folders:
        candidate = os.path.join(folder, name)
        if os.path.isfile(candidate) and os.access(candidate, os.X_OK):
            return candidate
    found = module.get_bin_path(name)
    if not found:
        raise BrimletError("%s not found beside %s nor on PATH" % (name, brimlet))
    return found


def identity_of(inspection):
    return {
        "layout": inspection.get("layout"),
        "model": inspection.get("modelCode"),
        "version": inspection.get("version"),
        "date": inspection.get("date"),
        "build_time": inspection.get("buildTime"),
        "release_number": inspection.get("releaseNumber"),
        "build_time_number": inspection.get("buildTimeNumber"),
    }


def inspect_file(module, inspect, path, flag, base, env):
    cmd = [inspect, "--json"]
    if flag is not None:
        cmd += ["--flag", str(flag), "--base", str(base)]
    rc, out, err = module.run_command(cmd + [path], environ_update=env)
    if rc != 0:
        raise BrimletError("brimlet-inspect %s exited %d: %s" % (path, rc, err.strip()))
    try:
        inspection = json.loads(out)
    except ValueError as e:
        raise BrimletError("brimlet-inspect %s printed no JSON: %s" % (path, e))
    if not isinstance(inspection, dict):
        raise BrimletError("brimlet-inspect %s printed no JSON object" % path)
    return inspection


def read_current(module, tools, env):
    """The ROM as the driver reads it, identified in the firmware's layout."""
    romread, inspect = tools
    dump = os.path.join(module.tmpdir, "current.rom")
    rc, out, err = module.run_command([romread, dump], environ_update=env)
    if rc != 0:
        raise BrimletError("brimlet-romread exited %d: %s" % (rc, (err or out).strip()))
    flag = re.search(r"^FLAG word: (0x[0-9A-Fa-f]+)", out, re.M)
    base = re.search(r"^ROM base address: (0x[0-9A-Fa-f]+)", out, re.M)
    if not flag or not base:
        raise BrimletError("brimlet-romread printed no FLAG word or base address: %s" % out.strip())
    inspection = inspect_file(module, inspect, dump, flag.group(1), base.group(1), env)
    try:
        os.unlink(dump)
    except OSError as e:
        module.warn("cannot remove %s: %s" % (dump, e.strerror))
    current = identity_of(inspection)
    current["flag"] = int(flag.group(1), 16)
    current["size"] = inspection.get("fileSize")
    current["base"] = base.group(1)
    return current


def same_release(current, image):
    """brimlet's release check, answering 'as new as' rather than 'not newer'."""
    if not current or not image or current["model"] != image["model"]:
        return False
    if not current["release_number"] or current["release_number"] != image["release_number"]:
        return False
    if current["layout"] == "Quorvel":
        return current["build_time_number"] == image["build_time_number"]
    return True


def image_source(brimlet, image, args):
    if image:
        return image
    for arg in args:
        if arg[:3].lower() == "/f:":
            name = arg[3:]
            # brimlet takes a name without a folder from its own folder.
            if os.sep not in name:
                name = os.path.join(os.path.dirname(os.path.realpath(brimlet)), name)
            return name
    return brimlet


def read_image(module, tools, source, current, env):
    inspect = tools[1]
    flag = current["flag"] if current else None
    base = current["base"] if current else None
    try:
        return identity_of(inspect_file(module, inspect, source, flag, base, env))
    except BrimletError:
        if source is not None and source == module.params["brimlet"]:
            return None  # a brimlet without a package: the image is chosen otherwise
        raise


def history_lines(module, brimlet, env):
    rc, out, err = module.run_command([brimlet, "--history", "--json"], environ_update=env)
    if rc != 0:
        raise BrimletError("brimlet --history --json exited %d: %s" % (rc, err.strip()))
    return [line for line in out.splitlines() if line.strip()]


def backup_outcome(module, backup):
    stem = os.path.splitext(backup)[0]
    record_path = stem + ".json"
    files = [p for p in (backup, record_path, stem + ".module") if os.path.isfile(p)]
    out = {"backup": backup, "backup_record": record_path, "backup_files": files}
    try:
        with open(record_path, "r") as f:
            out["record"] = json.load(f)
    except (IOError, OSError) as e:
        module.warn("cannot read the backup record %s: %s" % (record_path, e.strerror or e))
    except ValueError as e:
        module.warn("the backup record %s is no JSON: %s" % (record_path, e))
    return out


def stderr_messages(err):
    lines = [line.strip() for line in err.splitlines() if line.strip()]
    return "; ".join(lines)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            mode=dict(type="str", choices=["flash", "info"], default="flash"),
            brimlet=dict(type="path", default="/usr/bin/brimlet"),
            image=dict(type="path"),
            args=dict(type="list", elements="str", default=["/silent"]),
            environment=dict(type="dict", default={}),
            dry_run=dict(type="bool", default=False),
            reflash=dict(type="bool", default=False),
            romread=dict(type="path"),
            inspect=dict(type="path"),
        ),
        supports_check_mode=True,
    )
    p = module.params
    brimlet = p["brimlet"]
    env = dict((str(k), str(v)) for k, v in p["environment"].items())
    dry_run = p["dry_run"] or module.check_mode
    result = dict(changed=False, dry_run=dry_run, same_release=None, backup_files=[])

    if not os.path.isfile(brimlet) or not os.access(brimlet, os.X_OK):
        module.fail_json(msg="brimlet not found or not executable: %s" % brimlet, **result)
    source = image_source(brimlet, p["image"], p["args"])
    if p["image"] and not os.path.isfile(p["image"]):
        module.fail_json(msg="image not found: %s" % p["image"], **result)

    def identify():
        tools = (tool_path(module, p["romread"], brimlet, "brimlet-romread"),
                 tool_path(module, p["inspect"], brimlet, "brimlet-inspect"))
        result["current"] = read_current(module, tools, env)
        image = read_image(module, tools, source, result["current"], env)
        if image:
            result["image"] = image
            result["same_release"] = same_release(result["current"], image)

    try:
        if p["mode"] == "info" or not p["reflash"]:
            identify()
        if p["mode"] == "info":
            module.exit_json(**result)
        if result["same_release"]:
            module.exit_json(msg="already at this release", **result)

        before = history_lines(module, brimlet, env)
        cmd = [brimlet] + list(p["args"])
        if p["image"]:
            cmd.append("/f:" + p["image"])
        if dry_run:
            cmd.append("--dry-run")
        rc, out, err = module.run_command(cmd, environ_update=env)
        result.update(rc=rc, cmd=cmd, stdout=out, stderr=err,
                      result=STATUS_MEANING.get(rc, "exit status %d" % rc))
        after = history_lines(module, brimlet, env)
    except BrimletError as e:
        module.fail_json(msg=str(e), **result)

    if len(after) > len(before):
        try:
            line = json.loads(after[-1])
        except ValueError as e:
            line = e
        if not isinstance(line, dict):
            module.fail_json(msg="brimlet exited %d; its history line is no JSON object: %s" % (rc, after[-1]),
                             **result)
        result.update(history=line, old=line.get("old"), new=line.get("new"),
                      verify=line.get("verify"), result=line.get("result", result["result"]))
        if line.get("backup"):
            result.update(backup_outcome(module, line["backup"]))
    elif not dry_run and rc in STATUS_ROM_CHANGED:
        module.warn("brimlet exited %d but wrote no history line" % rc)

    if rc == 0 and dry_run:
        blocks = re.search(r"(\d+) block\(s\) of 64 KiB would change", out + err)
        if blocks:
            result["blocks_to_change"] = int(blocks.group(1))
        result["changed"] = result.get("blocks_to_change", 1) > 0
        module.exit_json(**result)
    if rc == 0:
        result["changed"] = True
        module.exit_json(**result)

    result["changed"] = not dry_run and rc in STATUS_ROM_CHANGED
    if rc == STATUS_RELEASE:
        try:
            if "current" not in result:
                identify()
        except BrimletError as e:
            module.fail_json(msg="brimlet refused the image as not newer; %s" % e, **result)
        if result["same_release"]:
            # Ansible takes a non-zero rc for a failure unless told otherwise.
            module.exit_json(msg="already at this release", failed=False, **result)
    module.fail_json(msg="brimlet exited %d (%s): %s" % (rc, result["result"], stderr_messages(err)), **result)


if __name__ == "__main__":
    main()
