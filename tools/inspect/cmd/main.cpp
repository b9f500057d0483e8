// brimlet-inspect: shows what region location finds in an image file.
#include <cstdio>
#include <string>

#include "inspect/image_inspection.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: brimlet-inspect IMAGE [--flag N] [--base ADDR] [--json]\n"
               "  numbers in decimal or 0x hex; FLAG 0 and base 0xFFF00000 by default\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  inspect::InspectOptions options;
  bool json = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
    } else if ((arg == "--flag" || arg == "--base") && i + 1 < argc) {
      uint32_t v = 0;
      if (!inspect::ParseNumber(argv[++i], v)) {
        std::fprintf(stderr, "brimlet-inspect: bad number for %s: %s\n", arg.c_str(), argv[i]);
        return 2;
      }
      (arg == "--flag" ? options.flagWord : options.baseAddress) = v;
    } else if (!arg.empty() && arg[0] != '-' && options.path.empty()) {
      options.path = arg;
    } else {
      return Usage();
    }
  }
  if (options.path.empty()) return Usage();
  inspect::Inspection result = inspect::InspectImage(options);
  if (!result.loaded) {
    std::fprintf(stderr, "brimlet-inspect: cannot load %s (error code %d)\n", options.path.c_str(),
                 result.errorCode);
    return 1;
  }
  std::string out = json ? inspect::FormatJson(result) : inspect::FormatText(result);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
