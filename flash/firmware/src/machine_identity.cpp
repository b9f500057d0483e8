#include "firmware/machine_identity.h"

#include <cstdlib>
#include <fstream>

namespace brim {

namespace {
std::string DmiValue(const char* name) {
  const char* root = std::getenv("BIOS_TOOLS_DMI_ROOT");
  std::ifstream in(std::string(root && *root ? root : "/sys/class/dmi/id") + "/" + name);
  std::string value;
  std::getline(in, value);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\r')) value.pop_back();
  return value;
}

// Placeholders firmware writes where a value was never set tie nothing together.
bool Meaningful(const std::string& v) {
  if (v.empty()) return false;
  for (const char* filler : {"Default string", "To be filled by O.E.M.", "Not Specified", "None",
                             "0", "00000000-0000-0000-0000-000000000000",
                             "03000200-0400-0500-0006-000700080009"})
    if (v == filler) return false;
  return true;
}
}  // namespace

bool MachineIdentity::SameMachineAs(const MachineIdentity& o) const {
  bool compared = false;
  for (const auto& pair : {std::make_pair(productUuid, o.productUuid),
                           std::make_pair(productSerial, o.productSerial),
                           std::make_pair(boardSerial, o.boardSerial)}) {
    if (!Meaningful(pair.first) || !Meaningful(pair.second)) continue;
    if (pair.first != pair.second) return false;
    compared = true;
  }
  return compared;
}

MachineIdentity ReadMachineIdentity() {
  MachineIdentity id;
  id.productUuid = DmiValue("product_uuid");
  id.productSerial = DmiValue("product_serial");
  id.boardSerial = DmiValue("board_serial");
  id.productName = DmiValue("product_name");
  return id;
}

}  // namespace brim
