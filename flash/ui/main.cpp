// brimlet's entry point. It links no window library: with a display and a
// window wanted it loads the window module (brimlet-gui.so); silent mode
// loads it only for the setup password dialog; everything else is the terminal.
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/brimlet_host.h"
#include "app/gui_module.h"
#include "app/state_listing.h"
#include "app/terminal_ui.h"
#include "core/command_line.h"
#include "core/exit_status.h"
#include "core/linux_options.h"
#include "platform/file_system.h"
#include "platform/system_paths.h"

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

brim::GuiModuleLoad LoadWindows() {
  const std::string exe = plat::ExecutablePath();
  const std::string exeDir = exe.empty() ? std::string() : plat::DirectoryOf(exe);
  return brim::LoadGuiModule(brim::GuiModuleCandidates(exeDir, BRIMLET_INSTALLED_DIR));
}

// Silent mode with a display: the terminal's work, but the setup password is
// asked in a dialog when the window module can be had.
class SilentUi : public brim::TerminalUi {
 public:
  SilentUi(int& argc, char** argv) : argc_(argc), argv_(argv) {}
  ~SilentUi() override {
    if (started_) module_->stopWindows();
  }
  bool AskSetupPassword() override {
    if (!module_) {
      const brim::GuiModuleLoad load = LoadWindows();
      if (!load.module) {
        std::fprintf(stderr, "brimlet: no password dialog: %s\n", load.failure.c_str());
        return TerminalUi::AskSetupPassword();
      }
      module_ = load.module;
    }
    if (!started_) started_ = module_->startWindows(&argc_, argv_);
    return started_ ? module_->askSetupPassword() : TerminalUi::AskSetupPassword();
  }

 private:
  int& argc_;
  char** argv_;
  const BrimletGuiModule* module_ = nullptr;
  bool started_ = false;
};

int RunInTerminal(int argc, char** argv) {
  brim::TerminalUi ui;
  return brim::BrimletMain(argc, argv, ui);
}

}  // namespace

int main(int argc, char** argv) {
  // Blocks of 4 MiB and more come from the system and go back when freed.
  // glibc would otherwise raise this bound after the first such free and
  // keep later chip-sized blocks (libflashrom's, its dummy chip's) in the
  // heap, resident after their free; piece buffers stay below it.
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
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
  if (!DisplayAvailable()) return RunInTerminal(argc, argv);
  if (SilentRequested(argc, argv)) {
    SilentUi ui(argc, argv);
    return brim::BrimletMain(argc, argv, ui);
  }
  const brim::GuiModuleLoad load = LoadWindows();
  if (!load.module) {
    std::fprintf(stderr, "brimlet: the window cannot be shown: %s\n", load.failure.c_str());
    // Someone at a terminal can work there; started from a menu, nobody
    // could answer its questions, so nothing is done.
    if (!::isatty(STDIN_FILENO)) {
      std::fprintf(stderr, "brimlet: no terminal to work in either; nothing was done\n");
      return brim::kExitNoWindow;
    }
    std::fprintf(stderr, "brimlet: working in the terminal instead\n");
    return RunInTerminal(argc, argv);
  }
  if (!load.module->startWindows(&argc, argv)) return RunInTerminal(argc, argv);
  int status;
  {
    brim::BrimletUi* ui = load.module->createUi();
    status = brim::BrimletMain(argc, argv, *ui);
    load.module->destroyUi(ui);
  }
  load.module->stopWindows();
  return status;
}
