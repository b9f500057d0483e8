// Folders and paths that the Windows programs asked the system for.
#pragma once
#include <string>

namespace plat {

// Full path of the running executable (/proc/self/exe), "" when unknown.
std::string ExecutablePath();

// Windows folder stand-in: $XDG_CONFIG_HOME (else ~/.config), no trailing '/'.
std::string WindowsFolder();
// System folder stand-in: $XDG_DATA_HOME/bios-tools/system (else ~/.local/share/...).
std::string SystemFolder();
// Driver folder: SystemFolder() + "/drivers".
std::string DriverFolder();
// State folder for service records etc.: $XDG_STATE_HOME/bios-tools (else ~/.local/state/...).
std::string StateFolder();
// Runtime folder for locks: $XDG_RUNTIME_DIR, else /tmp.
std::string RuntimeFolder();

// Creates a folder and its parents; true when it exists afterwards.
bool MakeDirectories(const std::string& path);

}  // namespace plat
