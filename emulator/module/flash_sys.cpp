// The flash driver module: one exported entry point in front of the
// emulated firmware of the machine chosen by BRIMLET_MACHINE.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "emulator/default_machine.h"
#include "emulator/emulated_firmware.h"
#include "emulator/machine_config.h"
#include "platform/device.h"
#include "platform/driver_module.h"
#include "platform/le_bytes.h"

namespace {
std::mutex g_lock;  // the programming request may run beside other requests
emu::EmulatedFirmware& Firmware() {
  static emu::EmulatedFirmware firmware;
  return firmware;
}
std::string g_refusal;  // why the last request found no machine; "" after one that did

// The driver message request: why the last request found no machine ("" when
// it did), into the buffer the block names (address at 56, room at 60), cut
// to the room and always terminated; ECX = the length copied. Answered
// without a machine, as it is asked after a refusal.
uint32_t AnswerMessage(const void* in, uint32_t inSize, void* out, uint32_t outSize,
                       uint32_t* bytesReturned, const FlashDriverMemory& mem) {
  constexpr uint32_t kBlock = 84;
  if (!in || !out || inSize < kBlock || outSize < kBlock) return plat::ERROR_INVALID_PARAMETER;
  uint8_t b[kBlock];
  std::memcpy(b, in, kBlock);
  const uint32_t buffer = plat::Le32(b, kBlock, 56), room = plat::Le32(b, kBlock, 60);
  const uint32_t n = room ? static_cast<uint32_t>(std::min<size_t>(g_refusal.size(), room - 1)) : 0;
  const std::string text = g_refusal.substr(0, n);
  const bool ok = room > 0 && mem.check(mem.context, buffer, n + 1, 1) &&
                  mem.write(mem.context, buffer, text.c_str(), n + 1);
  plat::PutLe32(b, kBlock, 0, ok ? 0 : 0xFFFFFFFFu);
  plat::PutLe32(b, kBlock, 12, ok ? n : 0);
  std::memcpy(out, b, kBlock);
  *bytesReturned = kBlock;
  return plat::ERROR_SUCCESS;
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
  if (code == emu::kDriverMessage) return AnswerMessage(in, inSize, out, outSize, bytesReturned, *memory);
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
