// wx for the window tests: started once on the test display, and helpers
// that click controls the way the toolkit reports a click.
#pragma once
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/radiobut.h>
#include <wx/utils.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ui/wx_ui.h"

namespace brim {

class WxEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static char name[] = "flash_ui_wx_tests";
    static char* argv[] = {name, nullptr};
    static int argc = 1;
    ASSERT_TRUE(StartWx(argc, argv)) << "no display: run under xvfb-run";
    wxInitAllImageHandlers();
  }
  void TearDown() override { StopWx(); }
};

inline void Yield(int rounds = 5) {
  for (int i = 0; i < rounds; ++i) {
    wxTheApp->ProcessPendingEvents();
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) loop->YieldFor(wxEVT_CATEGORY_ALL);
    else wxYield();
  }
}

// A direct child by id (ids repeat between pages).
template <class T>
T* Child(wxWindow* parent, int id) {
  for (wxWindow* w : parent->GetChildren())
    if (w->GetId() == id) return dynamic_cast<T*>(w);
  return nullptr;
}

// Toggles a check box, or turns a radio button on, and sends its event.
inline void Click(wxWindow* parent, int id) {
  if (auto* box = Child<wxCheckBox>(parent, id)) {
    box->SetValue(!box->GetValue());
    wxCommandEvent e(wxEVT_CHECKBOX, id);
    e.SetEventObject(box);
    e.SetInt(box->GetValue());
    box->ProcessWindowEvent(e);
  } else if (auto* radio = Child<wxRadioButton>(parent, id)) {
    radio->SetValue(true);
    wxCommandEvent e(wxEVT_RADIOBUTTON, id);
    e.SetEventObject(radio);
    e.SetInt(1);
    radio->ProcessWindowEvent(e);
  } else if (auto* button = Child<wxButton>(parent, id)) {
    wxCommandEvent e(wxEVT_BUTTON, id);
    e.SetEventObject(button);
    button->ProcessWindowEvent(e);
  } else {
    ADD_FAILURE() << "no control " << id;
  }
}

// Reads the window's pixels off the display into a PNG file, for the
// README; into $BRIMLET_SCREENSHOT_DIR when set.
void Screenshot(wxWindow* w, const std::string& name);

}  // namespace brim
