#include "crisis_app/lzss_decoder.h"

#include <cstdint>
#include <cstring>

#include "crisis_app/lzss_encoder.h"

namespace crisis {

LzssDecodeStatus DecodeLzssChecked(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                                   size_t maxOut) {
  constexpr int N = kLzssRingSize;
  uint8_t ring[N];
  std::memset(ring, kLzssFill, kLzssStart);
  std::memset(ring + kLzssStart, 0, N - kLzssStart);
  int r = kLzssStart;
  size_t at = 0;
  const size_t start = out.size();
  while (at < size) {
    const uint8_t flags = data[at++];
    if (at == size) return LzssDecodeStatus::EmptyGroup;
    int bit = 0;
    for (; bit < 8 && at < size; ++bit) {
      if (flags & (1u << bit)) {
        if (out.size() - start >= maxOut) return LzssDecodeStatus::TooLarge;
        const uint8_t c = data[at++];
        out.push_back(c);
        ring[r] = c;
        r = (r + 1) & (N - 1);
      } else {
        if (size - at < 2) return LzssDecodeStatus::CutInsideItem;
        const int a = data[at];
        const int b = data[at + 1];
        at += 2;
        int p = a | ((b & 0xF0) << 4);
        const int length = (b & 0x0F) + kLzssThreshold + 1;
        if (out.size() - start + static_cast<size_t>(length) > maxOut) return LzssDecodeStatus::TooLarge;
        for (int k = 0; k < length; ++k) {
          const uint8_t c = ring[p];
          out.push_back(c);
          ring[r] = c;
          r = (r + 1) & (N - 1);
          p = (p + 1) & (N - 1);
        }
      }
    }
    // The last group's unused flag bits are 0; a 1 there is a literal that
    // the stream promised and lost.
    if (bit < 8 && (flags >> bit) != 0) return LzssDecodeStatus::CutInsideItem;
  }
  return LzssDecodeStatus::Ok;
}

bool DecodeLzss(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  return DecodeLzssChecked(data, size, out, SIZE_MAX) == LzssDecodeStatus::Ok;
}

}  // namespace crisis
