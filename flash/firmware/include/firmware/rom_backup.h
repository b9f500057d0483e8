// The backup of the current ROM written before every programming run, in
// $XDG_STATE_HOME/bios-tools/backups/. A backup is never overwritten.
//
// NAME.rom holds exactly the ROM as read (what an external programmer takes);
// NAME.json beside it is its record (firmware/backup_record.h). A ROM that
// holds no flash module ("A!FR" block) of its own (a Quorvel ROM is
// programmed with the module its package brings) gets NAME.module, the
// module block the run used, so that `brimlet --restore NAME.rom` can
// program it back. Every file is written under a temporary name, synced and
// then named; the folder is synced last.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>

#include "image/bios_image.h"

namespace brim {

struct RomBackup {
  bool ok = false;
  std::string path;   // the file written (ok), or the one that failed
  std::string error;  // what failed and why (strerror)
};

std::string BackupFolder();

// "<model>_bios-<MM-DD-YY>_flashed-<YYYYMMDD-HHMMSS>" from the ROM's identity
// and the flash time (UTC); characters unfit for a file name become '-'.
std::string BackupBaseName(const BiosImage& rom, std::time_t when);

// True when the bytes hold an "A!FR" block at a 16-byte step.
bool HoldsFlashModule(const uint8_t* bytes, uint32_t size);

// The span of `image` a backup carries behind the ROM bytes: from `module` to
// the image end when it lies behind the ROM's size, else to the end of its
// 64 KiB block. Empty when the module is not in the image.
void ModuleBlockOf(const BiosImage& image, const uint8_t* module, uint32_t romSize, uint32_t* from,
                   uint32_t* length);

// How many of the newest backups are kept beside the first one ever taken:
// BIOS_TOOLS_BACKUP_KEEP (1 to 1000), else 10.
int BackupsToKeep();

// Removes the backups beyond the first ever taken and the newest `keep`;
// only backups with a record brimlet wrote (NAME.rom, NAME.json, NAME.module).
// The number removed.
int PruneBackups(const std::string& folder, int keep);

// Writes the backup: the ROM, its module when it needs one, and its record;
// then prunes the folder to BackupsToKeep().
RomBackup WriteRomBackup(const BiosImage& rom, const BiosImage& newImage, const uint8_t* module,
                         std::time_t when);

}  // namespace brim
