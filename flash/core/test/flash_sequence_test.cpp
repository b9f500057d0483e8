#include "core/flash_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "core/exit_status.h"
#include "platform/power_action.h"
#include "platform/sleep_inhibitor.h"
#include "scripted_message_box.h"
#include "temp_dir.h"

namespace brim {
namespace {

// Counts `blocks` pieces one after another; asked meanwhile, it now and then
// cannot tell or gives a stale, smaller count.
struct CountingDriver {
  std::atomic<int> phase{0};
  std::atomic<uint64_t> done{0}, total{0};
  std::atomic<bool> running{false};
  int queries = 0;
  void Count(DriverReading::Phase p, uint64_t blocks) {
    total = 0;
    done = 0;
    phase = static_cast<int>(p);
    total = blocks * 0x10000;
    running = true;
    for (uint64_t i = 1; i <= blocks; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(15));
      done = i * 0x10000;
    }
    running = false;
  }
  bool Query(DriverReading* r) {
    ++queries;
    r->phase = static_cast<DriverReading::Phase>(phase.load());
    r->done = done;
    r->total = total;
    if (running && queries % 3 == 0) return false;
    if (running && queries % 3 == 1) r->done /= 2;
    return true;
  }
};

class FakeSteps : public FlashSteps {
 public:
  int checkResult = 0;
  bool openOk = true, wsbiOk = true, programOk = true;
  uint32_t flag = 0x02;
  int programMillis = 0;
  std::vector<std::string> calls;

  int CheckNewImage() override {
    calls.push_back("check");
    return checkResult;
  }
  void MergeKeptRegions() override { calls.push_back("merge"); }
  bool OpenFlashDevice() override {
    calls.push_back("open");
    return openOk;
  }
  bool WSBICheck() override {
    calls.push_back("wsbi");
    return wsbiOk;
  }
  void CloseFlashDevice() override { calls.push_back("close"); }
  const FlashSettings* watch = nullptr;
  int32_t inProgressWhileProgramming = -1, inProgressWhileVerifying = -1;
  std::string sleepMarker;  // file the sleep inhibitor writes while it holds
  bool sleepHeldWhileProgramming = false;
  bool ProgramFlashROM() override {
    if (watch) inProgressWhileProgramming = watch->flashInProgress;
    for (int i = 0; i < 200 && !sleepMarker.empty() && !sleepHeldWhileProgramming; ++i) {
      sleepHeldWhileProgramming = std::filesystem::exists(sleepMarker);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(programMillis));
    if (driver) driver->Count(DriverReading::Phase::kProgramming, 16);
    programmed = true;
    return programOk;
  }
  bool backupOk = true;
  RomVerifyResult verify{true, 16, 0};
  bool requestSent = true;
  RomVerifyResult afterFailure;  // the ROM read again, against the old one
  bool ProgrammingRequestSent() override { return requestSent; }
  RomVerifyResult CompareWithOldRom() override {
    calls.push_back("look");
    return afterFailure;
  }
  bool BackupCurrentRom() override {
    calls.push_back("backup");
    return backupOk;
  }
  RomVerifyResult VerifyProgrammedRom() override {
    calls.push_back("verify");
    if (watch) inProgressWhileVerifying = watch->flashInProgress;
    if (driver) driver->Count(DriverReading::Phase::kReading, 8);
    return verify;
  }
  bool QueryProgress(DriverReading* r) override { return driver && driver->Query(r); }
  // A driver that counts its bytes, when one is given.
  struct CountingDriver* driver = nullptr;
  std::string BackupPath() override { return backupOk ? "/state/backups/QVL.rom" : ""; }
  uint32_t CurrentRomFlag() override { return flag; }
  void RefreshCurrentRom() override { calls.push_back("refresh"); }
  void DiscardNewImage() override { calls.push_back("discard"); }
  bool programmed = false;
};

class FakeView : public FlashView {
 public:
  std::vector<std::string> lines;
  std::vector<ProgressShown> progress;
  bool dialogShown = false;
  void AppendStatusLine(const std::string& line) override { lines.push_back(line); }
  void ShowProgrammingDialog(bool shown) override { dialogShown = shown; }
  void ShowProgress(const ProgressShown& p) override { progress.push_back(p); }
  void PumpMessages() override {}
  void Pause(std::chrono::milliseconds) override {}
};

class FlashSequenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env.Set("BIOS_TOOLS_POWER_SUPPLY_ROOT", dir / "power");
    SetSupply(true, 80, "Discharging");
    plat::SetPowerActionHandler(
        [this](plat::PowerAction a) {
          actions.push_back(a);
          return true;
        },
        [this] { return privileged; });
    ImageStatus() = 0;
    s = FlashSettings();
    SetStartupDefaults(s);
    s.imageLoaded = 1;
  }
  void TearDown() override { plat::SetPowerActionHandler(nullptr); }

  void SetSupply(bool ac, int percent, const char* status, bool battery = true) {
    std::filesystem::remove_all(dir / "power");
    std::filesystem::create_directories(dir / "power/AC");
    std::ofstream(dir / "power/AC/type") << "Mains\n";
    std::ofstream(dir / "power/AC/online") << (ac ? "1\n" : "0\n");
    if (battery) {
      std::filesystem::create_directories(dir / "power/BAT0");
      std::ofstream(dir / "power/BAT0/type") << "Battery\n";
      std::ofstream(dir / "power/BAT0/present") << "1\n";
      std::ofstream(dir / "power/BAT0/capacity") << percent << "\n";
      std::ofstream(dir / "power/BAT0/status") << status << "\n";
    }
  }

  plat::TempDir dir;
  plat::ScopedEnv env;
  plat::ScriptedMessageBox boxes;
  FakeSteps steps;
  FakeView view;
  FlashSettings s;
  std::vector<plat::PowerAction> actions;
  bool privileged = true;
};

