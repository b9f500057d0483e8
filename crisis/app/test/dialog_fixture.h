// A main dialog over fake controls, view, media and drives, in a temporary
// working folder with its own Windows folder (XDG_CONFIG_HOME).
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "crisis_app/control_ids.h"
#include "crisis_app/tavrin_dlg.h"
#include "platform/disk_drives.h"
#include "platform/file_system.h"
#include "platform/os_personality.h"
#include "platform/quit_request.h"
#include "scripted_message_box.h"
#include "temp_dir.h"

namespace test {

struct MediumLog {
  std::vector<std::string> calls;               // in order: "check", "format", "boot:NAME", ...
  std::map<std::string, std::string> files;     // what reached the medium
  std::vector<std::string> order;               // names copied, in order
  std::vector<uint64_t> roomAsked;              // sizes CheckRoom was asked about
  bool roomOk = true;
};

class FakeMedium : public crisis::CrisisMedium {
 public:
  FakeMedium(MediumLog& log, bool usb, std::map<std::string, bool>& failCopy, bool mediaOk)
      : log_(log), usb_(usb), failCopy_(failCopy), mediaOk_(mediaOk) {}
  bool CheckMedia() override {
    log_.calls.push_back("check");
    return mediaOk_;
  }
  void Format() override { log_.calls.push_back("format"); }
  bool WriteBootSector(const std::string& file) override {
    log_.calls.push_back("boot:" + file);
    return plat::FileExists(file);
  }
  bool CopyFileToDisk(const std::string& file) override {
    log_.calls.push_back("copy:" + file);
    if (failCopy_[file]) return false;
    if (file == quitOn) plat::PostQuitMessage(-1);  // a caught fault: success, then quit
    std::vector<uint8_t> bytes;
    if (!plat::ReadWholeFile(file, bytes)) return false;
    log_.files[plat::ToUpper(file)] = std::string(bytes.begin(), bytes.end());
    log_.order.push_back(file);
    return true;
  }
  bool CheckRoom(const std::vector<uint64_t>& sizes) override {
    log_.roomAsked = sizes;
    return log_.roomOk;
  }
  bool IsUsbKey() const override { return usb_; }
  void EjectMedia() override { log_.calls.push_back("eject"); }
  std::string quitOn;

 private:
  MediumLog& log_;
  bool usb_;
  std::map<std::string, bool>& failCopy_;
  bool mediaOk_;
};

class FakeMedia : public crisis::MediumFactory {
 public:
  std::unique_ptr<crisis::CrisisMedium> Create(const std::string& drive, bool fixed) override {
    created.push_back(drive + (fixed ? " fixed" : ""));
    if (refuse) return nullptr;
    auto m = std::make_unique<FakeMedium>(log, drive != "A:", failCopy, mediaOk);
    m->quitOn = quitOn;
    return m;
  }
  MediumLog log;
  std::map<std::string, bool> failCopy;
  std::vector<std::string> created;
  bool refuse = false;
  bool mediaOk = true;
  std::string quitOn;
};

class FakeDrives : public crisis::DriveSource {
 public:
  std::vector<crisis::DriveEntry> ListDrives() override { return entries; }
  std::vector<crisis::DriveEntry> entries{{"A:", "Floppy Driver A (1.44Mb)"},
                                          {"\\\\.\\PhysicalDrive1", "Removable Disk 0 (976.6Mb)"}};
};

class RecordingView : public crisis::DialogView {
 public:
  void SetProgressRange(int low, int high) override { range = {low, high}; }
  void SetProgress(int pos) override { progress.push_back(pos); }
  void BeginWaitCursor() override { ++waitDepth; }
  void EndWaitCursor() override { --waitDepth; }
  void RedrawNow() override { ++redraws; }
  void SetFocus(int id) override { focus = id; }
  void EndDialog(int code) override {
    ended = true;
    exitCode = code;
  }
  bool ChooseFolder(const std::string& initial, std::string& fileName) override {
    chooserInitial = initial;
    if (chosen.empty()) return false;
    fileName = chosen;
    return true;
  }
  void ShowAbout() override { ++abouts; }

  std::pair<int, int> range{-1, -1};
  std::vector<int> progress;
  int waitDepth = 0, redraws = 0, focus = 0, exitCode = 0, abouts = 0;
  bool ended = false;
  std::string chosen, chooserInitial;
};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char buf[PATH_MAX];
    oldCwd_ = ::getcwd(buf, sizeof buf) ? buf : "/";
    const char* cfg = std::getenv("XDG_CONFIG_HOME");
    oldConfig_ = cfg ? cfg : "";
    hadConfig_ = cfg != nullptr;
    for (const char* v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
      ::setenv(v, config.path().c_str(), 1);
    ::unsetenv("BIOS_TOOLS_REAL_DISKS");  // never a real device
    ::unsetenv("BIOS_TOOLS_DISK_IMAGES");
    ::setenv("MTOOLS_SKIP_CHECK", "1", 1);
    plat::DetachDiskImages();
    ASSERT_EQ(::chdir(work.path().c_str()), 0);
    plat::SetPlatformId(plat::VER_PLATFORM_WIN32_NT);
  }
  void TearDown() override {
    if (::chdir(oldCwd_.c_str()) != 0) ADD_FAILURE() << "can't return to " << oldCwd_;
    if (hadConfig_)
      ::setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_HOME");
    plat::SetPlatformId(0);
    plat::DetachDiskImages();
    plat::ClearQuitRequest();
  }

  // Starts the dialog; the drive list's first entry is selected.
  crisis::CTavrinDlg& Start(const std::string& cmdLine = "") {
    dlg = std::make_unique<crisis::CTavrinDlg>(controls, view, media, drives);
    dlg->m_strCmdLine = cmdLine;
    dlg->m_bVerify = verify;  // the fakes keep no sectors; image-file builds verify
    started = dlg->OnInitDialog();
    return *dlg;
  }
  void SelectDrive(int index) {
    controls.Select(crisis::IDC_DRIVE, index);
    dlg->OnSelectDrive();
  }
  std::string SettingsFile() const { return config.Path("tavrin.ini"); }

  // The DOS-side files of a working folder with the packaged image list.
  void PackagedWorkDir() {
    work.Write("crisboot.bin", std::string(512, 'B'));
    work.Write("crismbr.bin", std::string(512, 'M'));
    work.Write("minidos.sys", "MINIDOS");
    work.Write("KAVLO16.EXE", "KAVLO16-PROGRAM");
  }
  void RawWorkDir() {
    work.Write("crisboot.bin", std::string(512, 'B'));
    work.Write("minidos.sys", "MINIDOS");
    work.Write("kavlo.exe", "KAVLO-PROGRAM");
  }
  void Project(const std::string& partnum = "PARTNUM = 4A1\r\n") {
    project.Write("partnum.mak", "# project\r\n" + partnum);
  }

  TempDir work, project, config;
  plat::FakeDialogControls controls;
  RecordingView view;
  FakeMedia media;
  FakeDrives drives;
  std::unique_ptr<crisis::CTavrinDlg> dlg;
  bool started = false;
  bool verify = false;

 private:
  std::string oldCwd_, oldConfig_;
  bool hadConfig_ = false;
};

}  // namespace test
