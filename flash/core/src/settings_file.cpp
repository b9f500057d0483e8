#include "core/settings_file.h"

#include "core/settings_location.h"
#include "core/settings_word.h"
#include "platform/file_system.h"
#include "platform/ini_profile.h"
#include "platform/system_paths.h"

namespace brim {

const char kMissingValue[] = "Get didn't work";

namespace {

constexpr uint32_t kValueBuffer = 80;

struct KeyFlag {
  const char* key;
  int32_t FlashSettings::*flag;
  uint32_t bit;
};

const KeyFlag kKeepKeys[] = {
    {"KEEPDMIDATA", &FlashSettings::keepDmiData, kKeepDmiData},
    {"KEEPPASSWORD", &FlashSettings::keepPassword, kKeepPassword},
    {"KEEPSCPASSWORD", &FlashSettings::keepScPassword, kKeepScPassword},
    {"KEEPMASTERLOGO", &FlashSettings::keepMasterLogo, kKeepMasterLogo},
    {"KEEPSLAVELOGO", &FlashSettings::keepSlaveLogo, kKeepSlaveLogo},
    {"KEEPBOOTBLOCK", &FlashSettings::keepBootBlock, kKeepBootBlock},
    {"KEEPESCDDATA", &FlashSettings::keepEscdData, kKeepEscdData},
    {"KEEPBUCODEDATA", &FlashSettings::keepBuCodeData, kKeepBuCodeData},
    {"KEEPINVERTEEPROM", &FlashSettings::keepInvertEeprom, kKeepInvertEeprom},
    {"KEEPCHARGEREEPROM", &FlashSettings::keepChargerEeprom, kKeepChargerEeprom},
    {"KEEPKBC", &FlashSettings::keepKbc, kKeepKbc},
    {"KEEPFINGERPRINT", &FlashSettings::keepFingerprint, kKeepFingerprint},
    {"KEEPNVS", &FlashSettings::keepNvs, kKeepNvs},
    {"KEEPBBVL", &FlashSettings::keepBbvl, kKeepBbvl},
    {"KEEPNS591KBC", &FlashSettings::keepNs591Kbc, kKeepNs591Kbc},
    {"KEEPPANELTABLE", &FlashSettings::keepPanelTable, kKeepPanelTable},
    {"KEEPTHERMALTABLE", &FlashSettings::keepThermalTable, kKeepThermalTable},
};

// Reader's order and spelling.
const KeyFlag kVerifyReadKeys[] = {
    {"VerifyPASSWORD", &FlashSettings::verifyPassword, kVerifyPassword},
    {"VerifyPOWER", &FlashSettings::verifyPower, kVerifyPower},
    {"VERIFYRELEASEDATE", &FlashSettings::verifyReleaseDate, kVerifyReleaseDate},
    {"VERIFYSIZE", &FlashSettings::verifySize, kVerifySize},
    {"VERIFYMODELID", &FlashSettings::verifyModelId, kVerifyModelId},
    {"VERIFYCHECKSUM", &FlashSettings::verifyChecksum, kVerifyChecksum},
};

// Writer's order and spelling.
const KeyFlag kVerifyWriteKeys[] = {
    {"VERIFYRELEASEDATE", nullptr, kVerifyReleaseDate},
    {"VERIFYMODELID", nullptr, kVerifyModelId},
    {"VERIFYCHECKSUM", nullptr, kVerifyChecksum},
    {"VERIFYSIZE", nullptr, kVerifySize},
    {"VERIFYPASSWORD", nullptr, kVerifyPassword},
    {"VERIFYPOWER", nullptr, kVerifyPower},
};

std::string Value(const char* section, const char* key, const std::string& path) {
  return plat::GetProfileString(section, key, kMissingValue, kValueBuffer, path);
}

// "1" turns the flag on, "0" off; anything else leaves it.
void ReadFlag(const char* section, const char* key, int32_t& flag, const std::string& path) {
  std::string v = Value(section, key, path);
  if (v == "1") flag = 1;
  else if (v == "0") flag = 0;
}

// A text value that is neither "0" nor missing.
bool ReadText(const char* key, const std::string& path, std::string& out) {
  std::string v = Value("INTERNET_FUNCTION", key, path);
  if (v == "0" || v == kMissingValue) return false;
  out = v;
  return true;
}

}  // namespace

int32_t Atoi32(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                             text[i] == '\r' || text[i] == '\v' || text[i] == '\f'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

void ReadSettingsFile(FlashSettings& s, const std::string& iniPath) {
  ReadFlag("GUI", "SHOWLOGO", s.showLogo, iniPath);

  if (s.commandLineOptions == 0) {
    for (const KeyFlag& k : kKeepKeys) ReadFlag("KEEP_DATA", k.key, s.*k.flag, iniPath);
    ReadFlag("FUNCTION", "REBOOT", s.rebootAfterFlash, iniPath);
    std::string shutdown = Value("FUNCTION", "SHUTDOWN", iniPath);
    if (shutdown == "1") {
      s.shutdownAfterFlash = 1;
      s.rebootAfterFlash = 0;
    } else if (shutdown == "0") {
      s.shutdownAfterFlash = 0;
    }
    ReadFlag("FUNCTION", "LOADDEFAULTCMOS", s.loadDefaultCmos, iniPath);
  }

  ReadFlag("EXECUTE_MODULE", "EXECUTEFROMNEWBIOS", s.executeFromNewBios, iniPath);

  if (s.forceNoVerify == 0) {
    for (const KeyFlag& k : kVerifyReadKeys) ReadFlag("VERIFY_FUNCTION", k.key, s.*k.flag, iniPath);
  }

  std::string polling;
  if (ReadText("POLLINGTIME", iniPath, polling)) s.pollingTime = Atoi32(polling);
  if (ReadText("FTPSERVER", iniPath, s.ftpServer)) s.ftpServerGiven = 1;
  if (ReadText("FTPFILE", iniPath, s.ftpFileName)) s.ftpFileGiven = 1;

  ReadFlag("CONFIGURATION", "FORCEREADINI", s.forceReadIni, iniPath);
}

void WriteSettingsFile(uint32_t settingsWord, const std::string& exePath) {
  // The executable's own folder; its name is not upper-cased, since on Linux
  // that would name another folder. A folder that cannot hold the file
  // sends it to the user's configuration folder.
  const std::string path = SettingsFilePath(plat::DirectoryOf(exePath));
  if (path == UserSettingsFilePath()) plat::MakeDirectories(plat::DirectoryOf(path));
  auto put = [&](const char* section, const char* key, uint32_t bit) {
    plat::WritePrivateProfileString(section, key, (settingsWord & bit) ? "1" : "0", path);
  };
  for (const KeyFlag& k : kKeepKeys) put("KEEP_DATA", k.key, k.bit);
  for (const KeyFlag& k : kVerifyWriteKeys) put("VERIFY_FUNCTION", k.key, k.bit);
  put("FUNCTION", "REBOOT", kReboot);
  put("FUNCTION", "SHUTDOWN", kShutdown);
  put("FUNCTION", "LOADDEFAULTCMOS", kLoadDefaultCmos);
  put("EXECUTE_MODULE", "EXECUTEFROMNEWBIOS", kExecuteFromNewBios);
}

}  // namespace brim