TEST_F(FlashSequenceTest, InteractiveSuccessOffersRestartAndRefreshes) {
  boxes.Answer(plat::IDOK).Answer(plat::IDCANCEL);
  steps.watch = &s;
  FlashSequence(s, steps, view);
  EXPECT_EQ(steps.inProgressWhileProgramming, 1);
  EXPECT_EQ(steps.inProgressWhileVerifying, 1) << "the read-back is part of the flash";
  EXPECT_TRUE(steps.programmed);
  EXPECT_EQ(steps.calls, (std::vector<std::string>{"check", "merge", "open", "wsbi", "backup", "verify",
                                                    "close", "refresh", "discard"}));
  EXPECT_EQ(s.flashVerified, 1);
  EXPECT_EQ(ExitStatusOf(s), 0);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].text, kUpdateQuestion);
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_OKCANCEL | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST);
  EXPECT_EQ(boxes.boxes[1].caption, "Program Successfully");
  EXPECT_EQ(boxes.boxes[1].flags, plat::MB_OKCANCEL | plat::MB_TOPMOST);
  EXPECT_EQ(view.lines, (std::vector<std::string>{"Programming.........", "Program BIOS OK !!!!!!"}));
  EXPECT_EQ(s.flashInProgress, 0);
  EXPECT_EQ(s.imageLoaded, 0);
  EXPECT_TRUE(actions.empty());
}

TEST_F(FlashSequenceTest, SleepIsHeldOffWhileProgramming) {
  plat::SleepInhibitor::SetCommand({"sh", "-c", "touch \"$0\"; exec sleep 60", dir / "held"});
  steps.sleepMarker = dir / "held";
  s.silentMode = 1;
  FlashSequence(s, steps, view);
  plat::SleepInhibitor::SetCommand({});
  EXPECT_TRUE(steps.programmed);
  EXPECT_TRUE(steps.sleepHeldWhileProgramming);
}

TEST_F(FlashSequenceTest, RestartOfferAcceptedRestarts) {
  boxes.Answer(plat::IDOK).Answer(plat::IDOK);
  FlashSequence(s, steps, view);
  EXPECT_EQ(actions, (std::vector<plat::PowerAction>{plat::PowerAction::Reboot}));
}

