#include "disk/drive_description.h"

#include <cstdio>

namespace tavrin {

std::string DecimalSizeText(uint64_t bytes) {
  char buf[32];
  const double mb = static_cast<double>(bytes) / 1e6;
  if (mb < 10)
    std::snprintf(buf, sizeof buf, "%.2f MB", mb);
  else if (mb < 1000)
    std::snprintf(buf, sizeof buf, "%.0f MB", mb);
  else
    std::snprintf(buf, sizeof buf, "%.1f GB", mb / 1000);
  return buf;
}

std::string DriveDescription(const plat::DiskDrive& d) {
  std::string what = d.vendor;
  if (!d.model.empty()) what += (what.empty() ? "" : " ") + d.model;
  if (what.empty()) what = d.blockDevice ? "disk" : (d.floppy ? "floppy image" : "disk image");
  return what + ", " + DecimalSizeText(d.sizeBytes);
}

}  // namespace tavrin
