#include "crisis_app/byte_stream.h"

#include <cstring>

namespace crisis {

bool FileSource::Seek(uint64_t pos) {
  if (pos > static_cast<uint64_t>(INT64_MAX)) return false;
  return fseeko(f_, static_cast<off_t>(pos), SEEK_SET) == 0;
}

size_t FileSource::Read(uint8_t* buf, size_t n) { return std::fread(buf, 1, n, f_); }

void FileSink::Write(const uint8_t* buf, size_t n) {
  if (n) std::fwrite(buf, 1, n, f_);
}

bool MemorySource::Seek(uint64_t pos) {
  if (pos > size_) return false;
  pos_ = static_cast<size_t>(pos);
  return true;
}

size_t MemorySource::Read(uint8_t* buf, size_t n) {
  size_t take = n < size_ - pos_ ? n : size_ - pos_;
  if (take) std::memcpy(buf, data_ + pos_, take);
  pos_ += take;
  return take;
}

}  // namespace crisis
