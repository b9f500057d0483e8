// The programming progress window, the start-up logo and the About box.
#pragma once
#include <wx/bitmap.h>
#include <wx/dialog.h>
#include <wx/gauge.h>
#include <wx/stattext.h>
#include <wx/timer.h>

namespace brim {

// "Programming": modeless, hidden except while the ROM is programmed.
// Beside the bar: its percentage and the time since the dialog was shown.
class ProgrammingDialog : public wxDialog {
 public:
  static constexpr int kRange = 20000;
  explicit ProgrammingDialog(wxWindow* parent);
  wxGauge* Bar() { return bar_; }
  wxStaticText* ProgressLabel() { return label_; }
  // Moves the bar and updates the text beside it.
  void SetBarPosition(int position);
  // Showing centres the dialog on its owner and starts the clock.
  bool Show(bool show = true) override;

 private:
  void UpdateLabel();

  wxGauge* bar_;
  wxStaticText* label_;
  wxTimer clock_;
  wxLongLong shownAt_ = 0;
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
