#include "image/image_checksum.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  uint64_t sum = 0;
  size_t i = 0;
#if defined(__SSE2__)
  // Sums of absolute differences against zero add 16 bytes in one step.
  const __m128i zero = _mm_setzero_si128();
  __m128i wide = zero;
  for (; i + 16 <= size; i += 16)
    wide = _mm_add_epi64(wide, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i)), zero));
  sum = static_cast<uint64_t>(_mm_cvtsi128_si64(wide)) +
        static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(wide, wide)));
#endif
  // Without SSE2: 64 bytes a step, in lanes that cannot carry (8 * 510 <
  // 0x10000), folded into a wide sum; the wrap-around is the same.
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
