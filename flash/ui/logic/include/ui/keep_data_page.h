// The Keep Data page's rules: which keep boxes may be used, their presets,
// and the settingsWord bit each box owns.
#pragma once
#include <cstdint>

#include "core/flash_settings.h"
#include "platform/dialog_controls.h"

namespace brim {

struct KeepBox {
  int id;
  const char* caption;
  uint32_t statusBit;               // ImageStatus bit that makes the box usable; 0: see below
  int32_t FlashSettings::*preset;   // nullptr: no setting of its own
  uint32_t bit;                     // settingsWord bit
};

// The 18 keep boxes in the order the page treats them.
extern const KeepBox kKeepBoxes[18];

class KeepDataPage {
 public:
  KeepDataPage(plat::DialogControls& controls, FlashSettings& settings)
      : c_(controls), s_(settings) {}

  // First showing of the page.
  void Init();
  // Presets "Force to update All BIOS", then UpdateKeepPage.
  void RefreshKeepPage();
  // Also the handler of "Force to update All BIOS".
  void UpdateKeepPage();
  // Click handler of a keep box: its bit follows its check state.
  void OnKeepBoxClicked(int id);
  // Any click on the page, by control id.
  void OnClicked(int id);

 private:
  bool BoxUsable(const KeepBox& box) const;
  plat::DialogControls& c_;
  FlashSettings& s_;
};

}  // namespace brim
