#include "platform/system_paths.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace plat {

namespace {
std::string EnvOr(const char* var, const std::string& fallbackUnderHome) {
  const char* v = std::getenv(var);
  if (v && *v) return v;
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/" + fallbackUnderHome;
}
}  // namespace

std::string ExecutablePath() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<size_t>(n));
}

std::string WindowsFolder() { return EnvOr("XDG_CONFIG_HOME", ".config"); }

std::string SystemFolder() { return EnvOr("XDG_DATA_HOME", ".local/share") + "/bios-tools/system"; }

std::string DriverFolder() { return SystemFolder() + "/drivers"; }

std::string StateFolder() { return EnvOr("XDG_STATE_HOME", ".local/state") + "/bios-tools"; }

std::string RuntimeFolder() {
  const char* v = std::getenv("XDG_RUNTIME_DIR");
  return v && *v ? v : "/tmp";
}

bool MakeDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string cur;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (!cur.empty() && ::mkdir(cur.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    if (i < path.size()) cur += path[i];
  }
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace plat
