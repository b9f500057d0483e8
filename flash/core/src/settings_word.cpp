#include "core/settings_word.h"

namespace brim {

void BuildSettingsWord(FlashSettings& s) {
  struct FlagBit {
    int32_t FlashSettings::*flag;
    uint32_t bit;
  };
  // Keep bits first, then verify, then the after-flash and module bits.
  static const FlagBit kBits[] = {
      {&FlashSettings::keepBbvl, kKeepBbvl},
      {&FlashSettings::keepBootBlock, kKeepBootBlock},
      {&FlashSettings::keepBuCodeData, kKeepBuCodeData},
      {&FlashSettings::keepChargerEeprom, kKeepChargerEeprom},
      {&FlashSettings::keepDmiData, kKeepDmiData},
      {&FlashSettings::keepEscdData, kKeepEscdData},
      {&FlashSettings::keepFingerprint, kKeepFingerprint},
      {&FlashSettings::keepInvertEeprom, kKeepInvertEeprom},
      {&FlashSettings::keepKbc, kKeepKbc},
      {&FlashSettings::keepMasterLogo, kKeepMasterLogo},
      {&FlashSettings::keepNs591Kbc, kKeepNs591Kbc},
      {&FlashSettings::keepNvs, kKeepNvs},
      {&FlashSettings::keepPanelTable, kKeepPanelTable},
      {&FlashSettings::keepPassword, kKeepPassword},
      {&FlashSettings::keepScPassword, kKeepScPassword},
      {&FlashSettings::keepSlaveLogo, kKeepSlaveLogo},
      {&FlashSettings::keepThermalTable, kKeepThermalTable},
      {&FlashSettings::verifySize, kVerifySize},
      {&FlashSettings::verifyModelId, kVerifyModelId},
      {&FlashSettings::verifyChecksum, kVerifyChecksum},
      {&FlashSettings::verifyReleaseDate, kVerifyReleaseDate},
      {&FlashSettings::verifyPassword, kVerifyPassword},
      {&FlashSettings::verifyPower, kVerifyPower},
      {&FlashSettings::loadDefaultCmos, kLoadDefaultCmos},
      {&FlashSettings::rebootAfterFlash, kReboot},
      {&FlashSettings::shutdownAfterFlash, kShutdown},
      {&FlashSettings::executeFromNewBios, kExecuteFromNewBios},
  };
  for (const FlagBit& fb : kBits)
    if (s.*fb.flag == 1) s.settingsWord |= fb.bit;
}

}  // namespace brim
