#include "firmware/driver_progress.h"

#include "firmware/bios_regs.h"
#include "firmware/flash_device.h"

namespace brim {

bool QueryDriverProgress(DriverProgress* progress) {
  BiosRegs in, out;
  BiosRegsBytes inBytes = EncodeBiosRegs(in);
  BiosRegsBytes outBytes{};
  uint32_t err = 0;
  if (!FlashIoControl(kIoctlProgress, inBytes.data(), kBiosRegsSize, outBytes.data(), kBiosRegsSize,
                      &err) ||
      !DecodeBiosRegs(outBytes.data(), outBytes.size(), &out) || out.status == kCallFailed ||
      out.ebx > static_cast<uint32_t>(DriverPhase::kReading) || out.ecx > out.edx)
    return false;
  progress->phase = static_cast<DriverPhase>(out.ebx);
  progress->done = out.ecx;
  progress->total = out.edx;
  return true;
}

}  // namespace brim
