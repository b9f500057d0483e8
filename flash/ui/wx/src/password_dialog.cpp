#include "ui/password_dialog.h"

#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include "ui/control_ids.h"
#include "ui/dialog_units.h"
#include "ui/password_check.h"

namespace brim {

int VirtualKeyOfWxKey(int key) {
  switch (key) {
    case WXK_SHIFT: return 16;
    case WXK_CONTROL: return 17;
    case WXK_PAUSE: return 19;
    case WXK_CAPITAL: return 20;
    case WXK_PAGEUP: case WXK_NUMPAD_PAGEUP: return 33;
    case WXK_PAGEDOWN: case WXK_NUMPAD_PAGEDOWN: return 34;
    case WXK_END: case WXK_NUMPAD_END: return 35;
    case WXK_HOME: case WXK_NUMPAD_HOME: return 36;
    case WXK_LEFT: case WXK_NUMPAD_LEFT: return 37;
    case WXK_UP: case WXK_NUMPAD_UP: return 38;
    case WXK_RIGHT: case WXK_NUMPAD_RIGHT: return 39;
    case WXK_DOWN: case WXK_NUMPAD_DOWN: return 40;
    case WXK_PRINT: case WXK_SNAPSHOT: return 44;
    case WXK_INSERT: case WXK_NUMPAD_INSERT: return 45;
    case WXK_NUMLOCK: return 144;
    case WXK_SCROLL: return 145;
    default: return 0;
  }
}

PasswordEdit::PasswordEdit(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size,
                           PasswordCoding coding)
    : wxTextCtrl(parent, id, wxEmptyString, pos, size, wxTE_PASSWORD), keys_(coding) {
  Bind(wxEVT_KEY_DOWN, &PasswordEdit::OnKeyDown, this);
  Bind(wxEVT_KEY_UP, &PasswordEdit::OnKeyUp, this);
  Bind(wxEVT_CHAR, &PasswordEdit::OnChar, this);
}

void PasswordEdit::OnKeyDown(wxKeyEvent& event) {
  if (keys_.OnKeyDown(VirtualKeyOfWxKey(event.GetKeyCode())) == KeyResult::kBeep) {
    wxBell();
    return;
  }
  event.Skip();
}

void PasswordEdit::OnKeyUp(wxKeyEvent& event) {
  if (keys_.OnKeyUp(VirtualKeyOfWxKey(event.GetKeyCode())) == KeyResult::kSwallow) return;
  event.Skip();
}

void PasswordEdit::OnChar(wxKeyEvent& event) {
  // X11 hardware key codes are the kernel's input codes plus 8.
  const int inputCode = static_cast<int>(event.GetRawKeyFlags()) - 8;
  const int ch = event.GetUnicodeKey() != WXK_NONE ? static_cast<int>(event.GetUnicodeKey()) : event.GetKeyCode();
  if (ch == WXK_RETURN || ch == WXK_ESCAPE || ch == WXK_TAB) {
    event.Skip();  // the dialog's own keys
    return;
  }
  if (keys_.OnChar(ch, ScanCodeOfInputKey(inputCode)) != KeyResult::kPass) return;
  if (ch == WXK_BACK) {
    const long end = GetLastPosition();
    if (end > 0) Remove(end - 1, end);
    return;
  }
  AppendText(wxString(wxUniChar(ch)));
}

PasswordDialog::PasswordDialog(wxWindow* parent, PasswordCoding coding)
    : wxDialog(parent, wxID_ANY, "Password Check") {
  SetFont(TemplateFont());
  SetClientSize(DuSize(this, 210, 62));
  new wxStaticText(this, ids::kPasswordPrompt, "Please input your BIOS setup password :", DuPoint(this, 10, 8),
                   DuSize(this, 190, 10));
  edit_ = new PasswordEdit(this, ids::kPasswordEdit, DuPoint(this, 10, 20), DuSize(this, 190, 13), coding);
  auto* ok = new wxButton(this, ids::kOk, "OK", DuPoint(this, 46, 40), DuSize(this, 50, 14));
  new wxButton(this, ids::kExit, "Cancel", DuPoint(this, 114, 40), DuSize(this, 50, 14));
  ok->SetDefault();
  SetAffirmativeId(ids::kOk);
  SetEscapeId(ids::kExit);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    confirmed_ = ConfirmPassword(edit_->Keys());
    EndModal(ids::kOk);
  }, ids::kOk);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    confirmed_ = false;
    EndModal(ids::kExit);
  }, ids::kExit);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
    confirmed_ = false;
    EndModal(ids::kExit);
  });
  CentreOnScreen();
  edit_->SetFocus();
}

bool PasswordDialog::Ask() {
  confirmed_ = false;
  ShowModal();
  return confirmed_;
}

}  // namespace brim
