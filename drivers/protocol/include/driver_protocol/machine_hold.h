// A machine held across processes and users: an exclusive flock on a lock
// file every user may open.
#pragma once
#include <string>

namespace drv {

class MachineHold {
 public:
  enum class Result { kTaken, kBusy, kUnavailable };
  MachineHold() = default;
  ~MachineHold() { Release(); }
  MachineHold(const MachineHold&) = delete;
  MachineHold& operator=(const MachineHold&) = delete;

  // Takes the lock without waiting; *why says what went wrong otherwise.
  Result Take(const std::string& file, std::string* why);
  void Release();
  bool held() const { return fd_ >= 0; }
  const std::string& file() const { return file_; }

 private:
  int fd_ = -1;
  std::string file_;
};

}  // namespace drv
