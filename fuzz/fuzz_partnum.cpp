// The part number read from a project's partnum.mak.
#include <cstddef>
#include <cstdint>
#include <string>

#include "crisis_app/crisis_medium.h"
#include "crisis_app/dialog_view.h"
#include "crisis_app/drive_source.h"
#include "crisis_app/tavrin_dlg.h"
#include "fuzz_support.h"
#include "platform/dialog_controls.h"

namespace {

class NoMedia : public crisis::MediumFactory {
 public:
  std::unique_ptr<crisis::CrisisMedium> Create(const std::string&, bool) override { return nullptr; }
};

class NoDrives : public crisis::DriveSource {
 public:
  std::vector<crisis::DriveEntry> ListDrives() override { return {}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::PutFile("partnum.mak", data, size);
  plat::FakeDialogControls controls;
  crisis::NullDialogView view;
  NoMedia media;
  NoDrives drives;
  crisis::CTavrinDlg dlg(controls, view, media, drives);
  dlg.m_strProjectPath = fuzz::ScratchDir();
  dlg.m_strPartNum.clear();
  const std::string text(data, data + size);
  bool found = dlg.ReadPartNumber();
  if (found != (text.find("PARTNUM = ") != std::string::npos)) __builtin_trap();
  if (dlg.m_strPartNum.size() > 3) __builtin_trap();
  if (found && text.find("PARTNUM = " + dlg.m_strPartNum) == std::string::npos) __builtin_trap();
  return 0;
}
