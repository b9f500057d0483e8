// GetSystemPowerStatus stand-in over /sys/class/power_supply.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

struct SystemPowerStatus {
  uint8_t acLineStatus;         // 0 offline, 1 online, 255 unknown
  uint8_t batteryFlag;          // 1 high, 2 low, 4 critical, 8 charging, 128 no battery, 255 unknown
  uint8_t batteryLifePercent;   // 0..100, 255 unknown
};

// Reads the supplies under root (default /sys/class/power_supply, or
// $BIOS_TOOLS_POWER_SUPPLY_ROOT when set).
SystemPowerStatus ReadPowerStatus(const std::string& root);
bool GetSystemPowerStatus(SystemPowerStatus* status);

}  // namespace plat
