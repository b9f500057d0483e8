#include <cstddef>

#include "core/flash_settings.h"
#include "core/settings_word.h"
#include "image/image_loader.h"

namespace brim {

namespace {

struct PackageSetting {
  int32_t FlashSettings::*flag;
  uint32_t bit;  // 0: the setting has no bit
};

// Characters 0 to 16.
constexpr PackageSetting kKeepSettings[] = {
    {&FlashSettings::keepDmiData, kKeepDmiData},
    {&FlashSettings::keepPassword, kKeepPassword},
    {&FlashSettings::keepScPassword, kKeepScPassword},
    {&FlashSettings::keepMasterLogo, kKeepMasterLogo},
    {&FlashSettings::keepSlaveLogo, kKeepSlaveLogo},
    {&FlashSettings::keepBootBlock, kKeepBootBlock},
    {&FlashSettings::keepEscdData, kKeepEscdData},
    {&FlashSettings::keepBuCodeData, kKeepBuCodeData},
    {&FlashSettings::keepInvertEeprom, kKeepInvertEeprom},
    {&FlashSettings::keepChargerEeprom, kKeepChargerEeprom},
    {&FlashSettings::keepKbc, kKeepKbc},
    {&FlashSettings::keepFingerprint, kKeepFingerprint},
    {&FlashSettings::keepNvs, kKeepNvs},
    {&FlashSettings::keepBbvl, kKeepBbvl},
    {&FlashSettings::keepNs591Kbc, kKeepNs591Kbc},
    {&FlashSettings::keepPanelTable, kKeepPanelTable},
    {&FlashSettings::keepThermalTable, kKeepThermalTable},
};

// Characters 17 to 22.
constexpr PackageSetting kVerifySettings[] = {
    {&FlashSettings::verifyReleaseDate, kVerifyReleaseDate},
    {&FlashSettings::verifyModelId, kVerifyModelId},
    {&FlashSettings::verifyChecksum, kVerifyChecksum},
    {&FlashSettings::verifySize, kVerifySize},
    {&FlashSettings::verifyPassword, kVerifyPassword},
    {&FlashSettings::verifyPower, kVerifyPower},
};

void Set(FlashSettings& s, const PackageSetting& setting, bool on) {
  s.*setting.flag = on ? 1 : 0;
  if (!setting.bit) return;
  if (on)
    s.settingsWord |= setting.bit;
  else
    s.settingsWord &= ~setting.bit;
}

}  // namespace

void ApplyPackageSettings(const char* settings) {
  FlashSettings& s = Settings();
  auto on = [settings](size_t i) { return settings[i] == '1'; };
  if (!s.commandLineOptions) {
    for (size_t i = 0; i < std::size(kKeepSettings); ++i) Set(s, kKeepSettings[i], on(i));
    Set(s, {&FlashSettings::rebootAfterFlash, kReboot}, on(24));
    Set(s, {&FlashSettings::shutdownAfterFlash, kShutdown}, on(25));
    if (on(25)) Set(s, {&FlashSettings::rebootAfterFlash, kReboot}, false);
  }
  if (!s.forceNoVerify)
    for (size_t i = 0; i < std::size(kVerifySettings); ++i) Set(s, kVerifySettings[i], on(17 + i));
  Set(s, {&FlashSettings::showLogo, 0}, on(23));
  Set(s, {&FlashSettings::loadDefaultCmos, kLoadDefaultCmos}, on(26));
  Set(s, {&FlashSettings::executeFromNewBios, kExecuteFromNewBios}, on(27));
  Set(s, {&FlashSettings::forceReadIni, 0}, on(28));
}

}  // namespace brim
