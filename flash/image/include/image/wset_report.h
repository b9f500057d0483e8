// WSET.TXT: the 38-byte settings block of an image package, written from the
// settings chosen on the property pages.
#pragma once
#include <string>

#include "core/flash_settings.h"

namespace brim {

constexpr size_t kWsetSize = 38;

// "W!SH", one '0'/'1' per package setting (29), then five reserved '0'.
std::string BuildWsetBytes(const FlashSettings& s);

// Writes exeDir + "Combine\\Wset.txt" (the folder must exist) and reports
// the outcome in a box. True when all 38 bytes reached the file.
bool MakeWsetReport();

}  // namespace brim
