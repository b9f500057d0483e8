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
  if (int status = toolcli::ParseStandardOptions(argc, argv, kTool, kUsage); status >= 0)
    return status;
  if (argc - optind != 1) return toolcli::UsageError(kTool, "expected one FOLDER");
  if (!crisis_samples::WriteSampleBootFiles(argv[optind])) {
    std::fprintf(stderr, "%s: cannot write into %s\n", kTool, argv[optind]);
    return 1;
  }
  return 0;
}
