#include "image/image_checksum.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brim {

uint16_t ByteSum16(const uint8_t* data, size_t size) {
  // Wide partial sums, folded at the end: the wrap-around is the same.
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