TEST_F(FlashSequenceTest, ShownShareRisesToTheWholeAndNeverGoesBack) {
  CountingDriver driver;
  steps.driver = &driver;
  boxes.Answer(plat::IDOK).Answer(plat::IDCANCEL);
  FlashSequence(s, steps, view);
  ASSERT_FALSE(view.progress.empty());
  int last = 0;
  bool programmedShown = false;
  for (const ProgressShown& p : view.progress) {
    ASSERT_TRUE(p.measured);
    EXPECT_GE(p.position, last) << "the share went back";
    last = p.position;
    if (p.stage == FlashStage::kVerifying) {
      EXPECT_GE(p.position, kProgrammedShare) << "the read-back starts where programming ended";
    } else {
      EXPECT_LE(p.position, kProgrammedShare) << "programming alone never fills the bar";
      programmedShown = programmedShown || p.position == kProgrammedShare;
    }
  }
  EXPECT_TRUE(programmedShown) << "programming ends with its whole share shown";
  EXPECT_EQ(view.progress.back().stage, FlashStage::kVerifying);
  EXPECT_EQ(view.progress.back().position, kProgressRange);
  EXPECT_EQ(view.progress.back().Percent(), 100);
}

TEST_F(FlashSequenceTest, DriverThatCannotTellShowsNoNumber) {
  steps.programMillis = 60;
  boxes.Answer(plat::IDOK).Answer(plat::IDCANCEL);
  FlashSequence(s, steps, view);
  ASSERT_GE(view.progress.size(), 2u) << "a last look at the end of each stage";
  for (const ProgressShown& p : view.progress) EXPECT_FALSE(p.measured);
  EXPECT_EQ(view.progress.back().stage, FlashStage::kVerifying);
}

TEST_F(FlashSequenceTest, SilentRunShowsNoProgress) {
  CountingDriver driver;
  steps.driver = &driver;
  s.silentMode = 1;
  FlashSequence(s, steps, view);
  EXPECT_EQ(s.flashVerified, 1);
  EXPECT_TRUE(view.progress.empty());
  EXPECT_EQ(driver.queries, 0) << "nobody to show it to";
}

struct MeterCase {
  const char* name;
  FlashStage stage;
  bool answered;
  DriverReading::Phase phase;
  uint64_t done, total;
  bool measured;
  int position;
};

TEST(ProgressMeter, ReadingsBecomeOneShareThatNeverGoesDown) {
  using P = DriverReading::Phase;
  const FlashStage kProg = FlashStage::kProgramming, kVer = FlashStage::kVerifying;
  // One run, reading by reading.
  const MeterCase cases[] = {
      {"cannot tell yet", kProg, false, P::kOther, 0, 0, false, 0},
      {"the ROM read before programming", kProg, true, P::kReading, 100, 100, true, 0},
      {"a quarter programmed", kProg, true, P::kProgramming, 25, 100, true, 4000},
      {"a stale smaller count", kProg, true, P::kProgramming, 10, 100, true, 4000},
      {"cannot tell for a moment", kProg, false, P::kOther, 0, 0, true, 4000},
      {"done beyond total", kProg, true, P::kProgramming, 500, 100, true, 16000},
      {"no total", kProg, true, P::kProgramming, 5, 0, true, 16000},
      {"read-back not begun", kVer, true, P::kProgramming, 100, 100, true, 16000},
      {"half read back", kVer, true, P::kReading, 50, 100, true, 18000},
      {"all read back", kVer, true, P::kReading, 100, 100, true, 20000},
  };
  ProgressMeter meter;
  for (const MeterCase& c : cases) {
    meter.Begin(c.stage);
    DriverReading r;
    r.phase = c.phase;
    r.done = c.done;
    r.total = c.total;
    const ProgressShown& shown = meter.Take(c.answered, r, std::chrono::seconds(3));
    EXPECT_EQ(shown.measured, c.measured) << c.name;
    EXPECT_EQ(shown.position, c.position) << c.name;
    EXPECT_EQ(shown.stage, c.stage) << c.name;
  }
  EXPECT_EQ(meter.Shown().Percent(), 100);
}

