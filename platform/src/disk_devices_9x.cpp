// The 9x personality's disk devices: "\\.\vwin32" answering INT 13h for
// drive A: and "\\.\INT13EXT.VXD" answering the extended requests for BIOS
// drives. Buffers are named by flat address (virtual_memory.h).
#include <cstring>

#include "disk_device.h"
#include "platform/disk_ioctl.h"
#include "platform/file_system.h"
#include "platform/le_bytes.h"
#include "platform/os_personality.h"
#include "platform/virtual_memory.h"

namespace plat {

namespace {

constexpr uint32_t kSector = 512;

// INT 13h status codes returned in AH.
constexpr uint8_t kBadCommand = 0x01;
constexpr uint8_t kWriteProtected = 0x03;
constexpr uint8_t kSectorNotFound = 0x04;
constexpr uint8_t kNoMedia = 0x80;

uint8_t StatusFor(uint32_t err) {
  switch (err) {
    case ERROR_WRITE_PROTECT: case ERROR_ACCESS_DENIED: case ERROR_SHARING_VIOLATION: return kWriteProtected;
    case ERROR_SECTOR_NOT_FOUND: return kSectorNotFound;
    default: return kNoMedia;
  }
}

class Vwin32Device : public Device {
 public:
  bool IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                 uint32_t* bytesReturned, uint32_t* lastError) override {
    if (bytesReturned) *bytesReturned = 0;
    if (code != VWIN32_DIOC_DOS_INT13 || !in || inSize < kDiocRegistersSize || !out ||
        outSize < kDiocRegistersSize) {
      if (lastError) *lastError = ERROR_INVALID_PARAMETER;
      return false;
    }
    DIOC_REGISTERS r = DecodeRegisters(static_cast<const uint8_t*>(in));
    uint8_t status = Int13(r);
    r.reg_EAX = (r.reg_EAX & 0xFFFF00FFu) | (static_cast<uint32_t>(status) << 8);
    if (status)
      r.reg_Flags |= kCarryFlag;
    else
      r.reg_Flags &= ~kCarryFlag;
    EncodeRegisters(r, static_cast<uint8_t*>(out));
    if (bytesReturned) *bytesReturned = kDiocRegistersSize;
    return true;  // the call itself went through; the carry tells the outcome
  }

 private:
  static uint8_t Int13(const DIOC_REGISTERS& r) {
    uint8_t function = static_cast<uint8_t>(r.reg_EAX >> 8);
    uint8_t drive = static_cast<uint8_t>(r.reg_EDX);
    DiskDrive d;
    if (drive != 0 || !FindFloppyDrive(&d)) return kNoMedia;  // only A: is served here
    if (function == 0x00) return 0;
    if (function != 0x02 && function != 0x03) return kBadCommand;

    if (r.reg_ECX > 0xFFFF) return kSectorNotFound;  // CX is all INT 13h sees
    uint32_t count = r.reg_EAX & 0xFF;
    uint32_t cx = r.reg_ECX & 0xFFFF;
    uint32_t cylinder = ((cx >> 8) & 0xFF) | ((cx & 0xC0) << 2);
    uint32_t sector = cx & 0x3F;
    uint32_t head = (r.reg_EDX >> 8) & 0xFF;
    uint32_t heads = d.geometry.TracksPerCylinder, spt = d.geometry.SectorsPerTrack;
    if (count == 0 || sector == 0 || sector > spt || head >= heads || cylinder >= d.geometry.Cylinders)
      return kSectorNotFound;
    uint64_t lba = (static_cast<uint64_t>(cylinder) * heads + head) * spt + (sector - 1);
    uint8_t* buf = ResolveFlatAddress(r.reg_EBX, static_cast<size_t>(count) * kSector);
    if (!buf) return kBadCommand;

    uint32_t err = ERROR_SUCCESS;
    std::unique_ptr<DiskDevice> dev = OpenDisk(d, function == 0x03, &err);
    if (!dev) return StatusFor(err);
    bool ok = function == 0x02 ? dev->ReadAt(lba * kSector, buf, count * kSector, &err)
                               : dev->WriteAt(lba * kSector, buf, count * kSector, &err);
    return ok ? 0 : StatusFor(err);
  }
};

class Int13ExtDevice : public Device {
 public:
  bool IoControl(uint32_t code, const void* in, uint32_t inSize, void*, uint32_t,
                 uint32_t* bytesReturned, uint32_t* lastError) override {
    if (bytesReturned) *bytesReturned = 0;
    uint32_t err = Request(code, in, inSize);
    if (lastError) *lastError = err;
    return err == ERROR_SUCCESS;
  }

