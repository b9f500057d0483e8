// The machine's own identity from its DMI tables (BIOS_TOOLS_DMI_ROOT, else
// /sys/class/dmi/id): what ties a ROM backup to the machine it came from.
#pragma once
#include <string>

namespace brim {

struct MachineIdentity {
  std::string productUuid, productSerial, boardSerial, productName;
  // True when both carry a product UUID or a serial and those agree.
  bool SameMachineAs(const MachineIdentity& other) const;
};

MachineIdentity ReadMachineIdentity();

}  // namespace brim
