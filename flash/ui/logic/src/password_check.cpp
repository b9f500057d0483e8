#include "ui/password_check.h"

#include "firmware/firmware_queries.h"
#include "image/bios_image.h"
#include "image/image_layout.h"
#include "platform/message_box.h"

namespace brim {

PasswordCoding CurrentPasswordCoding() {
  if (LayoutOf(CurrentRomImage().flagWord) != ImageLayout::kQuorvel) return PasswordCoding::kScanCodes;
  return AskIsVemoModel() ? PasswordCoding::kVemoScanCodes : PasswordCoding::kCharacters;
}

bool ConfirmPassword(const PasswordKeys& keys) {
  const std::string codes = keys.Codes();
  uint32_t code = 0;
  if (!SetChkSetupPasswd(kCheckPasswordFunction, reinterpret_cast<const uint8_t*>(codes.data()),
                         static_cast<uint32_t>(codes.size()), &code)) {
    plat::MessageBox("Password Check Error !", "Check Password", plat::MB_OK | plat::MB_TOPMOST);
    return false;
  }
  return true;
}

}  // namespace brim
