// The window module's entry point: brimlet's wx front end behind one C table.
#include "app/gui_module.h"

#include <cstring>

#include "platform/wx_message_box.h"
#include "ui/password_check.h"
#include "ui/password_dialog.h"
#include "ui/wx_ui.h"

namespace {

bool StartWindows(int* argc, char** argv) { return brim::StartWx(*argc, argv); }

void StopWindows() { brim::StopWx(); }

brim::BrimletUi* CreateUi() { return new brim::WxUi; }

void DestroyUi(brim::BrimletUi* ui) { delete ui; }

bool AskSetupPassword() {
  // A refused password is shown in a box even though silent mode shows none otherwise.
  plat::WxMessageBox boxes;
  plat::MessageBoxBackend* previous = plat::SetMessageBoxBackend(&boxes);
  brim::PasswordDialog dialog(nullptr, brim::CurrentPasswordCoding());
  const bool confirmed = dialog.Ask();
  dialog.Destroy();
  plat::SetMessageBoxBackend(previous);
  return confirmed;
}

const BrimletGuiModule kModule = {StartWindows, StopWindows, CreateUi, DestroyUi, AskSetupPassword};

}  // namespace

extern "C" __attribute__((visibility("default"))) const BrimletGuiModule* brimlet_gui_module(const char* buildStamp) {
  if (!buildStamp || std::strcmp(buildStamp, BRIMLET_GUI_STAMP) != 0) return nullptr;
  return &kModule;
}
