#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/system_paths.h"

namespace plat {

std::string MachineLockFolder() {
  const char* v = std::getenv("BIOS_TOOLS_LOCK_DIR");
  return v && *v ? v : "/run/lock";
}

NamedMutex::NamedMutex(const std::string& name)
    : name_(name), path_(MachineLockFolder() + "/" + name + ".lock") {}

NamedMutex::~NamedMutex() {
  Release();
  if (fd_ >= 0) ::close(fd_);
}

// Any user must be able to lock the file another user made: it is made
// writable for all, and a file that is not is still locked through a
// read-only descriptor (flock does not care about the open mode).
int NamedMutex::OpenLockFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd >= 0) {
    ::fchmod(fd, 0666);  // the umask would keep other users out
    return fd;
  }
  if (errno != EEXIST) return -1;
  fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  return fd;
}

LockResult NamedMutex::Acquire() {
  if (held_) return LockResult::kAcquired;
  error_.clear();
  if (fd_ < 0) {
    path_ = MachineLockFolder() + "/" + name_ + ".lock";
    fd_ = OpenLockFile(path_);
    // A machine without a usable lock folder falls back to the session's.
    if (fd_ < 0 && (errno == ENOENT || errno == EACCES || errno == EROFS || errno == EPERM)) {
      const std::string fallback = RuntimeFolder() + "/" + name_ + ".lock";
      fd_ = OpenLockFile(fallback);
      if (fd_ >= 0) path_ = fallback;
    }
    if (fd_ < 0) {
      error_ = std::strerror(errno);
      return LockResult::kUnavailable;
    }
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
      error_ = "not a regular file";
      ::close(fd_);
      fd_ = -1;
      return LockResult::kUnavailable;
    }
  }
  // The lock dies with the process, so a crashed holder never blocks the next run.
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
    held_ = true;
    return LockResult::kAcquired;
  }
  if (errno == EWOULDBLOCK) return LockResult::kBusy;
  error_ = std::strerror(errno);
  return LockResult::kUnavailable;
}

void NamedMutex::Release() {
  if (held_ && fd_ >= 0) ::flock(fd_, LOCK_UN);
  held_ = false;
}

}  // namespace plat
