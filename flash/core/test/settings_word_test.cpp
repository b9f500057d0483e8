#include "core/settings_word.h"

#include <gtest/gtest.h>

namespace brim {
namespace {

TEST(SettingsWord, DefaultsGiveOnlyDmiAndBootBlock) {
  FlashSettings s;
  SetStartupDefaults(s);
  BuildSettingsWord(s);
  EXPECT_EQ(s.settingsWord, kKeepDmiData | kKeepBootBlock);
}

TEST(SettingsWord, NeverClearsBitsAndMapsEachFlag) {
  FlashSettings s;
  s.settingsWord = kVerifySize;
  s.shutdownAfterFlash = 1;
  s.keepThermalTable = 1;
  s.executeFromNewBios = 1;
  s.verifyPower = 1;
  BuildSettingsWord(s);
  EXPECT_EQ(s.settingsWord, kVerifySize | kShutdown | 0x4000000u | 0x100u | 0x20u);
}

TEST(SettingsWord, AllKeepFlagsMakeKeepAllMask) {
  FlashSettings s;
  for (int32_t* f : {&s.keepBbvl, &s.keepBootBlock, &s.keepBuCodeData, &s.keepChargerEeprom,
                     &s.keepDmiData, &s.keepEscdData, &s.keepFingerprint, &s.keepInvertEeprom,
                     &s.keepKbc, &s.keepMasterLogo, &s.keepNs591Kbc, &s.keepNvs, &s.keepPanelTable,
                     &s.keepPassword, &s.keepScPassword, &s.keepSlaveLogo, &s.keepThermalTable})
    *f = 1;
  BuildSettingsWord(s);
  EXPECT_EQ(s.settingsWord, kKeepAllBits);
}

}  // namespace
}  // namespace brim
