// What a restore must prove before it writes: the backup is what its record
// says, as large as the ROM, and of this machine.
#pragma once
#include <string>

#include "firmware/backup_record.h"
#include "image/bios_image.h"

namespace brim {

// False with *why when the backup may not be put on this machine's ROM.
bool CheckBackupForRestore(const std::string& romPath, const BiosImage& currentRom,
                           const MachineIdentity& machine, BackupRecord* record, std::string* why);

}  // namespace brim
