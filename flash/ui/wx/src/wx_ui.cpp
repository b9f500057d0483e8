#include "ui/wx_ui.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>

#include <thread>

#include "app/automatic_image.h"
#include "image/image_loader.h"
#include "image/info_report.h"
#include "image/save_rom.h"
#include "ui/control_ids.h"
#include "ui/password_check.h"
#include "ui/password_dialog.h"

namespace brim {

namespace {

bool g_wxStarted = false;

class BrimletApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};

}  // namespace

bool StartWx(int& argc, char** argv) {
  if (g_wxStarted) return true;
  wxApp::SetInstance(new BrimletApp);
  if (!wxEntryStart(argc, argv)) return false;
  if (!wxTheApp->CallOnInit()) {
    wxEntryCleanup();
    return false;
  }
  wxTheApp->SetAppName("Brimlet");
  g_wxStarted = true;
  return true;
}

void StopWx() {
  if (!g_wxStarted) return;
  g_wxStarted = false;
  wxEntryCleanup();
}

bool WxStarted() { return g_wxStarted; }

WxUi::WxUi() { previousBoxes_ = plat::SetMessageBoxBackend(&boxes_); }

WxUi::~WxUi() {
  DestroyMainWindow();
  plat::SetMessageBoxBackend(previousBoxes_);
}

void WxUi::CreateMainWindow(StartupHost& host) {
  host_ = &host;
  FlashDialog::Hooks hooks;
  hooks.firstPaint = [this] {
    busy_ = true;
    RunAutomaticFlash(Settings(), *host_);
    busy_ = false;
    if (window_) window_->FlashEnded();
  };
  hooks.generalButton = [this](int id) { OnGeneralButton(id); };
  window_ = new FlashDialog(std::move(hooks));
  wxTheApp->SetTopWindow(window_);
  fileName_ = new FileNameDialog(window_);
  programming_ = new ProgrammingDialog(window_);
  previousList_ = SetMessageList(this);
  previousHost_ = SetLoadHost(this);
  installed_ = true;
}

void WxUi::InitialiseWindow() {
  window_->Initialise();
  ShowRomInfo();
}

void WxUi::ShowMainWindowModal(StartupHost& host) {
  host_ = &host;
  // Without an image to flash (an installed brimlet carries none) the first
  // paint has nothing to do: the window stays for its buttons.
  if (Settings().autoFlashPending && !AutomaticImageAvailable()) Settings().autoFlashPending = 0;
  InitialiseWindow();
  window_->ShowModal();
}

void WxUi::DestroyMainWindow() {
  if (installed_) {
    SetMessageList(previousList_);
    SetLoadHost(previousHost_);
    installed_ = false;
  }
  if (window_) {
    if (wxTheApp && wxTheApp->GetTopWindow() == window_) wxTheApp->SetTopWindow(nullptr);
    window_->Destroy();  // its dialogs go with it
    window_ = nullptr;
    fileName_ = nullptr;
    programming_ = nullptr;
  }
}

bool WxUi::AskSetupPassword() {
  PasswordDialog dialog(nullptr, CurrentPasswordCoding());
  const bool confirmed = dialog.Ask();
  dialog.Destroy();
  return confirmed;
}

void WxUi::ShowRomInfo() {
  if (window_) brim::ShowRomInfo(*window_->General()->RomInfo());
}

void WxUi::ClearNewImageInfo() {
  if (window_) window_->General()->NewImageInfo()->Clear();
}

void WxUi::AppendStatusLine(const std::string& line) { AppendAndSelect(line); }

void WxUi::ShowProgrammingDialog(bool shown) {
  if (window_) window_->SetProgramming(shown);
  if (!programming_) return;
  programming_->Show(shown);
  if (shown) programming_->Raise();
}

void WxUi::ShowProgress(const ProgressShown& progress) {
  if (programming_) programming_->ShowProgress(progress);
}

void WxUi::PumpMessages() {
  if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) loop->YieldFor(wxEVT_CATEGORY_ALL);
}

void WxUi::Pause(std::chrono::milliseconds duration) {
  // The window keeps answering while the bar stands still.
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) {
    PumpMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void WxUi::AppendAndSelect(const std::string& line) {
  if (!window_) return;
  ColorListBox* status = window_->General()->Status();
  status->SelectLine(status->InsertMessageLine(-1, line));
}

void WxUi::InsertAtTop(const std::string& line) {
  if (!window_) return;
  ColorListBox* status = window_->General()->Status();
  status->InsertMessageLine(status->FirstVisibleLine(), line);
}

bool WxUi::ChooseImageFile(std::string& path) { return fileName_ && fileName_->Ask(path); }

void WxUi::NewImageLoaded() {
  if (!window_) return;
  window_->NewImageLoaded();
  ShowNewImageInfo(*window_->General()->NewImageInfo());
}

void WxUi::OnGeneralButton(int id) {
  // A second action must not start while the first one pumps messages.
  if (busy_ || !host_) return;
  busy_ = true;
  switch (id) {
    case ids::kLoadBiosFile: LoadNewImage(); break;
    case ids::kSaveRom: SaveRomToFile(); break;
    case ids::kFlashBios:
      host_->RunFlashSequence();
      window_->FlashEnded();
      break;
    default: break;
  }
  busy_ = false;
}

}  // namespace brim
