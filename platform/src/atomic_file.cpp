#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace plat {

namespace {
bool Fail(std::string* error, const std::string& what, const std::string& path) {
  if (error) *error = what + " " + path + ": " + std::strerror(errno);
  return false;
}
}  // namespace

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string* error) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  std::string temporary = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
                          ".tmp-" + path.substr(slash + 1) + "-XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return Fail(error, "cannot create a file beside", path);
  // The file keeps the permissions it had; a new one gets the usual ones.
  struct stat old;
  ::fchmod(fd, ::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? old.st_mode & 07777 : 0644);
  const char* p = static_cast<const char*>(data);
  bool ok = true;
  for (size_t left = size; ok && left > 0;) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) p += n, left -= static_cast<size_t>(n);
  }
  if (!ok) Fail(error, "cannot write", temporary);
  if (ok && ::fsync(fd) != 0) ok = Fail(error, "cannot sync", temporary);
  if (::close(fd) != 0 && ok) ok = Fail(error, "cannot close", temporary);
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) ok = Fail(error, "cannot replace", path);
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool synced = dir >= 0 && ::fsync(dir) == 0;
  if (!synced) Fail(error, "cannot sync the folder", folder);
  if (dir >= 0) ::close(dir);
  return synced;
}

}  // namespace plat
