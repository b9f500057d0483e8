// What brimlet's start-up and flash need from a user interface: the main
// window with its General page, or the terminal when there is no display.
#pragma once
#include "core/flash_sequence.h"
#include "core/startup.h"

namespace brim {

class BrimletUi {
 public:
  virtual ~BrimletUi() = default;
  // Builds the window objects (not shown) and installs the General page's
  // message list and load host for the image code.
  virtual void CreateMainWindow(StartupHost& host) = 0;
  // Shows the main window modally; its first paint runs
  // RunAutomaticFlash(Settings(), host) once and then closes the window.
  virtual void ShowMainWindowModal(StartupHost& host) = 0;
  virtual void DestroyMainWindow() = 0;
  // The setup password question; true when the firmware confirmed it.
  virtual bool AskSetupPassword() = 0;
  // The current ROM image was (re)read: show its information.
  virtual void ShowRomInfo() = 0;
  // The new image's bytes are gone: empty its information list.
  virtual void ClearNewImageInfo() = 0;
  // The status list and programming dialog of the flash sequence.
  virtual FlashView& View() = 0;
};

}  // namespace brim
