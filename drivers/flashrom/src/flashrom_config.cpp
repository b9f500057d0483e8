#include "flashrom_driver/flashrom_config.h"

#include <cerrno>
#include <cstdlib>

#include "platform/file_system.h"
#include "platform/ini_profile.h"

namespace frd {

namespace {

constexpr const char* kSection = "FLASHROM";
constexpr const char* kMissing = "\x01";  // no key holds this
constexpr uint32_t kValueSize = 1024;

std::string Value(const std::string& path, const char* key) {
  return plat::GetProfileString(kSection, key, kMissing, kValueSize, path);
}

// A whole decimal or 0x-hex number that fits 32 bits; anything else is broken.
bool ParseNumber(const std::string& text, uint32_t* value) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno || !end || *end != '\0' || v > 0xFFFFFFFFull) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

// Optional number: missing keeps *value; false only for a present, broken one.
bool OptionalNumber(const std::string& path, const char* key, uint32_t* value, bool* given,
                    std::string* reason) {
  std::string text = Value(path, key);
  if (text == kMissing) return true;
  if (!ParseNumber(text, value)) {
    *reason = path + ": " + key + "=" + text + " is not a number";
    return false;
  }
  if (given) *given = true;
  return true;
}

}  // namespace

std::vector<std::string> ConfigCandidates(const std::string& exeDir) {
  std::vector<std::string> out;
  if (!exeDir.empty()) {
    std::string dir = exeDir;
    if (dir.back() != '/') dir += '/';
    out.push_back(dir + kConfigFileName);
  }
  const char* system = std::getenv(kConfigDirVariable);
  std::string dir = system && *system ? system : kSystemConfigDir;
  if (dir.back() != '/') dir += '/';
  out.push_back(dir + kConfigFileName);
  return out;
}

bool LoadFlashromConfig(const std::vector<std::string>& candidates, FlashromConfig* config,
                        std::string* reason) {
  std::string path;
  for (const std::string& candidate : candidates) {
    if (plat::FileExists(candidate)) {
      path = candidate;
      break;
    }
  }
  if (path.empty()) {
    *reason = "no flashrom.ini found";
    for (const std::string& candidate : candidates) *reason += " (" + candidate + ")";
    return false;
  }
  FlashromConfig c;
  c.path = path;

  std::string programmer = Value(path, "PROGRAMMER");
  if (programmer == kMissing || programmer.empty()) {
    *reason = path + ": [FLASHROM] PROGRAMMER is missing";
    return false;
  }
  size_t colon = programmer.find(':');
  c.programmer = programmer.substr(0, colon);
  if (colon != std::string::npos) c.parameters = programmer.substr(colon + 1);
  if (c.programmer.empty()) {
    *reason = path + ": PROGRAMMER names no programmer";
    return false;
  }
  if (plat::EqualsNoCase(c.programmer, "internal") && Value(path, "ALLOWINTERNAL") != "1") {
    *reason = path + ": the internal programmer needs ALLOWINTERNAL=1";
    return false;
  }

  std::string flag = Value(path, "FLAG");
  if (flag == kMissing) {
    *reason = path + ": [FLASHROM] FLAG is missing";
    return false;
  }
  if (!ParseNumber(flag, &c.flag) || c.flag > 0xFF) {
    *reason = path + ": FLAG=" + flag + " is not an 8-bit number";
    return false;
  }
  if (!OptionalNumber(path, "BOOTBLOCK", &c.bootBlockOffset, &c.bootBlockGiven, reason) ||
      !OptionalNumber(path, "BOOTBLOCKSIZE", &c.bootBlockSize, nullptr, reason) ||
      !OptionalNumber(path, "WSBI", &c.wsbi, nullptr, reason) ||
      !OptionalNumber(path, "BRAND", &c.brand, nullptr, reason))
    return false;
  if (c.bootBlockSize == 0) {
    *reason = path + ": BOOTBLOCKSIZE must not be 0";
    return false;
  }
  std::string chip = Value(path, "CHIP");
  if (chip != kMissing) c.chip = chip;
  std::string romType = Value(path, "ROMTYPE");
  if (romType != kMissing) c.romType = romType;
  c.ignoreLoadDefaults = Value(path, "IGNORELOADDEFAULTS") == "1";
  *config = c;
  return true;
}

}  // namespace frd
