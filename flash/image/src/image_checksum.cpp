#include "image/image_checksum.h"

namespace brim {

uint16_t ByteSum16(const uint8_t* data, size_t size) {
  // Wide partial sums, folded at the end: the wrap-around is the same.
  uint64_t sum = 0;
  size_t i = 0;
  for (; i + 8 <= size; i += 8)
    sum += uint32_t{data[i]} + data[i + 1] + data[i + 2] + data[i + 3] + data[i + 4] +
           data[i + 5] + data[i + 6] + data[i + 7];
  for (; i < size; ++i) sum += data[i];
  return static_cast<uint16_t>(sum);
}

int ComputeImageChecksum(BiosImage& image) {
  image.checksum = image.bytes ? ByteSum16(image.bytes, image.size) : 0;
  return 1;
}

}  // namespace brim
