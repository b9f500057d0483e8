// The flash driver module: one exported entry point in front of the
// emulated firmware of the machine chosen by BRIMLET_MACHINE.
#include <cstring>
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
std::string g_refusal;  // why the last request found no machine; "" after one that did
}  // namespace

// Why the last request was refused, for the caller's message: copies at most
// size - 1 bytes and a NUL, returns the whole text's length.
extern "C" __attribute__((visibility("default"))) uint32_t FlashDriverMessage(char* text,
                                                                              uint32_t size) {
  std::lock_guard<std::mutex> guard(g_lock);
  if (text && size > 0) {
    const size_t n = g_refusal.size() < size - 1 ? g_refusal.size() : size - 1;
    std::memcpy(text, g_refusal.data(), n);
    text[n] = '\0';
  }
  return static_cast<uint32_t>(g_refusal.size());
}

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
  std::string why;
  if (folder.empty()) {
    g_refusal = "emulated machine: the default machine folder " + emu::DefaultMachineFolder() +
                " could not be made";
    return plat::ERROR_NOT_READY;
  }
  if (!emu::LoadMachineConfig(folder, &machine, &why)) {
    g_refusal = "emulated machine " + folder + " refused: " + why;
    return plat::ERROR_NOT_READY;
  }
  g_refusal.clear();
  return Firmware().Handle(machine, code, static_cast<const uint8_t*>(in), inSize,
                           static_cast<uint8_t*>(out), outSize, bytesReturned, *memory);
}
