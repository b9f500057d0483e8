// The Verify page's rules: the six verify boxes under "Verify All", the
// after-flash radio buttons and the other settings, each owning its bits.
#pragma once
#include "core/flash_settings.h"
#include "platform/dialog_controls.h"

namespace brim {

class VerifyPage {
 public:
  VerifyPage(plat::DialogControls& controls, FlashSettings& settings) : c_(controls), s_(settings) {}

  // First showing of the page: visibility, presets from the settings flags.
  void Init();
  // Also the handler of "Verify All".
  void UpdateVerifyPage();
  // Any click on the page, by control id ("Make WSET.TXT" writes the report).
  void OnClicked(int id);

 private:
  void Preset(int id, int32_t setting);
  plat::DialogControls& c_;
  FlashSettings& s_;
};

}  // namespace brim
