// Brimlet's window on an emulated machine: the pages change settingsWord,
// and the first paint flashes the packaged image with the boxes answered.
#include <gtest/gtest.h>
#include <wx/notebook.h>
#include <wx/regex.h>
#include <wx/timer.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/brimlet_host.h"
#include "core/flash_sequence.h"
#include "core/settings_word.h"
#include "image/bios_image.h"
#include "imagegen/layouts.h"
#include "platform/wx_box_dialog.h"
#include "scripted_message_box.h"
#include "temp_dir.h"
#include "ui/control_ids.h"
#include "ui/dialog_units.h"
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
  // The hidden boxes leave no gaps: the rows below them move up into their places.
  EXPECT_EQ(Child<wxWindow>(verify, ids::kVerifyModelId)->GetPosition().y, DuPoint(verify, 0, 56).y);
  EXPECT_EQ(Child<wxWindow>(verify, ids::kVerifyChecksum)->GetPosition().y, DuPoint(verify, 0, 72).y);
  EXPECT_EQ(Child<wxWindow>(verify, ids::kVerifyReleaseDate)->GetPosition().y, DuPoint(verify, 0, 56).y);
  EXPECT_FALSE(Child<wxCheckBox>(verify, ids::kExecuteFromNewBios)->IsShown());
  EXPECT_EQ(Child<wxWindow>(verify, ids::kLoadCmosDefault)->GetPosition().y, DuPoint(verify, 0, 160).y);
  EXPECT_EQ(Child<wxWindow>(verify, ids::kMakeWset)->GetPosition().y, DuPoint(verify, 0, 180).y);
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

// A slow flash seen as the user sees it: the share beside the bar, and what
// Escape, the close box, Exit and a page click do while the ROM is written.
TEST_F(MainWindow, SlowFlashShowsARisingShareAndTheWindowStaysThroughIt) {
  std::ofstream(dir / "machine/machine.ini", std::ios::trunc)
      << "[MACHINE]\nBASE=0xFFF00000\nFLAG=16\nBLOCKTIME=60\n";
  imagegen::QuorvelSpec newSpec = WithModule({});
  newSpec.date = "07/15/07";
  newSpec.seed = 9;
  WriteBytes(dir / "prog/brimlet",
             imagegen::BuildPackage(imagegen::BuildQuorvel(newSpec), "0100010000000000011010000001000000"));
  Construct();
  plat::ScriptedMessageBox boxes;
  boxes.Answer(plat::IDOK);      // "update the BIOS?"
  boxes.Answer(plat::IDCANCEL);  // no restart now
  Settings().autoFlashPending = 1;
  BuildSettingsWord(Settings());
  FlashDialog* w = ui->Window();
  w->SelectPage(1);
  w->SelectPage(0);
  ProgrammingDialog* p = ui->Programming();

  std::vector<int> shares;
  bool poked = false, stayed = false, pagesDisabled = false, shot = false;
  uint32_t wordBefore = 0, wordAfter = 1;
  wxTimer sampler;
  sampler.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    if (!p->IsShown()) return;
    long percent = -1;
    const wxString label = p->ProgressLabel()->GetLabel();
    if (label.BeforeFirst(' ').ToLong(&percent) && label.Contains("%")) shares.push_back(static_cast<int>(percent));
    if (!shot && percent >= 30 && percent <= 70) {
      shot = true;
      Screenshot(p, "programming-dialog.png");
    }
    if (poked) return;
    poked = true;
    wordBefore = Settings().settingsWord;
    wxKeyEvent esc(wxEVT_CHAR_HOOK);
    esc.m_keyCode = WXK_ESCAPE;
    esc.SetEventObject(w);
    w->ProcessWindowEvent(esc);
    wxCloseEvent close(wxEVT_CLOSE_WINDOW, w->GetId());
    close.SetCanVeto(true);
    close.SetEventObject(w);
    w->ProcessWindowEvent(close);
    Click(w, ids::kExit);
    pagesDisabled = !w->KeepData()->IsEnabled() && !w->Verify()->IsEnabled();
    Click(w->KeepData(), ids::kKeepDmi);
    wordAfter = Settings().settingsWord;
    stayed = w->IsShown() && p->IsShown() && w->IsModal();
  });
  sampler.Start(30);
  wxTimer watchdog;
  watchdog.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
    ADD_FAILURE() << "the window did not finish its automatic flash";
    if (ui->Window()->IsModal()) ui->Window()->EndModal(wxID_CANCEL);
  });
  watchdog.StartOnce(120000);
  ui->ShowMainWindowModal(*host);
  watchdog.Stop();
  sampler.Stop();

  const std::vector<std::string> status = Lines(w->General()->Status());
  EXPECT_NE(std::find(status.begin(), status.end(), "Program BIOS OK !!!!!!"), status.end())
      << ::testing::PrintToString(status);
  ASSERT_TRUE(poked) << "the programming dialog was never seen";
  EXPECT_TRUE(stayed) << "Escape, the close box and Exit left the window and the dialog in place";
  EXPECT_EQ(std::count(status.begin(), status.end(), std::string(kCannotCloseLine)), 3)
      << ::testing::PrintToString(status);
  EXPECT_TRUE(pagesDisabled);
  EXPECT_EQ(wordAfter, wordBefore) << "a page click during programming changes nothing";
  ASSERT_FALSE(shares.empty());
  for (size_t i = 1; i < shares.size(); ++i) EXPECT_GE(shares[i], shares[i - 1]) << "the share went back";
  EXPECT_EQ(p->Bar()->GetValue(), ProgrammingDialog::kRange) << "the bar ends full";
  EXPECT_TRUE(p->ProgressLabel()->GetLabel().StartsWith("100 %")) << p->ProgressLabel()->GetLabel();
  EXPECT_TRUE(w->KeepData()->IsEnabled()) << "the pages come back after the flash";
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

