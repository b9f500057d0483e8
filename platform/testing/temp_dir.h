// A temporary folder for one test, removed afterwards, and environment
// overrides that point the platform's folders into it.
#pragma once
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace plat {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "biostest-XXXXXX").string();
    if (::mkdtemp(tmpl.data())) path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Sets environment variables for its lifetime and restores them afterwards.
class ScopedEnv {
 public:
  ScopedEnv() = default;
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second.first)
        ::setenv(it->first.c_str(), it->second.second.c_str(), 1);
      else
        ::unsetenv(it->first.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  void Set(const std::string& name, const std::string& value) {
    Save(name);
    ::setenv(name.c_str(), value.c_str(), 1);
  }
  void Unset(const std::string& name) {
    Save(name);
    ::unsetenv(name.c_str());
  }
  // Points every XDG folder the platform uses into dir.
  void UseFolders(const std::string& dir) {
    Set("XDG_CONFIG_HOME", dir + "/config");
    Set("XDG_DATA_HOME", dir + "/data");
    Set("XDG_STATE_HOME", dir + "/state");
    Set("XDG_RUNTIME_DIR", dir + "/run");
    Set("BIOS_TOOLS_LOCK_DIR", dir + "/run");
    std::filesystem::create_directories(dir + "/run");
    std::filesystem::create_directories(dir + "/config");
  }

 private:
  void Save(const std::string& name) {
    const char* v = std::getenv(name.c_str());
    saved_.push_back({name, {v != nullptr, v ? v : ""}});
  }
  std::vector<std::pair<std::string, std::pair<bool, std::string>>> saved_;
};

}  // namespace plat
