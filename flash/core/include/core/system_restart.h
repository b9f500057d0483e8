// Restart, shutdown and the auto-start entry.
#pragma once
#include <string>

namespace brim {

// 1 when the restart (shutdown) was requested, 0 when it failed or the
// shutdown privilege is missing.
int RebootSystem();
int ShutdownSystem();

// The auto-start entry "Brimlet.desktop" in the system autostart folder
// (/etc/xdg/autostart, or $BIOS_TOOLS_AUTOSTART_DIR). It names the fixed
// program name in exeDir. Failures are not reported.
void SetAutoStart(bool on, const std::string& exeDir);
int IsAutoStartSet();
std::string AutoStartEntryPath();

}  // namespace brim
