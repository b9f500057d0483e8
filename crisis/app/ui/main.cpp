// tavrin: the crisis recovery disk builder.
#include <wx/app.h>

#include <string>

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

wxIMPLEMENT_APP(CTavrinApp);
