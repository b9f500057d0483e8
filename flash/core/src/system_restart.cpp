#include "core/system_restart.h"

#include <cstdlib>
#include <fstream>

#include "platform/file_system.h"
#include "platform/ini_profile.h"
#include "platform/os_personality.h"
#include "platform/power_action.h"
#include "platform/system_paths.h"

namespace brim {

namespace {

int ExitSystem(plat::PowerAction action) {
  // The 9x family has no privileges; its answer is not looked at.
  if (plat::PlatformId() != plat::VER_PLATFORM_WIN32_NT) {
    plat::RequestPowerAction(action);
    return 1;
  }
  if (!plat::HasShutdownPrivilege()) return 0;
  return plat::RequestPowerAction(action) ? 1 : 0;
}

// Desktop entry Exec values quote paths with spaces and escape the quoting characters.
std::string QuoteExec(const std::string& path) {
  std::string q = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') q += '\\';
    q += c;
  }
  return q + "\"";
}

}  // namespace

int RebootSystem() { return ExitSystem(plat::PowerAction::Reboot); }

int ShutdownSystem() { return ExitSystem(plat::PowerAction::Shutdown); }

std::string AutoStartEntryPath() {
  const char* dir = std::getenv("BIOS_TOOLS_AUTOSTART_DIR");
  return std::string(dir && *dir ? dir : "/etc/xdg/autostart") + "/Brimlet.desktop";
}

void SetAutoStart(bool on, const std::string& exeDir) {
  const std::string path = AutoStartEntryPath();
  // The system folder is never changed from a test run.
  if (std::getenv("BIOS_TOOLS_NO_POWER_ACTION") && !std::getenv("BIOS_TOOLS_AUTOSTART_DIR")) return;
  if (!on) {
    plat::DeleteFile(path);
    return;
  }
  plat::MakeDirectories(plat::DirectoryOf(path).substr(0, plat::DirectoryOf(path).size() - 1));
  std::ofstream out(path, std::ios::trunc);
  out << "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Brimlet\n"
      << "Exec=" << QuoteExec(exeDir + "brimlet") << "\n";
}

int IsAutoStartSet() {
  const std::string path = AutoStartEntryPath();
  if (!plat::FileExists(path)) return 0;
  // The value is read into a 260-byte buffer; a missing one means no entry.
  const std::string exec = plat::GetProfileString("Desktop Entry", "Exec", "", 260, path);
  return exec.empty() ? 0 : 1;
}

}  // namespace brim
