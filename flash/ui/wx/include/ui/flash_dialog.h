// Brimlet's main window: the property sheet on the frame's place, the
// start-up check box, "Save Setting", "Help", "Exit", and the tray icon.
#pragma once
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/notebook.h>
#include <wx/taskbar.h>

#include <functional>
#include <memory>

#include "ui/sheet_pages.h"

namespace brim {

class FlashDialog : public wxDialog {
 public:
  struct Hooks {
    std::function<void()> firstPaint;         // the automatic load and flash
    std::function<void(int id)> generalButton;  // Load, Save ROM, Flash
  };
  explicit FlashDialog(Hooks hooks);
  ~FlashDialog() override;

  // The window's initialisation before it is shown: logo, About item, icon,
  // start-up check box, title, ROM report.
  void Initialise();

  wxNotebook* Sheet() { return sheet_; }
  GeneralPageView* General() { return general_; }
  KeepDataPageView* KeepData() { return keep_; }
  VerifyPageView* Verify() { return verify_; }
  wxCheckBox* LaunchAtStartup() { return launch_; }

  // Selects a page as a click on its tab does (creating its contents once).
  void SelectPage(size_t index);
  // The OK command: into the tray, when the desktop has one.
  void MinimiseToTray();
  void RestoreFromTray();
  bool InTray() const { return tray_ != nullptr; }
  // A new image was loaded (message 1125): refresh Keep Data once it was
  // shown; during a flash, once the flash has ended.
  void NewImageLoaded();
  // While the ROM is programmed and read back the pages and buttons that
  // would change the settings or start another action are disabled.
  void SetProgramming(bool programming);
  // A flash sequence has returned: a refresh held back during it runs now.
  void FlashEnded();
  void ShowAbout();

 private:
  void OnPaint(wxPaintEvent& event);
  void OnCommand(int id);
  void OnCharHook(wxKeyEvent& event);
  void Close(int code);
  // True, after saying why in the status list, while a flash runs: the
  // window must stay while the ROM is written.
  bool RefusedWhileFlashing();

  Hooks hooks_;
  wxNotebook* sheet_;
  GeneralPageView* general_;
  KeepDataPageView* keep_;
  VerifyPageView* verify_;
  wxCheckBox* launch_;
  std::unique_ptr<wxTaskBarIcon> tray_;
  bool painted_ = false;
  bool refreshWhenFlashed_ = false;
};

extern const char kMainWindowTitle[];  // "Brimlet V1.05.08"
// The status line when closing is asked for while a flash runs.
extern const char kCannotCloseLine[];

}  // namespace brim
