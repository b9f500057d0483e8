// brimlet-inspect: shows what region location finds in an image file.
#include <getopt.h>

#include <cstdio>
#include <string>

#include "inspect/image_inspection.h"
#include "tool_cli/tool_cli.h"

namespace {

const char kTool[] = "brimlet-inspect";
const char kUsage[] =
    "usage: brimlet-inspect [--flag N] [--base ADDR] [--json] IMAGE\n"
    "Shows the layout, identity and data areas brimlet finds in an image, a\n"
    "package or a program file with a package.\n"
    "  --flag N       read the image in the layout of FLAG word N (0x08 Lindar,\n"
    "                 0x10 Quorvel, 0 Tarvex); without it the layout is found\n"
    "                 from the tags in the image, and the output says which\n"
    "  --base ADDR    ROM base address (default 0xFFF00000)\n"
    "  --json         print JSON instead of text\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "Numbers in decimal or 0x hex. IMAGE must be a regular file of at most 256 MiB.\n";

}  // namespace

int main(int argc, char** argv) {
  static const option kOptions[] = {{"flag", required_argument, nullptr, 'f'},
                                    {"base", required_argument, nullptr, 'b'},
                                    {"json", no_argument, nullptr, 'j'},
                                    {"help", no_argument, nullptr, 'h'},
                                    {"version", no_argument, nullptr, 'V'},
                                    {nullptr, 0, nullptr, 0}};
  inspect::InspectOptions options;
  bool json = false;
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, ":h", kOptions, nullptr)) != -1) {
    uint32_t v = 0;
    switch (c) {
      case 'h': return toolcli::PrintHelp(kUsage);
      case 'V': return toolcli::PrintVersion(kTool);
      case 'j': json = true; break;
      case 'f':
      case 'b':
        if (!inspect::ParseNumber(optarg, v))
          return toolcli::UsageError(kTool, std::string("bad number for --") +
                                                (c == 'f' ? "flag" : "base") + ": " + optarg);
        if (c == 'f') {
          options.flagWord = v;
          options.flagGiven = true;
        } else {
          options.baseAddress = v;
        }
        break;
      default: return toolcli::OptionError(kTool, c, argc, argv);
    }
  }
  if (argc - optind != 1) return toolcli::UsageError(kTool, "expected one IMAGE");
  options.path = argv[optind];
  inspect::Inspection result = inspect::InspectImage(options);
  if (!result.refusal.empty()) {
    std::fprintf(stderr, "%s: %s\n", kTool, result.refusal.c_str());
    return 1;
  }
  if (!result.loaded) {
    std::fprintf(stderr, "%s: cannot load %s (error code %d)\n", kTool, options.path.c_str(),
                 result.errorCode);
    return 1;
  }
  std::string out = json ? inspect::FormatJson(result) : inspect::FormatText(result);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
