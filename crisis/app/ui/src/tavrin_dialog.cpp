#include "tavrin_ui/tavrin_dialog.h"

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/menu.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tipwin.h>
#include <wx/utils.h>

#include <algorithm>

#include "crisis_app/control_ids.h"
#include "tavrin_ui/about_dlg.h"
#include "tavrin_ui/dir_dlg.h"

namespace tavrin_ui {

using namespace crisis;

const char kDialogCaption[] =
    "Quorvel Crisis Disk Build(For  internal test,do not release to customers )";

TavrinDialog::TavrinDialog(wxWindow* parent, MediumFactory& media, DriveSource& drives,
                           const std::string& cmdLine)
    : wxDialog(parent, wxID_ANY, kDialogCaption, wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      controls_(this) {
  SetClientSize(DuSize(221, 278));
  SetIcon(wxArtProvider::GetIcon(wxART_HARDDISK, wxART_FRAME_ICON));
  CreateControls();
  logic_ = std::make_unique<CTavrinDlg>(controls_, *this, media, drives);
  logic_->m_strCmdLine = cmdLine;

  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { logic_->OnStart(); }, IDC_START);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { logic_->SaveHistoryAndClose(); }, IDC_CLOSE);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { logic_->OnBrowse(); }, IDC_BROWSE);
  for (int id : {IDC_MINIDOS, IDC_FULLDOS, IDC_FORMAT_ONLY})
    Bind(wxEVT_RADIOBUTTON, [this, id](wxCommandEvent&) { logic_->OnModeClicked(id); }, id);
  Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { logic_->OnSelectDrive(); }, IDC_DRIVE);
  // Escape and the close box end the dialog without writing the settings file.
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { logic_->OnCancel(); });
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
    if (e.GetKeyCode() == WXK_ESCAPE)
      logic_->OnCancel();
    else
      e.Skip();
  });
  Bind(wxEVT_HELP, [this](wxHelpEvent& e) {
    wxWindow* w = dynamic_cast<wxWindow*>(e.GetEventObject());
    OnHelpRequest(w ? w->GetId() : wxID_ANY, e.GetPosition());
  });
  Bind(wxEVT_CONTEXT_MENU, &TavrinDialog::OnContextMenu, this);
  Bind(wxEVT_MENU, [this](wxCommandEvent&) { logic_->OnSysCommand(IDM_ABOUTBOX); }, IDM_ABOUTBOX);
}

TavrinDialog::~TavrinDialog() = default;

void TavrinDialog::CreateControls() {
  // Group boxes first, so the controls inside them are drawn on top.
  new wxStaticBox(this, wxID_ANY, "Disk Options", Du(12, 133), DuSize(140, 70));
  new wxStaticBox(this, wxID_ANY, "Disk Format", Du(13, 81), DuSize(192, 44));

  new wxRadioButton(this, IDC_REMOVABLE, "Removable", Du(22, 93), Wide(123), wxRB_GROUP);
  new wxRadioButton(this, IDC_FIXED, "Fixed", Du(22, 110), Wide(121));
  new wxButton(this, IDC_CLOSE, "&Close", Du(158, 166), DuSize(48, 14));
  new wxStaticText(this, wxID_ANY, "Project Path:", Du(14, 19), Wide(54));
  // Drop-down heights in the template size the open list; the closed box keeps its own height.
  auto* path = new wxComboBox(this, IDC_PROJECT_PATH, wxEmptyString, Du(14, 32),
                              Wide(194), 0, nullptr, wxCB_DROPDOWN);
  path->Disable();
  new wxRadioButton(this, IDC_MINIDOS, "Create &MINIDOS Crisis Disk", Du(22, 149), Wide(120),
                    wxRB_GROUP);
  new wxRadioButton(this, IDC_FULLDOS, "Create &FULLDOS Crisis Disk", Du(22, 168), Wide(125));
  new wxRadioButton(this, IDC_FORMAT_ONLY, "Format the Drive Diskette", Du(22, 186), Wide(96));
  auto* status = new wxTextCtrl(this, IDC_STATUS, wxEmptyString, Du(7, 234), DuSize(198, 12),
                                wxTE_READONLY);
  status->Disable();
  progress_ = new wxGauge(this, IDC_PROGRESS, 100, Du(10, 250), DuSize(195, 14));
  auto* browse = new wxButton(this, IDC_BROWSE, "&Browse...", Du(166, 14), DuSize(48, 14));
  browse->Disable();
  auto* start = new wxButton(this, IDC_START, "&Start", Du(158, 146), DuSize(48, 14));
  new wxStaticText(this, wxID_ANY, "Driver:", Du(13, 52), Wide(54));
  new wxChoice(this, IDC_DRIVE, Du(14, 61), Wide(194));
  new wxCheckBox(this, IDC_COMPRESS, "Compress The Bin File", Du(15, 212), Wide(186));
  // GTK complains when a radio button or check box gets less width than its
  // text needs (the templates were measured with another font): give them that much.
  for (wxWindow* w : GetChildren())
    if (dynamic_cast<wxRadioButton*>(w) || dynamic_cast<wxCheckBox*>(w))
      w->SetSize(std::max(w->GetSize().x, w->GetBestSize().x), w->GetSize().y);
  // Enter is the dialog's OK action, which starts a build.
  start->SetDefault();
  SetAffirmativeId(IDC_START);
  SetEscapeId(wxID_NONE);
}

bool TavrinDialog::Start() { return logic_->OnInitDialog(); }

void TavrinDialog::SetProgressRange(int low, int high) { progress_->SetRange(high - low); }

void TavrinDialog::SetProgress(int pos) {
  progress_->SetValue(std::max(0, std::min(pos, progress_->GetRange())));
}

void TavrinDialog::BeginWaitCursor() {
  if (waitDepth_++ == 0) wxBeginBusyCursor();
}

void TavrinDialog::EndWaitCursor() {
  if (waitDepth_ > 0 && --waitDepth_ == 0) wxEndBusyCursor();
}

void TavrinDialog::RedrawNow() {
  Refresh();
  Update();
}

void TavrinDialog::SetFocus(int controlId) {
  if (wxWindow* w = FindWindow(controlId)) w->SetFocus();
}

void TavrinDialog::EndDialog(int exitCode) {
  while (waitDepth_ > 0) EndWaitCursor();
  if (IsModal())
    EndModal(exitCode);
  else
    Hide();
}

bool TavrinDialog::ChooseFolder(const std::string& initialFolder, std::string& fileName) {
  return RunDirDialog(this, initialFolder, fileName);
}

void TavrinDialog::ShowAbout() {
  AboutDialog about(this);
  about.ShowModal();
}

void TavrinDialog::OnHelpRequest(int controlId, const wxPoint&) {
  unsigned context = HelpContextFor(controlId);
  if (context == 0 || context == kStatusHelpContext) return;
  // No help file is installed; the pop-up names the topic the item belongs to.
  new wxTipWindow(this, wxString::Format("Help topic 0x%08X", context));
}

void TavrinDialog::OnContextMenu(wxContextMenuEvent& event) {
  wxWindow* over = dynamic_cast<wxWindow*>(event.GetEventObject());
  if (over && over != this) {
    OnHelpRequest(over->GetId(), event.GetPosition());
    return;
  }
  // GTK windows have no system menu; the About item lives in the dialog's own menu.
  wxMenu menu;
  menu.Append(IDM_ABOUTBOX, "&About Tavrin...");
  PopupMenu(&menu);
}

}  // namespace tavrin_ui
