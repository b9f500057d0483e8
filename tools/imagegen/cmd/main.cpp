// Writes a synthetic BIOS image, package or program file with a package.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "imagegen/layouts.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: brimlet-imagegen KIND OUTPUT\n"
               "KIND: tarvex | lindar | quorvel | reference (image + flash module)\n"
               "      | update (a newer release of the reference image, with its module)\n"
               "      | package (reference package) | executable (program file + package)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Usage();
  std::string kind = argv[1];
  imagegen::Bytes out;
  if (kind == "tarvex") {
    imagegen::TarvexSpec spec;
    spec.areas = {{"A!PS", 0x40000, 0x100}, {"A!42", 0x50000, 0x2000}};
    spec.flashModules = {0xE0000};
    out = imagegen::BuildTarvex(spec);
  } else if (kind == "lindar") {
    imagegen::LindarSpec spec;
    spec.checksum.present = true;
    spec.flashModules = {0xE0000};
    out = imagegen::BuildLindar(spec);
  } else if (kind == "quorvel") {
    out = imagegen::BuildQuorvel(imagegen::QuorvelSpec{});
  } else if (kind == "reference") {
    out = imagegen::BuildReferenceImage();
  } else if (kind == "update") {
    out = imagegen::BuildReferenceUpdate();
  } else if (kind == "package") {
    out = imagegen::BuildReferencePackage();
  } else if (kind == "executable") {
    out = imagegen::BuildExecutable(imagegen::BuildReferencePackage());
  } else {
    return Usage();
  }
  std::FILE* f = std::fopen(argv[2], "wb");
  if (!f) {
    std::fprintf(stderr, "brimlet-imagegen: cannot create %s: %s\n", argv[2], std::strerror(errno));
    return 1;
  }
  bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "brimlet-imagegen: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
