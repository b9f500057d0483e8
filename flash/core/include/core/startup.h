// Brimlet's start-up routine and the automatic flash it arms.
#pragma once
#include <string>

#include "core/flash_settings.h"

namespace brim {

// What start-up needs from the other rooms of the program: the driver
// (firmware access), the main window (user interface) and the flash itself.
class StartupHost {
 public:
  virtual ~StartupHost() = default;
  // Installs/starts the driver service "flash" with driverFile and opens its device.
  virtual bool OpenDriverService(const std::string& driverFile) = 0;
  // Why the driver service failed, for the message; "" when unknown.
  virtual std::string DriverServiceMessage() const { return {}; }
  virtual bool OpenFlashDevice() = 0;
  // Shows its own message when the BIOS does not support flashing.
  virtual bool CheckBiosSupport() = 0;
  // Closes the flash device and the service's own device handle.
  virtual void CloseFlashDevice() = 0;
  // Constructs the main window object (reads the ROM, may ask the password).
  virtual void ConstructMainWindow() = 0;
  // Shows the main window modally; its first paint calls RunAutomaticFlash.
  virtual void ShowMainWindow() = 0;
  virtual void DestroyMainWindow() = 0;
  // Loads the new image (package or /F: file) into the new image record.
  virtual void LoadNewImage() = 0;
  virtual void RunFlashSequence() = 0;
  // --verify-rom: the ROM as read against the file; an exit status (0 equal,
  // 1 differing, another when the comparison could not be made).
  virtual int VerifyRomAgainstFile(const std::string& path) { (void)path; return 2; }
};

// Runs the start-up steps; returns the process exit status (core/exit_status.h).
// exePath is the executable's full path; commandLine the text after its name.
int RunStartup(const std::string& commandLine, const std::string& exePath, StartupHost& host);

// The automatic flash of silent mode and of the main window's first paint:
// load, keep-all, settings word, then the flash sequence.
void RunAutomaticFlash(FlashSettings& s, StartupHost& host);

extern const char kAlreadyRunningText[];  // "Brimlet have been running !"

}  // namespace brim
