// Files a build places in the working folder for one build only. What they
// replace is kept and put back afterwards, so the folder holds again what it
// held before.
#pragma once
#include <time.h>

#include <cstdint>
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
  // last-write times. False, with nothing changed, when `from` can't be read.
  bool Bring(const std::string& from, const std::string& to);
  // Writes `data` as `to`, keeping what it replaces like Bring.
  bool Write(const std::string& to, const std::string& data);
  // Deletes what was placed and puts the replaced files back under their names.
  void Restore();

 private:
  void Keep(const std::string& to);

  struct Kept {
    std::string name;  // the name as it stood in the folder
    std::vector<uint8_t> bytes;
    FileTimes times;
    bool hasTimes = false;
  };
  std::vector<std::string> placed_;
  std::vector<Kept> kept_;
};

}  // namespace crisis
