// The backup of the current ROM written before every programming run, in
// $XDG_STATE_HOME/bios-tools/backups/. A backup is never overwritten.
//
// Its first bytes are the ROM exactly as read. A ROM that holds no flash
// module ("A!FR" block) of its own (a Quorvel ROM is programmed with the
// module its package brings) is followed by the module block the run used, so
// that `brimlet /silent /force /wb /f:BACKUP` can program it back: when the
// current ROM has no module, programming takes the new image's.
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

// True for a file named as brimlet names its backups ("..._flashed-....rom",
// any case). Such a file is put back as it is: nothing of the current ROM is
// merged into it, whatever the keep settings say.
bool IsRomBackupName(const std::string& path);

// Writes the backup (created exclusively, written, fsync'ed, its folder too).
RomBackup WriteRomBackup(const BiosImage& rom, const BiosImage& newImage, const uint8_t* module,
                         std::time_t when);

}  // namespace brim
