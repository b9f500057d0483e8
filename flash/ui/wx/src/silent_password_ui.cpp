#include "ui/silent_password_ui.h"

#include "ui/password_check.h"
#include "ui/password_dialog.h"
#include "platform/wx_message_box.h"
#include "ui/wx_ui.h"

namespace brim {

bool SilentPasswordUi::AskSetupPassword() {
  if (!StartWx(argc_, argv_)) return TerminalUi::AskSetupPassword();
  // A refused password is shown in a box even though silent mode shows none otherwise.
  plat::WxMessageBox boxes;
  plat::MessageBoxBackend* previous = plat::SetMessageBoxBackend(&boxes);
  PasswordDialog dialog(nullptr, CurrentPasswordCoding());
  const bool confirmed = dialog.Ask();
  dialog.Destroy();
  plat::SetMessageBoxBackend(previous);
  return confirmed;
}

}  // namespace brim
