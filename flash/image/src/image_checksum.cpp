#include "image/image_checksum.h"

#include <cstring>

namespace brim {

namespace {

constexpr uint64_t kEvenBytes = 0x00FF00FF00FF00FFull;

// Eight bytes summed pairwise into four 16-bit lanes of at most 510 each.
uint64_t PairSums(const uint8_t* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return (w & kEvenBytes) + ((w >> 8) & kEvenBytes);
}

}  // namespace

uint16_t ByteSum16(const uint8_t* data, size_t size) {
  // 64 bytes a step, in lanes that cannot carry (8 * 510 < 0x10000), folded
  // into a wide sum: the wrap-around is the same, at an eighth of the loop
  // tests of a byte or word loop.
  uint64_t sum = 0;
  size_t i = 0;
  for (; size - i >= 64; i += 64) {
    const uint8_t* p = data + i;
    const uint64_t lanes = PairSums(p) + PairSums(p + 8) + PairSums(p + 16) + PairSums(p + 24) +
                           PairSums(p + 32) + PairSums(p + 40) + PairSums(p + 48) + PairSums(p + 56);
    sum += (lanes & 0xFFFF) + ((lanes >> 16) & 0xFFFF) + ((lanes >> 32) & 0xFFFF) + (lanes >> 48);
  }
  for (; i < size; ++i) sum += data[i];
  return static_cast<uint16_t>(sum);
}

int ComputeImageChecksum(BiosImage& image) {
  image.checksum = image.bytes ? ByteSum16(image.bytes, image.size) : 0;
  return 1;
}

}  // namespace brim
