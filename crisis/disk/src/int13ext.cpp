#include "disk/int13ext.h"

#include "disk/sector_buffer.h"
#include "platform/disk_ioctl.h"
#include "platform/le_bytes.h"
#include "platform/virtual_memory.h"

namespace tavrin {

namespace {

bool Issue(plat::Device& dev, uint32_t code, const plat::Int13ExtRequest& q) {
  uint8_t block[plat::kInt13ExtRequestSize];
  plat::EncodeInt13ExtRequest(q, block);
  uint32_t returned = 0, err = 0;
  return dev.IoControl(code, block, sizeof block, nullptr, 0, &returned, &err);
}

// A zeroed parameters block whose size word is 30, in flat-addressable memory.
bool ParamsRequest(plat::Device& dev, uint32_t code, int drive, SectorBuffer& block) {
  if (!block.ok()) return false;
  block.Zero();
  plat::PutLe16(block.data(), block.size(), 0, plat::kDriveParamsSize);
  plat::Int13ExtRequest q{static_cast<uint8_t>(drive), 0, 0, plat::FlatAddress(block.data()), 0};
  return Issue(dev, code, q);
}

}  // namespace

int BiosDriveNumber(const std::string& name) {
  if (name.empty() || name.size() > 3) return -1;
  int n = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n <= 255 ? n : -1;
}

std::unique_ptr<plat::Device> OpenInt13Ext(const std::string& path) {
  uint32_t err = 0;
  return plat::OpenDevice(path, 0, &err);
}

bool Int13ExtGetParams(int drive, DriveParams* out, plat::Device* dev) {
  if (drive < 0 || !out) return false;
  std::unique_ptr<plat::Device> own;
  if (!dev) {
    own = OpenInt13Ext();
    if (!own) return false;
    dev = own.get();
  }
  SectorBuffer block(1);
  if (!ParamsRequest(*dev, plat::INT13EXT_GET_PARAMS, drive, block)) return false;
  const uint8_t* b = block.data();
  const size_t n = plat::kDriveParamsSize;
  out->flags = plat::Le16(b, n, plat::kDriveParamsFlagsOffset);
  out->totalSectors64 = plat::Le64(b, n, plat::kDriveParamsTotalOffset);
  out->totalSectors = static_cast<uint32_t>(out->totalSectors64);
  out->bytesPerSector = plat::Le16(b, n, plat::kDriveParamsBytesPerSectorOffset);
  return true;
}

bool Int13ExtTransfer(plat::Device& dev, int drive, uint32_t lba, uint16_t count, uint32_t flatAddress,
                      bool write) {
  if (drive < 0) return false;
  plat::Int13ExtRequest q{static_cast<uint8_t>(drive), lba, count, flatAddress, static_cast<uint8_t>(write ? 1 : 0)};
  return Issue(dev, write ? plat::INT13EXT_WRITE : plat::INT13EXT_READ, q);
}

void Int13ExtEject(int drive) {
  if (drive < 0) return;
  std::unique_ptr<plat::Device> dev = OpenInt13Ext();
  if (!dev) return;
  SectorBuffer block(1);
  ParamsRequest(*dev, plat::INT13EXT_EJECT, drive, block);
}

}  // namespace tavrin
