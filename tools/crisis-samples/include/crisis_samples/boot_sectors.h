// The two 512-byte sector images of a crisis disk's working folder:
// crisboot.bin, a 1.44 MB FAT12 diskette boot sector, and crismbr.bin, a
// master boot record that starts the active partition.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace crisis_samples {

using Sector = std::array<uint8_t, 512>;

Sector CrisisBootSector();
Sector CrisisMasterBootRecord();

// Writes both files into a folder; false when one cannot be written.
bool WriteSampleBootFiles(const std::string& folder);

}  // namespace crisis_samples
