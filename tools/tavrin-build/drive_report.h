// Drives as a user knows them: device or image file, maker and model, size
// as the window's drive list gives it, and why a disk can't be chosen or is
// left out.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "crisis_app/drive_source.h"
#include "platform/disk_drives.h"

namespace tavrin_build {

// "SanDisk Cruzer Blade, 7.5Gb" or "disk image, 62.8Mb": the size as the
// drive list (and tavrin's window) shows it for the drive named `name`.
std::string DescribeDrive(const plat::DiskDrive& drive, const std::string& name = "");
// Why a listed drive can't be written now ("write-protected", "in use by
// another program"), empty when it can.
std::string StateText(plat::DiskRefusal refusal);
// Why a disk is not in the drive list ("system disk", "mounted", "not removable").
std::string LeftOutReason(const plat::DiskDrive& drive);

// The drive list (names the build takes) and every other disk with the
// reason it is left out.
void PrintDriveReport(std::FILE* out, const std::vector<crisis::DriveEntry>& entries);

}  // namespace tavrin_build
