// Little-endian fields in byte buffers, read and written byte by byte with
// the bounds checked first: an offset that does not fit is refused, never read.
#pragma once
#include <cstddef>
#include <cstdint>

namespace plat {

// Reads size bytes at offset of a buffer of length len into *value.
inline bool ReadLe(const uint8_t* buf, size_t len, size_t offset, unsigned size, uint64_t* value) {
  if (!buf || size == 0 || size > 8 || offset > len || len - offset < size) return false;
  uint64_t v = 0;
  for (unsigned i = 0; i < size; ++i) v |= static_cast<uint64_t>(buf[offset + i]) << (8 * i);
  *value = v;
  return true;
}

inline bool WriteLe(uint8_t* buf, size_t len, size_t offset, unsigned size, uint64_t value) {
  if (!buf || size == 0 || size > 8 || offset > len || len - offset < size) return false;
  for (unsigned i = 0; i < size; ++i) buf[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  return true;
}

// Checked readers that yield 0 for a field outside the buffer, for callers
// that have verified the length once up front.
inline uint16_t Le16(const uint8_t* buf, size_t len, size_t offset) {
  uint64_t v = 0;
  return ReadLe(buf, len, offset, 2, &v) ? static_cast<uint16_t>(v) : 0;
}
inline uint32_t Le32(const uint8_t* buf, size_t len, size_t offset) {
  uint64_t v = 0;
  return ReadLe(buf, len, offset, 4, &v) ? static_cast<uint32_t>(v) : 0;
}
inline uint64_t Le64(const uint8_t* buf, size_t len, size_t offset) {
  uint64_t v = 0;
  return ReadLe(buf, len, offset, 8, &v) ? v : 0;
}
inline void PutLe16(uint8_t* buf, size_t len, size_t offset, uint16_t v) { WriteLe(buf, len, offset, 2, v); }
inline void PutLe32(uint8_t* buf, size_t len, size_t offset, uint32_t v) { WriteLe(buf, len, offset, 4, v); }
inline void PutLe64(uint8_t* buf, size_t len, size_t offset, uint64_t v) { WriteLe(buf, len, offset, 8, v); }

}  // namespace plat
