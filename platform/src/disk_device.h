// Internal to the platform: the raw disk device behind "\\.\A:" and
// "\\.\PhysicalDriveN", shared with the emulated 9x disk devices.
#pragma once
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "platform/device.h"
#include "platform/disk_drives.h"

namespace plat {

class DiskDevice : public Device {
 public:
  DiskDevice(const DiskDrive& drive, int fd, bool writable);
  ~DiskDevice() override;
  bool IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                 uint32_t* bytesReturned, uint32_t* lastError) override;
  bool Read(void* buf, uint32_t size, uint32_t* done, uint32_t* lastError) override;
  bool Write(const void* buf, uint32_t size, uint32_t* done, uint32_t* lastError) override;
  bool Seek(int64_t offset, uint32_t* lastError) override;

  // Transfers at an absolute byte offset, refused when any byte lies past the medium.
  bool ReadAt(uint64_t offset, void* buf, uint32_t size, uint32_t* lastError);
  bool WriteAt(uint64_t offset, const void* buf, uint32_t size, uint32_t* lastError);
  DISK_GEOMETRY Geometry() const;
  const DiskDrive& Drive() const { return drive_; }

 private:
  DiskDrive drive_;
  int fd_;
  bool writable_;
  uint64_t position_ = 0;
};

// Opens a drive: for writing only when CheckDriveWritable allows it, and then
// exclusively (O_EXCL for a block device, an flock for an image file); for
// reading when ReadableDespite allows it, without a lock. A drive this process
// holds (DiskHold) is opened through the held descriptor.
std::unique_ptr<DiskDevice> OpenDisk(const DiskDrive& drive, bool write, uint32_t* lastError);

// The DiskHold registry: the key of a path, a duplicate of the held
// descriptor (-1 when not held here), and whether this process holds it.
std::string HoldKey(const std::string& path);
int DupHeldDisk(const std::string& path);
bool HeldHere(const std::string& path);

// Providers registered by EnsureDiskDevices.
std::unique_ptr<Device> OpenDiskDriveDevice(const std::string& path, uint32_t access, bool* known,
                                            uint32_t* lastError);
std::unique_ptr<Device> Open9xDiskDevice(const std::string& path, uint32_t access, bool* known,
                                         uint32_t* lastError);

bool IsFloppyDevicePath(const std::string& path);
bool PhysicalDriveNumber(const std::string& path, unsigned* n);

// sysfs helpers.
bool SysfsRemovable(const std::string& sysBlockDir);
std::string SysNameForDevNumber(const std::string& majMin);
bool BlockDeviceSize(const std::string& path, uint64_t* bytes);
// Whether nobody holds the drive: a trial exclusive open (block device) or
// a trial shared flock (image file).
bool ExclusiveOpenPossible(const DiskDrive& drive);
bool MountedOrRoot(const DiskDrive& drive, bool* root);

}  // namespace plat
