// The flash driver module: one exported entry point in front of the
// emulated machine chosen by BRIMLET_MACHINE.
#include <memory>

#include "driver_protocol/request_handler.h"
#include "emulator/emulated_backend.h"

namespace {
drv::RequestHandler& Handler() {
  static drv::RequestHandler handler(std::make_unique<emu::EmulatedBackend>());
  return handler;
}
}  // namespace

extern "C" __attribute__((visibility("default"))) uint32_t FlashDriverRequest(
    uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
    uint32_t* bytesReturned, const FlashDriverMemory* memory) {
  return drv::EnterDriver(Handler(), code, in, inSize, out, outSize, bytesReturned, memory);
}
