// Brimlet's start-up host: the driver steps of start-up, the General page,
// the new image and the flash steps, over the firmware and image rooms.
#pragma once
#include <memory>

#include "app/brimlet_ui.h"
#include "app/flash_history.h"
#include "app/general_page.h"
#include "core/flash_sequence.h"
#include "core/startup.h"
#include "firmware/driver_service.h"
#include "platform/message_box.h"

namespace brim {

class BrimletHost : public StartupHost, public FlashSteps {
 public:
  explicit BrimletHost(BrimletUi& ui);
  ~BrimletHost() override;

  // StartupHost
  bool OpenDriverService(const std::string& driverFile) override;
  std::string DriverServiceMessage() const override { return appService_.LastMessage(); }
  bool OpenFlashDevice() override;
  bool CheckBiosSupport() override;
  void CloseFlashDevice() override;
  void ConstructMainWindow() override;
  void ShowMainWindow() override;
  void DestroyMainWindow() override;
  void LoadNewImage() override;
  void RunFlashSequence() override;

  // FlashSteps
  int CheckNewImage() override;
  void MergeKeptRegions() override;
  bool WSBICheck() override;
  bool BackupCurrentRom() override;
  bool ProgramFlashROM() override;
  RomVerifyResult VerifyProgrammedRom() override;
  bool ProgrammingRequestSent() override { return programmingRequestSent_; }
  RomVerifyResult CompareWithOldRom() override;
  int BlocksThatWouldChange() override;
  int VerifyRomAgainstFile(const std::string& path) override;
  std::string BackupPath() override { return record_.backupPath; }
  uint32_t CurrentRomFlag() override;
  void RefreshCurrentRom() override;
  void DiscardNewImage() override;

 private:
  // A status line in the list (the terminal), or on stderr in silent mode.
  void Tell(const std::string& line);

  BrimletUi& ui_;
  DriverService appService_;  // the application's own, for the start-up check
  std::unique_ptr<GeneralPage> page_;
  plat::MessageBoxBackend* silentBoxes_ = nullptr;
  FlashRecord record_;  // this run's history line
  // The restore's backup: checked, then loaded with its module.
  bool LoadBackup(const std::string& path);
  // ECX of the last programming request: the window may change the settings
  // while the firmware works, and the verify must judge what was asked.
  uint32_t programmedOptionBits_ = 0x1;
  bool programmingRequestSent_ = false;
};

// Runs brimlet: start-up, then the silent flash or the main window.
// Returns the process exit status.
int BrimletMain(int argc, char** argv, BrimletUi& ui);
// `brimlet --restore FILE`: the backup put back as a silent flash would put
// an image, after its record, size and machine are checked.
int RestoreMain(const std::string& backupFile, BrimletUi& ui);
// `brimlet --verify-rom FILE`: the ROM, read under the machine's hold, against FILE.
int VerifyRomMain(const std::string& file, BrimletUi& ui);

}  // namespace brim
