// A drive as its user knows it: device or image file, maker and model, and
// its size in the drive list's own words, so that the window and the
// terminal give one number in one form.
#pragma once
#include <string>

#include "platform/disk_drives.h"

namespace tavrin {

// "62.8Mb", "3.8Gb", "1.44Mb" for the floppy: the size the drive list shows
// for the drive named `name` (its own geometry answer), or for a drive not
// in the list, from the drive table's geometry.
std::string ListedSizeText(const plat::DiskDrive& drive, const std::string& name);
// "SanDisk Cruzer Blade, 7.5Gb" or "disk image, 62.8Mb".
std::string DriveDescription(const plat::DiskDrive& drive, const std::string& name);

}  // namespace tavrin
