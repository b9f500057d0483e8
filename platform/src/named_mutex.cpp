#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/system_paths.h"

namespace plat {

NamedMutex::NamedMutex(const std::string& name) : path_(RuntimeFolder() + "/" + name + ".lock") {}

NamedMutex::~NamedMutex() {
  Release();
  if (fd_ >= 0) ::close(fd_);
}

bool NamedMutex::TryAcquire() {
  if (held_) return true;
  if (fd_ < 0) {
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return false;
  }
  // The lock dies with the process, so a crashed holder never blocks the next run.
  held_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
  return held_;
}

void NamedMutex::Release() {
  if (held_ && fd_ >= 0) ::flock(fd_, LOCK_UN);
  held_ = false;
}

}  // namespace plat
