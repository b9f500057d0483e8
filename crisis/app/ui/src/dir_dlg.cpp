#include "tavrin_ui/dir_dlg.h"

#include <wx/dirdlg.h>
#include <wx/filename.h>

namespace tavrin_ui {

const char kDirDialogCaption[] = "Choose Project Path";

bool RunDirDialog(wxWindow* parent, const std::string& initialFolder, std::string& fileName) {
  // A Windows drive root such as "c:\" means nothing here; start from home then.
  wxString start = wxString::FromUTF8(initialFolder.c_str());
  if (!wxDirExists(start)) start = wxFileName::GetHomeDir();
  wxDirDialog dlg(parent, kDirDialogCaption, start, wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  dlg.CentreOnParent();
  if (dlg.ShowModal() != wxID_OK) return false;
  std::string folder(dlg.GetPath().utf8_str());
  if (!folder.empty() && folder.back() == '/') folder.pop_back();
  fileName = folder + "/Junk";
  return true;
}

}  // namespace tavrin_ui
