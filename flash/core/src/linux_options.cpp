#include "core/linux_options.h"

#include "bios_tools_version.h"
#include "core/usage_text.h"

namespace brim {

LinuxOptionCheck CheckLinuxOptions(int argc, const char* const* argv) {
  LinuxOptionCheck check;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i] ? argv[i] : "";
    if (a == "--help" || a == "-h") {
      check.option = LinuxOption::kHelp;
      check.argument.clear();
      return check;
    }
    if ((a == "--restore" || a == "--verify-rom") && check.option == LinuxOption::kNone) {
      // A name that begins with '-' is an option, never the file (write ./-x.rom).
      const bool named = i + 1 < argc && argv[i + 1] && *argv[i + 1] && *argv[i + 1] != '-';
      check.option = !named ? LinuxOption::kMissingArgument
                     : a == "--restore" ? LinuxOption::kRestore
                                        : LinuxOption::kVerifyRom;
      check.argument = named ? argv[++i] : a;
      continue;
    }
    if ((a == "--backups" || a == "--history") && check.option == LinuxOption::kNone) {
      check.option = a == "--backups" ? LinuxOption::kBackups : LinuxOption::kHistory;
      if (i + 1 < argc && argv[i + 1] && std::string(argv[i + 1]) == "--json") {
        check.argument = "json";
        ++i;
      }
      continue;
    }
    if (a == "--dry-run") continue;  // a flash that stops before the backup, see FlashSequence
    if (a == "--version") {
      if (check.option != LinuxOption::kVersion) check.argument.clear();
      check.option = LinuxOption::kVersion;
    } else if (a.size() > 1 && a[0] == '-' && check.option == LinuxOption::kNone) {
      check.option = LinuxOption::kUnknown;
      check.argument = a;
    }
  }
  return check;
}

std::string LinuxHelpText() {
  return UsageText() +
         "\n"
         "\n"
         " Linux options (checked first; they never start a flash):\n"
         "            --help, -h\tShow this help usage on standard output\n"
         "            --version\tShow the version\n"
         "            --restore NAME.rom\tPut a backup brimlet took (NAME.json beside it) back\n"
         "            \t\ton this machine, without a window\n"
         "            --backups [--json]\tList the ROM backups: time, model, version, size,\n"
         "            \t\twhether they are this machine's, path\n"
         "            --history [--json]\tShow the flash history\n"
         "            --verify-rom FILE\tCompare the ROM with FILE: 0 when equal, 1 with the\n"
         "            \t\tdiffering 64 KiB blocks named\n"
         "            --dry-run\tWith a flash command line: every check, the merge and the\n"
         "            \t\treport of what would change; no backup, no write\n";
}

int AnswerLinuxOption(const LinuxOptionCheck& check, std::FILE* out, std::FILE* err) {
  switch (check.option) {
    case LinuxOption::kHelp:
      std::fputs(LinuxHelpText().c_str(), out);
      return 0;
    case LinuxOption::kVersion:
      std::fprintf(out, "brimlet (bios-tools) %s\nBrimlet BIOS Update Program   Version 1.05.08\n",
                   BIOS_TOOLS_VERSION);
      return 0;
    case LinuxOption::kUnknown:
      std::fprintf(err,
                   "brimlet: unknown option '%s'\n"
                   "Try 'brimlet --help'; brimlet's own options begin with '/' (brimlet /?).\n",
                   check.argument.c_str());
      return 2;
    case LinuxOption::kMissingArgument:
      std::fprintf(err, "brimlet: %s needs a file\nTry 'brimlet --help'.\n", check.argument.c_str());
      return 2;
    case LinuxOption::kRestore:
    case LinuxOption::kVerifyRom:
    case LinuxOption::kBackups:
    case LinuxOption::kHistory:
    case LinuxOption::kNone:
      break;
  }
  return 0;
}

}  // namespace brim