TEST(ProgressMeter, UncountedProgrammingStillLetsTheReadBackCount) {
  ProgressMeter meter;
  meter.Begin(FlashStage::kProgramming);
  EXPECT_FALSE(meter.Take(false, DriverReading(), std::chrono::seconds(0)).measured);
  meter.Begin(FlashStage::kVerifying);
  DriverReading r;
  r.phase = DriverReading::Phase::kReading;
  r.done = 1;
  r.total = 4;
  EXPECT_EQ(meter.Take(true, r, std::chrono::seconds(9)).position, 17000);
}

TEST_F(FlashSequenceTest, RefusedConfirmationsNeverProgram) {
  s.clearDmi = 1;
  boxes.Answer(plat::IDNO);
  FlashSequence(s, steps, view);
  EXPECT_FALSE(steps.programmed);
  EXPECT_EQ(boxes.boxes[0].text, "Are you sure want to clear DMI Data?");
  EXPECT_EQ(s.flashInProgress, 0) << "a declined flash must not keep refusing suspend";

  s.clearDmi = 0;
  s.writeBootBlock = 1;
  s.fileFromCommandLine = 1;  // suppresses only the update question
  boxes.Answer(plat::IDNO);
  FlashSequence(s, steps, view);
  EXPECT_FALSE(steps.programmed);
  EXPECT_EQ(boxes.boxes[1].text, "Are you sure want to write BootBlock?");

  s.writeBootBlock = 0;
  s.fileFromCommandLine = 0;
  boxes.Answer(plat::IDCANCEL);
  FlashSequence(s, steps, view);
  EXPECT_FALSE(steps.programmed);
  EXPECT_TRUE(steps.calls.empty());
  EXPECT_EQ(ExitStatusOf(s), kExitDeclined);
}

