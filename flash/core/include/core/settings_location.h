// Where setting.ini lives. Beside the program, as brimlet always kept it,
// unless the program runs from a folder that cannot hold it: the installed
// private folder (".../bios-tools/") or a folder the user cannot write.
// Then $XDG_CONFIG_HOME/bios-tools/setting.ini (~/.config/... by default).
// A setting.ini that already lies beside the program is always the one used.
#pragma once
#include <string>

namespace brim {

// exeDir ends with its separator (or is empty: the current folder).
std::string SettingsFilePath(const std::string& exeDir);

// $XDG_CONFIG_HOME/bios-tools/setting.ini.
std::string UserSettingsFilePath();

// True for the installed private folder (".../bios-tools/").
bool IsPrivateFolder(const std::string& exeDir);

}  // namespace brim
