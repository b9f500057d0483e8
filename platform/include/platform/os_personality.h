// Which Windows family the programs believe they run on. The NT family is
// the default; the 9x family is chosen by BIOS_TOOLS_PERSONALITY=9x (or by
// SetPlatformId in tests) and switches on the emulated 9x devices.
#pragma once
#include <cstdint>

namespace plat {

constexpr uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr uint32_t VER_PLATFORM_WIN32_NT = 2;

struct OsVersionInfo {
  uint32_t majorVersion;
  uint32_t minorVersion;
  uint32_t buildNumber;
  uint32_t platformId;
};

// GetVersionExA stand-in; always succeeds.
bool GetVersionEx(OsVersionInfo* info);
uint32_t PlatformId();
// Overrides the family for this process (0 returns to the environment's choice).
void SetPlatformId(uint32_t platformId);

}  // namespace plat
