// The message box as a wx dialog of its own: GTK 3's message dialog shows
// no icon, so the exclamation, information, question and stop signs that the
// box flags ask for would be lost.
#pragma once
#include <wx/artprov.h>
#include <wx/dialog.h>
#include <wx/statbmp.h>

#include <string>

namespace plat {

// The art shown for the icon bits of the flags; empty for none.
wxArtID ArtOfBoxFlags(unsigned flags);

class WxBoxDialog : public wxDialog {
 public:
  // Placed centred on owner, or on the screen without one.
  WxBoxDialog(wxWindow* owner, const std::string& text, const std::string& caption, unsigned flags);
  // The box's answer (IDOK, IDCANCEL, IDYES, IDNO) after ShowModal.
  int Answer() const { return answer_; }
  // The icon shown, or nullptr when the flags ask for none.
  wxStaticBitmap* Icon() const { return icon_; }
  wxArtID Art() const { return art_; }

 private:
  void AddButton(wxSizer* row, int id, const wxString& label, int answer, bool isDefault);

  wxStaticBitmap* icon_ = nullptr;
  wxArtID art_;
  int answer_;
};

}  // namespace plat
