// The flash driver module for real chips: the same entry point as the
// emulated machine's flash.sys, answered through libflashrom as
// flashrom.ini (beside brimlet, else in the system folder) says.
#include <memory>
#include <string>

#include "flashrom_driver/chip_firmware.h"
#include "flashrom_driver/flashrom_config.h"
#include "flashrom_driver/libflashrom_chip.h"
#include "platform/file_system.h"
#include "platform/system_paths.h"

namespace {
// Made on the first request: the service runs a private copy of this file,
// so brimlet's folder is the folder of the running program.
frd::ChipFirmware& Firmware() {
  static std::unique_ptr<frd::ChipFirmware> firmware = [] {
    frd::FlashromConfig config;
    std::string reason;
    std::string exeDir = plat::DirectoryOf(plat::ExecutablePath());
    if (!frd::LoadFlashromConfig(frd::ConfigCandidates(exeDir), &config, &reason))
      return std::make_unique<frd::ChipFirmware>(nullptr, nullptr, reason);
    return std::make_unique<frd::ChipFirmware>(&config, frd::MakeLibflashromChip(config), "");
  }();
  return *firmware;
}
}  // namespace

extern "C" __attribute__((visibility("default"))) uint32_t FlashDriverRequest(
    uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
    uint32_t* bytesReturned, const FlashDriverMemory* memory) {
  return drv::EnterDriver(Firmware().handler(), code, in, inSize, out, outSize, bytesReturned,
                          memory);
}
