// Holds off system sleep while it lives: the stand-in for refusing the
// suspend query while the ROM is programmed. It keeps a systemd-logind
// inhibitor ("systemd-inhibit --what=sleep --mode=block") running; where that
// is missing, or while BIOS_TOOLS_NO_POWER_ACTION is set, it does nothing.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace plat {

class SleepInhibitor {
 public:
  explicit SleepInhibitor(const std::string& why);
  ~SleepInhibitor();
  SleepInhibitor(const SleepInhibitor&) = delete;
  SleepInhibitor& operator=(const SleepInhibitor&) = delete;

  bool Active() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

  // Replaces the command for tests (the reason is appended as its last
  // argument); an empty list restores the real one.
  static void SetCommand(std::vector<std::string> argv);

 private:
  pid_t pid_ = -1;
};

}  // namespace plat
