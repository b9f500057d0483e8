#include "ui/small_dialogs.h"

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/time.h>

#include <algorithm>

#include "ui/brimlet_art.h"
#include "ui/control_ids.h"
#include "ui/dialog_units.h"
#include "ui/progress_text.h"

namespace brim {

const char kVersionLine[] = "Brimlet Version 1.05.08";
const char kMakerNotice[] = "Brimlet BIOS flash utility. Free to use for maintaining your own machines.";

ProgrammingDialog::ProgrammingDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Programming", wxDefaultPosition, wxDefaultSize, wxCAPTION) {
  SetFont(TemplateFont());
  SetClientSize(DuSize(this, 205, 73));
  new wxStaticText(this, ids::kProgrammingMessage,
                   "Please wait while Brimlet updates your system BIOS.\nDO NOT TURN OFF POWER!",
                   DuPoint(this, 10, 10), DuSize(this, 185, 24));
  bar_ = new wxGauge(this, ids::kProgressBar, kRange, DuPoint(this, 10, 44), DuSize(this, 135, 12));
  // GTK draws the bar's trough along the bottom of its place: the text stands on the same line.
  const int lineHeight = GetCharHeight() + 2;
  label_ = new wxStaticText(this, wxID_ANY, "",
                            wxPoint(DuPoint(this, 148, 0).x, DuPoint(this, 0, 56).y - lineHeight),
                            wxSize(DuSize(this, 47, 0).x, lineHeight), wxALIGN_RIGHT | wxST_NO_AUTORESIZE);
  // The bar stands still while the firmware finishes: the time goes on.
  clock_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { UpdateLabel(); });
}

void ProgrammingDialog::ShowProgress(const ProgressShown& progress) {
  measured_ = progress.measured;
  if (measured_)
    bar_->SetValue(std::max(0, std::min(progress.position, kRange)));
  else
    bar_->Pulse();
  UpdateLabel();
}

void ProgrammingDialog::UpdateLabel() {
  const long seconds = shownAt_ == 0 ? 0 : ((wxGetLocalTimeMillis() - shownAt_) / 1000).ToLong();
  const wxString text =
      measured_ ? ProgressText(bar_->GetValue(), kRange, seconds) : ElapsedText(seconds);
  // Redrawn only when it changes: the label would flicker ten times a second.
  if (label_->GetLabel() != text) label_->SetLabel(text);
}

bool ProgrammingDialog::Show(bool show) {
  if (show && !IsShown()) {
    // The owner is placed by now; it was not when this dialog was made.
    CentreOnParent();
    shownAt_ = wxGetLocalTimeMillis();
    measured_ = false;
    bar_->SetValue(0);
    UpdateLabel();
    clock_.Start(250);
  } else if (!show) {
    clock_.Stop();
  }
  return wxDialog::Show(show);
}

LogoDialog::LogoDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxBORDER_SIMPLE),
      bitmap_(LogoBitmap()), timer_(this, kTimerId) {
  SetClientSize(512, 384);
  CentreOnScreen();
  Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
    wxPaintDC dc(this);
    dc.DrawBitmap(bitmap_, 0, 0);
  });
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
    timer_.Stop();
    EndModal(wxID_OK);
  }, kTimerId);
  // Only the timer closes the logo.
  Bind(wxEVT_CLOSE_WINDOW, [](wxCloseEvent& e) { e.Veto(); });
  Bind(wxEVT_CHAR_HOOK, [](wxKeyEvent&) {});
  timer_.Start(kPeriodMs);
}

AboutDialog::AboutDialog(wxWindow* parent) : wxDialog(parent, wxID_ANY, "About Brimlet") {
  SetFont(TemplateFont());
  SetClientSize(DuSize(this, 264, 56));
  new wxStaticBitmap(this, wxID_ANY, AppIconBitmap(), DuPoint(this, 11, 17));
  new wxStaticText(this, wxID_ANY, kVersionLine, DuPoint(this, 40, 10), DuSize(this, 160, 8));
  new wxStaticText(this, wxID_ANY, kMakerNotice, DuPoint(this, 40, 25), DuSize(this, 216, 16));
  auto* ok = new wxButton(this, wxID_OK, "OK", DuPoint(this, 207, 7), DuSize(this, 50, 14));
  ok->SetDefault();
  CentreOnParent();
}

}  // namespace brim
