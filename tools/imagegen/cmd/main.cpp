// Writes a synthetic BIOS image, package or program file with a package, or
// a machine folder for the emulated machine.
#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "emulator/default_machine.h"
#include "imagegen/layouts.h"
#include "platform/file_system.h"
#include "tool_cli/tool_cli.h"

namespace {

const char kUsage[] =
    "usage: brimlet-imagegen KIND OUTPUT\n"
    "KIND: tarvex | lindar | quorvel | reference (image + flash module)\n"
    "      | update (a newer release of the reference image, with its module)\n"
    "      | package (reference package) | executable (program file + package)\n"
    "      | machine (OUTPUT is a new machine folder for BRIMLET_MACHINE: the\n"
    "        reference ROM as rom.bin and the default machine.ini)\n"
    "options:\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n";

const char kTool[] = "brimlet-imagegen";

bool Build(const std::string& kind, imagegen::Bytes& out) {
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
    return false;
  }
  return true;
}

// A machine's ROM is the user's: an existing one is never replaced.
int WriteMachineFolder(const std::string& folder) {
  if (plat::FileExists(folder + "/rom.bin") || plat::FileExists(folder + "/machine.ini")) {
    std::fprintf(stderr, "brimlet-imagegen: %s already holds a machine; not replaced\n",
                 folder.c_str());
    return 1;
  }
  if (!emu::WriteMachine(folder, emu::DefaultRom(), emu::DefaultMachineLines())) {
    std::fprintf(stderr, "brimlet-imagegen: cannot write the machine folder %s: %s\n",
                 folder.c_str(), std::strerror(errno));
    return 1;
  }
  std::printf("machine folder %s: rom.bin (1 MiB reference ROM) and machine.ini\n", folder.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (int status = toolcli::ParseStandardOptions(argc, argv, kTool, kUsage); status >= 0)
    return status;
  if (argc - optind != 2) return toolcli::UsageError(kTool, "expected KIND OUTPUT");
  const std::string kind = argv[optind], path = argv[optind + 1];
  if (kind == "machine") return WriteMachineFolder(path);
  imagegen::Bytes out;
  if (!Build(kind, out)) return toolcli::UsageError(kTool, "unknown KIND '" + kind + "'");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "brimlet-imagegen: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
    return 1;
  }
  bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  const int writeErrno = errno;
  if (std::fclose(f) != 0 && ok) ok = false;
  if (!ok) {
    std::fprintf(stderr, "brimlet-imagegen: cannot write %s: %s\n", path.c_str(),
                 std::strerror(writeErrno ? writeErrno : errno));
    return 1;
  }
  return 0;
}