TEST_F(FlashSequenceTest, FileFromCommandLineSkipsUpdateQuestion) {
  s.fileFromCommandLine = 1;
  boxes.Answer(plat::IDCANCEL);  // the restart offer
  FlashSequence(s, steps, view);
  EXPECT_TRUE(steps.programmed);
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(FlashSequenceTest, PowerThresholds) {
  s.verifyPower = 1;
  s.silentMode = 1;
  struct Case {
    bool ac;
    int percent;
    bool battery;
    bool passes;
  } cases[] = {{true, 20, true, true}, {true, 19, true, false}, {false, 90, true, false},
               {true, 100, false, false}};
  for (const Case& c : cases) {
    SetSupply(c.ac, c.percent, "Discharging", c.battery);
    steps.programmed = false;
    FlashSequence(s, steps, view);
    EXPECT_EQ(steps.programmed, c.passes) << c.ac << " " << c.percent << " " << c.battery;
  }
}

TEST_F(FlashSequenceTest, PowerCheckOnlyWhenFlagHasBit2) {
  s.verifyPower = 1;
  s.fileFromCommandLine = 1;
  SetSupply(false, 5, "Discharging");
  steps.flag = 0;
  boxes.Answer(plat::IDCANCEL);
  FlashSequence(s, steps, view);
  EXPECT_TRUE(steps.programmed);

  steps.programmed = false;
  steps.flag = 0x02;
  s.flashVerified = 0;
  FlashSequence(s, steps, view);
  EXPECT_FALSE(steps.programmed);
  EXPECT_EQ(ExitStatusOf(s), kExitPowerCheck);
  EXPECT_EQ(boxes.boxes.back().text,
            "No AC adapter connected or battery is lower than 20%.\nFlash procedure will be cancelled.");
}

TEST_F(FlashSequenceTest, PowerBitsMeaning) {
  EXPECT_TRUE(PowerIsSufficient(1, 1, 20));
  EXPECT_FALSE(PowerIsSufficient(1, 128, 100));
  EXPECT_FALSE(PowerIsSufficient(1, 4, 50));
  EXPECT_FALSE(PowerIsSufficient(1, 1, 255));
  EXPECT_FALSE(PowerIsSufficient(255, 1, 90));
}

TEST_F(FlashSequenceTest, FailedChecksStopBeforeProgramming) {
  s.silentMode = 1;
  steps.checkResult = 3;
  FlashSequence(s, steps, view);
  EXPECT_FALSE(steps.programmed);
  EXPECT_EQ(steps.calls, (std::vector<std::string>{"check"}));

  steps = FakeSteps();
  steps.openOk = false;
  FlashSequence(s, steps, view);
  EXPECT_FALSE(steps.programmed);
  EXPECT_EQ(s.errorCode, 6);

  steps = FakeSteps();
  s.errorCode = 0;
  steps.wsbiOk = false;
  FlashSequence(s, steps, view);
  EXPECT_FALSE(steps.programmed);
  EXPECT_EQ(s.errorCode, 6);
  EXPECT_EQ(steps.calls.back(), "close");
  EXPECT_TRUE(boxes.boxes.empty()) << "silent mode shows nothing";
}

TEST_F(FlashSequenceTest, GeometryFromIniSkipsInterfaceCheck) {
  s.silentMode = 1;
  ImageStatus() = kStatusGeometryFromIni;
  steps.wsbiOk = false;
  FlashSequence(s, steps, view);
  EXPECT_TRUE(steps.programmed);
  for (const std::string& c : steps.calls) EXPECT_NE(c, "wsbi");
}

TEST_F(FlashSequenceTest, UnreadRomNeverFlashes) {
  ImageStatus() = kStatusRomReadFailed;
  s.fileFromCommandLine = 1;
  FlashSequence(s, steps, view);
  EXPECT_FALSE(steps.programmed);
  EXPECT_TRUE(steps.calls.empty());
  EXPECT_EQ(s.errorCode, 6);
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

// A failed run is told as the ROM, read again, shows it: unchanged (refused
// before any request, or failed), changed, or unreadable.
TEST_F(FlashSequenceTest, FailedProgrammingTellsWhatTheRomHolds) {
  struct Case {
    bool sent;
    RomVerifyResult rom;
    int errorCode, refusal;
    std::string text, line;
  } cases[] = {
      {true, {true, 16, 0}, 0, kExitFailedUnchanged, "Program ROM Fail !\nThe flash ROM is unchanged.",
       "Program BIOS Error: ROM unchanged !!!!!!"},
      {false, {true, 16, 0}, 0, kExitRefusedUnchanged, "Program ROM Fail !\nThe flash ROM is unchanged.",
       "Program BIOS Error: ROM unchanged !!!!!!"},
      {true, {true, 16, 3}, 5, 0,
       "Program ROM Fail !\n3 of 16 blocks (64 KiB) differ from the old BIOS.\nDO NOT TURN OFF POWER OR "
       "RESTART!\nFlash the BIOS again, or restore the backup\n/state/backups/QVL.rom.",
       "Program BIOS Error !!!!!!"},
      {true, {false, 16, 0}, 5, 0,
       "Program ROM Fail !\nThe ROM could not be read after the failure.\nDO NOT TURN OFF POWER OR "
       "RESTART!\nFlash the BIOS again, or restore the backup\n/state/backups/QVL.rom.",
       "Program BIOS Error !!!!!!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    boxes.boxes.clear();
    steps.calls.clear();
    s = FlashSettings();
    s.fileFromCommandLine = 1;
    s.errorCode = 3;  // left by an accepted question on the way
    steps.programOk = false;
    steps.requestSent = c.sent;
    steps.afterFailure = c.rom;
    FlashSequence(s, steps, view);
    EXPECT_EQ(s.errorCode, c.errorCode ? c.errorCode : 0);
    if (!c.errorCode) {
      EXPECT_EQ(s.refusal, c.refusal);
    }
    EXPECT_EQ(s.imageLoaded, 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, c.text);
    EXPECT_EQ(view.lines.back(), c.line);
    EXPECT_FALSE(view.dialogShown);
    EXPECT_NE(std::find(steps.calls.begin(), steps.calls.end(), "look"), steps.calls.end());
    for (const std::string& call : steps.calls) EXPECT_NE(call, "verify");
  }
}

// A run the firmware reports as good but whose ROM differs is a programming
// failure: no restart, no refresh, the user is told not to restart.
TEST_F(FlashSequenceTest, VerifyMismatchIsAProgrammingFailure) {
  steps.verify = RomVerifyResult{true, 16, 2};
  s.fileFromCommandLine = 1;
  s.rebootAfterFlash = 1;
  FlashSequence(s, steps, view);
  EXPECT_EQ(s.errorCode, kErrProgramming);
  EXPECT_EQ(ExitStatusOf(s), kErrProgramming);
  EXPECT_TRUE(actions.empty()) << "a bad ROM must not be restarted into";
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Brimlet Error");
  EXPECT_NE(boxes.boxes[0].text.find("2 of 16 blocks (64 KiB) differ"), std::string::npos);
  EXPECT_NE(boxes.boxes[0].text.find("DO NOT TURN OFF POWER OR RESTART!"), std::string::npos);
  EXPECT_NE(boxes.boxes[0].text.find("/state/backups/QVL.rom"), std::string::npos);
  EXPECT_EQ(view.lines.back(), "Verify BIOS Error: 2 block(s) differ !!!!!!");
  EXPECT_EQ(steps.calls.back(), "close");

  // A ROM that cannot be read back is no proof either.
  steps = FakeSteps();
  steps.verify = RomVerifyResult{false, 16, 0};
  s.errorCode = 0;
  s.rebootAfterFlash = 0;
  FlashSequence(s, steps, view);
  EXPECT_EQ(s.errorCode, kErrProgramming);
  EXPECT_NE(boxes.boxes.back().text.find("could not be read back"), std::string::npos);
}

TEST_F(FlashSequenceTest, NoBackupNoFlash) {
  steps.backupOk = false;
  s.silentMode = 1;
  FlashSequence(s, steps, view);
  EXPECT_FALSE(steps.programmed);
  EXPECT_EQ(steps.calls, (std::vector<std::string>{"check", "merge", "open", "wsbi", "backup", "close"}));
  EXPECT_EQ(ExitStatusOf(s), kExitNoBackup);
}

TEST_F(FlashSequenceTest, FSegmentRefusalHasItsOwnStatus) {
  s.silentMode = 1;
  steps.checkResult = kCheckResultNoFSegment;
  FlashSequence(s, steps, view);
  EXPECT_FALSE(steps.programmed);
  EXPECT_EQ(s.errorCode, 0) << "errorCode stays as the check left it";
  EXPECT_EQ(ExitStatusOf(s), kExitFSegmentCheck);
}

TEST_F(FlashSequenceTest, AfterFlashActions) {
  s.silentMode = 1;
  s.rebootAfterFlash = 1;
  FlashSequence(s, steps, view);
  EXPECT_EQ(actions, (std::vector<plat::PowerAction>{plat::PowerAction::Reboot}));

  EXPECT_TRUE(view.lines.empty()) << "silent mode shows nothing";

  // Reboot in interactive mode asks nothing, says the flash succeeded before
  // the restart is started, and still refreshes.
  actions.clear();
  s.silentMode = 0;
  s.fileFromCommandLine = 1;
  steps.calls.clear();
  std::vector<std::string> linesAtRestart;
  plat::SetPowerActionHandler(
      [&](plat::PowerAction a) {
        actions.push_back(a);
        linesAtRestart = view.lines;
        return true;
      },
      [this] { return privileged; });
  FlashSequence(s, steps, view);
  EXPECT_EQ(actions.size(), 1u);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(steps.calls.back(), "discard");
  EXPECT_EQ(linesAtRestart, (std::vector<std::string>{"Programming.........", "Program BIOS OK !!!!!!",
                                                      kRestartingLine}));

  actions.clear();
  view.lines.clear();
  s.rebootAfterFlash = 0;
  s.shutdownAfterFlash = 1;
  FlashSequence(s, steps, view);
  EXPECT_EQ(actions, (std::vector<plat::PowerAction>{plat::PowerAction::Shutdown}));
  EXPECT_EQ(linesAtRestart.back(), kShuttingDownLine);

  // Without the privilege nothing is requested and the sequence goes on.
  actions.clear();
  privileged = false;
  steps.calls.clear();
  FlashSequence(s, steps, view);
  EXPECT_TRUE(actions.empty());
  EXPECT_EQ(steps.calls.back(), "discard");
}

}  // namespace
}  // namespace brim
