#include "core/startup.h"

#include "core/command_line.h"
#include "core/exit_status.h"
#include "core/settings_file.h"
#include "core/settings_location.h"
#include "core/settings_word.h"
#include "core/usage_text.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/named_mutex.h"

namespace brim {

const char kAlreadyRunningText[] = "Brimlet have been running !";

namespace {
const char kErrorTitle[] = "Brimlet Error";

// Exit status: errorCode, and never 0 for a start-up that failed.
int FailedExit(FlashSettings& s) {
  if (s.errorCode == 0) s.errorCode = kErrDevice;
  return s.errorCode;
}
}  // namespace

void RunAutomaticFlash(FlashSettings& s, StartupHost& host) {
  host.LoadNewImage();
  // A load that failed has set errorCode; nothing stale is flashed after it.
  if (!s.imageLoaded) {
    s.autoFlashPending = 0;
    return;
  }
  if (s.keepAll) s.settingsWord |= kKeepAllBits;
  BuildSettingsWord(s);
  s.autoFlashPending = 0;
  host.RunFlashSequence();
}

int RunStartup(const std::string& commandLine, const std::string& exePath, StartupHost& host) {
  FlashSettings& s = Settings();

  plat::NamedMutex mutex("Brimlet");
  const plat::LockResult lock = mutex.Acquire();
  if (lock != plat::LockResult::kAcquired) {
    // A second instance must not touch the driver service while the first may be flashing.
    FlashSettings probe;
    std::string text = commandLine;
    ParseCommandLine(text, probe);
    s.silentMode = probe.silentMode;
    if (lock == plat::LockResult::kBusy) {
      s.alreadyRunning = 1;
      if (!s.silentMode)
        plat::MessageBox(kAlreadyRunningText, "Brimlet", plat::MB_OK | plat::MB_ICONINFORMATION);
      Refuse(s, kExitAlreadyRunning,
             std::string(kAlreadyRunningText) + " (" + mutex.LockPath() + " is held by another process)");
      return kExitAlreadyRunning;
    }
    const std::string why = "Brimlet cannot take its lock file " + mutex.LockPath() + ": " +
                            mutex.ErrorText() + ".\nFlash procedure will be cancelled.";
    if (!s.silentMode)
      plat::MessageBox(why, kErrorTitle, plat::MB_OK | plat::MB_TOPMOST | plat::MB_ICONEXCLAMATION);
    Refuse(s, kExitLockUnavailable, why);
    return kExitLockUnavailable;
  }
  s.alreadyRunning = 0;

  // The folder is cut at the last separator, so a folder named like the
  // program cannot shorten it.
  s.exeFileName = plat::BaseName(exePath);
  s.exeDir = plat::DirectoryOf(exePath);
  s.iniPath = SettingsFilePath(s.exeDir);
  const std::string driverFile = s.exeDir + "flash.sys";

  if (!host.OpenDriverService(driverFile)) {
    // The fixed text first; then where the module was looked for and why it failed.
    std::string text = "Open flash.sys Fail\n" + (driverFile.empty() ? "flash.sys" : driverFile);
    const std::string why = host.DriverServiceMessage();
    if (!why.empty()) text += ": " + why;
    plat::MessageBox(text, kErrorTitle,
                     plat::MB_OK | plat::MB_TOPMOST | plat::MB_ICONINFORMATION);
    return FailedExit(s);
  }
  if (!host.OpenFlashDevice()) {
    plat::MessageBox("Device Driver Open Fail !", kErrorTitle,
                     plat::MB_OK | plat::MB_TOPMOST | plat::MB_ICONEXCLAMATION);
    s.errorCode = kErrDevice;
    ImageStatus() |= kStatusDeviceOpenFailed;
    host.CloseFlashDevice();
    return s.errorCode;
  }
  if (!host.CheckBiosSupport()) {
    host.CloseFlashDevice();
    return FailedExit(s);
  }
  host.CloseFlashDevice();

  SetStartupDefaults(s);
  if (!commandLine.empty()) {
    std::string text = commandLine;
    ParseCommandLine(text, s);
  } else {
    s.commandLineOptions = 0;
  }
  // The installed program checks the model, size and release of an image it
  // is given; setting.ini, /force and a package's own settings still rule.
  if (IsPrivateFolder(s.exeDir) && !s.forceNoVerify)
    s.verifyModelId = s.verifySize = s.verifyReleaseDate = 1;
  ReadSettingsFile(s, s.iniPath);
  s.autoFlashPending = 1;

  if (s.showHelp) {
    plat::MessageBox(UsageText(), "Brimlet", plat::MB_OK | plat::MB_ICONINFORMATION);
    return 0;
  }

  // A cut name could name another file; the completed path must fit as well.
  const bool relativeName = s.fileNameRelative && !s.commandLineFileName.empty();
  if (s.fileNameTooLong ||
      (relativeName && s.exeDir.size() + s.commandLineFileName.size() > kMaxPathChars)) {
    const char text[] =
        "The file name given with /F: is longer than 259 characters.\nFlash procedure will be cancelled.";
    if (!s.silentMode)
      plat::MessageBox(text, kErrorTitle, plat::MB_OK | plat::MB_TOPMOST | plat::MB_ICONEXCLAMATION);
    Refuse(s, kExitFileNameTooLong, text);
    return kExitFileNameTooLong;
  }

  host.ConstructMainWindow();
  // Nothing was read while another process had the machine: nothing to show or flash.
  if (s.machineRefused) {
    host.DestroyMainWindow();
    return s.machineRefused;
  }
  if (!s.verifyRomFile.empty()) {
    const int status = (ImageStatus() & kStatusRomReadFailed) ? kErrDevice
                                                                : host.VerifyRomAgainstFile(s.verifyRomFile);
    host.DestroyMainWindow();
    return status;
  }
  if ((ImageStatus() & kStatusNoMainWindow) == 0) {
    if (s.silentMode) {
      RunAutomaticFlash(s, host);
    } else {
      BuildSettingsWord(s);
      host.ShowMainWindow();
    }
  }
  host.DestroyMainWindow();
  if (s.errorCode == 0 && (ImageStatus() & kStatusNoMainWindow) != 0) return kErrDevice;
  return ExitStatusOf(s);
}

}  // namespace brim
