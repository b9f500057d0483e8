// The real media: the disk classes behind the build sequence's interface,
// and the machine's drive list.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "crisis_app/crisis_medium.h"
#include "crisis_app/drive_source.h"
#include "disk/disk.h"

namespace crisis {

// A floppy or key object behind the build sequence's interface.
std::unique_ptr<CrisisMedium> MakeDiskMedium(std::unique_ptr<tavrin::CDisk> disk);

// CFloppyDisk for "A:", CUSBKeyDisk for any other name.
class DiskMediumFactory : public MediumFactory {
 public:
  std::unique_ptr<CrisisMedium> Create(const std::string& drive, bool fixedDisk) override;
};

// The floppy and the removable disks of this machine (or attached images),
// as the drive list names and shows them.
class SystemDriveSource : public DriveSource {
 public:
  std::vector<DriveEntry> ListDrives() override;
};

}  // namespace crisis
