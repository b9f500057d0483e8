// brimlet-pack: makes an image package, alone or appended to brimlet.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "pack/package_builder.h"
#include "platform/file_system.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: brimlet-pack [--model HOLBRIKE] (--settings 0100... | --wset WSET.TXT)\n"
               "                    --image bios.rom [--module fr.bin] [--exe brimlet] -o PACKAGE\n");
  return 2;
}

bool Load(const std::string& path, const char* what, std::vector<uint8_t>& out) {
  if (plat::ReadWholeFile(path, out)) return true;
  std::fprintf(stderr, "brimlet-pack: cannot read %s %s\n", what, path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  pack::PackageRequest req;
  std::string imagePath, modulePath, exePath, wsetPath, outPath;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&](std::string& v) {
      if (i + 1 >= argc) return false;
      v = argv[++i];
      return true;
    };
    bool ok = true;
    if (a == "--model") ok = next(req.model);
    else if (a == "--settings") ok = next(req.settings);
    else if (a == "--wset") ok = next(wsetPath);
    else if (a == "--image") ok = next(imagePath);
    else if (a == "--module") ok = next(modulePath);
    else if (a == "--exe") ok = next(exePath);
    else if (a == "-o") ok = next(outPath);
    else return Usage();
    if (!ok) return Usage();
  }
  if (imagePath.empty() || outPath.empty() || (req.settings.empty() == wsetPath.empty())) return Usage();

  std::string error;
  if (!wsetPath.empty()) {
    std::vector<uint8_t> wset;
    if (!Load(wsetPath, "WSET file", wset)) return 1;
    if (!pack::SettingsFromWset(wset, req.settings, error)) {
      std::fprintf(stderr, "brimlet-pack: %s\n", error.c_str());
      return 1;
    }
  }
  if (!Load(imagePath, "image", req.image)) return 1;
  if (!modulePath.empty() && !Load(modulePath, "module", req.module)) return 1;
  if (!exePath.empty() && !Load(exePath, "executable", req.executable)) return 1;

  std::vector<uint8_t> out;
  if (!pack::BuildPackage(req, out, error)) {
    std::fprintf(stderr, "brimlet-pack: %s\n", error.c_str());
    return 1;
  }
  if (!plat::WriteWholeFile(outPath, out.data(), out.size())) {
    std::fprintf(stderr, "brimlet-pack: cannot write %s\n", outPath.c_str());
    return 1;
  }
  if (!exePath.empty()) ::chmod(outPath.c_str(), 0755);
  std::printf("%s: %zu bytes (package of %zu bytes at offset %zu)\n", outPath.c_str(), out.size(),
              out.size() - req.executable.size(), req.executable.size());
  return 0;
}