// The centre of `dialog` lies on the centre of `owner` (a pixel of rounding).
void ExpectCentredOn(wxWindow* dialog, wxWindow* owner, const char* what) {
  const wxRect d = dialog->GetScreenRect(), o = owner->GetScreenRect();
  const wxPoint dc(d.x + d.width / 2, d.y + d.height / 2), oc(o.x + o.width / 2, o.y + o.height / 2);
  EXPECT_LE(std::abs(dc.x - oc.x), 1) << what << " at " << d.x << "," << d.y << " owner " << o.x << "," << o.y;
  EXPECT_LE(std::abs(dc.y - oc.y), 1) << what << " at " << d.x << "," << d.y << " owner " << o.x << "," << o.y;
}

TEST_F(MainWindow, DialogsAndBoxesOpenCentredOnTheMainWindowWhereverItIs) {
  Construct();
  ui->InitialiseWindow();
  FlashDialog* w = ui->Window();
  w->Show();
  Yield();
  for (const wxPoint at : {wxPoint(307, 284), wxPoint(20, 30), wxPoint(560, 500)}) {
    w->Move(at);
    Yield();
    ASSERT_EQ(w->GetScreenPosition(), at);
    ui->FileName()->CallAfter([&] {
      ExpectCentredOn(ui->FileName(), w, "Enter File Name");
      Click(ui->FileName(), ids::kExit);
    });
    std::string name;
    EXPECT_FALSE(ui->FileName()->Ask(name));

    ui->ShowProgrammingDialog(true);
    Yield();
    ExpectCentredOn(ui->Programming(), w, "Programming");
    ui->ShowProgrammingDialog(false);

    bool seen = false;
    wxTheApp->CallAfter([&] {
      for (wxWindow* top : wxTopLevelWindows)
        if (auto* box = dynamic_cast<plat::WxBoxDialog*>(top); box && box->IsModal()) {
          seen = true;
          ExpectCentredOn(box, w, "Brimlet Error box");
          Click(box, wxID_OK);
        }
    });
    plat::MessageBox("Could not open file.", "Brimlet error", plat::MB_OK | plat::MB_ICONEXCLAMATION);
    EXPECT_TRUE(seen);
  }
  w->Hide();
}

