#include "emulator/flash_rom.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace emu {

namespace {
bool Inside(uint64_t offset, uint64_t length, uint64_t size) {
  return offset <= size && length <= size - offset;
}
}  // namespace

bool FlashRom::Open(const std::string& path, uint32_t size, std::string* why) {
  Close();
  fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd_ < 0) {
    *why = "ROM file " + path + " cannot be opened: " + std::strerror(errno);
    return false;
  }
  ++opens_;
  path_ = path;
  size_ = size;
  return true;
}

void FlashRom::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool FlashRom::Read(uint32_t offset, uint32_t length, uint8_t* out, std::string* why) const {
  if (fd_ < 0 || !Inside(offset, length, size_)) {
    *why = "read of " + std::to_string(length) + " bytes at " + std::to_string(offset) +
           " lies outside the ROM file " + path_;
    return false;
  }
  for (uint32_t done = 0; done < length;) {
    ssize_t n = ::pread(fd_, out + done, length - done, off_t(offset) + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *why = "reading ROM file " + path_ + " failed: " +
             (n == 0 ? std::string("the file is shorter than the ROM") : std::strerror(errno));
      return false;
    }
    done += static_cast<uint32_t>(n);
  }
  return true;
}

bool FlashRom::Write(uint32_t offset, const uint8_t* data, uint32_t length, std::string* why) {
  if (fd_ < 0 || !Inside(offset, length, size_)) {
    *why = "write of " + std::to_string(length) + " bytes at " + std::to_string(offset) +
           " lies outside the ROM file " + path_;
    return false;
  }
  for (uint32_t done = 0; done < length;) {
    ssize_t n = ::pwrite(fd_, data + done, length - done, off_t(offset) + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *why = "writing ROM file " + path_ + " failed: " + std::strerror(n == 0 ? EIO : errno);
      return false;
    }
    done += static_cast<uint32_t>(n);
  }
  return true;
}

}  // namespace emu
