// The machine's disk drives as Tavrin sees them: the floppy drive A: and the
// physical drives "\\.\PhysicalDriveN", backed by disk image files attached by
// configuration or, only when asked for, by the Linux block devices.
//
// Configuration (read at every query, so tests may change it):
//   BIOS_TOOLS_DISK_IMAGES  image files separated by ':', each optionally
//                           prefixed "A=" (the floppy), "removable=" (the
//                           default) or "fixed=" (a fixed disk)
//   BIOS_TOOLS_REAL_DISKS=1 also list the block devices found in sysfs; without
//                           it no block device is opened, not even one named
//                           in BIOS_TOOLS_DISK_IMAGES
//   BIOS_TOOLS_SYSFS_ROOT, BIOS_TOOLS_DEV_ROOT  roots of sysfs and /dev
//
// A file marked fixed (in the environment or by AttachDiskImage) stays fixed
// under any other name or mark it is given.
//
// Physical drive numbers: the block devices first (by name), then the
// attached images in their order. BIOS drive numbers (the 9x view): 0 is A:,
// 0x80 + N is physical drive N.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/disk_ioctl.h"

namespace plat {

enum class DiskKind { Floppy, Removable, Fixed };

// Why a drive must not be written (None when it may).
enum class DiskRefusal { None, Missing, NotRemovable, SystemDisk, InUse, ReadOnly, Mounted };

// Whether a drive refused for writing may still be opened for reading (its
// size and geometry): a held or write-protected key is listed and refused
// when chosen; a mounted disk or the system's own disk stays closed.
bool ReadableDespite(DiskRefusal refusal);

struct DiskDrive {
  std::string path;  // image file or device node
  bool floppy = false;
  bool removable = false;
  bool blockDevice = false;
  bool readOnly = false;
  uint64_t sizeBytes = 0;
  DISK_GEOMETRY geometry{};  // from the size; the device refines it by HDIO_GETGEO
  std::string sysName;       // sysfs name of a block device ("sdb")
  std::string vendor;        // from sysfs ("device/vendor"), empty for an image file
  std::string model;         // from sysfs ("device/model"), empty for an image file
};

// Attaches an image file; attached images replace the environment's list
// until DetachDiskImages.
void AttachDiskImage(const std::string& path, DiskKind kind);
void DetachDiskImages();

bool FindFloppyDrive(DiskDrive* out);
bool FindPhysicalDrive(unsigned number, DiskDrive* out);
unsigned PhysicalDriveCount();
// The floppy (when there is one) and every physical drive, usable or not.
std::vector<DiskDrive> ListDiskDrives();
bool FindBiosDrive(unsigned biosNumber, DiskDrive* out);

// Drive for a name as Tavrin keeps it: "A:", "\\.\PhysicalDriveN" or a BIOS
// drive number in decimal.
bool FindNamedDrive(const std::string& name, DiskDrive* out);

DiskRefusal CheckDriveWritable(const DiskDrive& drive);
DiskRefusal CheckDiskWritable(const std::string& name);
uint32_t RefusalError(DiskRefusal refusal);

// Geometry of an image or device of the given size: a 1.44 MB diskette is
// 80 x 2 x 18; anything else 255 heads and 63 sectors per track.
DISK_GEOMETRY GeometryForSize(uint64_t sizeBytes, uint32_t mediaType);

// Drive table (GetLogicalDrives, GetDriveTypeA, GetDiskFreeSpaceA).
constexpr uint32_t DRIVE_UNKNOWN = 0;
constexpr uint32_t DRIVE_NO_ROOT_DIR = 1;
constexpr uint32_t DRIVE_REMOVABLE = 2;
constexpr uint32_t DRIVE_FIXED = 3;

uint32_t GetLogicalDrives();
uint32_t GetDriveType(const std::string& root);
bool GetDiskFreeSpace(const std::string& root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                      uint32_t* freeClusters, uint32_t* totalClusters);

// Registers the disk device providers (idempotent). Disk users call it first.
void EnsureDiskDevices();

}  // namespace plat
