#include "byte_reader.h"
#include "image/image_checks.h"

namespace brim {

int CheckCompressedChecksum(const BiosImage& image) {
  ByteReader r(image.bytes, image.size);
  size_t lh5 = r.Find("-lh5-", 5);
  size_t bs1 = r.Find("*BS1", 4);
  size_t bbss = r.Find("*BBSS*", 6);
  if (lh5 == ByteReader::npos || bs1 == ByteReader::npos || bbss == ByteReader::npos) return 0;
  uint8_t type = 0, flags = 0;
  if (!r.U8(bs1 + 5, type) || !r.U8(bs1 + 6, flags)) return 0;
  size_t start = lh5 & 0xF0000u;
  size_t bank = bbss & 0xF0000u;
  size_t end = 0;
  if (type == 5) {
    end = bank + 0xBFFD;
    if (flags & 1) end -= 0x2000;
    if (flags & 2) end -= 0x2000;
  } else if (type >= 6 && type <= 8) {
    end = bank + 0xFFFD;
  } else {
    return 0;
  }
  uint8_t stored = 0;
  if (end < start || !r.U8(end + 1, stored)) return 0;
  uint8_t sum = 0;
  for (size_t i = start; i <= end; ++i) sum = static_cast<uint8_t>(sum + image.bytes[i]);
  return sum == stored ? 1 : 0;
}

}  // namespace brim
