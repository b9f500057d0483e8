#include "emulator/machine_config.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "platform/file_system.h"
#include "platform/ini_profile.h"

namespace emu {

namespace {
std::string Value(const plat::IniSnapshot& ini, const char* section, const char* key) {
  return ini.Get(section, key, "", 256);
}

// Keeps the default when the key is missing; a value that is not a 32-bit
// number is a bad line; the first one found goes to *badLine.
void Number(const plat::IniSnapshot& ini, const char* section, const char* key, uint32_t* out,
            std::string* badLine) {
  std::string v = Value(ini, section, key);
  if (v.empty()) return;
  errno = 0;
  char* end = nullptr;
  unsigned long long n = std::strtoull(v.c_str(), &end, 0);
  while (end && (*end == ' ' || *end == '\t')) ++end;
  if (errno == 0 && end != v.c_str() && *end == '\0' && v[0] != '-' && n <= 0xFFFFFFFFull) {
    *out = static_cast<uint32_t>(n);
  } else if (badLine->empty()) {
    *badLine = std::string("[") + section + "] " + key + "=" + v + " is not a number";
  }
}
}  // namespace

bool ParseScanCodes(const std::string& text, std::vector<uint8_t>* codes) {
  codes->clear();
  std::istringstream in(text);
  std::string word;
  while (in >> word) {
    char* end = nullptr;
    unsigned long v = std::strtoul(word.c_str(), &end, 16);
    if (*end != '\0' || v > 0xFF) return false;
    codes->push_back(static_cast<uint8_t>(v));
  }
  return true;
}

bool LoadMachineConfig(const std::string& folder, MachineConfig* c, std::string* error) {
  *c = MachineConfig();
  c->folder = folder;
  const std::string iniPath = folder + "/machine.ini";
  const plat::IniSnapshot ini(iniPath);  // one read for every key
  std::string rom = Value(ini, "MACHINE", "ROMFILE");
  if (rom.empty() || rom.find('/') != std::string::npos || rom.find('\\') != std::string::npos)
    rom = "rom.bin";
  c->romPath = plat::ResolvePath(folder + "/" + rom);
  int64_t size = plat::FileSize(c->romPath);
  if (size < 0) {
    if (error) *error = "ROM file missing: " + c->romPath;
    return false;
  }
  if (size == 0 || size % kBlock != 0 || size / kBlock > kMaxBlocks) {
    if (error)
      *error = "ROM file " + c->romPath + " holds " + std::to_string(size) +
               " bytes, not 1 to " + std::to_string(kMaxBlocks) + " blocks of 64 KiB";
    return false;
  }
  std::string badLine;
  c->romSize = static_cast<uint32_t>(size);

  Number(ini, "MACHINE", "BASE", &c->base, &badLine);
  Number(ini, "MACHINE", "FLAG", &c->flag, &badLine);
  std::string type = Value(ini, "MACHINE", "ROMTYPE");
  if (!type.empty()) c->romType = type;
  Number(ini, "MACHINE", "LOCKBITBLOCK0", &c->lockBitBlock0, &badLine);
  std::string password = Value(ini, "MACHINE", "PASSWORD");
  if (!password.empty() && !plat::EqualsNoCase(password, "none")) {
    c->hasPassword = ParseScanCodes(password, &c->password) && !c->password.empty();
    if (!c->hasPassword) c->password.clear();
  }
  Number(ini, "MACHINE", "BRAND", &c->brand, &badLine);
  uint32_t supported = 1;
  Number(ini, "MACHINE", "SUPPORTED", &supported, &badLine);
  c->supported = supported != 0;
  Number(ini, "MACHINE", "FSEGMENT", &c->fSegmentMapping, &badLine);
  Number(ini, "MACHINE", "ROMVALUE", &c->firmwareRomValue, &badLine);
  Number(ini, "MACHINE", "MAPPEDROM", &c->mappedRom, &badLine);
  if (c->mappedRom == 0) c->mappedRom = c->base;
  Number(ini, "MACHINE", "WSBI", &c->wsbiValue, &badLine);
  c->bootBlockOffset = c->romSize - kBlock;
  Number(ini, "MACHINE", "BOOTBLOCK", &c->bootBlockOffset, &badLine);
  Number(ini, "MACHINE", "BOOTBLOCKSIZE", &c->bootBlockSize, &badLine);
  Number(ini, "MACHINE", "BLOCKTIME", &c->blockTimeMs, &badLine);

  Number(ini, "FAULTS", "AHERROR", &c->ahError, &badLine);
  c->ahErrorFor = Value(ini, "FAULTS", "AHERRORFOR");
  uint32_t readFail = 0;
  Number(ini, "FAULTS", "READFAIL", &readFail, &badLine);
  c->readFails = readFail != 0;
  uint32_t cut = 0xFFFFFFFFu;
  Number(ini, "FAULTS", "CUTOFF", &cut, &badLine);
  c->cutOffAfterBlocks = cut == 0xFFFFFFFFu ? -1 : static_cast<int32_t>(cut & 0x7FFFFFFF);
  Number(ini, "FAULTS", "IOCTLFAIL", &c->ioctlFailCode, &badLine);
  Number(ini, "FAULTS", "IOCTLERROR", &c->ioctlError, &badLine);
  uint32_t bad = 0xFFFFFFFFu;
  Number(ini, "FAULTS", "BADBLOCK", &bad, &badLine);
  c->badBlock = bad == 0xFFFFFFFFu ? -1 : static_cast<int32_t>(bad & 0x7FFFFFFF);
  std::string hold = Value(ini, "FAULTS", "HOLDUNTIL");
  if (!hold.empty() && hold.find('/') == std::string::npos && hold.find('\\') == std::string::npos)
    c->holdUntil = folder + "/" + hold;
  if (badLine.empty() && !password.empty() && !plat::EqualsNoCase(password, "none") && !c->hasPassword)
    badLine = "[MACHINE] PASSWORD=" + password + " is not \"none\" or hex scan codes";
  if (!badLine.empty()) {
    if (error) *error = iniPath + ": " + badLine;
    return false;
  }
  return true;
}

}  // namespace emu
