// The package header search and the settings it applies, on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/flash_settings.h"
#include "image/image_loader.h"
#include "image/package_search.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exact-size copy, so reads past the end are caught.
  std::vector<uint8_t> bytes(data, data + size);
  brim::PackageMatch m = brim::FindPackageHeader(bytes.data(), bytes.size());
  if (m.imageOffset > bytes.size()) __builtin_trap();
  if (m.found && !m.hasSettings && m.imageOffset < m.headerOffset) __builtin_trap();
  brim::Settings() = brim::FlashSettings{};
  for (size_t at : m.settingsOffsets) {
    if (at + brim::kPackageSettingsCount > bytes.size()) __builtin_trap();
    brim::ApplyPackageSettings(reinterpret_cast<const char*>(bytes.data() + at));
  }
  return 0;
}
