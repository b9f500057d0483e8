// CONFIGURATION values of setting.ini, read the way atoi reads them.
#pragma once
#include <cctype>
#include <cstdint>
#include <string>

#include "platform/ini_profile.h"

namespace brim {

// Optional sign, then decimal digits up to the first other character; the
// result is kept as a 32-bit pattern, so "4293918720" and "-1048576" agree.
inline uint32_t AtoiPattern(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint64_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    value = (value * 10 + uint64_t(text[i] - '0')) & 0xFFFFFFFFFFull;  // keep it bounded
  uint32_t pattern = static_cast<uint32_t>(value);
  return negative ? 0u - pattern : pattern;
}

inline std::string ConfigValue(const char* key, const std::string& path) {
  return plat::GetProfileString("CONFIGURATION", key, "Get didn't work", 80, path);
}

inline uint32_t ConfigNumber(const char* key, const std::string& path) {
  return AtoiPattern(ConfigValue(key, path));
}

// RUNNEWMODULE counts only as exactly "1" in the current directory's file.
inline bool RunNewModule() { return ConfigValue("RUNNEWMODULE", ".\\setting.ini") == "1"; }

}  // namespace brim