TEST_F(MainWindow, ProgrammingDialogShowsPercentAndTimeBesideTheBar) {
  Construct();
  ui->InitialiseWindow();
  ui->Window()->Show();
  ui->ShowProgrammingDialog(true);
  ProgrammingDialog* p = ui->Programming();
  ProgressShown shown;
  shown.measured = true;
  shown.position = 10000;
  ui->ShowProgress(shown);
  Yield();
  const wxString text = p->ProgressLabel()->GetLabel();
  EXPECT_TRUE(wxRegEx("^50 %  [0-9]+:[0-5][0-9]$").Matches(text)) << text;
  EXPECT_EQ(p->Bar()->GetValue(), 10000);
  const wxRect bar = p->Bar()->GetRect(), label = p->ProgressLabel()->GetRect();
  EXPECT_GE(label.x, bar.GetRight()) << "beside the bar";
  EXPECT_TRUE(label.y < bar.GetBottom() && label.GetBottom() > bar.y) << "on the bar's row";
  EXPECT_LE(label.GetRight(), p->GetClientSize().x);
  ui->ShowProgrammingDialog(false);
  // A driver that cannot tell: the time alone, no number.
  ui->ShowProgrammingDialog(true);
  shown.measured = false;
  ui->ShowProgress(shown);
  Yield();
  EXPECT_TRUE(wxRegEx("^[0-9]+:[0-5][0-9]$").Matches(p->ProgressLabel()->GetLabel()))
      << p->ProgressLabel()->GetLabel();
  ui->ShowProgrammingDialog(false);
  ui->Window()->Hide();
}

// A long path is read to its end by scrolling sideways; the newest line is
// scrolled into view and stays selected.
TEST_F(MainWindow, StatusListScrollsSidewaysToTheEndOfALongLine) {
  Construct();
  ui->InitialiseWindow();
  FlashDialog* w = ui->Window();
  w->Show();
  Yield();
  ColorListBox* status = w->General()->Status();
  const std::string tail = "/flashed-20261208-134501-Q1.rom";
  const std::string line = "Backup of the current BIOS: /var/lib/bios-tools/backups/" + std::string(80, 'x') + tail;
  for (int i = 0; i < 12; ++i) ui->AppendAndSelect("line " + std::to_string(i));
  ui->AppendAndSelect(line);
  Yield();
  const int last = status->LineCount() - 1;
  EXPECT_EQ(status->Lines().Selection(), last);
  const int shown = status->GetClientSize().y / (status->GetCharHeight() + 2);
  EXPECT_GE(status->FirstVisibleLine(), last - shown + 1) << "the newest line is out of view";

  const int textWidth = status->GetTextExtent(status->LineText(last)).x;
  ASSERT_GT(textWidth, status->GetClientSize().x) << "the line must be wider than the list";
  EXPECT_GE(status->GetVirtualSize().x, textWidth);
  status->Scroll(status->GetVirtualSize().x, -1);
  int x = 0, y = 0;
  status->GetViewStart(&x, &y);
  int unitX = 0, unitY = 0;
  status->GetScrollPixelsPerUnit(&unitX, &unitY);
  ASSERT_GT(unitX, 0);
  EXPECT_GE(x * unitX + status->GetClientSize().x, textWidth) << "the end of the line cannot be reached";
  w->Hide();
}

TEST_F(MainWindow, SingleByteBiosTextsKeepTheirLabels) {
  std::ofstream(dir / "dmi/bios_version", std::ios::trunc) << "V1.2\xFF" "3\n";
  Construct();
  ui->InitialiseWindow();
  ColorListBox* rom = ui->Window()->General()->RomInfo();
  ASSERT_GE(rom->LineCount(), 2);
  EXPECT_EQ(rom->LineText(1), wxString::FromUTF8(" BIOS Version      :  V1.2\u00FF" "3"));
  EXPECT_EQ(rom->LineText(0), " BIOS Vendor      :  Quorvel");
}

