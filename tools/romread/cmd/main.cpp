// Reads the emulated machine's ROM the way brimlet does: installs and starts
// the driver service from the flash.sys beside this program, asks the
// firmware for the geometry, reads the ROM and prints what was found.
#include <getopt.h>

#include <cstdio>
#include <string>

#include "core/flash_settings.h"
#include "firmware/driver_service.h"
#include "firmware/flash_device.h"
#include "firmware/firmware_queries.h"
#include "firmware/rom_access.h"
#include "image/bios_image.h"
#include "image/image_layout.h"
#include "platform/file_system.h"
#include "platform/system_paths.h"
#include "tool_cli/tool_cli.h"

namespace {
const char kTool[] = "brimlet-romread";
const char kUsage[] =
    "usage: brimlet-romread [OUTPUT]\n"
    "Installs and starts the driver service from the flash.sys beside this\n"
    "program, reads the ROM as brimlet does, prints its geometry and identity\n"
    "and, with OUTPUT, writes the ROM's bytes there.\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "Exit status: 0 read, 1 OUTPUT not written, 2 usage, 6 driver or ROM read failed.\n";
}  // namespace

int main(int argc, char** argv) {
  if (int status = toolcli::ParseStandardOptions(argc, argv, kTool, kUsage); status >= 0)
    return status;
  if (argc - optind > 1) return toolcli::UsageError(kTool, "expected at most one OUTPUT");
  const char* output = argc - optind == 1 ? argv[optind] : nullptr;
  std::string exeDir = plat::DirectoryOf(plat::ExecutablePath());
  brim::DriverService service;
  if (!brim::EnsureFlashDriver(service, exeDir)) {
    std::fprintf(stderr, "Open flash.sys Fail: %sflash.sys: %s\n", exeDir.c_str(),
                 service.LastMessage().c_str());
    return 6;
  }
  if (!brim::OpenFlashDevice() || !brim::CheckBiosSupport()) return 6;
  brim::CloseFlashDevice();
  if (!brim::ReadCurrentRom()) return 6;
  const brim::BiosImage& rom = brim::CurrentRomImage();
  std::printf("ROM base address: 0x%08X\n", rom.baseAddress);
  std::printf("ROM size: %u bytes (%u blocks of 64 KiB)\n", rom.size, rom.size / 0x10000);
  std::printf("FLAG word: 0x%02X (%s layout)\n", rom.flagWord,
              brim::LayoutName(brim::LayoutOf(rom.flagWord)));
  std::printf("Model code: %s\nVersion: %s\nDate: %s\nChecksum: 0x%04X\n", rom.modelCode,
              rom.versionText, rom.dateText, rom.checksum);
  std::printf("ROM read: %s\n", (brim::ImageStatus() & brim::kStatusRomReadFailed) ? "FAILED" : "ok");
  if (output && !plat::WriteWholeFile(output, rom.bytes, rom.size)) {
    std::fprintf(stderr, "%s: cannot write %s\n", kTool, output);
    return 1;
  }
  return (brim::ImageStatus() & brim::kStatusRomReadFailed) ? 6 : 0;
}
