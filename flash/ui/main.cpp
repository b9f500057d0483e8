// brimlet's entry point: the window when there is a display, else the terminal.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/brimlet_host.h"
#include "app/state_listing.h"
#include "app/terminal_ui.h"
#include "core/command_line.h"
#include "core/linux_options.h"

#ifdef BRIMLET_WINDOW
#include "ui/silent_password_ui.h"
#include "ui/wx_ui.h"
#endif

namespace {

bool SilentRequested(int argc, char** argv) {
  brim::FlashSettings probe;
  std::string text = brim::JoinArguments(argc, argv);
  brim::ParseCommandLine(text, probe);
  return probe.silentMode != 0;
}

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* v = std::getenv(name);
    if (v && *v) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Linux adaptation: --help, -h, --version and unknown '-' options are
  // answered before the window, the lock or the driver are touched.
  const brim::LinuxOptionCheck linuxOption = brim::CheckLinuxOptions(argc, argv);
  if (linuxOption.option == brim::LinuxOption::kRestore) {
    brim::TerminalUi ui;
    return brim::RestoreMain(linuxOption.argument, ui, linuxOption.otherMachine);
  }
  if (linuxOption.option == brim::LinuxOption::kVerifyRom) {
    brim::TerminalUi ui;
    return brim::VerifyRomMain(linuxOption.argument, ui);
  }
  if (linuxOption.option == brim::LinuxOption::kBackups ||
      linuxOption.option == brim::LinuxOption::kHistory)
    return brim::AnswerStateOption(linuxOption, stdout, stderr);
  if (linuxOption.option != brim::LinuxOption::kNone)
    return brim::AnswerLinuxOption(linuxOption, stdout, stderr);
#ifdef BRIMLET_WINDOW
  if (DisplayAvailable()) {
    if (SilentRequested(argc, argv)) {
      brim::SilentPasswordUi ui(argc, argv);
      const int status = brim::BrimletMain(argc, argv, ui);
      brim::StopWx();
      return status;
    }
    if (brim::StartWx(argc, argv)) {
      int status;
      {
        brim::WxUi ui;
        status = brim::BrimletMain(argc, argv, ui);
      }
      brim::StopWx();
      return status;
    }
  }
#else
  (void)SilentRequested;
  (void)DisplayAvailable;
#endif
  brim::TerminalUi ui;
  return brim::BrimletMain(argc, argv, ui);
}
