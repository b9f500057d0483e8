// Brimlet without a display: the main window's work in the terminal. The
// automatic flash runs at once, questions are asked on the terminal, and
// the status lines and progress are printed.
#pragma once
#include <cstdio>
#include <string>

#include "app/brimlet_ui.h"
#include "image/load_host.h"
#include "image/message_list.h"

namespace brim {

class TerminalUi : public BrimletUi, public FlashView, public MessageList, public LoadHost {
 public:
  explicit TerminalUi(std::FILE* out = stdout);
  ~TerminalUi() override;

  // BrimletUi
  void CreateMainWindow(StartupHost& host) override;
  void ShowMainWindowModal(StartupHost& host) override;
  void DestroyMainWindow() override;
  bool AskSetupPassword() override;
  void ShowRomInfo() override;
  void ClearNewImageInfo() override {}
  FlashView& View() override { return *this; }

  // FlashView
  void AppendStatusLine(const std::string& line) override;
  void ShowProgrammingDialog(bool shown) override;
  void ShowProgress(const ProgressShown& progress) override;
  void PumpMessages() override {}
  void Pause(std::chrono::milliseconds duration) override;

  // MessageList
  void AppendAndSelect(const std::string& line) override;
  void InsertAtTop(const std::string& line) override;

  // LoadHost: only the automatic load runs here, so nobody chooses a file;
  // a loaded image is reported as the window's New BIOS Information list.
  bool ChooseImageFile(std::string&) override { return false; }
  void SaveDialogData() override {}
  void NewImageLoaded() override;

 private:
  std::FILE* out_;
  MessageList* previousList_ = nullptr;
  LoadHost* previousHost_ = nullptr;
  bool listInstalled_ = false;
  // Where the last progress output stopped: on a terminal the bar is one
  // line drawn over; elsewhere a line per tenth.
  bool barDrawn_ = false;
  int lastTenth_ = -1;
  long lastTimeLine_ = -1;
  int spinner_ = 0;
  int lastStage_ = -1;
};

// The codes the password check sends for typed text: set-1 scan codes of
// digits, letters and ';' on a US keyboard, or (Quorvel layout) the
// characters themselves in lower case. Other characters are dropped; at most 8.
std::string PasswordCodesFromText(const std::string& text, bool quorvelLayout);

}  // namespace brim
