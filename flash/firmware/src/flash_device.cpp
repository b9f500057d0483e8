#include "firmware/flash_device.h"

#include <cstdio>
#include <memory>

#include "firmware/driver_message.h"
#include "platform/device.h"
#include "platform/driver_device.h"
#include "platform/message_box.h"
#include "platform/os_personality.h"

namespace brim {

namespace {
std::unique_ptr<plat::Device>& Handle() {
  static std::unique_ptr<plat::Device> handle;
  return handle;
}
}  // namespace

int GetOsFamily() {
  plat::OsVersionInfo info{};
  plat::GetVersionEx(&info);
  switch (info.platformId) {
    case 0:
      return kOsWin32s;
    case plat::VER_PLATFORM_WIN32_WINDOWS:
      return info.minorVersion == 0 ? kOsWin95 : kOsWin9x;
    case plat::VER_PLATFORM_WIN32_NT:
      return kOsWinNT;
    default:
      return kOsWin9x;
  }
}

bool OpenFlashDevice() {
  plat::RegisterDriverDevices();
  uint32_t err = 0;
  if (IsNtFamily())
    Handle() = plat::OpenDevice("\\\\.\\flash", plat::GENERIC_READ, &err);
  else
    Handle() = plat::OpenDevice("\\\\.\\ABVXD.VXD", 0, &err);
  return Handle() != nullptr;
}

void CloseFlashDevice() { Handle().reset(); }

bool FlashDeviceIsOpen() { return Handle() != nullptr; }

bool FlashIoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                    uint32_t* lastError) {
  if (!Handle()) {
    if (lastError) *lastError = plat::ERROR_INVALID_HANDLE;
    return false;
  }
  uint32_t returned = 0;
  return Handle()->IoControl(code, in, inSize, out, outSize, &returned, lastError);
}

bool IssueBiosRegs(uint32_t code, const BiosRegs& in, BiosRegs* out, const std::string& caption) {
  BiosRegsBytes inBytes = EncodeBiosRegs(in);
  BiosRegsBytes outBytes{};
  uint32_t err = 0;
  if (!FlashIoControl(code, inBytes.data(), kBiosRegsSize, outBytes.data(), kBiosRegsSize, &err)) {
    char text[64];
    std::snprintf(text, sizeof text, "DeviceIoControl failed, Error: %d", static_cast<int>(err));
    // The driver module's own reason, when it gives one, says what to do.
    const std::string why = DriverMessage();
    plat::MessageBox(why.empty() ? std::string(text) : text + ("\n" + why), caption, plat::MB_OK);
    return false;
  }
  return DecodeBiosRegs(outBytes.data(), outBytes.size(), out);
}

bool VxdCall(uint32_t code, VxdPacket* packet, bool programForm) {
  uint32_t err = 0;
  if (programForm) {
    auto bytes = EncodeVxdProgramPacket(*packet);
    if (!FlashIoControl(code, bytes.data(), bytes.size(), bytes.data(), bytes.size(), &err))
      return false;
    return DecodeVxdPacket(bytes.data(), bytes.size(), packet);
  }
  auto bytes = EncodeVxdPacket(*packet);
  if (!FlashIoControl(code, bytes.data(), bytes.size(), bytes.data(), bytes.size(), &err))
    return false;
  return DecodeVxdPacket(bytes.data(), bytes.size(), packet);
}

bool VxdMapMemory(uint32_t physicalAddress, uint32_t length, uint32_t* linearAddress) {
  VxdMapPacket packet{physicalAddress, length, 0};
  auto bytes = EncodeVxdMapPacket(packet);
  uint32_t err = 0;
  if (!FlashIoControl(kIoctlVxdMapMemory, bytes.data(), bytes.size(), bytes.data(), bytes.size(),
                      &err))
    return false;
  if (!DecodeVxdMapPacket(bytes.data(), bytes.size(), &packet)) return false;
  *linearAddress = packet.linearAddress;
  return true;
}

bool CallBios(const BiosRegs& in, BiosRegs* out, const std::string& caption) {
  if (IsNtFamily()) return IssueBiosRegs(kIoctlCallBios, in, out, caption);
  if (in.flagByte40 || in.flagByte41) return false;
  VxdPacket packet;
  packet.eax = in.eax;
  packet.ebx = in.ebx;
  packet.ecx = in.ecx;
  packet.edx = in.edx;
  packet.esi = in.esi;
  packet.edi = in.edi;
  if (!VxdCall(kIoctlVxdCallBios, &packet, false)) return false;
  *out = in;
  out->eax = packet.eax;
  out->ebx = packet.ebx;
  out->ecx = packet.ecx;
  out->edx = packet.edx;
  out->esi = packet.esi;
  out->edi = packet.edi;
  out->status = packet.errorFlag ? kCallFailed : 0;
  return true;
}

}  // namespace brim
