#include "disk/disk.h"

#include <algorithm>
#include <memory>

#include "disk/disk_messages.h"
#include "disk/int13ext.h"
#include "disk/sector_buffer.h"
#include "platform/device.h"
#include "platform/disk_drives.h"
#include "platform/le_bytes.h"
#include "platform/message_box.h"
#include "platform/os_personality.h"
#include "platform/virtual_memory.h"

namespace tavrin {

namespace {

// The NT path seeks with a 32-bit byte offset: 4 GiB, 8,388,608 sectors.
constexpr uint64_t kNtReachableSectors = 8388608;

constexpr uint32_t kFloppySectorsPerTrack = 18;
constexpr uint32_t kFloppyHeads = 2;

std::unique_ptr<plat::Device> OpenVwin32() {
  uint32_t err = 0;
  return plat::OpenDevice("\\\\.\\vwin32", 0, &err);
}

bool Int13(plat::Device& dev, plat::DIOC_REGISTERS* regs) {
  uint8_t in[plat::kDiocRegistersSize];
  uint8_t out[plat::kDiocRegistersSize] = {};
  plat::EncodeRegisters(*regs, in);
  uint32_t returned = 0, err = 0;
  bool ok = dev.IoControl(plat::VWIN32_DIOC_DOS_INT13, in, sizeof in, out, sizeof out, &returned, &err);
  if (ok && returned == plat::kDiocRegistersSize) *regs = plat::DecodeRegisters(out);
  return ok && returned == plat::kDiocRegistersSize;
}

}  // namespace

CDisk::CDisk(const std::string& name, int bFixedDisk) : m_bNT(1), m_bFixedDisk(bFixedDisk), m_strName(name) {
  plat::EnsureDiskDevices();
  plat::OsVersionInfo info{};
  if (plat::GetVersionEx(&info)) m_bNT = info.platformId == plat::VER_PLATFORM_WIN32_WINDOWS ? 0 : 1;
}

CDisk::~CDisk() = default;

void CDisk::Format() {}

bool CDisk::CheckMedia() { return true; }

std::string CDisk::DevicePath() const {
  return m_strName == "A:" ? "\\\\.\\" + m_strName : m_strName;
}

bool CDisk::ReadSectors(uint32_t lba, void* buffer, uint32_t count) {
  return m_bNT ? ReadSectorsNT(lba, buffer, count) : ReadSectorsBios(lba, buffer, count);
}

bool CDisk::WriteSectors(uint32_t lba, const void* buffer, uint32_t count) {
  return m_bNT ? WriteSectorsNT(lba, buffer, count) : WriteSectorsBios(lba, buffer, count);
}

bool CDisk::ReadSectorsNT(uint32_t lba, void* buffer, uint32_t count) { return TransferNT(lba, buffer, count, false); }

bool CDisk::WriteSectorsNT(uint32_t lba, const void* buffer, uint32_t count) {
  return TransferNT(lba, const_cast<void*>(buffer), count, true);
}

bool CDisk::TransferNT(uint32_t lba, void* buffer, uint32_t count, bool write) {
  // Past 4 GiB the 32-bit offset would wrap onto the first sectors: refuse.
  if (!buffer || count == 0 || static_cast<uint64_t>(lba) + count > kNtReachableSectors) return false;
  uint32_t err = 0;
  std::unique_ptr<plat::Device> dev =
      plat::OpenDevice(DevicePath(), plat::GENERIC_READ | plat::GENERIC_WRITE, &err);
  if (!dev) return false;
  uint32_t returned = 0;
  dev->IoControl(plat::FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, &err);
  bool ok = false;
  uint32_t bytes = count * kSectorSize, done = 0;
  if (dev->Seek(static_cast<int64_t>(lba) * kSectorSize, &err)) {
    ok = write ? dev->Write(buffer, bytes, &done, &err) : dev->Read(buffer, bytes, &done, &err);
  }
  dev->IoControl(plat::FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned, &err);
  dev->IoControl(plat::FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, &err);
  return ok && done == bytes;
}

void CDisk::ResetDrive() {
  std::unique_ptr<plat::Device> dev = OpenVwin32();
  if (!dev) return;
  plat::DIOC_REGISTERS regs{};
  regs.reg_EAX = 0x0000;
  regs.reg_EDX = 0x0000;
  Int13(*dev, &regs);
}

bool CDisk::ReadSectorsBios(uint32_t lba, void* buffer, uint32_t) {
  return TransferFloppyBios(lba, buffer, false);
}

bool CDisk::WriteSectorsBios(uint32_t lba, const void* buffer, uint32_t) {
  return TransferFloppyBios(lba, const_cast<void*>(buffer), true);
}

bool CDisk::TransferFloppyBios(uint32_t lba, void* buffer, bool write) {
  if (!buffer) return false;
  uint32_t cylinder = lba / (kFloppySectorsPerTrack * kFloppyHeads);
  uint32_t sector = lba % kFloppySectorsPerTrack + 1;
  uint32_t head = (lba / kFloppySectorsPerTrack) & 1;
  // CH holds 8 cylinder bits; a larger cylinder would wrap onto track 0.
  if (cylinder > 0xFF) return false;
  ResetDrive();
  std::unique_ptr<plat::Device> dev = OpenVwin32();
  if (!dev) return false;

  // The device reaches memory by flat address; bounce other buffers.
  SectorBuffer bounce(plat::FlatAddress(buffer) ? 0 : 1);
  uint8_t* io = static_cast<uint8_t*>(buffer);
  if (!plat::FlatAddress(buffer)) {
    if (!bounce.ok()) return false;
    io = bounce.data();
    if (write) std::copy(static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + kSectorSize, io);
  }
  plat::DIOC_REGISTERS regs{};
  regs.reg_EBX = plat::FlatAddress(io);
  regs.reg_EAX = write ? 0x0301 : 0x0201;
  regs.reg_ECX = (cylinder << 8) + sector;
  regs.reg_EDX = head << 8;
  bool ok = Int13(*dev, &regs) && (regs.reg_Flags & plat::kCarryFlag) == 0;
  if (ok && !write && io != buffer) std::copy(io, io + kSectorSize, static_cast<uint8_t*>(buffer));
  return ok;
}

bool CDisk::GetGeometry(plat::DISK_GEOMETRY* geometry) {
  if (!geometry) return false;
  if (m_bNT) {
    uint32_t err = 0;
    std::unique_ptr<plat::Device> dev =
        plat::OpenDevice(DevicePath(), plat::GENERIC_READ | plat::GENERIC_WRITE, &err);
    if (!dev) return false;
    uint8_t out[plat::kDiskGeometrySize] = {};
    uint32_t returned = 0;
    if (!dev->IoControl(plat::IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, out, sizeof out, &returned, &err) ||
        returned != plat::kDiskGeometrySize)
      return false;
    *geometry = plat::DecodeDiskGeometry(out);
    return true;
  }
  DriveParams params;
  if (!Int13ExtGetParams(BiosDriveNumber(m_strName), &params)) return false;
  *geometry = plat::DISK_GEOMETRY{};
  geometry->Cylinders = params.totalSectors / 16065u;
  geometry->MediaType = plat::MEDIA_REMOVABLE;
  geometry->TracksPerCylinder = 255;
  geometry->SectorsPerTrack = 63;
  geometry->BytesPerSector = params.bytesPerSector;
  return true;
}

bool CDisk::GetMediumSectors(uint64_t* sectors) {
  if (m_bNT) {
    uint32_t err = 0;
    std::unique_ptr<plat::Device> dev = plat::OpenDevice(DevicePath(), plat::GENERIC_READ, &err);
    if (!dev) return false;
    uint8_t out[8] = {};
    uint32_t returned = 0;
    if (!dev->IoControl(plat::IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, out, sizeof out, &returned, &err) ||
        returned != sizeof out)
      return false;
    *sectors = plat::Le64(out, sizeof out, 0) / kSectorSize;
    return true;
  }
  DriveParams params;
  if (!Int13ExtGetParams(BiosDriveNumber(m_strName), &params)) return false;
  *sectors = params.totalSectors64;
  return true;
}

bool CDisk::CheckWritable() { return ShowRefusal(plat::CheckDiskWritable(m_strName)); }

bool CDisk::ShowRefusal(plat::DiskRefusal refusal) {
  const std::string shown = ShownDriveName(m_strName);
  std::string text;
  switch (refusal) {
    case plat::DiskRefusal::None: return true;
    case plat::DiskRefusal::Missing: text = MissingDiskMessage(shown); break;
    case plat::DiskRefusal::NotRemovable: text = NotRemovableMessage(shown); break;
    case plat::DiskRefusal::SystemDisk: text = SystemDiskMessage(shown); break;
    case plat::DiskRefusal::InUse:
    case plat::DiskRefusal::Mounted: text = InUseMessage(shown); break;
    case plat::DiskRefusal::ReadOnly: text = ReadOnlyMessage(shown); break;
  }
  plat::MessageBox(text, kTitle, plat::MB_ICONERROR);
  return false;
}

}  // namespace tavrin
