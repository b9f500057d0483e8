// The General page's construction and teardown, which talk to the driver
// before any window is shown (also in silent mode).
#pragma once
#include "app/brimlet_ui.h"
#include "firmware/driver_service.h"

namespace brim {

class GeneralPage {
 public:
  explicit GeneralPage(BrimletUi& ui) : ui_(ui) {}
  ~GeneralPage() { Destroy(); }

  // Installs, starts and opens the driver, reads the current ROM and asks the
  // setup password when the settings and the firmware ask for it.
  void Construct();
  // Frees the new image's and the current ROM image's buffers.
  void Destroy();

  DriverService& Service() { return service_; }

 private:
  BrimletUi& ui_;
  DriverService service_;
};

extern const char kDriverOpenErrorText[];  // "Error opening the flash.sys driver."

}  // namespace brim
