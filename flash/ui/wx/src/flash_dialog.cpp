#include "ui/flash_dialog.h"

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/menu.h>

#include "core/flash_settings.h"
#include "core/settings_file.h"
#include "core/system_restart.h"
#include "core/usage_text.h"
#include "platform/message_box.h"
#include "ui/brimlet_art.h"
#include "ui/color_list_box.h"
#include "ui/control_ids.h"
#include "ui/dialog_units.h"
#include "ui/power_broadcast.h"
#include "ui/small_dialogs.h"

namespace brim {

const char kMainWindowTitle[] = "Brimlet V1.05.08";
const char kCannotCloseLine[] =
    "The BIOS is being updated: brimlet cannot be closed or hidden until the update is done.";

namespace {

class TrayIcon : public wxTaskBarIcon {
 public:
  explicit TrayIcon(FlashDialog* window) {
    // Restoring deletes this icon: not from inside its own handler.
    Bind(wxEVT_TASKBAR_LEFT_DCLICK,
         [window](wxTaskBarIconEvent&) { window->CallAfter([window] { window->RestoreFromTray(); }); });
  }
};

}  // namespace

FlashDialog::FlashDialog(Hooks hooks)
    : wxDialog(nullptr, wxID_ANY, "Brimlet", wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxMINIMIZE_BOX),
      hooks_(std::move(hooks)) {
  SetFont(TemplateFont());
  SetClientSize(DuSize(this, 380, 280));
  // The sheet takes the place of the invisible frame control 1000 (7,0 to 373,257).
  sheet_ = new wxNotebook(this, ids::kSheetFrame, DuPoint(this, 7, 0), DuSize(this, 366, 257));
  general_ = new GeneralPageView(sheet_, [this](int id) { hooks_.generalButton(id); });
  keep_ = new KeepDataPageView(sheet_);
  verify_ = new VerifyPageView(sheet_);
  sheet_->AddPage(general_, "General Page", true);
  sheet_->AddPage(keep_, "Keep Data Page");
  sheet_->AddPage(verify_, "Verify Page");
  sheet_->AddPage(new AboutPageView(sheet_), "About");

  launch_ = new wxCheckBox(this, ids::kLaunchAtStartup, "Launch program at system startup", DuPoint(this, 7, 262),
                           wxSize(DuSize(this, 150, 10).x, -1));
  auto* ok = new wxButton(this, ids::kOk, "OK", DuPoint(this, 160, 259), DuSize(this, 50, 14));
  ok->Hide();
  ok->Disable();
  new wxButton(this, ids::kSaveSetting, "Save Setting", DuPoint(this, 215, 259), DuSize(this, 50, 14));
  new wxButton(this, ids::kHelp, "Help", DuPoint(this, 269, 259), DuSize(this, 50, 14));
  new wxButton(this, ids::kExit, "Exit", DuPoint(this, 323, 259), DuSize(this, 50, 14));
  SetEscapeId(ids::kExit);

  Bind(wxEVT_BUTTON, [this](wxCommandEvent& e) { OnCommand(e.GetId()); });
  Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
    SetAutoStart(launch_->GetValue(), Settings().exeDir);
  }, ids::kLaunchAtStartup);
  Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [this](wxBookCtrlEvent& e) {
    if (e.GetEventObject() == sheet_) SelectPage(static_cast<size_t>(e.GetSelection()));
    e.Skip();
  });
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& e) {
    if (RefusedWhileFlashing() && e.CanVeto()) return e.Veto();
    Close(ids::kExit);
  });
  Bind(wxEVT_CHAR_HOOK, &FlashDialog::OnCharHook, this);
  Bind(wxEVT_PAINT, &FlashDialog::OnPaint, this);
  general_->Bind(wxEVT_PAINT, &FlashDialog::OnPaint, this);
  // GTK has no system menu: the About item lives in the window's context menu.
  Bind(wxEVT_CONTEXT_MENU, [this](wxContextMenuEvent&) {
    wxMenu menu;
    menu.Append(ids::kAboutCommand, "&About Brimlet...");
    if (GetPopupMenuSelectionFromUser(menu) == ids::kAboutCommand) ShowAbout();
  });
#ifdef wxHAS_POWER_EVENTS
  Bind(wxEVT_POWER_SUSPENDING, [](wxPowerEvent& e) {
    if (PowerBroadcastAnswer(kPbtApmQuerySuspend, Settings().flashInProgress != 0)) e.Veto();
  });
#endif
}

FlashDialog::~FlashDialog() {
  if (tray_) tray_->RemoveIcon();
}

