// The Linux options of brimlet (--help, -h, --version), looked at before
// anything else happens: before the instance lock, the driver service and
// the command-line state machine, so none of them can lead to a flash.
#pragma once
#include <cstdio>
#include <string>

namespace brim {

enum class LinuxOption {
  kNone, kHelp, kVersion, kUnknown, kRestore, kMissingArgument,
  kBackups, kHistory,  // listings of the state folder; argument "json" with --json
  kVerifyRom,          // --verify-rom FILE
};

struct LinuxOptionCheck {
  LinuxOption option = LinuxOption::kNone;
  std::string argument;  // the unknown option, or the backup of --restore
};

// --help or -h anywhere wins; then --version; then any other argument that
// begins with '-' is an unknown option. '/' options are left to brimlet.
LinuxOptionCheck CheckLinuxOptions(int argc, const char* const* argv);

// --restore FILE asks for an explicit restore, --backups and --history
// [--json] for listings (answered by the program, not here).
// Prints what the check asks for; returns the exit status (0 for help and
// version, 2 for an unknown option or a missing argument).
int AnswerLinuxOption(const LinuxOptionCheck& check, std::FILE* out, std::FILE* err);

// The usage text with the Linux options added, as --help prints it.
std::string LinuxHelpText();

}  // namespace brim
