// Finds the package header inside a file's bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace brim {

struct PackageMatch {
  bool found = false;         // a "HOLB" "RIKE" model code was seen
  bool hasSettings = false;   // the last one carried "W!SH"
  size_t imageOffset = 0;     // where the image starts (0 when none was found)
  size_t headerOffset = 0;    // where the last model code stands
  // Settings text of every header that carried "W!SH", in file order; each
  // is applied in turn, so the last one decides.
  std::vector<size_t> settingsOffsets;
};

// Searches the whole of data for the package header; the last one decides
// where the image starts. A header cut off by the end of the data leaves an
// empty image and its settings unread.
PackageMatch FindPackageHeader(const uint8_t* data, size_t size);

}  // namespace brim