TEST_F(MainWindow, WithoutPackageTheWindowStaysAndItsButtonsLoadAndFlash) {
  // A program file without a package: what an installed brimlet is.
  WriteBytes(dir / "prog/brimlet", Bytes(200000, 0x90));
  imagegen::QuorvelSpec newSpec = WithModule({});
  newSpec.seed = 11;
  newSpec.version = "R2\xA9" "1";
  const Bytes image = imagegen::BuildQuorvel(newSpec);
  WriteBytes(dir / "new.rom", image);

  Construct();
  plat::ScriptedMessageBox boxes;
  Settings().autoFlashPending = 1;  // as start-up arms it
  Settings().rebootAfterFlash = 1;  // /REB: no restart question, a word of success instead
  // A Quorvel ROM's own flash module is not located: setting.ini names the new one.
  Settings().executeFromNewBios = 1;
  BuildSettingsWord(Settings());

  wxTimer watchdog;
  watchdog.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
    ADD_FAILURE() << "the window did not finish";
    if (ui->Window()->IsModal()) ui->Window()->EndModal(wxID_CANCEL);
  });
  watchdog.StartOnce(120000);
  bool acted = false;
  ui->Window()->CallAfter([&] {
    FlashDialog* w = ui->Window();
    for (int i = 0; i < 10; ++i) Yield(2);  // its first paints
    EXPECT_TRUE(w->IsShown());
    EXPECT_TRUE(w->IsModal());
    EXPECT_EQ(Settings().autoFlashPending, 0);
    EXPECT_TRUE(boxes.boxes.empty()) << ::testing::PrintToString(boxes.Texts());
    EXPECT_EQ(w->General()->Status()->LineCount(), 0);
    for (int id : {ids::kLoadBiosFile, ids::kSaveRom, ids::kFlashBios})
      EXPECT_TRUE(Child<wxWindow>(w->General(), id)->IsEnabled()) << id;
    Screenshot(w, "no-package-window.png");

    ui->FileName()->CallAfter([this] {
      Child<wxTextCtrl>(ui->FileName(), ids::kFileNameEdit)->ChangeValue(dir / "new.rom");
      Click(ui->FileName(), ids::kOk);
    });
    Click(w->General(), ids::kLoadBiosFile);
    ASSERT_EQ(NewImage().size, image.size());
    const std::vector<std::string> info = Lines(w->General()->NewImageInfo());
    ASSERT_FALSE(info.empty());
    EXPECT_EQ(w->General()->NewImageInfo()->LineText(0), wxString::FromUTF8(" BIOS Version   : R2\u00A9" "1"));
    // Write every byte: nothing kept.
    w->SelectPage(1);
    if (!Child<wxCheckBox>(w->KeepData(), ids::kForceUpdateAll)->GetValue()) Click(w->KeepData(), ids::kForceUpdateAll);
    EXPECT_EQ(Settings().settingsWord & kKeepAllBits, 0u);
    w->SelectPage(0);
    boxes.Answer(plat::IDOK);  // "update the BIOS?"
    Click(w->General(), ids::kFlashBios);
    acted = true;
    w->EndModal(ids::kExit);
  });
  ui->ShowMainWindowModal(*host);
  watchdog.Stop();

  EXPECT_TRUE(acted);
  EXPECT_EQ(boxes.PendingAnswers(), 0u) << ::testing::PrintToString(boxes.Texts());
  EXPECT_EQ(boxes.boxes.size(), 1u) << "no restart question with REBOOT set " << ::testing::PrintToString(boxes.Texts());
  EXPECT_EQ(Settings().errorCode, 0);
  EXPECT_EQ(ReadBytes(dir / "machine/rom.bin"), image) << "the ROM holds the loaded image byte for byte";
  const std::vector<std::string> status = Lines(ui->Window()->General()->Status());
  const auto ok = std::find(status.begin(), status.end(), "Program BIOS OK !!!!!!");
  ASSERT_NE(ok, status.end()) << ::testing::PrintToString(status);
  ASSERT_NE(ok + 1, status.end());
  EXPECT_EQ(*(ok + 1), kRestartingLine);
}

}  // namespace
}  // namespace brim
