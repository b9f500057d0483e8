#include "firmware/driver_message.h"

#include <vector>

#include "firmware/bios_regs.h"
#include "firmware/flash_device.h"
#include "platform/address_window.h"

namespace brim {

namespace {
constexpr uint32_t kMessageRoom = 1024;
}

std::string DriverMessage() {
  if (!IsNtFamily() || !FlashDeviceIsOpen()) return "";
  std::vector<char> text(kMessageRoom, '\0');
  plat::MappedBuffer buffer(static_cast<void*>(text.data()), kMessageRoom);
  if (!buffer.ok()) return "";
  BiosRegs in;
  in.bufferAddress = buffer.address();
  in.length = kMessageRoom;
  BiosRegsBytes inBytes = EncodeBiosRegs(in);
  BiosRegsBytes outBytes{};
  BiosRegs out;
  uint32_t err = 0;
  // A driver without the request refuses it; that only means no text.
  if (!FlashIoControl(kIoctlDriverMessage, inBytes.data(), kBiosRegsSize, outBytes.data(),
                      kBiosRegsSize, &err) ||
      !DecodeBiosRegs(outBytes.data(), outBytes.size(), &out) || out.status == kCallFailed)
    return "";
  text.back() = '\0';
  return std::string(text.data());
}

std::string WithDriverMessage(const std::string& text) {
  std::string message = DriverMessage();
  return message.empty() ? text : text + "\n" + message;
}

}  // namespace brim
