#include "image/package_search.h"

#include <cstring>

#include "byte_reader.h"
#include "image/image_loader.h"

namespace brim {

PackageMatch FindPackageHeader(const uint8_t* data, size_t size) {
  PackageMatch match;
  ByteReader r(data, size);
  size_t p = 0;
  while (p < size) {
    const void* hit = std::memchr(data + p, 'H', size - p);
    if (!hit) break;
    p = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
    if (!r.Tag4(p, "HOLB")) {
      p += 1;
      continue;
    }
    if (!r.Tag4(p + 4, "RIKE")) {
      p += 5;
      continue;
    }
    match.found = true;
    match.headerOffset = p;
    match.hasSettings = false;
    if (!r.Tag4(p + 10, "W!SH")) {
      match.imageOffset = r.Has(p, 10) ? p + 10 : size;
    } else if (r.Has(p, kPackageHeaderSize)) {
      match.hasSettings = true;
      match.settingsOffsets.push_back(p + 14);
      match.imageOffset = p + kPackageHeaderSize;
    } else {
      match.imageOffset = size;  // settings cut short by the end: no image
    }
    p += 11;
  }
  return match;
}

}  // namespace brim
