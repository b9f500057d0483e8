// crisis-samples FOLDER: writes crisboot.bin and crismbr.bin into FOLDER.
#include <getopt.h>

#include <cstdio>
#include <string>

#include "crisis_samples/boot_sectors.h"
#include "tool_cli/tool_cli.h"

namespace {
const char kTool[] = "crisis-samples";
const char kUsage[] =
    "usage: crisis-samples FOLDER\n"
    "Writes the sample boot sectors crisboot.bin and crismbr.bin into FOLDER\n"
    "(created when missing), for tavrin's working folder.\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n";
}  // namespace

int main(int argc, char** argv) {
  static const option kOptions[] = {{"help", no_argument, nullptr, 'h'},
                                    {"version", no_argument, nullptr, 'V'},
                                    {nullptr, 0, nullptr, 0}};
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, ":h", kOptions, nullptr)) != -1) {
    switch (c) {
      case 'h': return toolcli::PrintHelp(kUsage);
      case 'V': return toolcli::PrintVersion(kTool);
      default: return toolcli::OptionError(kTool, c, argc, argv);
    }
  }
  if (argc - optind != 1) return toolcli::UsageError(kTool, "expected one FOLDER");
  if (!crisis_samples::WriteSampleBootFiles(argv[optind])) {
    std::fprintf(stderr, "%s: cannot write into %s\n", kTool, argv[optind]);
    return 1;
  }
  return 0;
}
