#include "core/settings_location.h"

#include <unistd.h>

#include "platform/file_system.h"
#include "platform/system_paths.h"

namespace brim {

namespace {
const char kPrivateFolderName[] = "bios-tools";
}  // namespace

bool IsPrivateFolder(const std::string& exeDir) {
  std::string folder = exeDir;
  while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return plat::BaseName(folder) == kPrivateFolderName;
}

std::string UserSettingsFilePath() {
  return plat::WindowsFolder() + "/" + kPrivateFolderName + "/setting.ini";
}

std::string SettingsFilePath(const std::string& exeDir) {
  const std::string beside = exeDir + "setting.ini";
  if (plat::FileExists(beside)) return beside;
  const std::string folder = exeDir.empty() ? "." : exeDir;
  if (!IsPrivateFolder(exeDir) && ::access(folder.c_str(), W_OK) == 0) return beside;
  return UserSettingsFilePath();
}

}  // namespace brim
