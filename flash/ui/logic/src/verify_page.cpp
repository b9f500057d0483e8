#include "ui/verify_page.h"

#include "core/settings_word.h"
#include "image/bios_image.h"
#include "image/image_layout.h"
#include "image/wset_report.h"
#include "ui/control_ids.h"

namespace brim {

namespace {

bool RomIsQuorvel() { return LayoutOf(CurrentRomImage().flagWord) == ImageLayout::kQuorvel; }

struct VerifyBox {
  int id;
  uint32_t bit;
};

// Boxes whose bit simply follows their check state.
constexpr VerifyBox kPlainBoxes[] = {
    {ids::kCheckSize, kVerifySize},          {ids::kVerifyModelId, kVerifyModelId},
    {ids::kVerifyChecksum, kVerifyChecksum}, {ids::kVerifyReleaseDate, kVerifyReleaseDate},
    {ids::kCheckPassword, kVerifyPassword},  {ids::kCheckPower, kVerifyPower},
    {ids::kLoadCmosDefault, kLoadDefaultCmos}, {ids::kExecuteFromNewBios, kExecuteFromNewBios},
    {ids::kHiddenReboot, kReboot},           {ids::kHiddenShutdown, kShutdown},
};

}  // namespace

void VerifyPage::Init() {
  if (RomIsQuorvel()) {
    c_.Show(ids::kCheckSize, false);
    c_.Show(ids::kExecuteFromNewBios, false);
  }
  const bool all = s_.verifyChecksum && s_.verifyModelId && s_.verifyPassword && s_.verifyPower &&
                   s_.verifyReleaseDate && s_.verifySize;
  c_.SetCheck(ids::kVerifyAll, all);
  UpdateVerifyPage();
  if (s_.rebootAfterFlash && !s_.shutdownAfterFlash) {
    c_.SetCheck(ids::kAutoReboot, true);
    OnClicked(ids::kAutoReboot);
  }
  if (s_.shutdownAfterFlash) {
    c_.SetCheck(ids::kAutoShutdown, true);
    OnClicked(ids::kAutoShutdown);
  }
  if (s_.loadDefaultCmos) {
    c_.SetCheck(ids::kLoadCmosDefault, true);
    OnClicked(ids::kLoadCmosDefault);
  }
  if (s_.executeFromNewBios) {
    c_.SetCheck(ids::kExecuteFromNewBios, true);
    OnClicked(ids::kExecuteFromNewBios);
  }
}

void VerifyPage::Preset(int id, int32_t setting) {
  c_.Enable(id, true);
  if (setting) {
    c_.SetCheck(id, true);
    OnClicked(id);
  }
}

void VerifyPage::UpdateVerifyPage() {
  const bool quorvel = RomIsQuorvel();
  if (c_.IsChecked(ids::kVerifyAll)) {
    for (const VerifyBox& box : kPlainBoxes) {
      if (box.id == ids::kLoadCmosDefault) break;  // only the six verify boxes
      const bool on = !(box.id == ids::kVerifyChecksum && quorvel);
      c_.SetCheck(box.id, on);
      c_.Enable(box.id, false);
      OnClicked(box.id);
    }
    return;
  }
  Preset(ids::kCheckSize, s_.verifySize);
  Preset(ids::kVerifyModelId, s_.verifyModelId);
  if (quorvel) {
    // The Quorvel layout carries no checksum to verify.
    c_.SetCheck(ids::kVerifyChecksum, false);
    c_.Enable(ids::kVerifyChecksum, false);
    OnClicked(ids::kVerifyChecksum);
  } else {
    Preset(ids::kVerifyChecksum, s_.verifyChecksum);
  }
  Preset(ids::kVerifyReleaseDate, s_.verifyReleaseDate);
  Preset(ids::kCheckPower, s_.verifyPower);
  Preset(ids::kCheckPassword, s_.verifyPassword);
}

void VerifyPage::OnClicked(int id) {
  uint32_t& word = s_.settingsWord;
  switch (id) {
    case ids::kVerifyAll:
      UpdateVerifyPage();
      return;
    case ids::kAutoReboot:
      if (c_.IsChecked(id)) {
        word |= kReboot;
        word &= ~kShutdown;
      } else {
        word &= ~kReboot;
      }
      return;
    case ids::kAutoShutdown:
      if (c_.IsChecked(id)) {
        word |= kShutdown;
        word &= ~kReboot;
      } else {
        word &= ~kShutdown;
      }
      return;
    case ids::kMakeWset:
      MakeWsetReport();
      return;
    default:
      break;
  }
  for (const VerifyBox& box : kPlainBoxes) {
    if (box.id != id) continue;
    if (c_.IsChecked(id))
      word |= box.bit;
    else
      word &= ~box.bit;
    return;
  }
}

}  // namespace brim
