#include "ui/sheet_pages.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include <initializer_list>
#include <utility>

#include "core/flash_settings.h"
#include "ui/brimlet_art.h"
#include "ui/control_ids.h"
#include "ui/dialog_units.h"
#include "ui/small_dialogs.h"

namespace brim {

const char kLegalNotice[] =
    "Brimlet is provided as is, without warranty of any kind.\n"
    "Flashing a BIOS that was not made for this machine can leave it unable to start.\n"
    "Keep a crisis recovery disk at hand before updating.\n"
    "Use at your own risk.";

namespace {

void GroupBox(wxWindow* page, const char* caption, int x, int y, int cx, int cy) {
  new wxStaticBox(page, wxID_ANY, caption, DuPoint(page, x, y), DuSize(page, cx, cy));
}

wxCheckBox* CheckBox(wxWindow* page, int id, const char* caption, int x, int y, int cx = 160) {
  // GTK needs more than the templates' 10 units of height for a check box.
  return new wxCheckBox(page, id, caption, DuPoint(page, x, y), wxSize(DuSize(page, cx, 10).x, -1));
}

void PageSize(wxWindow* page) {
  page->SetFont(TemplateFont());
  page->SetInitialSize(DuSize(page, 350, 230));
}

// The pages are disabled during a flash; a click that still arrives (from
// a queue filled before) is put back, since the settings word is in use.
bool UndoneWhileFlashing(wxCommandEvent& e) {
  if (!Settings().flashInProgress) return false;
  if (auto* box = dynamic_cast<wxCheckBox*>(e.GetEventObject())) box->SetValue(!box->GetValue());
  return true;
}

}  // namespace

GeneralPageView::GeneralPageView(wxWindow* parent, std::function<void(int id)> onButton)
    : wxPanel(parent, wxID_ANY) {
  PageSize(this);
  new wxButton(this, ids::kLoadBiosFile, "Load BIOS Binary File", DuPoint(this, 7, 7), DuSize(this, 105, 14));
  new wxButton(this, ids::kSaveRom, "Save ROM BIOS to File", DuPoint(this, 122, 7), DuSize(this, 105, 14));
  new wxButton(this, ids::kFlashBios, "Flash BIOS !", DuPoint(this, 237, 7), DuSize(this, 105, 14));
  GroupBox(this, "ROM BIOS Information", 7, 26, 166, 104);
  romInfo_ = new ColorListBox(this, ids::kRomInfoList, DuPoint(this, 12, 37), DuSize(this, 156, 88));
  GroupBox(this, "New BIOS Information", 177, 26, 166, 104);
  newInfo_ = new ColorListBox(this, ids::kNewImageInfoList, DuPoint(this, 182, 37), DuSize(this, 156, 88));
  GroupBox(this, "Program Status", 7, 133, 336, 90);
  status_ = new ColorListBox(this, ids::kStatusList, DuPoint(this, 12, 144), DuSize(this, 326, 74));
  // A selected information line does not stand out.
  romInfo_->SetHighlightColor(kWhite);
  newInfo_->SetHighlightColor(kWhite);
  Bind(wxEVT_BUTTON, [onButton](wxCommandEvent& e) { onButton(e.GetId()); });
}

KeepDataPageView::KeepDataPageView(wxWindow* parent)
    : wxPanel(parent, wxID_ANY), controls_(this), logic_(controls_, Settings()) {
  PageSize(this);
  new wxStaticText(this, wxID_ANY,
                   "Warning : The Keep Data selection in this page is for engineers only. The wrong settings can \n"
                   " damage the BIOS in the system",
                   DuPoint(this, 7, 7), DuSize(this, 336, 18));
  GroupBox(this, "Keep Data Setting", 7, 28, 336, 195);
  CheckBox(this, ids::kForceUpdateAll, "Force to update All BIOS", 15, 40);
  for (size_t i = 0; i < std::size(kKeepBoxes); ++i) {
    const int column = static_cast<int>(i) / 9, row = static_cast<int>(i) % 9;
    CheckBox(this, kKeepBoxes[i].id, kKeepBoxes[i].caption, 15 + column * 165, 58 + row * 18);
  }
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& e) {
    if (!UndoneWhileFlashing(e)) logic_.OnClicked(e.GetId());
  });
}

void KeepDataPageView::InitOnce() {
  if (initialised_) return;
  initialised_ = true;
  logic_.Init();
}

