#include "tavrin_ui/wx_message_box.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

namespace tavrin_ui {

int WxMessageBox::Show(const std::string& text, const std::string& caption, unsigned flags) {
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
  wxWindow* parent = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
  wxMessageDialog dlg(parent, wxString::FromUTF8(text.c_str()), wxString::FromUTF8(caption.c_str()),
                      style);
  switch (dlg.ShowModal()) {
    case wxID_OK: return plat::IDOK;
    case wxID_YES: return plat::IDYES;
    case wxID_NO: return plat::IDNO;
    default: return plat::DefaultAnswer(flags);
  }
}

}  // namespace tavrin_ui
