#include "ui/file_name_dialog.h"

#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/stattext.h>

#include "image/bios_image.h"
#include "image/image_layout.h"
#include "ui/browse_filter.h"
#include "ui/control_ids.h"
#include "ui/dialog_units.h"

namespace brim {

FileNameDialog::FileNameDialog(wxWindow* parent) : wxDialog(parent, wxID_ANY, "Enter File Name") {
  SetFont(TemplateFont());
  SetClientSize(DuSize(this, 261, 61));
  new wxStaticText(this, ids::kFileNamePrompt, "Please input BIOS file name :", DuPoint(this, 10, 8),
                   DuSize(this, 240, 10));
  edit_ = new wxTextCtrl(this, ids::kFileNameEdit, "", DuPoint(this, 10, 20), DuSize(this, 185, 13));
  new wxButton(this, ids::kBrowse, "Browse....", DuPoint(this, 201, 19), DuSize(this, 50, 14));
  auto* ok = new wxButton(this, ids::kOk, "OK", DuPoint(this, 66, 40), DuSize(this, 50, 14));
  new wxButton(this, ids::kExit, "Cancel", DuPoint(this, 144, 40), DuSize(this, 50, 14));
  ok->SetDefault();
  SetAffirmativeId(ids::kOk);
  SetEscapeId(ids::kExit);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    cancelled_ = false;
    fileName_ = edit_->GetValue().utf8_string();
    EndModal(ids::kOk);
  }, ids::kOk);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    cancelled_ = true;
    EndModal(ids::kExit);
  }, ids::kExit);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
    cancelled_ = true;
    EndModal(ids::kExit);
  });
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnBrowse(); }, ids::kBrowse);
}

wxString FileNameDialog::Wildcard() {
  const bool quorvel = LayoutOf(CurrentRomImage().flagWord) == ImageLayout::kQuorvel;
  wxString wildcard;
  for (const FilterEntry& e : ParseFilter(BrowseFilter(quorvel))) {
    if (!wildcard.empty()) wildcard += "|";
    wildcard += wxString::FromUTF8(e.description) + "|" + wxString::FromUTF8(e.pattern);
  }
  return wildcard;
}

void FileNameDialog::OnBrowse() {
  wxFileDialog open(this, wxFileSelectorPromptStr, "", "", Wildcard(), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  fileName_ = open.ShowModal() == wxID_OK ? open.GetPath().utf8_string() : std::string();
  edit_->ChangeValue(wxString::FromUTF8(fileName_));
}

bool FileNameDialog::Ask(std::string& name) {
  edit_->ChangeValue(wxString::FromUTF8(fileName_));
  edit_->SetFocus();
  // Placed now: the owner may have moved since this dialog was made.
  CentreOnParent();
  ShowModal();
  name = fileName_;
  return !cancelled_;
}

}  // namespace brim
