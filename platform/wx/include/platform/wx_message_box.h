// Message boxes as wx dialogs, for a program with a display.
#pragma once
#include "platform/message_box.h"

namespace plat {

class WxMessageBox : public MessageBoxBackend {
 public:
  int Show(const std::string& text, const std::string& caption, unsigned flags) override;
};

// wx style bits for the box flags, and the box answer for a wx result.
long WxMessageStyle(unsigned flags);
int AnswerOfWxResult(int wxResult, unsigned flags);

}  // namespace plat
