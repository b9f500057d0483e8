// A named mutex shared between processes: an advisory lock on a lock file
// named after the mutex in $XDG_RUNTIME_DIR (else /tmp).
#pragma once
#include <string>

namespace plat {

class NamedMutex {
 public:
  explicit NamedMutex(const std::string& name);
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // Tries to take the mutex without waiting; false when another holder has it
  // (or the lock file cannot be made).
  bool TryAcquire();
  void Release();
  bool Held() const { return fd_ >= 0 && held_; }
  const std::string& LockPath() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace plat
