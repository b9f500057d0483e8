// A named mutex shared between processes of every session and user: an
// advisory lock on a lock file named after the mutex in the machine's lock
// folder ($BIOS_TOOLS_LOCK_DIR, else /run/lock). When that folder cannot hold
// the file, the session's runtime folder ($XDG_RUNTIME_DIR, else /tmp) does.
#pragma once
#include <string>

namespace plat {

enum class LockResult {
  kAcquired,
  kBusy,         // another process holds it
  kUnavailable,  // the lock file cannot be opened or locked; see ErrorText()
};

// The machine-wide lock folder.
std::string MachineLockFolder();

class NamedMutex {
 public:
  explicit NamedMutex(const std::string& name);
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // Tries to take the mutex without waiting.
  LockResult Acquire();
  bool TryAcquire() { return Acquire() == LockResult::kAcquired; }
  void Release();
  bool Held() const { return fd_ >= 0 && held_; }
  // The lock file in use (or the one that failed).
  const std::string& LockPath() const { return path_; }
  // Why the lock could not be taken (strerror), empty otherwise.
  const std::string& ErrorText() const { return error_; }

 private:
  int OpenLockFile(const std::string& path);
  std::string name_;
  std::string path_;
  std::string error_;
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace plat
