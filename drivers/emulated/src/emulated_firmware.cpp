#include "emulator/emulated_firmware.h"

#include <cstdlib>
#include <memory>

#include "platform/ini_profile.h"

namespace emu {

namespace {
uint32_t StateNumber(const std::string& folder, const char* key) {
  return static_cast<uint32_t>(std::strtoul(
      plat::GetProfileString("STATE", key, "0", 32, folder + "/state.ini").c_str(), nullptr, 0));
}

std::unique_ptr<drv::Backend> Made(EmulatedBackend** out, EmulatedBackend::SleepFn sleep) {
  auto backend = std::make_unique<EmulatedBackend>(std::move(sleep));
  *out = backend.get();
  return backend;
}
}  // namespace

bool LoadDefaultsRequested(const std::string& folder) {
  return StateNumber(folder, "LOADDEFAULTS") != 0;
}

uint32_t ProgrammingRuns(const std::string& folder) { return StateNumber(folder, "PROGRAMRUNS"); }

EmulatedFirmware::EmulatedFirmware(SleepFn sleep)
    : backend_(nullptr), handler_(Made(&backend_, std::move(sleep))) {}

uint32_t EmulatedFirmware::Handle(const MachineConfig& machine, uint32_t code, const uint8_t* in,
                                  uint32_t inSize, uint8_t* out, uint32_t outSize,
                                  uint32_t* bytesReturned, const FlashDriverMemory& memory) {
  backend_->UseMachine(machine);
  return handler_.Handle(code, in, inSize, out, outSize, bytesReturned, memory);
}

}  // namespace emu
