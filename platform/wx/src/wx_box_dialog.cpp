#include "platform/wx_box_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "platform/message_box.h"

namespace plat {

wxArtID ArtOfBoxFlags(unsigned flags) {
  switch (flags & MB_ICONMASK) {
    case MB_ICONERROR: return wxART_ERROR;
    case MB_ICONQUESTION: return wxART_QUESTION;
    case MB_ICONEXCLAMATION: return wxART_WARNING;
    case MB_ICONINFORMATION: return wxART_INFORMATION;
    default: return wxArtID();
  }
}

WxBoxDialog::WxBoxDialog(wxWindow* owner, const std::string& text, const std::string& caption,
                         unsigned flags)
    : wxDialog(owner, wxID_ANY, wxString::FromUTF8(caption), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | ((flags & MB_TOPMOST) ? wxSTAY_ON_TOP : 0)),
      art_(ArtOfBoxFlags(flags)),
      answer_(DefaultAnswer(flags)) {
  auto* top = new wxBoxSizer(wxHORIZONTAL);
  if (!art_.empty()) {
    icon_ = new wxStaticBitmap(this, wxID_ANY, wxArtProvider::GetBitmap(art_, wxART_MESSAGE_BOX));
    top->Add(icon_, 0, wxALL | wxALIGN_TOP, 12);
  }
  top->Add(new wxStaticText(this, wxID_ANY, wxString::FromUTF8(text)), 1, wxALL | wxALIGN_CENTER_VERTICAL,
           12);

  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
      AddButton(buttons, wxID_OK, "OK", IDOK, true);
      AddButton(buttons, wxID_CANCEL, "Cancel", IDCANCEL, false);
      break;
    case MB_YESNO:
      AddButton(buttons, wxID_YES, "&Yes", IDYES, true);
      AddButton(buttons, wxID_NO, "&No", IDNO, false);
      break;
    default:
      AddButton(buttons, wxID_OK, "OK", IDOK, true);
      break;
  }
  // Escape and the close box give what a closed box answers.
  SetEscapeId(wxID_NONE);
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
    if (e.GetKeyCode() == WXK_ESCAPE) EndModal(wxID_CANCEL);
    else e.Skip();
  });
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { EndModal(wxID_CANCEL); });

  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(top, 1, wxEXPAND);
  all->Add(buttons, 0, wxALIGN_CENTER | wxLEFT | wxRIGHT | wxBOTTOM, 10);
  SetSizerAndFit(all);
  if (owner)
    CentreOnParent();
  else
    CentreOnScreen();
}

void WxBoxDialog::AddButton(wxSizer* row, int id, const wxString& label, int answer, bool isDefault) {
  auto* b = new wxButton(this, id, label);
  row->Add(b, 0, wxLEFT | wxRIGHT, 4);
  if (isDefault) {
    b->SetDefault();
    b->SetFocus();
  }
  Bind(wxEVT_BUTTON, [this, answer, id](wxCommandEvent&) {
    answer_ = answer;
    EndModal(id);
  }, id);
}

}  // namespace plat
