// Files a build places in the working folder for one build only. What they
// replace is moved aside and put back afterwards, so the folder holds again
// what it held before.
#pragma once
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
  std::vector<std::string> placed_;
  std::vector<Kept> kept_;
  std::string error_;
};

}  // namespace crisis
