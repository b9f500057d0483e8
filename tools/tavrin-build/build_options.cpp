#include "build_options.h"

namespace tavrin_build {

const char kUsage[] =
    "usage: tavrin-build --project DIR --drive NAME [--mode minidos|fulldos]\n"
    "                    [--layout removable|fixed] [--compress] [--yes]\n"
    "       tavrin-build --list\n"
    "       tavrin-build --help | --version\n"
    "\n"
    "Builds a crisis recovery disk from the BIOS project DIR on the drive NAME,\n"
    "run from the working folder (crisboot.bin, crismbr.bin, minidos.sys, ...).\n"
    "\n"
    "  --project DIR   the BIOS project folder\n"
    "  --drive NAME    a drive as --list names it (A:, \\\\.\\PhysicalDriveN, a BIOS\n"
    "                  drive number), or a disk image file to attach as a drive (an\n"
    "                  image of 1474560 bytes is the floppy A:, any other a USB key)\n"
    "  --mode M        minidos (default) or fulldos (floppy only)\n"
    "  --layout L      removable (default: no partition table) or fixed (a master\n"
    "                  boot record with one partition); USB keys only\n"
    "  --compress      compress the packaged BIOS image onto the disk\n"
    "  --yes           erase the drive without asking (for scripts); without it\n"
    "                  tavrin-build asks on the terminal and refuses when standard\n"
    "                  input is not one\n"
    "  --list          show the drives, with maker, model, size and state, and\n"
    "                  why any other disk is left out\n"
    "  -h, --help      show this help\n"
    "  --version       show the version\n"
    "\n"
    "Block devices are seen only with BIOS_TOOLS_REAL_DISKS=1; image files can\n"
    "also be attached with BIOS_TOOLS_DISK_IMAGES (A=floppy.img:key.img:fixed=disk.img).\n"
    "Exit status: 0 disk built, 1 not built, 2 usage error.\n";

bool ParseBuildOptions(int argc, const char* const* argv, BuildOptions* o, std::string* error) {
  // --help anywhere wins over a usage error elsewhere on the line.
  std::string firstError;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    std::string value;
    bool hasValue = false;
    size_t eq = a.find('=');
    if (a.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      value = a.substr(eq + 1);
      a = a.substr(0, eq);
      hasValue = true;
    }
    auto takeValue = [&](std::string& out) {
      if (!hasValue) {
        // A following option is never taken for a file or folder name.
        if (i + 1 >= argc || (argv[i + 1][0] == '-' && argv[i + 1][1] != '\0')) {
          *error = "option " + a + " needs a value";
          return false;
        }
        value = argv[++i];
      }
      if (value.empty()) {
        *error = "option " + a + " needs a value";
        return false;
      }
      out = value;
      return true;
    };
    auto flag = [&](bool& out) {
      if (hasValue) {
        *error = "option " + a + " takes no value";
        return false;
      }
      out = true;
      return true;
    };
    bool ok;
    if (a == "--project") ok = takeValue(o->project);
    else if (a == "--drive") ok = takeValue(o->drive);
    else if (a == "--mode") ok = takeValue(o->mode);
    else if (a == "--layout") ok = takeValue(o->layout);
    else if (a == "--compress") ok = flag(o->compress);
    else if (a == "--yes") ok = flag(o->yes);
    else if (a == "--list") ok = flag(o->list);
    else if (a == "--help" || a == "-h") ok = flag(o->help);
    else if (a == "--version") ok = flag(o->version);
    else {
      *error = a[0] == '-' ? "unknown option " + a : "unexpected argument " + a;
      ok = false;
    }
    if (!ok && firstError.empty()) firstError = *error;
  }
  if (o->help) return true;
  if (!firstError.empty()) {
    *error = firstError;
    return false;
  }
  if (o->version) return true;
  if (o->mode != "minidos" && o->mode != "fulldos") {
    *error = "--mode must be minidos or fulldos";
    return false;
  }
  if (o->layout != "removable" && o->layout != "fixed") {
    *error = "--layout must be removable or fixed";
    return false;
  }
  if (o->list) {
    if (!o->project.empty() || !o->drive.empty()) {
      *error = "--list builds nothing: give it no --project or --drive";
      return false;
    }
    return true;
  }
  if (o->project.empty() || o->drive.empty()) {
    *error = o->project.empty() ? "--project is missing" : "--drive is missing";
    return false;
  }
  return true;
}

}  // namespace tavrin_build
