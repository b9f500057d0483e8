#include "platform/disk_read_back.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/disk_drives.h"

namespace plat {

namespace {

constexpr size_t kAlign = 4096;  // suits every logical block size up to 4 KiB
constexpr size_t kBounceBytes = 1 << 20;

std::string Why(const std::string& path, int err) { return path + ": " + std::strerror(err ? err : EIO); }

}  // namespace

DiskReadBack::~DiskReadBack() {
  if (fd_ >= 0) ::close(fd_);
  std::free(bounce_);
}

bool DiskReadBack::Open(const std::string& driveName, std::string* error) {
  DiskDrive drive;
  if (!FindNamedDrive(driveName, &drive)) {
    *error = driveName + ": the drive is gone";
    return false;
  }
  path_ = drive.path;
  size_ = drive.sizeBytes;
  // Any descriptor flushes the file's or the device's dirty pages.
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = Why(path_, errno);
    return false;
  }
  if (::fsync(fd) != 0) {
    *error = Why(path_, errno);
    ::close(fd);
    return false;
  }
  int direct = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECT);
  if (direct >= 0 && ::posix_memalign(reinterpret_cast<void**>(&bounce_), kAlign, kBounceBytes) == 0) {
    ::close(fd);
    fd_ = direct;
    direct_ = true;
    return true;
  }
  if (direct >= 0) ::close(direct);
  bounce_ = nullptr;
  // Clean now, so dropping the cached pages makes the next reads ask the file system.
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  fd_ = fd;
  return true;
}

bool DiskReadBack::Read(uint64_t offset, void* buf, size_t size, std::string* error) {
  if (fd_ < 0) {
    *error = Why(path_, EBADF);
    return false;
  }
  if (offset > size_ || size > size_ - offset) {
    *error = path_ + ": a read past the end of the medium";
    return false;
  }
  uint8_t* out = static_cast<uint8_t*>(buf);
  while (size > 0) {
    uint8_t* into = out;
    uint64_t from = offset;
    size_t want = size, skip = 0;
    if (direct_) {
      // Whole aligned blocks around the wanted bytes, through the bounce buffer.
      from = offset / kAlign * kAlign;
      skip = static_cast<size_t>(offset - from);
      want = std::min(kBounceBytes, (skip + size + kAlign - 1) / kAlign * kAlign);
      into = bounce_;
    }
    size_t got = 0;
    while (got < want) {
      ssize_t n = ::pread(fd_, into + got, want - got, static_cast<off_t>(from + got));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        *error = Why(path_, errno);
        return false;
      }
      if (n == 0) break;  // the end of an image file inside the last block
      got += static_cast<size_t>(n);
    }
    size_t useful = got > skip ? got - skip : 0;
    size_t take = std::min(size, direct_ ? useful : got);
    if (take == 0) {
      *error = path_ + ": the medium ended early";
      return false;
    }
    if (direct_) std::memcpy(out, bounce_ + skip, take);
    out += take;
    offset += take;
    size -= take;
  }
  return true;
}

}  // namespace plat
