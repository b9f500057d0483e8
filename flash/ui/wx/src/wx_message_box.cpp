#include "ui/wx_message_box.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

namespace brim {

long WxMessageStyle(unsigned flags) {
  long style = wxCENTRE;
  switch (flags & plat::MB_TYPEMASK) {
    case plat::MB_OKCANCEL: style |= wxOK | wxCANCEL; break;
    case plat::MB_YESNO: style |= wxYES_NO; break;
    default: style |= wxOK; break;
  }
  switch (flags & plat::MB_ICONMASK) {
    case plat::MB_ICONERROR: style |= wxICON_ERROR; break;
    case plat::MB_ICONQUESTION: style |= wxICON_QUESTION; break;
    case plat::MB_ICONEXCLAMATION: style |= wxICON_EXCLAMATION; break;
    case plat::MB_ICONINFORMATION: style |= wxICON_INFORMATION; break;
    default: break;
  }
  if (flags & plat::MB_TOPMOST) style |= wxSTAY_ON_TOP;
  return style;
}

int AnswerOfWxResult(int result, unsigned flags) {
  switch (result) {
    case wxID_OK: return plat::IDOK;
    case wxID_YES: return plat::IDYES;
    case wxID_NO: return plat::IDNO;
    default: return plat::DefaultAnswer(flags);  // closed without a button
  }
}

int WxMessageBox::Show(const std::string& text, const std::string& caption, unsigned flags) {
  wxWindow* owner = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
  if (owner && !owner->IsShown()) owner = nullptr;
  wxMessageDialog box(owner, wxString::FromUTF8(text), wxString::FromUTF8(caption), WxMessageStyle(flags));
  return AnswerOfWxResult(box.ShowModal(), flags);
}

}  // namespace brim
