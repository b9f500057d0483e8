// One build's claim on a disk: the drive stays open for writing, exclusively
// (an flock on an image file, O_EXCL on a block device), from the build's
// first check to its last write. The process's own transfers go through the
// held open; every other process is refused as "in use" meanwhile.
#pragma once
#include <memory>
#include <string>

#include "platform/disk_drives.h"

namespace plat {

class DiskHold {
 public:
  ~DiskHold();
  DiskHold(const DiskHold&) = delete;
  DiskHold& operator=(const DiskHold&) = delete;

  // Holds the drive of a name ("A:", "\\.\PhysicalDriveN", a BIOS drive
  // number); null with the reason when it must not be written or another
  // process holds it.
  static std::unique_ptr<DiskHold> Acquire(const std::string& name, DiskRefusal* refusal);

  const DiskDrive& Drive() const { return drive_; }

 private:
  DiskHold(const DiskDrive& drive, std::string key) : drive_(drive), key_(std::move(key)) {}
  DiskDrive drive_;
  std::string key_;
};

}  // namespace plat
