// The flash driver module: one exported entry point in front of the
// emulated firmware of the machine chosen by BRIMLET_MACHINE.
#include <mutex>
#include <string>

#include "emulator/default_machine.h"
#include "emulator/emulated_firmware.h"
#include "emulator/machine_config.h"
#include "platform/device.h"
#include "platform/driver_module.h"

namespace {
std::mutex g_lock;  // the programming request may run beside other requests
emu::EmulatedFirmware& Firmware() {
  static emu::EmulatedFirmware firmware;
  return firmware;
}
}  // namespace

extern "C" __attribute__((visibility("default"))) uint32_t FlashDriverRequest(
    uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
    uint32_t* bytesReturned, const FlashDriverMemory* memory) {
  uint32_t ignored = 0;
  if (!bytesReturned) bytesReturned = &ignored;
  *bytesReturned = 0;
  if (!memory || !memory->read || !memory->write || !memory->check || !memory->map ||
      !memory->unmap)
    return plat::ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> guard(g_lock);
  emu::MachineConfig machine;
  std::string folder = emu::MachineFolder();
  if (folder.empty() || !emu::LoadMachineConfig(folder, &machine, nullptr)) return plat::ERROR_NOT_READY;
  return Firmware().Handle(machine, code, static_cast<const uint8_t*>(in), inSize,
                           static_cast<uint8_t*>(out), outSize, bytesReturned, *memory);
}
