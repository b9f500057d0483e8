// The package settings text and the WSET block made from the settings: a
// block made, applied and made again is the same block.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "core/flash_settings.h"
#include "image/image_loader.h"
#include "image/wset_report.h"

namespace {

std::string MadeFrom(const char* text, uint8_t mode) {
  brim::FlashSettings& s = brim::Settings();
  s = brim::FlashSettings{};
  s.commandLineOptions = mode & 1;
  s.forceNoVerify = (mode >> 1) & 1;
  // Exact-size copy, so a read past the 34 characters is caught.
  std::unique_ptr<char[]> exact(new char[brim::kPackageSettingsCount]);
  std::memcpy(exact.get(), text, brim::kPackageSettingsCount);
  brim::ApplyPackageSettings(exact.get());
  return brim::BuildWsetBytes(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 + brim::kPackageSettingsCount) return 0;
  const std::string made = MadeFrom(reinterpret_cast<const char*>(data + 1), 0);
  if (made.size() != brim::kWsetSize || made.compare(0, 4, "W!SH") != 0) __builtin_trap();
  for (size_t i = 4; i < made.size(); ++i)
    if (made[i] != '0' && made[i] != '1') __builtin_trap();
  if (made.compare(made.size() - 5, 5, "00000") != 0) __builtin_trap();
  if (MadeFrom(made.c_str() + 4, 0) != made) __builtin_trap();
  // With options from the command line or verifies forced off, some
  // characters are ignored; what is made is still a well-formed block.
  const std::string other = MadeFrom(reinterpret_cast<const char*>(data + 1), data[0]);
  if (other.size() != brim::kWsetSize || other.compare(0, 4, "W!SH") != 0) __builtin_trap();
  return 0;
}