void FlashDialog::Initialise() {
  if (Settings().showLogo) {
    LogoDialog logo(nullptr);
    logo.ShowModal();
  }
  SetIcon(AppIcon());
  launch_->SetValue(IsAutoStartSet() != 0);
  SetTitle(kMainWindowTitle);
  CentreOnScreen();
}

void FlashDialog::SelectPage(size_t index) {
  if (sheet_->GetSelection() != static_cast<int>(index)) sheet_->ChangeSelection(index);
  if (index == 1) keep_->InitOnce();
  if (index == 2) verify_->InitOnce();
}

void FlashDialog::OnPaint(wxPaintEvent& event) {
  if (event.GetEventObject() == this) wxPaintDC dc(this);
  event.Skip(event.GetEventObject() != this);
  if (painted_ || IsIconized() || !Settings().autoFlashPending) return;
  painted_ = true;
  // Runs after the paint, in the window's own event loop.
  CallAfter([this] {
    if (hooks_.firstPaint) hooks_.firstPaint();
    Close(wxID_CANCEL);
  });
}

void FlashDialog::OnCommand(int id) {
  switch (id) {
    case ids::kExit:
      if (!RefusedWhileFlashing()) Close(ids::kExit);
      break;
    case ids::kHelp:
      plat::MessageBox(UsageText(), "Brimlet", plat::MB_OK | plat::MB_ICONINFORMATION);
      break;
    case ids::kSaveSetting:
      WriteSettingsFile(Settings().settingsWord, Settings().exeDir + Settings().exeFileName);
      break;
    case ids::kOk:
      MinimiseToTray();
      break;
    default:
      break;
  }
}

void FlashDialog::OnCharHook(wxKeyEvent& event) {
  const int key = event.GetKeyCode();
  if (key == WXK_ESCAPE) {
    if (!RefusedWhileFlashing()) Close(ids::kExit);
    return;
  }
  // Return reaches the hidden OK button when no other button has the focus.
  if ((key == WXK_RETURN || key == WXK_NUMPAD_ENTER) && !dynamic_cast<wxButton*>(FindFocus())) {
    MinimiseToTray();
    return;
  }
  event.Skip();
}

void FlashDialog::MinimiseToTray() {
  // Without a notification area the window would be lost: it stays.
  if (tray_ || !wxTaskBarIcon::IsAvailable() || RefusedWhileFlashing()) return;
  tray_ = std::make_unique<TrayIcon>(this);
  if (!tray_->SetIcon(AppIcon(), "Brimlet")) {
    tray_.reset();
    return;
  }
  wxTopLevelWindow::Show(false);  // wxDialog::Show(false) would end the modal run
}

void FlashDialog::RestoreFromTray() {
  if (!tray_) return;
  tray_->RemoveIcon();
  tray_.reset();
  wxTopLevelWindow::Show(true);
  Raise();
}

void FlashDialog::NewImageLoaded() {
  CallAfter([this] {
    // Not under a running flash: it would change the settings it uses.
    if (Settings().flashInProgress) {
      refreshWhenFlashed_ = true;
      return;
    }
    if (Settings().keepPageReady && keep_->Initialised()) keep_->Logic().RefreshKeepPage();
  });
}

void FlashDialog::SetProgramming(bool programming) {
  keep_->Enable(!programming);
  verify_->Enable(!programming);
  for (int id : {ids::kLoadBiosFile, ids::kSaveRom, ids::kFlashBios})
    if (wxWindow* button = general_->FindWindow(id)) button->Enable(!programming);
  if (wxWindow* save = FindWindow(ids::kSaveSetting)) save->Enable(!programming);
  launch_->Enable(!programming);
}

void FlashDialog::FlashEnded() {
  if (!refreshWhenFlashed_) return;
  refreshWhenFlashed_ = false;
  // After a successful flash the image is gone; there is nothing to refresh for.
  if (Settings().imageLoaded && Settings().keepPageReady && keep_->Initialised())
    keep_->Logic().RefreshKeepPage();
}

bool FlashDialog::RefusedWhileFlashing() {
  if (!Settings().flashInProgress) return false;
  ColorListBox* status = general_->Status();
  status->SelectLine(status->InsertMessageLine(-1, kCannotCloseLine));
  return true;
}

void FlashDialog::ShowAbout() {
  AboutDialog about(this);
  about.ShowModal();
}

void FlashDialog::Close(int code) {
  if (IsModal())
    EndModal(code);
  else
    Hide();
}

}  // namespace brim
