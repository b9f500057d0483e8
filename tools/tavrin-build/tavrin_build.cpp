// tavrin-build: the crisis disk build without a window, for build pipelines.
// Runs in the working folder with the answers a script means: erase
// confirmed, project folder accepted, no second disk. Exit 0 only when the
// disk was built.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "crisis_app/control_ids.h"
#include "crisis_app/disk_medium.h"
#include "crisis_app/tavrin_dlg.h"
#include "platform/dialog_controls.h"
#include "platform/disk_drives.h"
#include "platform/file_system.h"
#include "platform/message_box.h"

namespace {

using namespace crisis;

const char kUsage[] =
    "usage: tavrin-build --project DIR --drive NAME [--mode minidos|fulldos]\n"
    "                    [--layout removable|fixed] [--compress]\n"
    "  NAME is a drive as the drive list names it (A:, \\\\.\\PhysicalDriveN, or a\n"
    "  BIOS drive number), or a disk image file to attach as that drive (an image\n"
    "  of 1474560 bytes is the floppy A:, any other a removable disk).\n";

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

// Prints every box and gives the answer a script means.
class ScriptAnswers : public plat::MessageBoxBackend {
 public:
  int Show(const std::string& text, const std::string& caption, unsigned flags) override {
    std::printf("[%s] %s\n", caption.c_str(), text.c_str());
    switch (flags & plat::MB_TYPEMASK) {
      case plat::MB_OKCANCEL: return plat::IDOK;
      case plat::MB_YESNO:
        return text.find("create another Crisis Diskette") != std::string::npos ? plat::IDNO
                                                                                : plat::IDYES;
      default: return plat::IDOK;
    }
  }
};

// The drive name for NAME: an image file is attached first.
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

}  // namespace

int main(int argc, char** argv) {
  std::string project, drive, mode = "minidos", layout = "removable";
  bool compress = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    bool ok = true;
    if (a == "--project") ok = value(project);
    else if (a == "--drive") ok = value(drive);
    else if (a == "--mode") ok = value(mode);
    else if (a == "--layout") ok = value(layout);
    else if (a == "--compress") compress = true;
    else ok = false;
    if (!ok) {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (project.empty() || drive.empty() || (mode != "minidos" && mode != "fulldos") ||
      (layout != "removable" && layout != "fixed")) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  std::string driveName;
  if (!ResolveDrive(drive, driveName)) {
    std::fprintf(stderr, "tavrin-build: %s can't be attached as a drive\n", drive.c_str());
    return 1;
  }

  ScriptAnswers answers;
  plat::SetMessageBoxBackend(&answers);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  ConsoleControls controls;
  ConsoleView view;
  DiskMediumFactory media;
  SystemDriveSource drives;
  CTavrinDlg dlg(controls, view, media, drives);
  dlg.m_strCmdLine = project;
  if (!dlg.OnInitDialog()) return 1;

  int index = -1;
  for (int i = 0; i < dlg.m_nDriveCount; ++i)
    if (dlg.m_strDrives[static_cast<size_t>(i)] == driveName) index = i;
  if (index < 0) {
    std::fprintf(stderr, "tavrin-build: no drive named %s in the drive list\n", driveName.c_str());
    return 1;
  }
  controls.Select(IDC_DRIVE, index);
  dlg.OnSelectDrive();
  if (mode == "fulldos" && !controls.IsEnabled(IDC_FULLDOS)) {
    std::fprintf(stderr, "tavrin-build: FULLDOS disks are built on the floppy A: only\n");
    return 1;
  }
  if (layout == "fixed" && !controls.IsEnabled(IDC_FIXED)) {
    std::fprintf(stderr, "tavrin-build: the floppy has no layout choice\n");
    return 1;
  }
  dlg.m_nMode = mode == "fulldos" ? kModeFullDos : kModeMiniDos;
  dlg.m_nDiskFormat = layout == "fixed" ? 1 : 0;
  dlg.m_bCompress = compress;
  dlg.UpdateData(false);

  int result = dlg.CreateCrisisDisk(dlg.m_nMode);
  plat::SetMessageBoxBackend(nullptr);
  if (result == plat::IDNO) {
    std::printf("Crisis disk built on %s\n", drive.c_str());
    return 0;
  }
  std::fprintf(stderr, "tavrin-build: the crisis disk was not built\n");
  return 1;
}
