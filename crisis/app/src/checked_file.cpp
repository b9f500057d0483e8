#include "crisis_app/checked_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/file_system.h"

namespace crisis {

std::string IoError(const std::string& name, int err) {
  return name + ": " + std::strerror(err ? err : EIO);
}

namespace {

std::string TooLarge(const std::string& name, uint64_t maxBytes) {
  return name + ": larger than " + std::to_string(maxBytes) + " bytes, the most a BIOS image may take";
}

}  // namespace

std::FILE* OpenInputFile(const std::string& path, uint64_t maxBytes, std::string* error) {
  const std::string native = plat::ResolvePath(path);
  int fd = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = IoError(path, errno);
    return nullptr;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    *error = IoError(path, errno);
    ::close(fd);
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = path + ": not a regular file";
    ::close(fd);
    return nullptr;
  }
  if (static_cast<uint64_t>(st.st_size) > maxBytes) {
    *error = TooLarge(path, maxBytes);
    ::close(fd);
    return nullptr;
  }
  int flags = ::fcntl(fd, F_GETFL);
  std::FILE* f = flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ? nullptr : ::fdopen(fd, "rb");
  if (!f) {
    *error = IoError(path, errno);
    ::close(fd);
  }
  return f;
}

bool ReadInputFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& out,
                   std::string* error) {
  out.clear();
  std::FILE* f = OpenInputFile(path, maxBytes, error);
  if (!f) return false;
  uint8_t chunk[65536];
  bool ok = true;
  for (;;) {
    size_t n = std::fread(chunk, 1, sizeof chunk, f);
    if (n == 0) break;
    if (out.size() + n > maxBytes) {
      *error = TooLarge(path, maxBytes);
      ok = false;
      break;
    }
    out.insert(out.end(), chunk, chunk + n);
  }
  if (ok && std::ferror(f)) {
    *error = IoError(path, errno);
    ok = false;
  }
  std::fclose(f);  // read-only: nothing is lost if the close fails
  if (!ok) out.clear();
  return ok;
}

bool OutputFile::Open(const std::string& path, std::string* error) {
  Abandon();
  name_ = path;
  target_ = plat::ResolvePath(path);
  struct stat st;
  if (::stat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) {
      *error = IoError(path, EISDIR);
      return false;
    }
    // A device or a pipe: written in place; a pipe without a reader fails
    // at once instead of waiting for one.
    int fd = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    int flags = fd < 0 ? -1 : ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || !(f_ = ::fdopen(fd, "wb"))) {
      *error = IoError(path, errno);
      if (fd >= 0) ::close(fd);
      return false;
    }
    return true;
  }
  std::string dir = plat::DirectoryOf(target_);
  std::string tmpl = dir + "." + plat::BaseName(target_) + ".XXXXXX";
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) {
    *error = IoError(path, errno);
    return false;
  }
  temp_ = tmpl;
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);  // as an ordinary create would leave it; a failure only narrows access
  f_ = ::fdopen(fd, "wb");
  if (!f_) {
    *error = IoError(path, errno);
    ::close(fd);
    Abandon();
    return false;
  }
  return true;
}

bool OutputFile::Commit(std::string* error) {
  if (!f_) {
    *error = IoError(name_, EBADF);
    return false;
  }
  int err = 0;
  if (std::fflush(f_) != 0 || std::ferror(f_)) err = errno ? errno : EIO;
  // Durable before it takes the name, so a crash leaves the old file or the new.
  if (!err && !temp_.empty() && ::fsync(fileno(f_)) != 0) err = errno;
  if (std::fclose(f_) != 0 && !err) err = errno;
  f_ = nullptr;
  if (!err && !temp_.empty() && std::rename(temp_.c_str(), target_.c_str()) != 0) err = errno;
  if (err) {
    *error = IoError(name_, err);
    Abandon();
    return false;
  }
  temp_.clear();
  return true;
}

void OutputFile::Abandon() {
  if (f_) std::fclose(f_);
  f_ = nullptr;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

bool WriteOutputFile(const std::string& path, const void* data, size_t size, std::string* error) {
  OutputFile out;
  if (!out.Open(path, error)) return false;
  if (size && std::fwrite(data, 1, size, out.get()) != size) {
    *error = IoError(path, errno);
    return false;
  }
  return out.Commit(error);
}

}  // namespace crisis
