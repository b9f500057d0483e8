#include "crisis_app/scratch_files.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "crisis_app/checked_file.h"
#include "platform/file_system.h"

namespace crisis {

namespace {

// A copy carries its source's access and last-write times, so the disk's
// directory shows the project file's own date, not the build's.
bool TimesOf(const std::string& path, FileTimes* times) {
  struct stat st;
  if (::stat(plat::ResolvePath(path).c_str(), &st) != 0) return false;
  times->accessed = st.st_atim;
  times->written = st.st_mtim;
  return true;
}

bool SetTimes(const std::string& path, const FileTimes& times) {
  const struct timespec ts[2] = {times.accessed, times.written};
  return ::utimensat(AT_FDCWD, plat::ResolvePath(path).c_str(), ts, 0) == 0;
}

}  // namespace

bool ScratchFiles::Keep(const std::string& to) {
  for (const std::string& p : placed_)
    if (plat::EqualsNoCase(p, to)) return true;  // already ours: nothing of the user's to keep
  if (plat::FileExists(to)) {
    // Moved, not copied: putting it back needs no room on a full disk.
    Kept k;
    std::string native = plat::ResolvePath(to);
    k.name = plat::BaseName(native);
    std::string tmpl = plat::DirectoryOf(native) + ".tavrin-kept-" + k.name + ".XXXXXX";
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
      if (error_.empty()) error_ = IoError(to, errno);
      return false;
    }
    ::close(fd);
    if (std::rename(native.c_str(), tmpl.c_str()) != 0) {
      if (error_.empty()) error_ = IoError(to, errno);
      ::unlink(tmpl.c_str());
      return false;
    }
    k.aside = tmpl;
    kept_.push_back(std::move(k));
  }
  placed_.push_back(to);
  return true;
}

bool ScratchFiles::Place(const std::string& to, const void* data, size_t size) {
  if (!Keep(to)) return false;
  std::string why;
  if (!WriteOutputFile(to, data, size, &why)) {
    if (error_.empty()) error_ = why;
    return false;
  }
  return true;
}

bool ScratchFiles::Bring(const std::string& from, const std::string& to) {
  if (!plat::FileExists(from)) return false;
  // One that is there but can't be read must not pass for a missing one.
  std::vector<uint8_t> bytes;
  std::string why;
  if (!ReadInputFile(from, 0xFFFFFFFFull, bytes, &why)) {
    if (error_.empty()) error_ = why;
    return false;
  }
  FileTimes times;
  const bool hasTimes = TimesOf(from, &times);
  if (!Place(to, bytes.data(), bytes.size())) return false;
  if (hasTimes && !SetTimes(to, times)) {
    if (error_.empty()) error_ = IoError(to, errno);
    return false;
  }
  return true;
}

bool ScratchFiles::Write(const std::string& to, const std::string& data) {
  return Place(to, data.data(), data.size());
}

bool ScratchFiles::Restore() {
  bool ok = true;
  for (const std::string& p : placed_) {
    // A placed file that never got written is simply not there.
    if (!plat::DeleteFile(p) && errno != ENOENT) {
      if (error_.empty()) error_ = IoError(p, errno);
      ok = false;
    }
  }
  for (const Kept& k : kept_) {
    std::string back = plat::DirectoryOf(k.aside) + k.name;
    if (std::rename(k.aside.c_str(), back.c_str()) != 0) {
      if (error_.empty()) error_ = IoError(k.name, errno);
      ok = false;
    }
  }
  placed_.clear();
  kept_.clear();
  return ok;
}

}  // namespace crisis
