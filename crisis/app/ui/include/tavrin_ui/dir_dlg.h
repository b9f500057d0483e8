// CDirDlg: the folder chooser of the Browse button. On OK it returns a file
// "Junk" in the chosen folder, which the caller cuts back to the folder.
#pragma once
#include <wx/window.h>

#include <string>

namespace tavrin_ui {

extern const char kDirDialogCaption[];

// False on Cancel.
bool RunDirDialog(wxWindow* parent, const std::string& initialFolder, std::string& fileName);

}  // namespace tavrin_ui
