#include "crisis_app/scratch_files.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <random>

#include "crisis_app/checked_file.h"
#include "crisis_app/compressor.h"
#include "platform/file_system.h"

namespace crisis {

namespace {

const char kKeptPrefix[] = ".tavrin-kept-";
const char kPlacedPrefix[] = ".tavrin-placed-";
const char kBackupPrefix[] = ".tavrin-bak-";

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// An empty file whose name records what the build did.
bool MakeMarker(const std::string& path, std::string* error) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0 || ::close(fd) != 0) {
    *error = IoError(path, errno);
    return false;
  }
  return true;
}

bool RemoveIfThere(const std::string& path, std::string* error) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  *error = IoError(path, errno);
  return false;
}

// Renames `from` to `prefix` + six random characters, never over an existing
// file: either the file is under its own name or under the new one, so a
// kill at any moment leaves it findable.
bool MoveAside(const std::string& from, const std::string& prefix, std::string* aside) {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937 rng(static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(std::time(nullptr)));
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string to = prefix;
    for (int i = 0; i < 6; ++i) to += kChars[rng() % (sizeof kChars - 1)];
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      *aside = to;
      return true;
    }
    if (errno == EINVAL || errno == ENOSYS) {
      // No such rename here: a second link, then the first removed.
      if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0) {
          *aside = to;
          return true;
        }
        const int err = errno;
        ::unlink(to.c_str());
        errno = err;
        return false;
      }
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

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
  for (const Placed& p : placed_)
    if (plat::EqualsNoCase(p.name, to)) return true;  // already ours: nothing of the user's to keep
  if (plat::FileExists(to)) {
    // Moved, not copied: putting it back needs no room on a full disk.
    Kept k;
    std::string native = plat::ResolvePath(to);
    k.name = plat::BaseName(native);
    if (!MoveAside(native, plat::DirectoryOf(native) + kKeptPrefix + k.name + ".", &k.aside)) {
      if (error_.empty()) error_ = IoError(to, errno);
      return false;
    }
    kept_.push_back(std::move(k));
  }
  // Made only once the user's file is aside: a marker says the file under
  // the name is the build's, never the user's.
  const std::string target = plat::ResolvePath(to);
  Placed p{to, plat::DirectoryOf(target) + kPlacedPrefix + plat::BaseName(target)};
  std::string why;
  if (!MakeMarker(p.marker, &why)) {
    if (error_.empty()) error_ = why;
    return false;
  }
  placed_.push_back(std::move(p));
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
  for (const Placed& p : placed_) {
    // A placed file that never got written is simply not there. Its marker
    // goes only with it, and before the user's file comes back.
    std::string why;
    if (!plat::DeleteFile(p.name) && errno != ENOENT) {
      why = IoError(p.name, errno);
    } else {
      RemoveIfThere(p.marker, &why);
    }
    if (!why.empty()) {
      if (error_.empty()) error_ = why;
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

bool ImageBackup::Begin() {
  name_ = plat::BaseName(plat::ResolvePath("BIOS.QZW"));  // put back under its own name
  const std::string marker = kBackupPrefix + name_;
  if (!MakeMarker(marker, &error_)) return false;
  if (!plat::RenameFile("BIOS.QZW", "BIOS.BAK")) {
    error_ = IoError("BIOS.QZW", errno);
    ::unlink(marker.c_str());
    return false;
  }
  marker_ = marker;
  return true;
}

bool ImageBackup::End() {
  if (marker_.empty()) return true;
  std::string why;
  if (!plat::DeleteFile("BIOS.QZW") && errno != ENOENT) why = IoError("BIOS.QZW", errno);
  if (!plat::RenameFile("BIOS.BAK", name_)) {
    if (why.empty()) why = IoError("BIOS.BAK", errno);
    error_ = why;
    return false;
  }
  RemoveIfThere(marker_, &why);
  marker_.clear();
  error_ = why;
  return why.empty();
}

namespace {

void Note(std::vector<std::string>* undone, const std::string& name) {
  for (const std::string& u : *undone)
    if (plat::EqualsNoCase(u, name)) return;
  undone->push_back(name);
}

// A temporary of an output file (".NAME.XXXXXX") for one of the names a
// build writes in the working folder.
bool IsBuildTemporary(const std::string& entry) {
  static const char* const kNames[] = {"bios.qzw", "vgabios.exe", "platform.bin", "bios.rom", "autoexec.bat"};
  if (entry.size() < 9 || entry[0] != '.' || entry[entry.size() - 7] != '.') return false;
  const std::string name = entry.substr(1, entry.size() - 8);
  for (const char* n : kNames)
    if (plat::EqualsNoCase(name, n)) return true;
  return false;
}

// A BIOS.BAK from before backups were recorded: the build's only when
// BIOS.QZW is its compression, or the compression had not finished.
bool UnrecordedBackup(bool temporaryLeft) {
  if (!Exists("BIOS.BAK")) return false;
  if (!Exists("BIOS.QZW")) return temporaryLeft && !plat::FileExists("BIOS.QZW");
  std::vector<uint8_t> image, compressed;
  std::string why;
  return ReadInputFile("BIOS.BAK", kMaxImageBytes, image, &why) &&
         ReadInputFile("BIOS.QZW", 0xFFFFFFFFull, compressed, &why) && VerifyCompressed(image, compressed, why);
}

}  // namespace

bool RecoverInterruptedBuild(std::vector<std::string>* undone, std::string* error) {
  std::vector<std::string> entries;
  if (DIR* d = ::opendir(".")) {
    while (struct dirent* e = ::readdir(d)) entries.push_back(e->d_name);
    ::closedir(d);
  } else {
    *error = IoError(".", errno);
    return false;
  }
  std::sort(entries.begin(), entries.end());
  std::vector<std::string> backups, placed, temporaries;
  std::map<std::string, std::vector<std::string>> kept;  // name -> where it waits
  for (const std::string& e : entries) {
    if (StartsWith(e, kBackupPrefix) && e.size() > sizeof kBackupPrefix - 1) backups.push_back(e);
    if (StartsWith(e, kPlacedPrefix) && e.size() > sizeof kPlacedPrefix - 1) placed.push_back(e);
    if (StartsWith(e, kKeptPrefix) && e.size() > sizeof kKeptPrefix - 1 + 7 && e[e.size() - 7] == '.')
      kept[e.substr(sizeof kKeptPrefix - 1, e.size() - (sizeof kKeptPrefix - 1) - 7)].push_back(e);
    if (IsBuildTemporary(e)) temporaries.push_back(e);
  }

  // Undone in the reverse of the build's order: the compressed image, then
  // the files it brought in.
  bool qzwTemporary = false;
  for (const std::string& t : temporaries) qzwTemporary = qzwTemporary || plat::EqualsNoCase(t.substr(1, 8), "BIOS.QZW");
  if (backups.empty() && UnrecordedBackup(qzwTemporary)) backups.push_back(std::string(kBackupPrefix) + "bios.qzw");
  for (const std::string& b : backups) {
    const std::string name = b.substr(sizeof kBackupPrefix - 1);
    if (Exists("BIOS.BAK")) {
      if (!RemoveIfThere("BIOS.QZW", error)) return false;
      if (std::rename("BIOS.BAK", name.c_str()) != 0) {
        *error = IoError("BIOS.BAK", errno);
        return false;
      }
      Note(undone, name);
    }
    if (!RemoveIfThere(b, error)) return false;
  }
  for (const std::string& t : temporaries)
    if (!RemoveIfThere(t, error)) return false;
  for (const std::string& m : placed) {
    const std::string name = m.substr(sizeof kPlacedPrefix - 1);
    bool aside = false;
    for (const auto& k : kept) aside = aside || plat::EqualsNoCase(k.first, name);
    if (!aside) {
      if (Exists(name)) {
        if (!RemoveIfThere(name, error)) return false;
        Note(undone, name);
      }
    }
    if (!RemoveIfThere(m, error)) return false;
  }
  for (const auto& k : kept) {
    // The user's file is the one aside: whatever holds its name now is the
    // build's. A second one aside for the same name is left where it is.
    if (!RemoveIfThere(k.first, error)) return false;
    if (std::rename(k.second.front().c_str(), k.first.c_str()) != 0) {
      *error = IoError(k.first, errno);
      return false;
    }
    Note(undone, k.first);
  }
  return true;
}

namespace {

int g_folderFd = -1;
int g_folderHolds = 0;

}  // namespace

FolderLock::FolderLock(bool wait) {
  if (g_folderHolds == 0) {
    g_folderFd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g_folderFd < 0) return;
    int rc;
    while ((rc = ::flock(g_folderFd, wait ? LOCK_EX : LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
      ::close(g_folderFd);
      g_folderFd = -1;
      return;
    }
  }
  ++g_folderHolds;
  held_ = true;
}

FolderLock::~FolderLock() {
  if (!held_ || --g_folderHolds > 0) return;
  ::close(g_folderFd);  // read-only, and the lock goes with it
  g_folderFd = -1;
}

namespace {

volatile sig_atomic_t g_signal = 0;
// A closed pipe on the output ends the program the same way.
const int kSignals[4] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void OnSignal(int sig) { g_signal = sig; }

}  // namespace

InterruptGuard::InterruptGuard() {
  g_signal = 0;
  for (int i = 0; i < 4; ++i) {
    if (::sigaction(kSignals[i], nullptr, &old_[i]) != 0 || old_[i].sa_handler == SIG_IGN) continue;
    struct sigaction now {};
    now.sa_handler = OnSignal;
    sigemptyset(&now.sa_mask);
    now.sa_flags = SA_RESTART;
    installed_[i] = ::sigaction(kSignals[i], &now, nullptr) == 0;
  }
}

InterruptGuard::~InterruptGuard() {
  for (int i = 0; i < 4; ++i)
    if (installed_[i]) ::sigaction(kSignals[i], &old_[i], nullptr);
  const int sig = g_signal;
  g_signal = 0;
  if (sig) ::raise(sig);
}

bool InterruptGuard::Interrupted(const std::string& step) const {
  const char* stop = std::getenv("BIOS_TOOLS_TEST_STOP_AT");
  if (stop && step == stop) ::raise(SIGSTOP);
  return g_signal != 0;
}

}  // namespace crisis
