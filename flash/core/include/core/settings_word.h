// Bits of FlashSettings::settingsWord.
#pragma once
#include <cstdint>

#include "core/flash_settings.h"

namespace brim {

enum SettingsBit : uint32_t {
  kVerifySize = 0x1,
  kVerifyModelId = 0x2,
  kVerifyChecksum = 0x4,
  kVerifyReleaseDate = 0x8,
  kVerifyPassword = 0x10,
  kVerifyPower = 0x20,
  kReboot = 0x40,
  kShutdown = 0x80,
  kExecuteFromNewBios = 0x100,
  kLoadDefaultCmos = 0x200,
  kKeepBbvl = 0x400,
  kKeepBootBlock = 0x800,
  kKeepBuCodeData = 0x1000,
  kKeepChargerEeprom = 0x2000,
  kKeepDmiData = 0x4000,
  kKeepEscdData = 0x8000,
  kKeepFingerprint = 0x10000,
  kKeepInvertEeprom = 0x20000,
  kKeepKbc = 0x40000,
  kKeepMasterLogo = 0x80000,
  kKeepNs591Kbc = 0x100000,
  kKeepNvs = 0x200000,
  kKeepPanelTable = 0x400000,
  kKeepPassword = 0x800000,
  kKeepScPassword = 0x1000000,
  kKeepSlaveLogo = 0x2000000,
  kKeepThermalTable = 0x4000000,
  kPowerEventBox = 0x8000000,  // used by the Keep Data page only
};

constexpr uint32_t kKeepAllBits = 0x7FFFC00;

// ORs one bit per keep, verify and after-flash flag that is 1; never clears a bit.
void BuildSettingsWord(FlashSettings& s);

}  // namespace brim
