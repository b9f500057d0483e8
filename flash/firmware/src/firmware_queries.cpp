#include "firmware/firmware_queries.h"

#include "firmware/flash_device.h"
#include "platform/address_window.h"
#include "platform/message_box.h"

namespace brim {

int CheckBiosSupport() {
  if (!IsNtFamily()) return 1;
  BiosRegs in, out;
  if (!IssueBiosRegs(kIoctlCheckSupport, in, &out, "Check Support Brimlet")) return 0;
  if (out.status == kCallFailed) {
    plat::MessageBox("Sorry! The BIOS can not support Brimlet!", "Check Support Brimlet",
                     plat::MB_OK);
    return 0;
  }
  return 1;
}

int AskSetupPasswd(uint32_t* code) {
  BiosRegs in, out;
  in.eax = 0x9610;
  in.ebx = 0x0108;
  if (!CallBios(in, &out, "AskSetupPasswd")) return 0;
  if (code) *code = AhOf(out.eax);
  return AhOf(out.eax) == 0 ? 1 : 0;
}

int SetChkSetupPasswd(uint32_t function, const uint8_t* text, uint32_t length, uint32_t* code) {
  // The text travels by address; an empty text still gets a valid one.
  static const uint8_t kEmpty = 0;
  plat::MappedBuffer mapped(text ? text : &kEmpty, text ? length : 0);
  if (!mapped.ok()) return 0;
  BiosRegs in, out;
  in.eax = 0x9610;
  in.ebx = function * 256 + 0x08;
  in.ecx = length & 0xFFFF;
  in.esi = mapped.address();
  if (!CallBios(in, &out, "SetChkSetupPasswd")) return 0;
  if (code) *code = AhOf(out.eax);
  return AhOf(out.eax) == 0 ? 1 : 0;
}

int WSBICheck(uint32_t* code, uint32_t* value) {
  BiosRegs in, out;
  in.eax = 0x9610;
  in.ebx = 0;
  bool sent = CallBios(in, &out, "WSBICheck");
  if (code) *code = AhOf(out.eax);
  if (!sent || out.status == kCallFailed) return 0;
  if (value) *value = out.ebx & 0xFFFF;
  return 1;
}

int AskIsVemoModel() {
  BiosRegs in, out;
  in.eax = 0x9604;
  in.ebx = 0xF700;
  if (!CallBios(in, &out, "AskIsVemoModel")) return 0;
  return out.status != kCallFailed && (out.edx & 0xFFFF) == kVemoBrandCode ? 1 : 0;
}

}  // namespace brim
