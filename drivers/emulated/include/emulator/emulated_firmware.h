// The firmware behind the flash driver of an emulated machine: the request
// handler of the driver protocol over an EmulatedBackend, answering for the
// machine each request names.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "driver_protocol/request_handler.h"
#include "driver_protocol/requests.h"
#include "emulator/emulated_backend.h"
#include "emulator/machine_config.h"
#include "platform/driver_module.h"

namespace emu {

class EmulatedFirmware {
 public:
  using SleepFn = EmulatedBackend::SleepFn;
  explicit EmulatedFirmware(SleepFn sleep = nullptr);

  // Win32 error (0 = success) as the driver's DeviceIoControl would give it.
  uint32_t Handle(const MachineConfig& machine, uint32_t code, const uint8_t* in, uint32_t inSize,
                  uint8_t* out, uint32_t outSize, uint32_t* bytesReturned,
                  const FlashDriverMemory& memory);
  std::string message() const { return handler_.message(); }

 private:
  EmulatedBackend* backend_;
  drv::RequestHandler handler_;
};

// The state an emulated machine keeps beside its ROM ("state.ini"):
// whether the setup defaults are to be loaded, and the programming runs.
bool LoadDefaultsRequested(const std::string& folder);
uint32_t ProgrammingRuns(const std::string& folder);

}  // namespace emu
