#include "platform/disk_hold.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <map>
#include <mutex>

#include "disk_device.h"

namespace plat {

namespace {

std::mutex g_lock;
std::map<std::string, int> g_held;  // canonical path -> the held descriptor

}  // namespace

std::string HoldKey(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

int DupHeldDisk(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_lock);
  auto it = g_held.find(HoldKey(path));
  // A duplicate shares the open file description, and with it the lock.
  return it == g_held.end() ? -1 : ::fcntl(it->second, F_DUPFD_CLOEXEC, 0);
}

bool HeldHere(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_lock);
  return g_held.count(HoldKey(path)) != 0;
}

std::unique_ptr<DiskHold> DiskHold::Acquire(const std::string& name, DiskRefusal* refusal) {
  DiskRefusal dummy;
  if (!refusal) refusal = &dummy;
  DiskDrive drive;
  if (!FindNamedDrive(name, &drive)) {
    *refusal = DiskRefusal::Missing;
    return nullptr;
  }
  *refusal = CheckDriveWritable(drive);
  if (*refusal != DiskRefusal::None) return nullptr;
  std::string key = HoldKey(drive.path);
  std::lock_guard<std::mutex> lock(g_lock);
  if (g_held.count(key)) {  // one build per medium in this process too
    *refusal = DiskRefusal::InUse;
    return nullptr;
  }
  int flags = O_RDWR | O_CLOEXEC | (drive.blockDevice ? O_EXCL : 0);
  int fd = ::open(drive.path.c_str(), flags);
  if (fd < 0) {
    *refusal = errno == EBUSY ? DiskRefusal::InUse : errno == EROFS || errno == EACCES ? DiskRefusal::ReadOnly
                                                                                      : DiskRefusal::Missing;
    return nullptr;
  }
  if (!drive.blockDevice) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      *refusal = DiskRefusal::InUse;
      return nullptr;
    }
  }
  g_held[key] = fd;
  return std::unique_ptr<DiskHold>(new DiskHold(drive, key));
}

DiskHold::~DiskHold() {
  std::lock_guard<std::mutex> lock(g_lock);
  auto it = g_held.find(key_);
  if (it == g_held.end()) return;
  ::close(it->second);
  g_held.erase(it);
}

}  // namespace plat
