// Silent mode on a machine with a display: no window, except the password
// dialog when the firmware asks for the setup password.
#pragma once
#include "app/terminal_ui.h"

namespace brim {

class SilentPasswordUi : public TerminalUi {
 public:
  SilentPasswordUi(int& argc, char** argv) : argc_(argc), argv_(argv) {}
  bool AskSetupPassword() override;

 private:
  int& argc_;
  char** argv_;
};

}  // namespace brim
