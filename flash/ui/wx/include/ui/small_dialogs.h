// The programming progress window, the start-up logo and the About box.
#pragma once
#include <wx/bitmap.h>
#include <wx/dialog.h>
#include <wx/gauge.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include "core/flash_progress.h"

namespace brim {

// "Programming": modeless, hidden except while the ROM is programmed.
// Beside the bar: the share programmed and verified and the time since the
// dialog was shown; only the time while the driver cannot tell the share.
class ProgrammingDialog : public wxDialog {
 public:
  static constexpr int kRange = kProgressRange;
  explicit ProgrammingDialog(wxWindow* parent);
  wxGauge* Bar() { return bar_; }
  wxStaticText* ProgressLabel() { return label_; }
  // Fills the bar to the measured share, or moves it to and fro with no number.
  void ShowProgress(const ProgressShown& progress);
  // Showing centres the dialog on its owner and starts the clock.
  bool Show(bool show = true) override;

 private:
  void UpdateLabel();

  wxGauge* bar_;
  wxStaticText* label_;
  wxTimer clock_;
  wxLongLong shownAt_ = 0;
  bool measured_ = false;
};

// The logo: about two seconds, closed by its own timer only.
class LogoDialog : public wxDialog {
 public:
  static constexpr int kTimerId = 111;
  static constexpr int kPeriodMs = 2000;
  explicit LogoDialog(wxWindow* parent);

 private:
  wxBitmap bitmap_;
  wxTimer timer_;
};

// "About Brimlet", from the main window's About command.
class AboutDialog : public wxDialog {
 public:
  explicit AboutDialog(wxWindow* parent);
};

extern const char kVersionLine[];   // "Brimlet Version 1.05.08"
extern const char kMakerNotice[];

}  // namespace brim
