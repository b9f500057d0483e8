// The wx dialog under a display (xvfb-run): template, events, and a MINIDOS
// build onto an attached USB key image checked with fsck.fat and mtools.
#include "tavrin_ui/tavrin_dialog.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/gauge.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>

#include <climits>
#include <cstdio>

#include "../../test/temp_dir.h"
#include "crisis_app/compressor.h"
#include "crisis_app/control_ids.h"
#include "crisis_app/disk_medium.h"
#include "crisis_samples/boot_sectors.h"
#include "platform/disk_drives.h"
#include "platform/file_system.h"
#include "platform/os_personality.h"
#include "run_command.h"
#include "scripted_message_box.h"

namespace {

using namespace crisis;

using plat::RunCommand;

class GuiTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "tavrin_ui_tests";
    static char* argv[] = {name, nullptr};
    wxApp::SetInstance(new wxApp);
    ASSERT_TRUE(wxEntryStart(argc, argv)) << "no display: run under xvfb-run";
    wxTheApp->CallOnInit();
  }
  static void TearDownTestSuite() {
    wxTheApp->OnExit();
    wxEntryCleanup();
  }

  void SetUp() override {
    char buf[PATH_MAX];
    oldCwd_ = ::getcwd(buf, sizeof buf) ? buf : "/";
    for (const char* v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
      ::setenv(v, config.path().c_str(), 1);
    ::unsetenv("BIOS_TOOLS_REAL_DISKS");
    ::unsetenv("BIOS_TOOLS_DISK_IMAGES");
    ::setenv("MTOOLS_SKIP_CHECK", "1", 1);
    plat::DetachDiskImages();
    plat::SetPlatformId(plat::VER_PLATFORM_WIN32_NT);
    ASSERT_EQ(::chdir(work.path().c_str()), 0);
    ASSERT_TRUE(crisis_samples::WriteSampleBootFiles(work.path()));
    work.Write("minidos.sys", std::string(2000, 'M'));
    work.Write("KAVLO16.EXE", std::string(5000, 'K'));
    work.Write("vgabios.exe", std::string(600, 'V'));
  }
  void TearDown() override {
    plat::DetachDiskImages();
    plat::SetPlatformId(0);
    if (::chdir(oldCwd_.c_str()) != 0) ADD_FAILURE();
  }

  std::string AttachKey() {
    std::string key = disks.Path("key.img");
    std::FILE* f = std::fopen(key.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
      EXPECT_EQ(::ftruncate(fileno(f), 32 << 20), 0);
      std::fclose(f);
    }
    plat::AttachDiskImage(key, plat::DiskKind::Removable);
    return key;
  }

  void Pump() {
    for (int i = 0; i < 20; ++i) {
      wxTheApp->ProcessPendingEvents();
      while (wxTheApp->Pending()) wxTheApp->Dispatch();
      wxMilliSleep(5);
    }
  }

  test::TempDir work, config, disks;
  DiskMediumFactory media;
  SystemDriveSource drives;

 private:
  std::string oldCwd_;
};

TEST_F(GuiTest, TemplateControlsAtTheirPlacesWithCaptionsAndStates) {
  AttachKey();
  auto* dlg = new tavrin_ui::TavrinDialog(nullptr, media, drives, "");
  EXPECT_EQ(dlg->GetTitle(),
            "Quorvel Crisis Disk Build(For  internal test,do not release to customers )");
  struct Expect {
    int id;
    const char* label;
    int x, y;
  };
  const Expect expected[] = {
      {IDC_REMOVABLE, "Removable", 22, 93},
      {IDC_FIXED, "Fixed", 22, 110},
      {IDC_CLOSE, "&Close", 158, 166},
      {IDC_MINIDOS, "Create &MINIDOS Crisis Disk", 22, 149},
      {IDC_FULLDOS, "Create &FULLDOS Crisis Disk", 22, 168},
      {IDC_FORMAT_ONLY, "Format the Drive Diskette", 22, 186},
      {IDC_BROWSE, "&Browse...", 166, 14},
      {IDC_START, "&Start", 158, 146},
      {IDC_COMPRESS, "Compress The Bin File", 15, 212},
  };
  for (const Expect& e : expected) {
    wxWindow* w = dlg->FindWindow(e.id);
    ASSERT_NE(w, nullptr) << e.id;
    EXPECT_EQ(std::string(w->GetLabel().utf8_str()), e.label) << e.id;
    EXPECT_EQ(w->GetPosition(), dlg->ConvertDialogToPixels(wxPoint(e.x, e.y))) << e.id;
  }
  for (int id : {IDC_PROJECT_PATH, IDC_STATUS, IDC_PROGRESS, IDC_DRIVE})
    EXPECT_NE(dlg->FindWindow(id), nullptr) << id;
  // A box narrower than its text makes GTK complain on every start.
  for (int id : {IDC_REMOVABLE, IDC_FIXED, IDC_MINIDOS, IDC_FULLDOS, IDC_FORMAT_ONLY, IDC_COMPRESS}) {
    wxWindow* w = dlg->FindWindow(id);
    EXPECT_GE(w->GetSize().x, w->GetBestSize().x) << w->GetLabel();
  }
  // Initial states before start-up.
  EXPECT_FALSE(dlg->FindWindow(IDC_PROJECT_PATH)->IsThisEnabled());
  EXPECT_FALSE(dlg->FindWindow(IDC_BROWSE)->IsThisEnabled());
  EXPECT_FALSE(dlg->FindWindow(IDC_STATUS)->IsThisEnabled());
  EXPECT_TRUE(dlg->FindWindow(IDC_START)->IsThisEnabled());
  // Enter presses Start.
  EXPECT_EQ(dlg->GetAffirmativeId(), IDC_START);
  EXPECT_EQ(dlg->GetDefaultItem(), dlg->FindWindow(IDC_START));

  ASSERT_TRUE(dlg->Start());
  EXPECT_TRUE(static_cast<wxRadioButton*>(dlg->FindWindow(IDC_MINIDOS))->GetValue());
  EXPECT_TRUE(dlg->FindWindow(IDC_FIXED)->IsThisEnabled()) << "a USB key offers both layouts";
  EXPECT_FALSE(dlg->FindWindow(IDC_FULLDOS)->IsThisEnabled());
  EXPECT_EQ(static_cast<wxGauge*>(dlg->FindWindow(IDC_PROGRESS))->GetRange(), 50);
  dlg->Destroy();
}

