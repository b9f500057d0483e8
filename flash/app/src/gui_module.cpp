#include "app/gui_module.h"

#include <dlfcn.h>

#include "platform/file_system.h"

namespace brim {

namespace {
std::string WithSeparator(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}
}  // namespace

std::vector<std::string> GuiModuleCandidates(const std::string& exeDir, const std::string& installedDir) {
  std::vector<std::string> paths;
  for (const std::string& dir : {exeDir, installedDir}) {
    if (dir.empty()) continue;
    const std::string path = WithSeparator(dir) + kGuiModuleName;
    bool seen = false;
    for (const std::string& p : paths) seen = seen || p == path;
    if (!seen) paths.push_back(path);
  }
  return paths;
}

GuiModuleLoad LoadGuiModule(const std::vector<std::string>& candidates) {
  GuiModuleLoad load;
  for (const std::string& path : candidates) {
    if (!plat::FileExists(path)) continue;
    load.path = path;
    // Never closed: wx and GTK keep state for the life of the process.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = ::dlerror();
      load.failure = path + ": " + (why ? why : "cannot be loaded");
      return load;
    }
    auto entry = reinterpret_cast<BrimletGuiEntry>(::dlsym(handle, kGuiEntryName));
    if (!entry) {
      load.failure = path + ": no entry point " + kGuiEntryName;
      return load;
    }
    load.module = entry(BRIMLET_GUI_STAMP);
    if (!load.module) load.failure = path + ": built for another brimlet than " BRIMLET_GUI_STAMP;
    return load;
  }
  load.failure = "no window module (looked for";
  for (const std::string& path : candidates) load.failure += " " + path;
  load.failure += ")";
  return load;
}

}  // namespace brim
