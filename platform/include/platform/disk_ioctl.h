// Control codes and request records of the disk devices ("\\.\A:",
// "\\.\PhysicalDriveN", and in the 9x personality "\\.\vwin32" and
// "\\.\INT13EXT.VXD"). Records travel as little-endian byte blocks; the
// Encode/Decode helpers convert them field by field.
#pragma once
#include <cstdint>

namespace plat {

// NT volume and disk controls.
constexpr uint32_t FSCTL_LOCK_VOLUME = 0x90018;
constexpr uint32_t FSCTL_UNLOCK_VOLUME = 0x9001C;
constexpr uint32_t FSCTL_DISMOUNT_VOLUME = 0x90020;
constexpr uint32_t IOCTL_DISK_GET_DRIVE_GEOMETRY = 0x70000;
constexpr uint32_t IOCTL_DISK_GET_LENGTH_INFO = 0x7405C;  // 8-byte length in bytes
constexpr uint32_t IOCTL_STORAGE_EJECT_MEDIA = 0x2D4808;

// Media types of DISK_GEOMETRY.
constexpr uint32_t MEDIA_UNKNOWN = 0;
constexpr uint32_t MEDIA_F3_1PT44_512 = 2;  // 3.5" 1.44 MB diskette
constexpr uint32_t MEDIA_REMOVABLE = 11;    // RemovableMedia
constexpr uint32_t MEDIA_FIXED = 12;        // FixedMedia

struct DISK_GEOMETRY {
  uint64_t Cylinders;
  uint32_t MediaType;
  uint32_t TracksPerCylinder;
  uint32_t SectorsPerTrack;
  uint32_t BytesPerSector;
};
static_assert(sizeof(DISK_GEOMETRY) == 24, "DISK_GEOMETRY is 24 bytes");
constexpr uint32_t kDiskGeometrySize = 24;

void EncodeDiskGeometry(const DISK_GEOMETRY& g, uint8_t out[kDiskGeometrySize]);
DISK_GEOMETRY DecodeDiskGeometry(const uint8_t in[kDiskGeometrySize]);

// 9x vwin32: INT 13h through a register block.
constexpr uint32_t VWIN32_DIOC_DOS_INT13 = 4;
constexpr uint32_t kCarryFlag = 1;

struct DIOC_REGISTERS {
  uint32_t reg_EBX;
  uint32_t reg_EDX;
  uint32_t reg_ECX;
  uint32_t reg_EAX;
  uint32_t reg_EDI;
  uint32_t reg_ESI;
  uint32_t reg_Flags;
};
static_assert(sizeof(DIOC_REGISTERS) == 28, "DIOC_REGISTERS is 28 bytes");
constexpr uint32_t kDiocRegistersSize = 28;

void EncodeRegisters(const DIOC_REGISTERS& r, uint8_t out[kDiocRegistersSize]);
DIOC_REGISTERS DecodeRegisters(const uint8_t in[kDiocRegistersSize]);

// 9x INT13EXT.VXD requests; the input is a 12-byte Int13ExtRequest.
constexpr uint32_t INT13EXT_READ = 2;
constexpr uint32_t INT13EXT_WRITE = 3;
constexpr uint32_t INT13EXT_GET_PARAMS = 4;
constexpr uint32_t INT13EXT_EJECT = 5;

struct Int13ExtRequest {
  uint8_t drive;
  uint32_t lba;
  uint16_t count;
  uint32_t address;  // flat address of the data buffer or the DriveParams block
  uint8_t write;
};
constexpr uint32_t kInt13ExtRequestSize = 12;

void EncodeInt13ExtRequest(const Int13ExtRequest& r, uint8_t out[kInt13ExtRequestSize]);
Int13ExtRequest DecodeInt13ExtRequest(const uint8_t in[kInt13ExtRequestSize]);

// BIOS enhanced disk drive parameters (INT 13h function 48h), 30 bytes.
constexpr uint32_t kDriveParamsSize = 30;
constexpr uint32_t kDriveParamsFlagsOffset = 2;
constexpr uint32_t kDriveParamsCylindersOffset = 4;
constexpr uint32_t kDriveParamsHeadsOffset = 8;
constexpr uint32_t kDriveParamsSectorsOffset = 12;
constexpr uint32_t kDriveParamsTotalOffset = 16;
constexpr uint32_t kDriveParamsBytesPerSectorOffset = 24;
constexpr uint16_t kDriveParamsRemovable = 0x0004;

}  // namespace plat
