#include "disk/drive_description.h"

#include <memory>

#include "disk/drive_list.h"
#include "platform/device.h"
#include "platform/disk_ioctl.h"

namespace tavrin {

std::string ListedSizeText(const plat::DiskDrive& d, const std::string& name) {
  if (d.floppy) return "1.44Mb";
  plat::DISK_GEOMETRY g = d.geometry;
  uint32_t err = 0;
  // The list asks the device: a block device's answer may differ from the table's.
  if (!name.empty())
    if (std::unique_ptr<plat::Device> dev = plat::OpenDevice(name, plat::GENERIC_READ, &err)) {
      uint8_t out[plat::kDiskGeometrySize] = {};
      uint32_t returned = 0;
      if (dev->IoControl(plat::IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, out, sizeof out, &returned, &err) &&
          returned == plat::kDiskGeometrySize)
        g = plat::DecodeDiskGeometry(out);
    }
  const std::string text = SizeText(GeometryMegabytes(g));
  return text.size() > 2 ? text.substr(1, text.size() - 2) : text;  // without its parentheses
}

std::string DriveDescription(const plat::DiskDrive& d, const std::string& name) {
  std::string what = d.vendor;
  if (!d.model.empty()) what += (what.empty() ? "" : " ") + d.model;
  if (what.empty()) what = d.blockDevice ? "disk" : (d.floppy ? "floppy image" : "disk image");
  return what + ", " + ListedSizeText(d, name);
}

}  // namespace tavrin