TEST_F(GuiTest, MiniDosBuildOnAnAttachedKeyFromTheStartButton) {
  const std::string key = AttachKey();
  std::string image(50000, '\xFF');
  for (size_t i = 0; i < image.size(); i += 11) image[i] = static_cast<char>(i);
  work.Write("bios.qzw", image);

  plat::ScriptedMessageBox boxes;
  boxes.Answer(plat::IDOK).Answer(plat::IDOK).Answer(plat::IDNO);
  auto* dlg = new tavrin_ui::TavrinDialog(nullptr, media, drives, "/some/project");
  ASSERT_TRUE(dlg->Start());
  dlg->Show();
  Pump();
  static_cast<wxCheckBox*>(dlg->FindWindow(IDC_COMPRESS))->SetValue(true);

  wxCommandEvent click(wxEVT_BUTTON, IDC_START);
  click.SetEventObject(dlg->FindWindow(IDC_START));
  dlg->GetEventHandler()->ProcessEvent(click);
  EXPECT_EQ(boxes.PendingAnswers(), 0u) << ::testing::PrintToString(boxes.Texts());

  std::string out;
  EXPECT_EQ(RunCommand("fsck.fat -n '" + key + "'", &out), 0) << out;
  ASSERT_EQ(RunCommand("mdir -b -i '" + key + "' ::", &out), 0) << out;
  for (const char* name : {"MINIDOS.SYS", "KAVLO16.EXE", "VGABIOS.EXE", "BIOS.QZW"})
    EXPECT_NE(plat::ToUpper(out).find(name), std::string::npos) << name << " in " << out;
  ASSERT_EQ(RunCommand("mtype -i '" + key + "' ::BIOS.QZW > '" + disks.Path("qzw") + "'"), 0);
  std::vector<uint8_t> packed(image.begin(), image.end());
  std::vector<uint8_t> expected = CompressBytes(packed);
  EXPECT_EQ(disks.Read("qzw"), std::string(expected.begin(), expected.end()));
  // Answering No ends the program after saving the history.
  EXPECT_EQ(config.Read("tavrin.ini"), "\r\n\r\n\r\n/some/project\r\n");
  dlg->Destroy();
}

TEST_F(GuiTest, EscapeEndsWithoutWritingTheSettingsFile) {
  AttachKey();
  auto* dlg = new tavrin_ui::TavrinDialog(nullptr, media, drives, "/p");
  ASSERT_TRUE(dlg->Start());
  dlg->Show();
  wxKeyEvent esc(wxEVT_CHAR_HOOK);
  esc.m_keyCode = WXK_ESCAPE;
  esc.SetEventObject(dlg);
  dlg->GetEventHandler()->ProcessEvent(esc);
  EXPECT_FALSE(dlg->IsShown());
  EXPECT_FALSE(config.Exists("tavrin.ini"));
  dlg->Destroy();
}

TEST_F(GuiTest, NoDriveEndsAtStartWithMinusOne) {
  plat::ScriptedMessageBox boxes;
  auto* dlg = new tavrin_ui::TavrinDialog(nullptr, media, drives, "");
  EXPECT_FALSE(dlg->Start());
  EXPECT_EQ(dlg->ExitCode(), -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  dlg->Destroy();
}

}  // namespace
