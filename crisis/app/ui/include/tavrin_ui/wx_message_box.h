// Message boxes as wx message dialogs.
#pragma once
#include "platform/message_box.h"

namespace tavrin_ui {

class WxMessageBox : public plat::MessageBoxBackend {
 public:
  int Show(const std::string& text, const std::string& caption, unsigned flags) override;
};

}  // namespace tavrin_ui
