#include "driver_protocol/machine_hold.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace drv {

MachineHold::Result MachineHold::Take(const std::string& file, std::string* why) {
  if (held() && file == file_) return Result::kTaken;
  Release();
  if (file.empty()) {
    *why = "the machine has no lock file";
    return Result::kUnavailable;
  }
  bool created = true;
  int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0 && errno == EEXIST) {
    created = false;
    fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    // Another user's file that only lets us read still locks: flock ignores the mode.
    if (fd < 0 && errno == EACCES) fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  }
  if (fd < 0) {
    *why = "the machine lock " + file + " cannot be opened: " + std::strerror(errno);
    return Result::kUnavailable;
  }
  // The creator's umask must not keep other users from the same lock.
  if (created) ::fchmod(fd, 0666);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) {
      *why = "another process holds the machine (lock " + file + ")";
      return Result::kBusy;
    }
    *why = "the machine lock " + file + " cannot be locked: " + std::strerror(error);
    return Result::kUnavailable;
  }
  fd_ = fd;
  file_ = file;
  return Result::kTaken;
}

void MachineHold::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  file_.clear();
}

}  // namespace drv
