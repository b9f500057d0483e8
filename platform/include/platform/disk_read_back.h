// A drive opened to read back what was just written to it: its writes are
// flushed to the medium first (fsync), then it is read around the page cache
// where the system allows it (O_DIRECT). An image file on a file system that
// refuses O_DIRECT is read through the cache after its clean pages were
// dropped (POSIX_FADV_DONTNEED), which asks the file system again.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

class DiskReadBack {
 public:
  DiskReadBack() = default;
  DiskReadBack(const DiskReadBack&) = delete;
  DiskReadBack& operator=(const DiskReadBack&) = delete;
  ~DiskReadBack();

  // driveName as Tavrin keeps it ("A:", "\\.\PhysicalDriveN", a BIOS drive
  // number); false with `error` ("PATH: reason") when it can't be flushed or opened.
  bool Open(const std::string& driveName, std::string* error);
  bool Read(uint64_t offset, void* buf, size_t size, std::string* error);
  uint64_t Size() const { return size_; }
  // True when reads bypass the page cache.
  bool Direct() const { return direct_; }

 private:
  int fd_ = -1;
  bool direct_ = false;
  uint64_t size_ = 0;
  std::string path_;
  uint8_t* bounce_ = nullptr;  // aligned, for O_DIRECT transfers
};

}  // namespace plat
