// The four pages of the main window's property sheet.
#pragma once
#include <wx/panel.h>

#include <functional>
#include <memory>

#include "ui/color_list_box.h"
#include "ui/keep_data_page.h"
#include "ui/verify_page.h"
#include "ui/wx_controls.h"

namespace brim {

// General: load, save and flash, and the three lists the program reports in.
class GeneralPageView : public wxPanel {
 public:
  GeneralPageView(wxWindow* parent, std::function<void(int id)> onButton);
  ColorListBox* RomInfo() { return romInfo_; }
  ColorListBox* NewImageInfo() { return newInfo_; }
  ColorListBox* Status() { return status_; }

 private:
  ColorListBox* romInfo_;
  ColorListBox* newInfo_;
  ColorListBox* status_;
};

// Keep Data: rules in KeepDataPage; built on its first showing.
class KeepDataPageView : public wxPanel {
 public:
  explicit KeepDataPageView(wxWindow* parent);
  // The sheet's first selection of the page.
  void InitOnce();
  bool Initialised() const { return initialised_; }
  KeepDataPage& Logic() { return logic_; }

 private:
  WxControls controls_;
  KeepDataPage logic_;
  bool initialised_ = false;
};

class VerifyPageView : public wxPanel {
 public:
  // Template rows (dialog units) of the left column of "Verify Setting" and
  // of "Other Setting"; the last one is the "Make WSET.TXT" button.
  static constexpr int kLeftColumnRows[] = {40, 56, 72, 88};
  static constexpr int kOtherRows[] = {128, 144, 160, 176, 196};

  explicit VerifyPageView(wxWindow* parent);
  void InitOnce();
  VerifyPage& Logic() { return logic_; }

 private:
  void SetCheckNone();
  void CloseUpHiddenRows();
  WxControls controls_;
  VerifyPage logic_;
  bool initialised_ = false;
};

class AboutPageView : public wxPanel {
 public:
  explicit AboutPageView(wxWindow* parent);
};

extern const char kLegalNotice[];  // string 103, on a control that is never shown

}  // namespace brim
