#include "crisis_app/lzss_decoder.h"

#include <cstring>

#include "crisis_app/lzss_encoder.h"

namespace crisis {

bool DecodeLzss(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  constexpr int N = kLzssRingSize;
  uint8_t ring[N];
  std::memset(ring, kLzssFill, kLzssStart);
  std::memset(ring + kLzssStart, 0, N - kLzssStart);
  int r = kLzssStart;
  size_t at = 0;
  while (at < size) {
    const uint8_t flags = data[at++];
    if (at == size) return false;  // a group is never written without an item
    for (int bit = 0; bit < 8 && at < size; ++bit) {
      if (flags & (1u << bit)) {
        const uint8_t c = data[at++];
        out.push_back(c);
        ring[r] = c;
        r = (r + 1) & (N - 1);
      } else {
        if (size - at < 2) return false;
        const int a = data[at];
        const int b = data[at + 1];
        at += 2;
        int p = a | ((b & 0xF0) << 4);
        const int length = (b & 0x0F) + kLzssThreshold + 1;
        for (int k = 0; k < length; ++k) {
          const uint8_t c = ring[p];
          out.push_back(c);
          ring[r] = c;
          r = (r + 1) & (N - 1);
          p = (p + 1) & (N - 1);
        }
      }
    }
  }
  return true;
}

}  // namespace crisis
