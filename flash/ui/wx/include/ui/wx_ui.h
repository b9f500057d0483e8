// Brimlet with a display: the main window, its dialogs and the GUI boxes.
#pragma once
#include <memory>

#include "app/brimlet_ui.h"
#include "image/load_host.h"
#include "image/message_list.h"
#include "ui/file_name_dialog.h"
#include "ui/flash_dialog.h"
#include "ui/small_dialogs.h"
#include "platform/wx_message_box.h"

namespace brim {

class WxUi : public BrimletUi, public FlashView, public MessageList, public LoadHost {
 public:
  WxUi();
  ~WxUi() override;

  // BrimletUi
  void CreateMainWindow(StartupHost& host) override;
  void ShowMainWindowModal(StartupHost& host) override;
  void DestroyMainWindow() override;
  bool AskSetupPassword() override;
  void ShowRomInfo() override;
  void ClearNewImageInfo() override;
  FlashView& View() override { return *this; }

  // FlashView
  void AppendStatusLine(const std::string& line) override;
  void ShowProgrammingDialog(bool shown) override;
  void ShowProgress(const ProgressShown& progress) override;
  void PumpMessages() override;
  void Pause(std::chrono::milliseconds duration) override;

  // MessageList
  void AppendAndSelect(const std::string& line) override;
  void InsertAtTop(const std::string& line) override;

  // LoadHost
  bool ChooseImageFile(std::string& path) override;
  void SaveDialogData() override {}
  void NewImageLoaded() override;

  FlashDialog* Window() { return window_; }
  FileNameDialog* FileName() { return fileName_; }
  ProgrammingDialog* Programming() { return programming_; }
  // Runs the window's initialisation without the modal loop (for tests).
  void InitialiseWindow();

 private:
  void OnGeneralButton(int id);

  StartupHost* host_ = nullptr;
  FlashDialog* window_ = nullptr;
  FileNameDialog* fileName_ = nullptr;
  ProgrammingDialog* programming_ = nullptr;
  plat::WxMessageBox boxes_;
  plat::MessageBoxBackend* previousBoxes_ = nullptr;
  MessageList* previousList_ = nullptr;
  LoadHost* previousHost_ = nullptr;
  bool installed_ = false;
  bool busy_ = false;
};

// Starts wx on the display; false when there is none to open.
bool StartWx(int& argc, char** argv);
void StopWx();
bool WxStarted();

}  // namespace brim
