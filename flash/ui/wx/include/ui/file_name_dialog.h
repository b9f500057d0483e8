// "Enter File Name": names an image to load or a file to save the ROM into.
#pragma once
#include <wx/dialog.h>
#include <wx/textctrl.h>

#include <string>

namespace brim {

class FileNameDialog : public wxDialog {
 public:
  explicit FileNameDialog(wxWindow* parent);
  // Shows the dialog; false when cancelled. The name stays for the next time.
  bool Ask(std::string& name);
  bool Cancelled() const { return cancelled_; }
  const std::string& FileName() const { return fileName_; }
  // The open-file dialog's wildcard for the current ROM image's layout.
  static wxString Wildcard();

 private:
  void OnBrowse();
  wxTextCtrl* edit_;
  std::string fileName_;
  bool cancelled_ = false;
};

}  // namespace brim
