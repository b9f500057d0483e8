#include "platform/wx_message_box.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

namespace plat {

long WxMessageStyle(unsigned flags) {
  long style = wxCENTRE;
  switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL: style |= wxOK | wxCANCEL; break;
    case MB_YESNO: style |= wxYES_NO; break;
    default: style |= wxOK; break;
  }
  switch (flags & MB_ICONMASK) {
    case MB_ICONERROR: style |= wxICON_ERROR; break;
    case MB_ICONQUESTION: style |= wxICON_QUESTION; break;
    case MB_ICONEXCLAMATION: style |= wxICON_EXCLAMATION; break;
    case MB_ICONINFORMATION: style |= wxICON_INFORMATION; break;
    default: break;
  }
  if (flags & MB_TOPMOST) style |= wxSTAY_ON_TOP;
  return style;
}

int AnswerOfWxResult(int result, unsigned flags) {
  switch (result) {
    case wxID_OK: return IDOK;
    case wxID_YES: return IDYES;
    case wxID_NO: return IDNO;
    default: return DefaultAnswer(flags);  // closed without a button
  }
}

int WxMessageBox::Show(const std::string& text, const std::string& caption, unsigned flags) {
  wxWindow* owner = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
  if (owner && !owner->IsShown()) owner = nullptr;
  wxMessageDialog box(owner, wxString::FromUTF8(text), wxString::FromUTF8(caption), WxMessageStyle(flags));
  return AnswerOfWxResult(box.ShowModal(), flags);
}

}  // namespace plat
