#include "crisis_app/byte_stream.h"

#include <errno.h>

#include <cstring>

namespace crisis {

bool FileSource::Seek(uint64_t pos) {
  if (error_) return false;
  if (pos > static_cast<uint64_t>(INT64_MAX)) return false;
  if (fseeko(f_, static_cast<off_t>(pos), SEEK_SET) == 0) return true;
  error_ = errno ? errno : EIO;
  return false;
}

size_t FileSource::Read(uint8_t* buf, size_t n) {
  // After a failure nothing more is read: the stream must not go on past a gap.
  if (error_) return 0;
  size_t got = std::fread(buf, 1, n, f_);
  if (got < n && std::ferror(f_)) {
    error_ = errno ? errno : EIO;
    return 0;
  }
  return got;
}

void FileSink::Write(const uint8_t* buf, size_t n) {
  if (error_ || n == 0) return;
  if (std::fwrite(buf, 1, n, f_) != n) error_ = errno ? errno : EIO;
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
