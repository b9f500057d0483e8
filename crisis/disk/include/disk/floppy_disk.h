// The 1.44 MB diskette in drive A:: formatted and filled through its file
// system, its boot sector replaced whole.
#pragma once
#include <string>

#include "disk/boot_params.h"
#include "disk/disk.h"

namespace tavrin {

class CFloppyDisk : public CDisk {
 public:
  explicit CFloppyDisk(const std::string& name);

  void Format() override;
  bool CopyFileToDisk(const std::string& file) override;
  bool CheckMedia() override;
  bool WriteBootSector(const std::string& file) override;
};

// The parameters of the diskette as Format lays it out (1.44 MB, FAT12):
// where its FATs, root directory and clusters lie.
BootParams FloppyBootParams();

}  // namespace tavrin
