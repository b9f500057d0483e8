// CTavrinDlg's window: template 102's controls at their dialog-unit
// positions, events routed to the dialog logic.
#pragma once
#include <wx/dialog.h>
#include <wx/gauge.h>

#include <memory>
#include <string>

#include "crisis_app/crisis_medium.h"
#include "crisis_app/dialog_view.h"
#include "crisis_app/drive_source.h"
#include "crisis_app/tavrin_dlg.h"
#include "tavrin_ui/wx_dialog_controls.h"

namespace tavrin_ui {

extern const char kDialogCaption[];

class TavrinDialog : public wxDialog, public crisis::DialogView {
 public:
  TavrinDialog(wxWindow* parent, crisis::MediumFactory& media, crisis::DriveSource& drives,
               const std::string& cmdLine);
  ~TavrinDialog() override;

  // The dialog's start-up; false when it ended at once (exit code -1).
  bool Start();
  crisis::CTavrinDlg& Logic() { return *logic_; }
  int ExitCode() const { return logic_->m_nExitCode; }

  // DialogView.
  void SetProgressRange(int low, int high) override;
  void SetProgress(int pos) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void RedrawNow() override;
  void SetFocus(int controlId) override;
  void EndDialog(int exitCode) override;
  bool ChooseFolder(const std::string& initialFolder, std::string& fileName) override;
  void ShowAbout() override;

 private:
  void CreateControls();
  wxPoint Du(int x, int y) { return ConvertDialogToPixels(wxPoint(x, y)); }
  wxSize DuSize(int w, int h) { return ConvertDialogToPixels(wxSize(w, h)); }
  // Template width; the height the toolkit needs (GTK's radio buttons and
  // combo boxes are taller than their Windows templates).
  wxSize Wide(int w) { return wxSize(ConvertDialogToPixels(wxSize(w, 0)).x, -1); }
  void OnHelpRequest(int controlId, const wxPoint& where);
  void OnContextMenu(wxContextMenuEvent& event);

  WxDialogControls controls_;
  std::unique_ptr<crisis::CTavrinDlg> logic_;
  wxGauge* progress_ = nullptr;
  int waitDepth_ = 0;
};

}  // namespace tavrin_ui
