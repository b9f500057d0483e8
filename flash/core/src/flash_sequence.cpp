#include "core/flash_sequence.h"

#include <atomic>
#include <thread>

#include "core/exit_status.h"
#include "core/system_restart.h"
#include "platform/auto_reset_event.h"
#include "platform/message_box.h"
#include "platform/signal_hold.h"
#include "platform/power_status.h"
#include "platform/sleep_inhibitor.h"

namespace brim {

const char kUpdateQuestion[] =
    "The current BIOS will be replaced by another one.\nChoosing the wrong BIOS file may render your "
    "\nsystem inoperable.\nPlease close all other applications before \nupdating the BIOS.\n\nAre you "
    "sure you want to update the BIOS ?\n";
const char kRestartOffer[] =
    "The system BIOS has been successfully updated.\nThe new BIOS take effect after you reboot.\n\n"
    "Would you like to reboot now ?";

const char kRestartingLine[] = "BIOS updated successfully. Restarting the system...";
const char kShuttingDownLine[] = "BIOS updated successfully. Shutting down the system...";
const char kRomUnchangedText[] = "The flash ROM is unchanged.";
const char kCannotStopLine[] =
    "brimlet: the BIOS is being programmed and cannot be stopped safely; brimlet ends when the "
    "flash is done.\n";

namespace {

const char kWarningTitle[] = "Brimlet Warning";
const char kErrorTitle[] = "Brimlet Error";

bool Confirm(const char* text) {
  return plat::MessageBox(text, kWarningTitle,
                          plat::MB_YESNO | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST) == plat::IDYES;
}

void Error(const char* text) {
  plat::MessageBox(text, kErrorTitle, plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST);
}

}  // namespace

std::string VerifyFailureText(const RomVerifyResult& r, const std::string& backupPath) {
  std::string text = "Verify ROM Fail !\n";
  if (!r.readBack)
    text += "The ROM could not be read back after programming.\n";
  else
    text += std::to_string(r.badBlocks) + " of " + std::to_string(r.blocks) +
            " blocks (64 KiB) differ from the new BIOS.\n";
  text += "DO NOT TURN OFF POWER OR RESTART!\nFlash the BIOS again";
  if (!backupPath.empty()) text += ", or restore the backup\n" + backupPath;
  return text + ".";
}

bool PowerIsSufficient(uint8_t acLineStatus, uint8_t batteryFlag, uint8_t batteryLifePercent) {
  return acLineStatus == 1 && batteryLifePercent != 255 && batteryLifePercent >= 20 &&
         batteryFlag != 128 && batteryFlag != 4;
}

namespace {

using Clock = std::chrono::steady_clock;

// Runs `work` on a worker thread; this thread pumps the windows and, about
// ten times a second, shows what the driver says of the running request.
// One more look after the work has ended shows where the driver stopped.
template <typename Work>
void RunWatched(FlashStage stage, bool silent, FlashSteps& steps, FlashView& view, ProgressMeter& meter,
                Clock::time_point started, Work work) {
  meter.Begin(stage);
  plat::AutoResetEvent done;
  std::thread worker([&] {
    work();
    done.Set();
  });
  Clock::time_point nextLook = Clock::now();
  for (bool finished = false; !finished;) {
    finished = done.WaitFor(std::chrono::milliseconds(10));
    if (silent) continue;
    view.PumpMessages();
    const Clock::time_point now = Clock::now();
    if (finished || now >= nextLook) {
      DriverReading reading;
      const bool answered = steps.QueryProgress(&reading);
      view.ShowProgress(meter.Take(answered, reading,
                                   std::chrono::duration_cast<std::chrono::seconds>(now - started)));
      nextLook = now + std::chrono::milliseconds(100);
    }
  }
  worker.join();
}

}  // namespace

void ProgrammingRunner(FlashSettings& s, FlashSteps& steps, FlashView& view, ProgressMeter& meter) {
  std::atomic<int32_t> result{0};
  RunWatched(FlashStage::kProgramming, s.silentMode != 0, steps, view, meter, Clock::now(), [&] {
    result.store(steps.ProgramFlashROM() ? 1 : 0);
    s.programResult = result.load();
  });
  s.programResult = result.load();
}

namespace {
// Whatever the driver said, the ROM is read again, so that what the user is
// told about it (and the exit status) is what the ROM holds.
void ReportFailedProgramming(FlashSettings& s, FlashSteps& steps, FlashView& view) {
  const bool silent = s.silentMode != 0;
  const bool sent = steps.ProgrammingRequestSent();
  const RomVerifyResult now = steps.CompareWithOldRom();
  steps.CloseFlashDevice();
  const bool unchanged = now.readBack && now.badBlocks == 0;
  std::string text = "Program ROM Fail !\n";
  if (unchanged) {
    text += kRomUnchangedText;
    // Nothing was written: an error noted on the way here does not describe the ROM.
    s.errorCode = 0;
    s.refusal = sent ? kExitFailedUnchanged : kExitRefusedUnchanged;
  } else {
    s.errorCode = kErrProgramming;
    text += now.readBack ? std::to_string(now.badBlocks) + " of " + std::to_string(now.blocks) +
                               " blocks (64 KiB) differ from the old BIOS.\n"
                         : std::string("The ROM could not be read after the failure.\n");
    text += "DO NOT TURN OFF POWER OR RESTART!\nFlash the BIOS again";
    if (!steps.BackupPath().empty()) text += ", or restore the backup\n" + steps.BackupPath();
    text += ".";
  }
  if (!silent) {
    view.ShowProgrammingDialog(false);
    Error(text.c_str());
    view.AppendStatusLine(unchanged ? "Program BIOS Error: ROM unchanged !!!!!!"
                                    : "Program BIOS Error !!!!!!");
  }
  SilentNote(s, text);
}
}  // namespace

void FlashSequence(FlashSettings& s, FlashSteps& steps, FlashView& view) {
  const bool silent = s.silentMode != 0;
  s.flashInProgress = 1;
  // This sequence's outcome alone decides the exit status.
  s.flashVerified = 0;
  s.refusal = 0;
  // Every way out clears the flag; one left set would refuse suspend for good.
  struct InProgress {
    FlashSettings& s;
    ~InProgress() { s.flashInProgress = 0; }
  } inProgress{s};

  if (s.clearDmi && !silent && !Confirm("Are you sure want to clear DMI Data?"))
    return Refuse(s, kExitDeclined, "clearing the DMI data was declined");
  if (s.writeBootBlock && !silent && !Confirm("Are you sure want to write BootBlock?"))
    return Refuse(s, kExitDeclined, "writing the boot block was declined");

  if (s.verifyPower && (steps.CurrentRomFlag() & 0x02)) {
    plat::SystemPowerStatus power{};
    plat::GetSystemPowerStatus(&power);
    if (!PowerIsSufficient(power.acLineStatus, power.batteryFlag, power.batteryLifePercent)) {
      if (!silent)
        Error("No AC adapter connected or battery is lower than 20%.\nFlash procedure will be cancelled.");
      return Refuse(s, kExitPowerCheck, "no AC adapter connected or battery is lower than 20% (power check)");
    }
  }

  if (!s.fileFromCommandLine && !silent &&
      plat::MessageBox(kUpdateQuestion, kWarningTitle,
                       plat::MB_OKCANCEL | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST) != plat::IDOK)
    return Refuse(s, kExitDeclined, "the update was declined");

  // Merging from or checking against an unread ROM would destroy the machine's own data.
  if (ImageStatus() & kStatusRomReadFailed) {
    s.errorCode = kErrDevice;
    if (!silent) {
      Error("The current BIOS could not be read.\nFlash procedure will be cancelled.");
      view.AppendStatusLine("Read current BIOS Error !!!!!!");
    }
    SilentNote(s, "refused: the current BIOS could not be read");
    return;
  }

  // The check has reported; the F-segment check alone leaves errorCode as it was.
  const int check = steps.CheckNewImage();
  if (check == kCheckResultNoFSegment && s.errorCode == 0) s.refusal = kExitFSegmentCheck;
  if (check != 0) return;
  steps.MergeKeptRegions();

  if (!steps.OpenFlashDevice()) {
    s.errorCode = kErrDevice;
    if (!silent) Error("Device Driver Open Fail !");
    SilentNote(s, "refused: Device Driver Open Fail !");
    return;
  }
  if ((ImageStatus() & kStatusGeometryFromIni) == 0 && !steps.WSBICheck()) {
    s.errorCode = kErrDevice;
    if (!silent) Error("Check BIOS Support Fail !");
    SilentNote(s, "refused: Check BIOS Support Fail !");
    steps.CloseFlashDevice();
    return;
  }
  if (s.dryRun) {
    const int blocks = steps.BlocksThatWouldChange();
    const std::string text = "Dry run: every check passed; " +
                             (blocks < 0 ? std::string("an unknown number of") : std::to_string(blocks)) +
                             " block(s) of 64 KiB would change. Nothing was backed up or written.";
    if (!silent) view.AppendStatusLine(text);
    SilentNote(s, text);
    steps.CloseFlashDevice();
    return;
  }
  // No backup, no flash: the backup is the way back from a bad image or a cut-off run.
  if (!steps.BackupCurrentRom()) {
    s.refusal = kExitNoBackup;
    steps.CloseFlashDevice();
    return;
  }

  if (!silent) {
    view.ShowProgrammingDialog(true);
    view.AppendStatusLine("Programming.........");
  }
  ProgressMeter meter;
  const auto started = Clock::now();
  // From the first programming request on, a termination signal is noted
  // and obeyed only once the ROM is read back and the run recorded.
  plat::SignalHold::Begin(kCannotStopLine);
  {
    // The machine must not sleep while the ROM is being programmed.
    plat::SleepInhibitor noSleep("Brimlet is programming the BIOS");
    ProgrammingRunner(s, steps, view, meter);
  }
  s.imageLoaded = 0;

  if (s.programResult == 0) {
    s.flashInProgress = 0;
    return ReportFailedProgramming(s, steps, view);
  }

  // A run the firmware calls good is only good when the ROM holds what was
  // meant. The read-back is part of the flash: while the window answers
  // during it, it must stay and the settings must not change.
  RomVerifyResult verify;
  RunWatched(FlashStage::kVerifying, silent, steps, view, meter, started,
             [&] { verify = steps.VerifyProgrammedRom(); });
  s.flashInProgress = 0;
  // A programmer that reported success without changing the chip (say, one
  // whose contents it could not store) leaves the old BIOS: that is said,
  // not a half-written ROM.
  if (!verify.Passed() && verify.readBack) {
    const RomVerifyResult now = steps.CompareWithOldRom();
    if (now.readBack && now.badBlocks == 0) {
      steps.CloseFlashDevice();
      s.errorCode = 0;
      s.refusal = kExitFailedUnchanged;
      const std::string text = std::string("Verify ROM Fail !\n") + kRomUnchangedText;
      if (!silent) {
        view.ShowProgrammingDialog(false);
        Error(text.c_str());
        view.AppendStatusLine("Verify BIOS Error: ROM unchanged !!!!!!");
      }
      SilentNote(s, text);
      return;
    }
  }
  if (!verify.Passed()) {
    s.errorCode = kErrProgramming;
    steps.CloseFlashDevice();
    const std::string text = VerifyFailureText(verify, steps.BackupPath());
    if (!silent) {
      view.ShowProgrammingDialog(false);
      Error(text.c_str());
      view.AppendStatusLine(verify.readBack ? "Verify BIOS Error: " + std::to_string(verify.badBlocks) +
                                                  " block(s) differ !!!!!!"
                                            : "Verify BIOS Error: ROM not read back !!!!!!");
    }
    SilentNote(s, text);
    return;
  }
  s.flashVerified = 1;

  if (!silent) {
    view.ShowProgrammingDialog(false);
    view.AppendStatusLine("Program BIOS OK !!!!!!");
  }
  steps.CloseFlashDevice();

  if (!silent && (s.rebootAfterFlash || s.shutdownAfterFlash)) {
    // The session may end at once: the success is said first, long enough to be read.
    view.AppendStatusLine(s.rebootAfterFlash ? kRestartingLine : kShuttingDownLine);
    view.Pause(std::chrono::seconds(2));
  }
  if (s.rebootAfterFlash) RebootSystem();
  if (s.shutdownAfterFlash) ShutdownSystem();
  if (silent) return;

  if (!s.rebootAfterFlash && !s.shutdownAfterFlash &&
      plat::MessageBox(kRestartOffer, "Program Successfully", plat::MB_OKCANCEL | plat::MB_TOPMOST) ==
          plat::IDOK)
    RebootSystem();

  steps.RefreshCurrentRom();
  steps.DiscardNewImage();
}

}  // namespace brim
