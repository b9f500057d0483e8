// tavrin-build: the crisis disk build without a window, for build pipelines.
// Runs in the working folder with the answers a script means: project
// folder accepted, no second disk; the erase is confirmed on the terminal or
// by --yes. Exit 0 only when the disk was built.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "bios_tools_version.h"
#include "build_options.h"
#include "crisis_app/control_ids.h"
#include "crisis_app/disk_medium.h"
#include "crisis_app/tavrin_dlg.h"
#include "disk/disk_messages.h"
#include "drive_report.h"
#include "platform/dialog_controls.h"
#include "platform/disk_drives.h"
#include "platform/file_system.h"
#include "platform/message_box.h"

namespace {

using namespace crisis;
using namespace tavrin_build;

// The status line and the progress bar, printed as they change.
class ConsoleControls : public plat::FakeDialogControls {
 public:
  void SetText(int id, const std::string& text) override {
    FakeDialogControls::SetText(id, text);
    if (id == IDC_STATUS && !text.empty()) std::printf("%s\n", text.c_str());
  }
};

class ConsoleView : public NullDialogView {
 public:
  void SetProgressRange(int low, int high) override { high_ = high > low ? high : low; }
  void SetProgress(int pos) override {
    if (pos > 0) std::printf("Progress: %d/%d\n", pos < high_ ? pos : high_, high_);
  }

 private:
  int high_ = kProgressMax;
};

// Prints every box and gives the answer a script means; the erase warning
// is answered by --yes or by the user at the terminal.
class ScriptAnswers : public plat::MessageBoxBackend {
 public:
  ScriptAnswers(bool yes, std::string target) : yes_(yes), target_(std::move(target)) {}
  int Show(const std::string& text, const std::string& caption, unsigned flags) override {
    std::printf("[%s] %s\n", caption.c_str(), text.c_str());
    switch (flags & plat::MB_TYPEMASK) {
      case plat::MB_OKCANCEL: return Confirm() ? plat::IDOK : plat::IDCANCEL;
      case plat::MB_YESNO:
        return text.find("create another Crisis Diskette") != std::string::npos ? plat::IDNO
                                                                                : plat::IDYES;
      default: return plat::IDOK;
    }
  }

 private:
  bool Confirm() {
    if (yes_) return true;
    std::printf("Erase all data on %s? [y/N] ", target_.c_str());
    std::fflush(stdout);
    std::string answer;
    const bool yes = std::getline(std::cin, answer) &&
                     (answer == "y" || answer == "Y" || answer == "yes" || answer == "YES");
    declined_ = declined_ || !yes;
    return yes;
  }

 public:
  bool Declined() const { return declined_; }

 private:
  bool yes_;
  bool declined_ = false;
  std::string target_;
};

// The drive name for NAME: an image file is attached first (a block device
// only when real disks were asked for).
bool ResolveDrive(const std::string& name, std::string& driveName) {
  if (!plat::FileExists(name)) {
    driveName = name;
    return true;
  }
  const std::string path = plat::ResolvePath(name);
  const bool floppy = plat::FileSize(path) == 1474560;
  plat::AttachDiskImage(path, floppy ? plat::DiskKind::Floppy : plat::DiskKind::Removable);
  if (floppy) {
    driveName = "A:";
    return true;
  }
  for (unsigned n = 0; n < plat::PhysicalDriveCount(); ++n) {
    plat::DiskDrive d;
    if (plat::FindPhysicalDrive(n, &d) && d.path == path) {
      driveName = "\\\\.\\PhysicalDrive" + std::to_string(n);
      return true;
    }
  }
  return false;
}

int UsageError(const std::string& error) {
  std::fprintf(stderr, "tavrin-build: %s\nTry 'tavrin-build --help' for more information.\n", error.c_str());
  return 2;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "tavrin-build: %s\n", message.c_str());
  return 1;
}

// The user said no: nothing went wrong, so not the failure status.
constexpr int kExitDeclined = 3;

}  // namespace

int main(int argc, char** argv) {
  BuildOptions opt;
  std::string error;
  if (!ParseBuildOptions(argc, argv, &opt, &error)) return UsageError(error);
  if (opt.help) {
    std::fputs(kUsage, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (opt.version) {
    std::printf("tavrin-build (bios-tools) %s\n", BIOS_TOOLS_VERSION);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  tavrin::NameDrivesByDevice(true);
  plat::EnsureDiskDevices();
  if (opt.list) {
    SystemDriveSource drives;
    PrintDriveReport(stdout, drives.ListDrives());
    if (!std::getenv("BIOS_TOOLS_REAL_DISKS") || std::string(std::getenv("BIOS_TOOLS_REAL_DISKS")) != "1")
      std::printf("Block devices are not looked at (set BIOS_TOOLS_REAL_DISKS=1 to list USB keys).\n");
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  // Nobody can answer the erase question: refuse before anything is touched.
  if (!opt.yes && !::isatty(STDIN_FILENO))
    return Fail("standard input is not a terminal; give --yes to erase " + opt.drive + " without asking");

  std::string driveName;
  if (!ResolveDrive(opt.drive, driveName)) {
    return Fail(opt.drive + " can't be attached as a drive (block devices need BIOS_TOOLS_REAL_DISKS=1)");
  }
  plat::DiskDrive target;
  if (!plat::FindNamedDrive(driveName, &target)) return Fail("no drive named " + opt.drive);
  // A fixed, mounted or system disk is not even offered to the build.
  plat::DiskRefusal refusal = plat::CheckDriveWritable(target);
  if (!plat::ReadableDespite(refusal) || refusal == plat::DiskRefusal::NotRemovable)
    return Fail(target.path + " is left out (" + StateText(refusal) + "); it will not be written");

  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  ScriptAnswers answers(opt.yes, target.path + " (" + DescribeDrive(target, driveName) + ")");
  plat::SetMessageBoxBackend(&answers);

  ConsoleControls controls;
  ConsoleView view;
  DiskMediumFactory media;
  SystemDriveSource drives;
  CTavrinDlg dlg(controls, view, media, drives);
  dlg.m_strCmdLine = opt.project;
  if (!dlg.OnInitDialog()) return Fail("there is no drive to build on");

  int index = -1;
  for (int i = 0; i < dlg.m_nDriveCount; ++i)
    if (dlg.m_strDrives[static_cast<size_t>(i)] == driveName) index = i;
  if (index < 0) return Fail(target.path + " is left out (" + LeftOutReason(target) + "); it will not be written");
  controls.Select(IDC_DRIVE, index);
  dlg.OnSelectDrive();
  if (opt.mode == "fulldos" && !controls.IsEnabled(IDC_FULLDOS))
    return Fail("FULLDOS disks are built on the floppy A: only");
  if (opt.layout == "fixed" && !controls.IsEnabled(IDC_FIXED)) return Fail("the floppy has no layout choice");
  dlg.m_nMode = opt.mode == "fulldos" ? kModeFullDos : kModeMiniDos;
  dlg.m_nDiskFormat = opt.layout == "fixed" ? 1 : 0;
  dlg.m_bCompress = opt.compress;
  dlg.UpdateData(false);

  int result = dlg.CreateCrisisDisk(dlg.m_nMode);
  plat::SetMessageBoxBackend(nullptr);
  if (result == plat::IDNO) {
    std::printf("Crisis disk built on %s\n", target.path.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (answers.Declined()) {
    std::fprintf(stderr, "tavrin-build: the erase of %s was declined; nothing was written\n", target.path.c_str());
    return kExitDeclined;
  }
  return Fail("the crisis disk was not built");
}
