#include "platform/sleep_inhibitor.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <mutex>

extern char** environ;

namespace plat {

namespace {
std::mutex g_lock;
std::vector<std::string> g_command;
}  // namespace

void SleepInhibitor::SetCommand(std::vector<std::string> argv) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_command = std::move(argv);
}

SleepInhibitor::SleepInhibitor(const std::string& why) {
  std::vector<std::string> args;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    args = g_command;
  }
  if (args.empty()) {
    if (std::getenv("BIOS_TOOLS_NO_POWER_ACTION")) return;
    args = {"systemd-inhibit", "--what=sleep:handle-suspend-key:handle-lid-switch", "--who=Brimlet",
            "--mode=block", "--why=" + why, "sleep", "infinity"};
  } else {
    args.push_back(why);
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0) pid_ = pid;
}

SleepInhibitor::~SleepInhibitor() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

}  // namespace plat