 private:
  static uint32_t Request(uint32_t code, const void* in, uint32_t inSize) {
    if (!in || inSize < kInt13ExtRequestSize) return ERROR_INVALID_PARAMETER;
    Int13ExtRequest q = DecodeInt13ExtRequest(static_cast<const uint8_t*>(in));
    DiskDrive d;
    if (!FindBiosDrive(q.drive, &d)) return ERROR_NOT_READY;
    switch (code) {
      case INT13EXT_READ:
      case INT13EXT_WRITE: {
        // The BIOS extended calls move at most 127 sectors at a time.
        if (q.count == 0 || q.count > 127) return ERROR_INVALID_PARAMETER;
        uint8_t* buf = ResolveFlatAddress(q.address, static_cast<size_t>(q.count) * kSector);
        if (!buf) return ERROR_INVALID_PARAMETER;
        uint32_t err = ERROR_SUCCESS;
        std::unique_ptr<DiskDevice> dev = OpenDisk(d, code == INT13EXT_WRITE, &err);
        if (!dev) return err;
        uint64_t offset = static_cast<uint64_t>(q.lba) * kSector;
        bool ok = code == INT13EXT_READ ? dev->ReadAt(offset, buf, q.count * kSector, &err)
                                        : dev->WriteAt(offset, buf, q.count * kSector, &err);
        return ok ? ERROR_SUCCESS : err;
      }
      case INT13EXT_GET_PARAMS:
      case INT13EXT_EJECT: {
        uint8_t* block = ResolveFlatAddress(q.address, kDriveParamsSize);
        if (!block) return ERROR_INVALID_PARAMETER;
        if (code == INT13EXT_EJECT) return d.removable ? ERROR_SUCCESS : ERROR_NOT_SUPPORTED;
        // A mounted disk or the system's own does not answer, so no list shows
        // it; a held or write-protected key answers and is refused when chosen;
        // a fixed disk answers without the removable flag.
        DiskRefusal refusal = CheckDriveWritable(d);
        if (!ReadableDespite(refusal)) return RefusalError(refusal);
        if (Le16(block, kDriveParamsSize, 0) < kDriveParamsSize) return ERROR_INSUFFICIENT_BUFFER;
        const DISK_GEOMETRY& g = d.geometry;
        uint16_t flags = d.removable && !d.floppy ? kDriveParamsRemovable : 0;
        PutLe16(block, kDriveParamsSize, kDriveParamsFlagsOffset, flags);
        PutLe32(block, kDriveParamsSize, kDriveParamsCylindersOffset, static_cast<uint32_t>(g.Cylinders));
        PutLe32(block, kDriveParamsSize, kDriveParamsHeadsOffset, g.TracksPerCylinder);
        PutLe32(block, kDriveParamsSize, kDriveParamsSectorsOffset, g.SectorsPerTrack);
        PutLe64(block, kDriveParamsSize, kDriveParamsTotalOffset, d.sizeBytes / kSector);
        PutLe16(block, kDriveParamsSize, kDriveParamsBytesPerSectorOffset, kSector);
        return ERROR_SUCCESS;
      }
      default:
        return ERROR_INVALID_FUNCTION;
    }
  }
};

}  // namespace

std::unique_ptr<Device> Open9xDiskDevice(const std::string& path, uint32_t, bool* known, uint32_t*) {
  if (PlatformId() != VER_PLATFORM_WIN32_WINDOWS) return nullptr;
  if (EqualsNoCase(path, "\\\\.\\vwin32")) {
    *known = true;
    return std::make_unique<Vwin32Device>();
  }
  if (EqualsNoCase(path, "\\\\.\\INT13EXT.VXD")) {
    *known = true;
    return std::make_unique<Int13ExtDevice>();
  }
  return nullptr;
}

}  // namespace plat
