// Files a build places in the working folder for one build only. What they
// replace is moved aside and put back afterwards, so the folder holds again
// what it held before; a build that was killed leaves enough behind for the
// next one to put the folder back first.
#pragma once
#include <signal.h>
#include <time.h>

#include <string>
#include <vector>

namespace crisis {

// Access and last-write times of a file.
struct FileTimes {
  struct timespec accessed {};
  struct timespec written {};
};

class ScratchFiles {
 public:
  ScratchFiles() = default;
  ScratchFiles(const ScratchFiles&) = delete;
  ScratchFiles& operator=(const ScratchFiles&) = delete;
  ~ScratchFiles() { Restore(); }

  // Copies `from` over `to` (overwriting), with `from`'s access and
  // last-write times. False, with nothing changed, when `from` doesn't
  // exist; false with Error() set when `from` exists but can't be read, or
  // `to` could not be written whole (then `to` is left as it was).
  bool Bring(const std::string& from, const std::string& to);
  // Writes `data` as `to`, keeping what it replaces like Bring.
  bool Write(const std::string& to, const std::string& data);
  // Deletes what was placed and puts the replaced files back under their
  // names. False, with Error() set, when something could not be put back.
  bool Restore();

  // The first failure to write or restore a file ("NAME: reason"), or "".
  const std::string& Error() const { return error_; }

 private:
  bool Keep(const std::string& to);
  bool Place(const std::string& to, const void* data, size_t size);

  struct Kept {
    std::string name;   // the name as it stood in the folder
    std::string aside;  // where it waits meanwhile
  };
  struct Placed {
    std::string name;    // as given
    std::string marker;  // says the file under the name is the build's
  };
  std::vector<Placed> placed_;
  std::vector<Kept> kept_;
  std::string error_;
};

// The compression's move of the user's BIOS.QZW to BIOS.BAK, recorded so
// that a killed build's BIOS.BAK is told from one of the user's own.
class ImageBackup {
 public:
  // Moves BIOS.QZW to BIOS.BAK; false with Error() set when it can't.
  bool Begin();
  // Deletes the compressed BIOS.QZW and puts BIOS.BAK back under the
  // image's own name; true when there was nothing to put back.
  bool End();
  const std::string& Error() const { return error_; }

 private:
  std::string name_;    // the image's own name, e.g. "bios.qzw"
  std::string marker_;  // "" when nothing is moved
  std::string error_;
};

// One build at a time in a working folder (an flock on the folder, held
// by this process until the last guard ends): a build's records must not be
// taken for a killed build's by another that starts meanwhile.
class FolderLock {
 public:
  // The current folder; with `wait`, until the other build there ends.
  explicit FolderLock(bool wait);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  // False when another process builds in the folder (or, with `wait`, when
  // the folder can't be locked at all).
  bool Held() const { return held_; }

 private:
  bool held_ = false;
};

// Puts the working folder back as it was before a build that was killed:
// BIOS.BAK to the image's name, the user's files moved aside back under
// their names, the build's scratch files and temporaries deleted. `undone`
// gets the names put back or removed. False with `error` ("NAME: reason")
// when something can't be.
bool RecoverInterruptedBuild(std::vector<std::string>* undone, std::string* error);

// SIGINT, SIGTERM, SIGHUP and SIGPIPE while a build has files in the
// working folder.
// The handler only records the signal: putting the folder back needs the
// build's own lists, memory and stdio, none of which a handler may touch,
// so the build looks at Interrupted() between its steps, restores the folder
// as after a failure, and the guard's end then ends the program with that
// signal. A signal the program ignored stays ignored.
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
  // Whether a signal came. With BIOS_TOOLS_TEST_STOP_AT=STEP the program
  // first stops itself (SIGSTOP) at that step, so a test can signal or kill
  // it there.
  bool Interrupted(const std::string& step) const;

 private:
  struct sigaction old_[4];
  bool installed_[4] = {false, false, false, false};
};

}  // namespace crisis
