#include "tool_cli/bounded_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace toolcli {

namespace {
std::string Mib(uint64_t bytes) {
  return bytes % kMiB == 0 ? std::to_string(bytes / kMiB) + " MiB" : std::to_string(bytes) + " bytes";
}

std::string CheckStat(const std::string& path, const struct stat& st, uint64_t limit) {
  if (!S_ISREG(st.st_mode)) return path + ": not a regular file (devices and pipes are not read)";
  if (static_cast<uint64_t>(st.st_size) > limit)
    return path + ": " + std::to_string(st.st_size) + " bytes, more than the limit of " + Mib(limit);
  return {};
}
}  // namespace

std::string CheckInputFile(const std::string& path, uint64_t limit) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return path + ": " + std::strerror(errno);
  return CheckStat(path, st, limit);
}

bool ReadBoundedFile(const std::string& path, uint64_t limit, std::vector<uint8_t>& out,
                     std::string& error) {
  error = CheckInputFile(path, limit);  // before open: opening a FIFO would wait for a writer
  if (!error.empty()) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !(error = CheckStat(path, st, limit)).empty()) {
    if (error.empty()) error = path + ": " + std::strerror(errno);
    ::close(fd);
    return false;
  }
  // One byte more than the limit tells a file that grew while it was read.
  out.assign(static_cast<size_t>(limit < static_cast<uint64_t>(st.st_size) + 1 ? limit + 1 : st.st_size + 1), 0);
  size_t got = 0;
  while (got < out.size()) {
    ssize_t n = ::read(fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = path + ": " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  if (got > limit) {
    error = path + ": more than the limit of " + Mib(limit);
    return false;
  }
  out.resize(got);
  return true;
}

}  // namespace toolcli
