#include "app/general_page.h"

#include "firmware/firmware_queries.h"
#include "firmware/flash_device.h"
#include "firmware/rom_access.h"
#include "image/bios_image.h"
#include "platform/message_box.h"
#include "platform/driver_device.h"

namespace brim {

const char kDriverOpenErrorText[] = "Error opening the flash.sys driver.";

void GeneralPage::Construct() {
  ImageStatus() = 0;
  const std::string driverFile = Settings().exeDir + "flash.sys";
  if (!service_.EnsureDriver(kFlashDevicePath, plat::kFlashServiceName, driverFile)) {
    plat::MessageBox(kDriverOpenErrorText, "Brimlet Error",
                     plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST);
    // Nothing was read: the ROM image holds no contents to keep or check against.
    ImageStatus() |= kStatusRomReadFailed;
    return;
  }
  service_.CloseDevice();
  ReadCurrentRom();
  OpenFlashDevice();
  uint32_t code = 0;
  const FlashSettings& s = Settings();
  if (s.forceReadIni == 0 && s.verifyPassword == 1 && AskSetupPasswd(&code)) {
    if (!ui_.AskSetupPassword()) ImageStatus() |= kStatusPasswordRefused;
  }
  CloseFlashDevice();
}

void GeneralPage::Destroy() {
  FreeImageBuffer(NewImage());
  FreeImageBuffer(CurrentRomImage());
}

}  // namespace brim
