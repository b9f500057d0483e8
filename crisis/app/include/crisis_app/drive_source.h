// Where the main dialog's drive list comes from.
#pragma once
#include <string>
#include <vector>

namespace crisis {

struct DriveEntry {
  std::string name;  // what the medium is created from: "A:" or a disk path
  std::string text;  // what the list shows
};

class DriveSource {
 public:
  virtual ~DriveSource() = default;
  virtual std::vector<DriveEntry> ListDrives() = 0;
};

}  // namespace crisis
