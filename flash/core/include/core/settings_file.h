// setting.ini beside the executable.
#pragma once
#include <cstdint>
#include <string>

#include "core/flash_settings.h"

namespace brim {

// Default text that marks a missing key.
extern const char kMissingValue[];  // "Get didn't work"

// Reads the file at iniPath into s; groups K and V only when the command
// line did not fix them. A missing or malformed file changes nothing.
void ReadSettingsFile(FlashSettings& s, const std::string& iniPath);

// Writes the keep, verify and after-flash bits of settingsWord into
// "setting.ini" in the executable's folder. Failures are silently lost.
void WriteSettingsFile(uint32_t settingsWord, const std::string& exePath);

// atoi as a 32-bit value: optional sign, decimal digits, stops at the first
// other character; wraps modulo 2^32 so an unsigned address survives.
int32_t Atoi32(const std::string& text);

}  // namespace brim
