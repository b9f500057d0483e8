// "Password Check": the BIOS setup password, typed key by key.
#pragma once
#include <wx/dialog.h>
#include <wx/textctrl.h>

#include "ui/password_keys.h"

namespace brim {

// The edit that records a code per key instead of trusting its text.
class PasswordEdit : public wxTextCtrl {
 public:
  PasswordEdit(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size, PasswordCoding coding);
  const PasswordKeys& Keys() const { return keys_; }

  // The handlers, public so that a test can feed key events.
  void OnKeyDown(wxKeyEvent& event);
  void OnKeyUp(wxKeyEvent& event);
  void OnChar(wxKeyEvent& event);

 private:
  PasswordKeys keys_;
};

// The Windows virtual-key code of a wx key code (0 when it has none here).
int VirtualKeyOfWxKey(int wxKeyCode);

class PasswordDialog : public wxDialog {
 public:
  PasswordDialog(wxWindow* parent, PasswordCoding coding);
  // Shows the dialog; true when the firmware confirmed the typed password.
  bool Ask();
  PasswordEdit* Edit() { return edit_; }

 private:
  PasswordEdit* edit_;
  bool confirmed_ = false;
};

}  // namespace brim
