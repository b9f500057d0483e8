// CAboutDlg: template 100, "About Tavrin".
#pragma once
#include <wx/dialog.h>

namespace tavrin_ui {

class AboutDialog : public wxDialog {
 public:
  explicit AboutDialog(wxWindow* parent);
};

}  // namespace tavrin_ui
