#include "firmware/machine_hold.h"

#include "firmware/bios_regs.h"
#include "firmware/driver_message.h"
#include "firmware/flash_device.h"
#include "platform/device.h"

namespace brim {

namespace {
constexpr uint8_t kAhMachineBusy = 0x87;

bool HoldRequest(uint32_t eax, BiosRegs* out, uint32_t* err) {
  BiosRegs in;
  in.eax = eax;
  BiosRegsBytes inBytes = EncodeBiosRegs(in);
  BiosRegsBytes outBytes{};
  return FlashIoControl(kIoctlHold, inBytes.data(), kBiosRegsSize, outBytes.data(), kBiosRegsSize,
                        err) &&
         DecodeBiosRegs(outBytes.data(), outBytes.size(), out);
}
}  // namespace

HoldResult HoldMachine(std::string* why) {
  BiosRegs out;
  uint32_t err = 0;
  if (!HoldRequest(1, &out, &err)) {
    if (err == plat::ERROR_INVALID_FUNCTION) return HoldResult::kNotAnswered;
    *why = "the flash driver did not answer the hold request (error " + std::to_string(err) + ")";
    const std::string driver = DriverMessage();
    if (!driver.empty()) *why += ": " + driver;
    return HoldResult::kUnavailable;
  }
  if (out.status != kCallFailed && AhOf(out.eax) == 0) return HoldResult::kHeld;
  *why = DriverMessage();
  if (why->empty()) *why = "the flash driver refused the machine";
  return AhOf(out.eax) == kAhMachineBusy ? HoldResult::kBusy : HoldResult::kUnavailable;
}

void ReleaseMachine() {
  const bool wasOpen = FlashDeviceIsOpen();
  if (!wasOpen && !OpenFlashDevice()) return;
  BiosRegs out;
  uint32_t err = 0;
  HoldRequest(0, &out, &err);
  if (!wasOpen) CloseFlashDevice();
}

}  // namespace brim
