// Bounds-checked little-endian reads from image bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace brim {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size)
      : data_(data), size_(data ? size : 0), wordEnd_(size_ < 4 ? 0 : size_ - 3) {}

  size_t size() const { return size_; }
  const uint8_t* data() const { return data_; }

  // [offset, offset + length) lies inside the bytes.
  bool Has(size_t offset, size_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }
  // The tag's bytes stand at offset (false when they would run past the end).
  bool TagAt(size_t offset, const char* tag, size_t length) const {
    return Has(offset, length) && std::memcmp(data_ + offset, tag, length) == 0;
  }
  // The first byte decides most positions of a scan without a call.
  bool Tag4(size_t offset, const char* tag) const {
    return Has(offset, 4) && data_[offset] == static_cast<uint8_t>(tag[0]) &&
           std::memcmp(data_ + offset + 1, tag + 1, 3) == 0;
  }

  // Positions below this one hold four bytes.
  size_t WordEnd() const { return wordEnd_; }

  // The four bytes at offset as a little-endian number, 0 past the end: a
  // scan switches on it once per position instead of comparing each tag.
  // Inlined with the same single test as a scan's bound, which covers it.
  __attribute__((always_inline)) uint32_t Word4(size_t offset) const {
    if (offset >= wordEnd_) return 0;
    return uint32_t{data_[offset]} | (uint32_t{data_[offset + 1]} << 8) |
           (uint32_t{data_[offset + 2]} << 16) | (uint32_t{data_[offset + 3]} << 24);
  }

  // The four bytes at p as a little-endian number; the caller has checked them.
  static uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
  }

  bool U8(size_t offset, uint8_t& v) const {
    if (!Has(offset, 1)) return false;
    v = data_[offset];
    return true;
  }
  bool U16(size_t offset, uint16_t& v) const {
    if (!Has(offset, 2)) return false;
    v = static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    return true;
  }
  bool U32(size_t offset, uint32_t& v) const {
    if (!Has(offset, 4)) return false;
    v = uint32_t{data_[offset]} | (uint32_t{data_[offset + 1]} << 8) |
        (uint32_t{data_[offset + 2]} << 16) | (uint32_t{data_[offset + 3]} << 24);
    return true;
  }

  // NUL-terminated text at offset; stops at the end of the bytes. `terminated`
  // tells whether a NUL was found.
  // Found with memchr and copied at once: a text may run on to the end of a
  // large image.
  std::string CString(size_t offset, bool* terminated = nullptr) const {
    if (terminated) *terminated = false;
    if (offset >= size_) return {};
    const char* from = reinterpret_cast<const char*>(data_ + offset);
    const void* nul = std::memchr(from, 0, size_ - offset);
    if (terminated) *terminated = nul != nullptr;
    return std::string(from, nul ? static_cast<const char*>(nul) - from : size_ - offset);
  }

  // First position at or after `from` where the tag stands, or npos.
  size_t Find(const char* tag, size_t length, size_t from = 0) const {
    if (length == 0 || size_ < length) return npos;
    const uint8_t first = static_cast<uint8_t>(tag[0]);
    size_t last = size_ - length;
    for (size_t i = from; i <= last;) {
      const void* hit = std::memchr(data_ + i, first, last - i + 1);
      if (!hit) return npos;
      i = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data_);
      if (std::memcmp(data_ + i, tag, length) == 0) return i;
      ++i;
    }
    return npos;
  }

  static constexpr size_t npos = static_cast<size_t>(-1);

 private:
  const uint8_t* data_;
  size_t size_;
  size_t wordEnd_;
};

// A four-character tag as Word4 reads it.
constexpr uint32_t TagWord(const char (&tag)[5]) {
  return uint32_t{static_cast<uint8_t>(tag[0])} | uint32_t{static_cast<uint8_t>(tag[1])} << 8 |
         uint32_t{static_cast<uint8_t>(tag[2])} << 16 | uint32_t{static_cast<uint8_t>(tag[3])} << 24;
}

// Copies text into a fixed field, cut to fit with its NUL.
template <size_t N>
void CopyText(char (&field)[N], const std::string& text) {
  size_t n = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, N - n);
}

// Decimal value of the leading digits of text.
inline uint32_t LeadingNumber(const std::string& text) {
  uint32_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  return v;
}

}  // namespace brim
