// tavrin: the crisis recovery disk builder.
#include <wx/app.h>
#include <wx/log.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bios_tools_version.h"

#include "crisis_app/disk_medium.h"
#include "platform/floppy_tools.h"
#include "platform/message_box.h"
#include "tavrin_ui/tavrin_dialog.h"
#include "platform/wx_message_box.h"

namespace {

class CTavrinApp : public wxApp {
 public:
  bool OnInit() override {
    plat::SetMessageBoxBackend(&boxes_);
    // The format dialog: the user confirms before the diskette is formatted.
    plat::SetFormatDriveHandler([](unsigned drive, unsigned, unsigned) -> unsigned long {
      const std::string text = std::string("Format drive ") + static_cast<char>('A' + drive) +
                               ": as a 1.44 MB diskette?\n\nAll data on the diskette will be erased.";
      if (plat::MessageBox(text, "Format", plat::MB_OKCANCEL | plat::MB_ICONEXCLAMATION) != plat::IDOK)
        return plat::SHFMT_CANCEL;
      return plat::FormatFloppyWithMkfs(drive);
    });
    // The command line after the program name, as one text.
    for (int i = 1; i < argc; ++i) {
      if (i > 1) cmdLine_ += ' ';
      cmdLine_ += std::string(argv[i].utf8_str());
    }
    return true;
  }

  int OnRun() override {
    tavrin_ui::TavrinDialog dlg(nullptr, media_, drives_, cmdLine_);
    SetTopWindow(&dlg);
    int code = 0;
    if (dlg.Start()) {
      dlg.ShowModal();
      code = dlg.ExitCode();
    } else {
      code = dlg.ExitCode();
    }
    plat::SetMessageBoxBackend(nullptr);
    return code;
  }

 private:
  plat::WxMessageBox boxes_;
  crisis::DiskMediumFactory media_;
  crisis::SystemDriveSource drives_;
  std::string cmdLine_;
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(CTavrinApp);

namespace {
// tavrin has only its window: without a display it says so in one line.
constexpr int kExitNoDisplay = 3;

const char* DisplayName() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* v = std::getenv(name); v && *v) return v;
  return nullptr;
}
}  // namespace

// --help, -h and --version are answered, and any other '-' argument refused,
// before the toolkit starts; everything else is the project path.
int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs("usage: tavrin [PROJECT_PATH]\n"
                 "Opens the crisis disk builder; run it in the working folder that holds\n"
                 "crisboot.bin, crismbr.bin, minidos.sys and the DOS flash program.\n"
                 "PROJECT_PATH is the BIOS project folder (else the newest of the history).\n"
                 "  -h, --help     show this help and exit\n"
                 "      --version  show the version and exit\n",
                 stdout);
      return 0;
    }
  }
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--version") {
      std::printf("tavrin (bios-tools) %s\n", BIOS_TOOLS_VERSION);
      return 0;
    }
    if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "tavrin: unknown option '%s'\nTry 'tavrin --help'.\n", a.c_str());
      return 2;
    }
  }
  const char* display = DisplayName();
  if (!display) {
    std::fprintf(stderr,
                 "tavrin: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset); "
                 "tavrin-build builds a crisis disk in a terminal\n");
    return kExitNoDisplay;
  }
  {
    // The toolkit's own complaint would come with status 255: one line instead.
    wxLogNull quiet;
    if (!wxEntryStart(argc, argv)) {
      std::fprintf(stderr, "tavrin: cannot open the display %s\n", display);
      return kExitNoDisplay;
    }
  }
  const int code = wxTheApp->CallOnInit() ? wxTheApp->OnRun() : 1;
  wxTheApp->OnExit();
  wxEntryCleanup();
  return code;
}
