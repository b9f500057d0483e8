// The emulated machine's driver requests, with the caller's memory taken
// from the input: every address and length must be checked before use.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "emulator/emulated_firmware.h"
#include "emulator/machine_config.h"
#include "fuzz_driver_memory.h"
#include "fuzz_support.h"
#include "platform/file_system.h"

namespace {

constexpr size_t kBlock = 84;
constexpr uint32_t kRomBytes = 2 * emu::kBlock;

// A two-block machine in the scratch folder; the ROM file is written again
// when a run programmed it, so every input starts from the same contents.
const std::vector<uint8_t>& Rom() {
  static const std::vector<uint8_t> rom = [] {
    std::vector<uint8_t> r(kRomBytes);
    for (size_t i = 0; i < r.size(); ++i) r[i] = uint8_t(i * 7 + i / emu::kBlock);
    return r;
  }();
  return rom;
}

emu::MachineConfig Machine(uint8_t variant) {
  emu::MachineConfig m;
  m.folder = fuzz::ScratchDir();
  m.romPath = m.folder + "/rom.bin";
  m.romSize = kRomBytes;
  m.base = 0xFFFE0000u;
  m.mappedRom = m.base;
  m.lockBitBlock0 = 0xFFBE0000u;
  m.flag = (variant & 1) ? 0x08 : 0x10;
  m.supported = (variant & 2) == 0;
  if (variant & 4) {
    m.hasPassword = true;
    m.password = {0x1E, 0x30, 0x2E};
  }
  m.bootBlockOffset = m.romSize - emu::kBlock;
  if (variant & 8) m.ahError = 0x86, m.ahErrorFor = "ProgramFlashROM";
  if (variant & 16) m.readFails = true;
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Byte 0: request; 1: machine variant; 2-85: the request block; the rest:
  // the caller's memory at fuzz::kWindowAddress.
  if (size < 2 + kBlock) return 0;
  static bool written = false;
  std::vector<uint8_t> onDisk;
  if (!written || !plat::ReadWholeFile(Machine(0).romPath, onDisk) || onDisk != Rom()) {
    fuzz::PutFile("rom.bin", Rom().data(), Rom().size());
    written = true;
  }
  const uint32_t code = fuzz::kRequestCodes[data[0] % (sizeof fuzz::kRequestCodes / 4)];
  const emu::MachineConfig machine = Machine(data[1]);
  fuzz::CallerMemory memory(data + 2 + kBlock, size - 2 - kBlock);
  std::vector<uint8_t> in(data + 2, data + 2 + kBlock), out(kBlock, 0xCC);
  uint32_t returned = 0xFFFFFFFFu;
  {
    emu::EmulatedFirmware firmware([](uint32_t) {});
    firmware.Handle(machine, code, in.data(), kBlock, out.data(), kBlock, &returned, memory.api());
    if (returned > kBlock) __builtin_trap();
    // A second request on the same firmware reuses what the first mapped.
    firmware.Handle(machine, code, in.data(), kBlock, out.data(), kBlock, &returned, memory.api());
    if (returned > kBlock) __builtin_trap();
  }
  // Every window the firmware handed out was withdrawn with it.
  if (memory.OpenMaps() != 0) __builtin_trap();
  return 0;
}
