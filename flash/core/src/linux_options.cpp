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
         "            --version\tShow the version\n";
}

int AnswerLinuxOption(const LinuxOptionCheck& check, std::FILE* out, std::FILE* err) {
  switch (check.option) {
    case LinuxOption::kHelp:
      std::fputs(LinuxHelpText().c_str(), out);
      return 0;
    case LinuxOption::kVersion:
      // One form for every tool of the set; /? still names the program's own version.
      std::fprintf(out, "brimlet (bios-tools) %s\n", BIOS_TOOLS_VERSION);
      return 0;
    case LinuxOption::kUnknown:
      std::fprintf(err,
                   "brimlet: unknown option '%s'\n"
                   "Try 'brimlet --help'; brimlet's own options begin with '/' (brimlet /?).\n",
                   check.argument.c_str());
      return 2;
    case LinuxOption::kNone:
      break;
  }
  return 0;
}

}  // namespace brim
