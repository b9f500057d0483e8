#include "image/wset_report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/exit_status.h"
#include "core/settings_word.h"
#include "platform/file_system.h"
#include "platform/message_box.h"

namespace brim {

namespace {

constexpr unsigned kErrorBoxFlags = plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST;

// Package settings positions 0 to 28; 0 marks the two that are flags, not bits.
constexpr uint32_t kPositionBits[29] = {
    kKeepDmiData,      kKeepPassword,     kKeepScPassword, kKeepMasterLogo,    kKeepSlaveLogo,
    kKeepBootBlock,    kKeepEscdData,     kKeepBuCodeData, kKeepInvertEeprom,  kKeepChargerEeprom,
    kKeepKbc,          kKeepFingerprint,  kKeepNvs,        kKeepBbvl,          kKeepNs591Kbc,
    kKeepPanelTable,   kKeepThermalTable, kVerifyReleaseDate, kVerifyModelId,  kVerifyChecksum,
    kVerifySize,       kVerifyPassword,   kVerifyPower,    0 /* SHOWLOGO */,   kReboot,
    kShutdown,         kLoadDefaultCmos,  kExecuteFromNewBios, 0 /* FORCEREADINI */,
};

}  // namespace

std::string BuildWsetBytes(const FlashSettings& s) {
  std::string bytes = "W!SH";
  for (size_t i = 0; i < std::size(kPositionBits); ++i) {
    bool on;
    if (i == 23)
      on = s.showLogo != 0;
    else if (i == 28)
      on = s.forceReadIni != 0;
    else
      on = (s.settingsWord & kPositionBits[i]) != 0;
    bytes += on ? '1' : '0';
  }
  bytes += "00000";
  return bytes;
}

bool MakeWsetReport() {
  FlashSettings& s = Settings();
  const std::string path = s.exeDir + "Combine\\Wset.txt";
  // Where the file was to go, and the system's reason.
  auto named = [&path](int err) {
    return plat::WithSlashes(plat::ResolvePath(path)) + ": " +
           (err ? std::strerror(err) : "not all bytes were written");
  };
  std::FILE* f = plat::OpenFile(path, "wb");
  if (!f) {
    const std::string why = named(errno);
    s.errorCode = kErrOpenImage;
    SilentNote(s, "Could not open wset.txt file " + why);
    if (!s.silentMode) plat::MessageBox("Could not open wset.txt file.\n" + why, "Brimlet Error", kErrorBoxFlags);
    return false;
  }
  const std::string bytes = BuildWsetBytes(s);
  errno = 0;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  int err = ok ? 0 : errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    // A settings file that did not reach the disk must not be announced as made.
    const std::string why = named(err);
    s.errorCode = kErrOpenImage;
    SilentNote(s, "Could not write wset.txt file " + why);
    if (!s.silentMode) plat::MessageBox("Could not write wset.txt file.\n" + why, "Brimlet Error", kErrorBoxFlags);
    return false;
  }
  plat::MessageBox("Make wset.txt successfully!", "Brimlet", plat::MB_OK);
  return true;
}

}  // namespace brim
