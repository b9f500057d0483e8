// Byte-level writer for synthetic images; writes past the end are clipped so
// that tests can place tags that run off the image.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace imagegen {

class ImageWriter {
 public:
  explicit ImageWriter(size_t size, uint8_t fill = 0xFF) : bytes_(size, fill) {}

  void Text(size_t at, const std::string& text);  // without NUL
  void CString(size_t at, const std::string& text);  // with NUL
  void U8(size_t at, uint8_t v);
  void U16(size_t at, uint16_t v);
  void U32(size_t at, uint32_t v);
  void Fill(size_t at, size_t length, uint8_t v);
  // A recognisable pattern derived from seed, so copies can be told apart.
  void Pattern(size_t at, size_t length, uint32_t seed);

  std::vector<uint8_t>& bytes() { return bytes_; }
  size_t size() const { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace imagegen
