// Finds the package header inside a file's bytes.
#pragma once
#include <cstddef>
#include <cstdint>

namespace brim {

struct PackageMatch {
  bool found = false;         // a "HOLB" "RIKE" model code was seen
  bool hasSettings = false;   // the last one carried "W!SH"
  size_t imageOffset = 0;     // where the image starts (0 when none was found)
  size_t settingsOffset = 0;  // where the 34 settings characters start
};

// Searches the whole of data for the package header; the last one wins.
PackageMatch FindPackageHeader(const uint8_t* data, size_t size);

}  // namespace brim
