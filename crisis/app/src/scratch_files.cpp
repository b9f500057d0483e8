#include "crisis_app/scratch_files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

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

void ScratchFiles::Keep(const std::string& to) {
  for (const std::string& p : placed_)
    if (plat::EqualsNoCase(p, to)) return;  // already ours: nothing of the user's to keep
  if (plat::FileExists(to)) {
    Kept k;
    k.name = plat::BaseName(plat::ResolvePath(to));
    k.hasTimes = TimesOf(to, &k.times);
    if (plat::ReadWholeFile(to, k.bytes)) kept_.push_back(std::move(k));
  }
  placed_.push_back(to);
}

bool ScratchFiles::Bring(const std::string& from, const std::string& to) {
  std::vector<uint8_t> bytes;
  if (!plat::ReadWholeFile(from, bytes)) return false;
  FileTimes times;
  bool hasTimes = TimesOf(from, &times);
  Keep(to);
  if (!plat::WriteWholeFile(to, bytes.data(), bytes.size())) return false;
  return !hasTimes || SetTimes(to, times);
}

bool ScratchFiles::Write(const std::string& to, const std::string& data) {
  Keep(to);
  return plat::WriteWholeFile(to, data.data(), data.size());
}

void ScratchFiles::Restore() {
  for (const std::string& p : placed_) plat::DeleteFile(p);
  for (const Kept& k : kept_)
    if (plat::WriteWholeFile(k.name, k.bytes.data(), k.bytes.size()) && k.hasTimes) SetTimes(k.name, k.times);
  placed_.clear();
  kept_.clear();
}

}  // namespace crisis
