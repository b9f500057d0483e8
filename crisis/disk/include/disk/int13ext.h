// Requests to the 9x INT13EXT.VXD device: the 12-byte request block and the
// drive parameters block, built and read field by field.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/device.h"

namespace tavrin {

struct DriveParams {
  uint16_t flags = 0;
  uint32_t totalSectors = 0;  // low 32 bits, the part Tavrin uses
  uint64_t totalSectors64 = 0;
  uint16_t bytesPerSector = 0;
};

// BIOS drive number of a name kept as decimal text ("128"); -1 when the
// text is no number from 0 to 255.
int BiosDriveNumber(const std::string& name);

std::unique_ptr<plat::Device> OpenInt13Ext(const std::string& path = "\\\\.\\INT13EXT.VXD");

// Request 4 on an open device, or on its own when dev is null.
bool Int13ExtGetParams(int drive, DriveParams* out, plat::Device* dev = nullptr);
// Request 2 or 3 for count sectors (at most 4 here) at a flat address.
bool Int13ExtTransfer(plat::Device& dev, int drive, uint32_t lba, uint16_t count, uint32_t flatAddress,
                      bool write);
// Request 5.
void Int13ExtEject(int drive);

}  // namespace tavrin