VerifyPageView::VerifyPageView(wxWindow* parent)
    : wxPanel(parent, wxID_ANY), controls_(this), logic_(controls_, Settings()) {
  PageSize(this);
  new wxStaticText(this, wxID_ANY,
                   "Warning : The Verify selection in this page is for engineers only. The wrong settings can \n"
                   " damage the BIOS in the system",
                   DuPoint(this, 7, 7), DuSize(this, 336, 18));
  GroupBox(this, "Verify Setting", 7, 28, 336, 84);
  CheckBox(this, ids::kVerifyAll, "Verify All", 15, kLeftColumnRows[0]);
  CheckBox(this, ids::kCheckSize, "Check BIOS size", 15, kLeftColumnRows[1]);
  CheckBox(this, ids::kVerifyModelId, "Verify Model ID", 15, kLeftColumnRows[2]);
  CheckBox(this, ids::kVerifyChecksum, "Verify CheckSum", 15, kLeftColumnRows[3]);
  CheckBox(this, ids::kVerifyReleaseDate, "Verify Release BIOS Date", 180, 56);
  CheckBox(this, ids::kCheckPassword, "Check Password ", 180, 72);
  CheckBox(this, ids::kCheckPower, "Check Power", 180, 88);
  GroupBox(this, "Other Setting", 7, 116, 336, 107);
  new wxRadioButton(this, ids::kAutoReboot, "Auto reboot system after update BIOS",
                    DuPoint(this, 15, kOtherRows[0]), wxSize(DuSize(this, 250, 10).x, -1), wxRB_GROUP);
  new wxRadioButton(this, ids::kAutoShutdown, "Auto shutdown after update BIOS", DuPoint(this, 15, kOtherRows[1]),
                    wxSize(DuSize(this, 250, 10).x, -1));
  // Stands for "neither": a radio group always has one member on.
  (new wxRadioButton(this, wxID_ANY, "", DuPoint(this, 0, 0)))->Hide();
  CheckBox(this, ids::kLoadCmosDefault, "Load CMOS default when system reboot after update BIOS", 15, kOtherRows[2],
           300);
  CheckBox(this, ids::kExecuteFromNewBios, "Execute flash module from new BIOS", 15, kOtherRows[3], 250);
  new wxButton(this, ids::kMakeWset, "Make WSET.TXT", DuPoint(this, 15, kOtherRows[4]), DuSize(this, 70, 14));
  for (auto [id, caption] : {std::pair{ids::kHiddenReboot, "Auto reboot system after update BIOS"},
                             std::pair{ids::kHiddenShutdown, "Auto ShutDown System after update BIOS"}}) {
    wxCheckBox* hidden = CheckBox(this, id, caption, 200, 196);
    hidden->Hide();
    hidden->Disable();
  }
  SetCheckNone();
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& e) {
    if (!UndoneWhileFlashing(e)) logic_.OnClicked(e.GetId());
  });
  Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent& e) {
    if (UndoneWhileFlashing(e)) return;
    // Clicking one radio button turns the other off: its bit goes with it.
    const int other = e.GetId() == ids::kAutoReboot ? ids::kAutoShutdown : ids::kAutoReboot;
    logic_.OnClicked(other);
    logic_.OnClicked(e.GetId());
  });
  Bind(wxEVT_BUTTON, [this](wxCommandEvent& e) {
    if (!UndoneWhileFlashing(e)) logic_.OnClicked(e.GetId());
  });
}

void VerifyPageView::CloseUpHiddenRows() {
  // A box the layout hides leaves no gap: the controls below it move up a
  // row (16 units, the templates' row step).
  auto closeUp = [this](std::initializer_list<std::pair<int, int>> column) {
    int skipped = 0;
    for (auto [id, y] : column) {
      wxWindow* w = FindWindow(id);
      if (!w) continue;
      if (!w->IsShown()) {
        skipped += 16;
        continue;
      }
      w->Move(wxPoint(w->GetPosition().x, DuPoint(this, 0, y - skipped).y));
    }
  };
  closeUp({{ids::kVerifyAll, kLeftColumnRows[0]},
           {ids::kCheckSize, kLeftColumnRows[1]},
           {ids::kVerifyModelId, kLeftColumnRows[2]},
           {ids::kVerifyChecksum, kLeftColumnRows[3]}});
  closeUp({{ids::kAutoReboot, kOtherRows[0]},
           {ids::kAutoShutdown, kOtherRows[1]},
           {ids::kLoadCmosDefault, kOtherRows[2]},
           {ids::kExecuteFromNewBios, kOtherRows[3]},
           {ids::kMakeWset, kOtherRows[4]}});
}

void VerifyPageView::SetCheckNone() { controls_.SetCheck(ids::kAutoReboot, false); }

void VerifyPageView::InitOnce() {
  if (initialised_) return;
  initialised_ = true;
  SetCheckNone();
  logic_.Init();
  CloseUpHiddenRows();
}

AboutPageView::AboutPageView(wxWindow* parent) : wxPanel(parent, wxID_ANY) {
  PageSize(this);
  new wxStaticBitmap(this, wxID_ANY, AppIconBitmap(), DuPoint(this, 20, 20));
  new wxStaticText(this, wxID_ANY, kVersionLine, DuPoint(this, 50, 22), DuSize(this, 200, 10));
  new wxStaticText(this, wxID_ANY, kMakerNotice, DuPoint(this, 50, 38), DuSize(this, 290, 20));
  auto* legal = new wxStaticText(this, ids::kAboutNotice, "", DuPoint(this, 20, 70), DuSize(this, 320, 40));
  legal->Hide();
  legal->SetLabel(kLegalNotice);
}

}  // namespace brim
