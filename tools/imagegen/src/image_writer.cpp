#include "imagegen/image_writer.h"

namespace imagegen {

void ImageWriter::U8(size_t at, uint8_t v) {
  if (at < bytes_.size()) bytes_[at] = v;
}

void ImageWriter::Text(size_t at, const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) U8(at + i, static_cast<uint8_t>(text[i]));
}

void ImageWriter::CString(size_t at, const std::string& text) {
  Text(at, text);
  U8(at + text.size(), 0);
}

void ImageWriter::U16(size_t at, uint16_t v) {
  U8(at, static_cast<uint8_t>(v));
  U8(at + 1, static_cast<uint8_t>(v >> 8));
}

void ImageWriter::U32(size_t at, uint32_t v) {
  U16(at, static_cast<uint16_t>(v));
  U16(at + 2, static_cast<uint16_t>(v >> 16));
}

void ImageWriter::Fill(size_t at, size_t length, uint8_t v) {
  for (size_t i = 0; i < length; ++i) U8(at + i, v);
}

void ImageWriter::Pattern(size_t at, size_t length, uint32_t seed) {
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < length; ++i) {
    x = x * 1103515245u + 12345u;
    U8(at + i, static_cast<uint8_t>(x >> 16));
  }
}

}  // namespace imagegen
