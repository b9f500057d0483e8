// brimlet-pack: makes an image package, alone or appended to brimlet.
#include <getopt.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "pack/package_builder.h"
#include "platform/file_system.h"
#include "tool_cli/bounded_file.h"
#include "tool_cli/tool_cli.h"

namespace {

const char kTool[] = "brimlet-pack";
const char kUsage[] =
    "usage: brimlet-pack [--model HOLBRIKE] (--settings 0100... | --wset WSET.TXT)\n"
    "                    --image bios.rom [--module fr.bin] [--exe brimlet] -o PACKAGE\n"
    "Makes an image package; with --exe, appends it to a copy of brimlet, which\n"
    "then flashes that image when started.\n"
    "  --model TEXT      model text of the package header (default HOLBRIKE)\n"
    "  --settings BITS   the 34 settings characters ('0'/'1') of the package\n"
    "  --wset FILE       take the settings from a saved WSET.TXT instead\n"
    "  --image FILE      the BIOS image (at most 64 MiB)\n"
    "  --module FILE     a flash module block to put behind the image (at most 64 MiB)\n"
    "  --exe FILE        the brimlet program to append the package to (at most 256 MiB)\n"
    "  -o, --output FILE the package or program to write\n"
    "  -h, --help        show this help and exit\n"
    "      --version     show the version and exit\n"
    "Inputs must be regular files; devices and pipes are refused.\n";

constexpr uint64_t kImageLimit = 64 * toolcli::kMiB;
constexpr uint64_t kExeLimit = 256 * toolcli::kMiB;
constexpr uint64_t kWsetLimit = 1 * toolcli::kMiB;

bool Load(const std::string& path, uint64_t limit, const char* what, std::vector<uint8_t>& out) {
  std::string error;
  if (toolcli::ReadBoundedFile(path, limit, out, error)) return true;
  std::fprintf(stderr, "%s: cannot read the %s: %s\n", kTool, what, error.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  static const option kOptions[] = {{"model", required_argument, nullptr, 'm'},
                                    {"settings", required_argument, nullptr, 's'},
                                    {"wset", required_argument, nullptr, 'w'},
                                    {"image", required_argument, nullptr, 'i'},
                                    {"module", required_argument, nullptr, 'M'},
                                    {"exe", required_argument, nullptr, 'e'},
                                    {"output", required_argument, nullptr, 'o'},
                                    {"help", no_argument, nullptr, 'h'},
                                    {"version", no_argument, nullptr, 'V'},
                                    {nullptr, 0, nullptr, 0}};
  pack::PackageRequest req;
  std::string imagePath, modulePath, exePath, wsetPath, outPath;
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, ":ho:", kOptions, nullptr)) != -1) {
    switch (c) {
      case 'h': return toolcli::PrintHelp(kUsage);
      case 'V': return toolcli::PrintVersion(kTool);
      case 'm': req.model = optarg; break;
      case 's': req.settings = optarg; break;
      case 'w': wsetPath = optarg; break;
      case 'i': imagePath = optarg; break;
      case 'M': modulePath = optarg; break;
      case 'e': exePath = optarg; break;
      case 'o': outPath = optarg; break;
      default: return toolcli::OptionError(kTool, c, argc, argv);
    }
  }
  if (optind < argc) return toolcli::UsageError(kTool, std::string("unexpected argument '") + argv[optind] + "'");
  if (imagePath.empty()) return toolcli::UsageError(kTool, "--image is missing");
  if (outPath.empty()) return toolcli::UsageError(kTool, "-o is missing");
  if (req.settings.empty() == wsetPath.empty())
    return toolcli::UsageError(kTool, "give either --settings or --wset");

  std::string error;
  if (!wsetPath.empty()) {
    std::vector<uint8_t> wset;
    if (!Load(wsetPath, kWsetLimit, "WSET file", wset)) return 1;
    if (!pack::SettingsFromWset(wset, req.settings, error)) {
      std::fprintf(stderr, "%s: %s\n", kTool, error.c_str());
      return 1;
    }
  }
  if (!Load(imagePath, kImageLimit, "image", req.image)) return 1;
  if (!modulePath.empty() && !Load(modulePath, kImageLimit, "module", req.module)) return 1;
  if (!exePath.empty() && !Load(exePath, kExeLimit, "executable", req.executable)) return 1;

  std::vector<uint8_t> out;
  if (!pack::BuildPackage(req, out, error)) {
    std::fprintf(stderr, "%s: %s\n", kTool, error.c_str());
    return 1;
  }
  if (!plat::WriteWholeFile(outPath, out.data(), out.size())) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", kTool, outPath.c_str(), std::strerror(errno));
    return 1;
  }
  if (!exePath.empty() && ::chmod(outPath.c_str(), 0755) != 0) {
    std::fprintf(stderr, "%s: cannot make %s executable: %s\n", kTool, outPath.c_str(),
                 std::strerror(errno));
    return 1;
  }
  std::printf("%s: %zu bytes (package of %zu bytes at offset %zu)\n", outPath.c_str(), out.size(),
              out.size() - req.executable.size(), req.executable.size());
  return 0;
}
