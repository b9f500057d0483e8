#include "platform/os_personality.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace plat {

namespace {
std::atomic<uint32_t> g_override{0};

uint32_t FromEnvironment() {
  const char* v = std::getenv("BIOS_TOOLS_PERSONALITY");
  if (v && (std::strcmp(v, "9x") == 0 || std::strcmp(v, "9X") == 0)) return VER_PLATFORM_WIN32_WINDOWS;
  return VER_PLATFORM_WIN32_NT;
}
}  // namespace

uint32_t PlatformId() {
  uint32_t o = g_override.load();
  return o ? o : FromEnvironment();
}

void SetPlatformId(uint32_t platformId) { g_override.store(platformId); }

bool GetVersionEx(OsVersionInfo* info) {
  if (!info) return false;
  if (PlatformId() == VER_PLATFORM_WIN32_WINDOWS) {
    *info = {4, 10, 2222, VER_PLATFORM_WIN32_WINDOWS};  // a 98 SE answer
  } else {
    *info = {5, 1, 2600, VER_PLATFORM_WIN32_NT};
  }
  return true;
}

}  // namespace plat
