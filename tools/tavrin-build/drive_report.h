// Drives as a user knows them: device or image file, maker and model, size
// in MB or GB, and why a disk can't be chosen or is left out.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "crisis_app/drive_source.h"
#include "platform/disk_drives.h"

namespace tavrin_build {

// "8.0 GB", "537 MB", "1.47 MB" (decimal units, as keys are sold).
std::string SizeText(uint64_t bytes);
// "SanDisk Cruzer Blade, 8.0 GB" or "disk image, 33.6 MB".
std::string DescribeDrive(const plat::DiskDrive& drive);
// Why a listed drive can't be written now ("write-protected", "in use by
// another program"), empty when it can.
std::string StateText(plat::DiskRefusal refusal);
// Why a disk is not in the drive list ("system disk", "mounted", "not removable").
std::string LeftOutReason(const plat::DiskDrive& drive);

// The drive list (names the build takes) and every other disk with the
// reason it is left out.
void PrintDriveReport(std::FILE* out, const std::vector<crisis::DriveEntry>& entries);

}  // namespace tavrin_build
