// Brimlet's window on an emulated machine: the pages change settingsWord,
// and the first paint flashes the packaged image with the boxes answered.
#include <gtest/gtest.h>
#include <wx/notebook.h>
#include <wx/timer.h>

#include <filesystem>
#include <fstream>

#include "app/brimlet_host.h"
#include "core/settings_word.h"
#include "image/bios_image.h"
#include "imagegen/layouts.h"
#include "scripted_message_box.h"
#include "temp_dir.h"
#include "ui/control_ids.h"
#include "wx_test_support.h"

namespace brim {
namespace {

namespace fs = std::filesystem;
using imagegen::Bytes;

const ::testing::Environment* const kWx = ::testing::AddGlobalTestEnvironment(new WxEnvironment);

void WriteBytes(const std::string& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool SameRange(const Bytes& a, const Bytes& b, size_t from, size_t to) {
  return a.size() >= to && b.size() >= to && std::equal(a.begin() + from, a.begin() + to, b.begin() + from);
}

imagegen::QuorvelSpec WithModule(imagegen::QuorvelSpec spec) {
  spec.flashModules = {0xD0000};
  return spec;
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    env.UseFolders(dir.path());
    env.Set("BRIMLET_MACHINE", dir / "machine");
    env.Set("BIOS_TOOLS_AUTOSTART_DIR", dir / "autostart");
    env.Set("BIOS_TOOLS_DMI_ROOT", dir / "dmi");
    env.Set("BIOS_TOOLS_NO_POWER_ACTION", "1");
    fs::create_directories(dir / "machine");
    fs::create_directories(dir / "prog");
    fs::create_directories(dir / "dmi");
    std::ofstream(dir / "dmi/bios_version") << "R1.07.0042\n";
    fs::copy_file(FLASH_SYS_PATH, dir / "prog/flash.sys");
    oldRom = imagegen::BuildQuorvel(WithModule({}));
    WriteBytes(dir / "machine/rom.bin", oldRom);
    std::ofstream(dir / "machine/machine.ini") << "[MACHINE]\nBASE=0xFFF00000\nFLAG=16\nBLOCKTIME=1\n";

    Settings() = FlashSettings{};
    SetStartupDefaults(Settings());
    ImageStatus() = 0;
    Settings().exeDir = dir.path() + "/prog/";
    Settings().exeFileName = "brimlet";
    Settings().iniPath = Settings().exeDir + "setting.ini";
  }
  void TearDown() override {
    host.reset();
    ui.reset();
    Yield();
    Settings() = FlashSettings{};
    ImageStatus() = 0;
  }

  // The window object with its General page constructed (ROM read).
  void Construct() {
    ui = std::make_unique<WxUi>();
    host = std::make_unique<BrimletHost>(*ui);
    host->ConstructMainWindow();
  }

  plat::TempDir dir;
  plat::ScopedEnv env;
  Bytes oldRom;
  std::unique_ptr<WxUi> ui;
  std::unique_ptr<BrimletHost> host;
};

std::vector<std::string> Lines(ColorListBox* list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list->LineCount(); ++i) lines.push_back(list->Lines().Text(i));
  return lines;
}

TEST_F(MainWindow, PagesChangeSettingsWord) {
  Construct();
  ASSERT_EQ(CurrentRomImage().size, oldRom.size()) << "the General page read the ROM";
  ui->InitialiseWindow();
  FlashDialog* w = ui->Window();
  w->Show();
  Yield();
  EXPECT_EQ(w->GetTitle(), "Brimlet V1.05.08");
  ASSERT_EQ(w->Sheet()->GetPageCount(), 4u);
  EXPECT_EQ(w->Sheet()->GetPageText(0), "General Page");
  EXPECT_EQ(w->Sheet()->GetPageText(3), "About");
  const std::vector<std::string> rom = Lines(w->General()->RomInfo());
  ASSERT_GE(rom.size(), 5u);
  EXPECT_EQ(rom[0], " BIOS Vendor      :  Quorvel");
  EXPECT_EQ(rom[1], " BIOS Version      :  R1.07.0042");
  EXPECT_EQ(rom[4], " ROM Physical Address : 0xfff00000");

  // Keep Data: a Quorvel ROM without a loaded image starts forced.
  EXPECT_EQ(Settings().keepPageReady, 0);
  w->SelectPage(1);
  EXPECT_EQ(Settings().keepPageReady, 1);
  wxWindow* keep = w->KeepData();
  EXPECT_TRUE(Child<wxCheckBox>(keep, ids::kForceUpdateAll)->GetValue());
  EXPECT_EQ(Settings().settingsWord & kKeepAllBits, 0u);
  EXPECT_FALSE(Child<wxCheckBox>(keep, ids::kKeepEscd)->IsEnabled());

  // Loading an image (its package keeps ESCD data) refreshes the page once it was shown.
  WriteBytes(dir / "prog/brimlet", imagegen::BuildPackage(imagegen::BuildQuorvel(WithModule({})),
                                                          "0000001000000000000000000000000000"));
  Settings().autoFlashPending = 1;
  host->LoadNewImage();
  Settings().autoFlashPending = 0;
  Yield();
  EXPECT_FALSE(Child<wxCheckBox>(keep, ids::kForceUpdateAll)->GetValue());
  auto* escd = Child<wxCheckBox>(keep, ids::kKeepEscd);
  EXPECT_TRUE(escd->IsEnabled()) << std::hex << ImageStatus();
  EXPECT_TRUE(escd->GetValue());
  EXPECT_EQ(Settings().settingsWord & kKeepAllBits, kKeepEscdData);
  Click(keep, ids::kKeepEscd);
  EXPECT_EQ(Settings().settingsWord & kKeepAllBits, 0u);
  Click(keep, ids::kKeepEscd);
  EXPECT_EQ(Settings().settingsWord & kKeepAllBits, kKeepEscdData);
  Click(keep, ids::kForceUpdateAll);
  EXPECT_EQ(Settings().settingsWord & kKeepAllBits, 0u);
  EXPECT_FALSE(escd->IsEnabled());
  Click(keep, ids::kForceUpdateAll);
  EXPECT_TRUE(escd->GetValue());
  EXPECT_FALSE(Child<wxCheckBox>(keep, ids::kKeepDmi)->IsEnabled()) << "no DMI keeping on a Quorvel ROM";
  Screenshot(w, "keep-data-page.png");

  // Verify: Verify All, then the shutdown radio button.
  w->SelectPage(2);
  wxWindow* verify = w->Verify();
  EXPECT_FALSE(Child<wxCheckBox>(verify, ids::kCheckSize)->IsShown());
  Click(verify, ids::kVerifyAll);
  EXPECT_EQ(Settings().settingsWord & 0x3F, 0x3Bu) << "all but the checksum on a Quorvel ROM";
  EXPECT_FALSE(Child<wxCheckBox>(verify, ids::kVerifyModelId)->IsEnabled());
  Click(verify, ids::kAutoReboot);
  Click(verify, ids::kAutoShutdown);
  EXPECT_FALSE(Child<wxRadioButton>(verify, ids::kAutoReboot)->GetValue());
  EXPECT_EQ(Settings().settingsWord & (kReboot | kShutdown), kShutdown);
  Screenshot(w, "verify-page.png");

  w->SelectPage(3);
  Screenshot(w, "about-page.png");

  // Save Setting writes the chosen bits beside the program.
  w->SelectPage(0);
  Screenshot(w, "general-page.png");
  Click(w, ids::kSaveSetting);
  EXPECT_TRUE(fs::exists(dir / "prog/setting.ini"));
  w->Hide();
}

TEST_F(MainWindow, SaveRomButtonThenLoadButtonThroughFileNameDialog) {
  Construct();
  ui->InitialiseWindow();
  FlashDialog* w = ui->Window();
  const std::string saved = dir / "saved.bin";
  // The file-name dialog runs modally: answer it from its own event loop.
  auto answer = [this](const std::string& name) {
    ui->FileName()->CallAfter([this, name] {
      Child<wxTextCtrl>(ui->FileName(), ids::kFileNameEdit)->ChangeValue(name);
      Click(ui->FileName(), ids::kOk);
    });
  };
  answer(saved);
  Click(w->General(), ids::kSaveRom);
  EXPECT_EQ(ReadBytes(saved), oldRom);
  std::vector<std::string> status = Lines(w->General()->Status());
  ASSERT_FALSE(status.empty());
  EXPECT_EQ(status.back(), "Save BIOS file OK !!!");
  EXPECT_EQ(w->General()->Status()->Lines().Selection(), static_cast<int>(status.size()) - 1);

  answer(saved);
  Click(w->General(), ids::kLoadBiosFile);
  EXPECT_EQ(NewImage().size, oldRom.size());
  EXPECT_TRUE(std::equal(NewImage().bytes, NewImage().bytes + NewImage().size, oldRom.begin()));
  EXPECT_EQ(Lines(w->General()->NewImageInfo()).size(), 3u);
  status = Lines(w->General()->Status());
  EXPECT_EQ(status.back(), "Loading BIOS binary file OK !!!");
  // The Keep Data page was never shown: the load leaves it alone.
  Yield();
  EXPECT_EQ(Settings().keepPageReady, 0);
  EXPECT_FALSE(Child<wxCheckBox>(w->KeepData(), ids::kForceUpdateAll)->GetValue());
  EXPECT_TRUE(Child<wxCheckBox>(w->KeepData(), ids::kKeepNvs)->IsEnabled());
}

TEST_F(MainWindow, LaunchAtStartupAddsAndRemovesTheEntry) {
  Construct();
  ui->InitialiseWindow();
  FlashDialog* w = ui->Window();
  EXPECT_FALSE(w->LaunchAtStartup()->GetValue());
  Click(w, ids::kLaunchAtStartup);
  EXPECT_TRUE(fs::exists(dir / "autostart/Brimlet.desktop"));
  Click(w, ids::kLaunchAtStartup);
  EXPECT_FALSE(fs::exists(dir / "autostart/Brimlet.desktop"));
}

TEST_F(MainWindow, FirstPaintFlashesPackagedImageAndCloses) {
  imagegen::QuorvelSpec newSpec = WithModule({});
  newSpec.date = "07/15/07";
  newSpec.seed = 9;
  const Bytes image = imagegen::BuildQuorvel(newSpec);
  // Keep passwords and the boot block; verify date, model and size; the new image's module.
  WriteBytes(dir / "prog/brimlet", imagegen::BuildPackage(image, "0100010000000000011010000001000000"));

  Construct();
  plat::ScriptedMessageBox boxes;
  boxes.Answer(plat::IDOK);      // "update the BIOS?"
  boxes.Answer(plat::IDCANCEL);  // no restart now
  Settings().autoFlashPending = 1;
  BuildSettingsWord(Settings());

  // Should the window never be painted, end the run instead of hanging.
  wxTimer watchdog;
  watchdog.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
    ADD_FAILURE() << "the window did not finish its automatic flash";
    if (ui->Window()->IsModal()) ui->Window()->EndModal(wxID_CANCEL);
  });
  watchdog.StartOnce(120000);
  ui->ShowMainWindowModal(*host);
  watchdog.Stop();

  EXPECT_EQ(Settings().autoFlashPending, 0);
  EXPECT_EQ(Settings().errorCode, 0);
  EXPECT_EQ(Settings().flashInProgress, 0);
  EXPECT_EQ(boxes.PendingAnswers(), 0u) << ::testing::PrintToString(boxes.Texts());
  const std::vector<std::string> status = Lines(ui->Window()->General()->Status());
  EXPECT_NE(std::find(status.begin(), status.end(), "Program BIOS OK !!!!!!"), status.end())
      << ::testing::PrintToString(status);
  const Bytes rom = ReadBytes(dir / "machine/rom.bin");
  ASSERT_EQ(rom.size(), image.size());
  EXPECT_TRUE(SameRange(rom, image, 0, 0x15000));
  EXPECT_TRUE(SameRange(rom, oldRom, 0x15000, 0x16000)) << "A!PS area carried over";
  EXPECT_TRUE(SameRange(rom, image, 0x16000, 0xF0000));
  EXPECT_TRUE(SameRange(rom, oldRom, 0xF0000, 0x100000)) << "boot block kept";
}

TEST_F(MainWindow, FlashButtonDeclinedLeavesRomAndSuspendAllowed) {
  WriteBytes(dir / "prog/brimlet", imagegen::BuildPackage(imagegen::BuildQuorvel(WithModule({})),
                                                          "0000000000000000000000000000000000"));
  Construct();
  ui->InitialiseWindow();
  plat::ScriptedMessageBox boxes;
  boxes.Answer(plat::IDCANCEL);  // "update the BIOS?": no
  Settings().autoFlashPending = 1;  // the Flash button flashes what the package holds
  host->LoadNewImage();
  Settings().autoFlashPending = 0;
  Click(ui->Window()->General(), ids::kFlashBios);
  EXPECT_EQ(boxes.PendingAnswers(), 0u);
  EXPECT_EQ(Settings().flashInProgress, 0) << "a declined flash must not keep refusing suspend";
  EXPECT_EQ(ReadBytes(dir / "machine/rom.bin"), oldRom);
  const std::vector<std::string> info = Lines(ui->Window()->General()->NewImageInfo());
  ASSERT_EQ(info.size(), 3u);
  EXPECT_EQ(info[0], " BIOS Version   : R1.07");
}

}  // namespace
}  // namespace brim
