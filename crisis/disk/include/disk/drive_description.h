// A drive as its user knows it: device or image file, maker and model, and
// size in decimal units; the same words in the window and in the terminal.
#pragma once
#include <cstdint>
#include <string>

#include "platform/disk_drives.h"

namespace tavrin {

// "8.0 GB", "537 MB", "1.47 MB" (decimal units, as keys are sold).
std::string DecimalSizeText(uint64_t bytes);
// "SanDisk Cruzer Blade, 8.0 GB" or "disk image, 33.6 MB".
std::string DriveDescription(const plat::DiskDrive& drive);

}  // namespace tavrin
