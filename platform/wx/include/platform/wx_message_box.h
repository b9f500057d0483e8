// Message boxes as wx dialogs, for a program with a display.
#pragma once
#include "platform/message_box.h"

namespace plat {

// Shows each box as a WxBoxDialog centred on the application's top window
// when that is shown, else on the screen.
class WxMessageBox : public MessageBoxBackend {
 public:
  int Show(const std::string& text, const std::string& caption, unsigned flags) override;
};

}  // namespace plat
