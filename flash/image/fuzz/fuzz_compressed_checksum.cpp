// The Lindar boot-block checksum on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/bios_image.h"
#include "image/image_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  brim::BiosImage img;
  img.buffer.assign(data, data + size);
  img.bytes = img.buffer.data();
  img.size = static_cast<uint32_t>(size);
  brim::CheckCompressedChecksum(img);
  return 0;
}
