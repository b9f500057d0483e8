#include "core/startup.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/exit_status.h"
#include "core/settings_location.h"
#include "core/settings_word.h"
#include "core/usage_text.h"
#include "platform/named_mutex.h"
#include "scripted_message_box.h"
#include "temp_dir.h"

namespace brim {
namespace {

class RecordingHost : public StartupHost {
 public:
  bool driverOk = true, deviceOk = true, supportOk = true;
  uint32_t statusOnConstruct = 0;
  std::vector<std::string> calls;
  std::string driverFile;
  uint32_t wordAtFlash = 0;
  int32_t pendingAtFlash = -1;

  bool OpenDriverService(const std::string& file) override {
    driverFile = file;
    calls.push_back("driver");
    return driverOk;
  }
  bool OpenFlashDevice() override {
    calls.push_back("device");
    return deviceOk;
  }
  bool CheckBiosSupport() override {
    calls.push_back("support");
    return supportOk;
  }
  void CloseFlashDevice() override { calls.push_back("close"); }
  void ConstructMainWindow() override {
    calls.push_back("construct");
    ImageStatus() |= statusOnConstruct;
  }
  void ShowMainWindow() override { calls.push_back("show"); }
  void DestroyMainWindow() override { calls.push_back("destroy"); }
  bool loadSucceeds = true;
  void LoadNewImage() override {
    calls.push_back("load");
    if (loadSucceeds) Settings().imageLoaded = 1;
    else Settings().errorCode = kErrOpenImage;
  }
  void RunFlashSequence() override {
    calls.push_back("flash");
    wordAtFlash = Settings().settingsWord;
    pendingAtFlash = Settings().autoFlashPending;
  }
};

using Calls = std::vector<std::string>;

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env.UseFolders(dir.path());
    Settings() = FlashSettings();
    ImageStatus() = 0;
  }
  std::string Exe() const { return dir / "brimlet"; }

  plat::TempDir dir;
  plat::ScopedEnv env;
  plat::ScriptedMessageBox boxes;
  RecordingHost host;
};

TEST_F(StartupTest, SilentRunGoesThroughEveryStepInOrder) {
  EXPECT_EQ(RunStartup("/silent /kall", Exe(), host), 0);
  EXPECT_EQ(host.calls, (Calls{"driver", "device", "support", "close", "construct", "load",
                               "flash", "destroy"}));
  EXPECT_EQ(host.driverFile, dir / "flash.sys");
  EXPECT_EQ(Settings().exeDir, dir.path() + "/");
  EXPECT_EQ(Settings().iniPath, dir / "setting.ini");
  EXPECT_EQ(host.wordAtFlash & kKeepAllBits, kKeepAllBits);
  EXPECT_EQ(host.pendingAtFlash, 0);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(StartupTest, InteractiveRunShowsWindowWithSettingsWordBuilt) {
  EXPECT_EQ(RunStartup("", Exe(), host), 0);
  EXPECT_EQ(host.calls, (Calls{"driver", "device", "support", "close", "construct", "show",
                               "destroy"}));
  EXPECT_EQ(Settings().settingsWord, kKeepDmiData | kKeepBootBlock);
  EXPECT_EQ(Settings().autoFlashPending, 1);
}

TEST_F(StartupTest, FailedLoadEndsWithoutFlashAndKeepsItsError) {
  host.loadSucceeds = false;
  EXPECT_EQ(RunStartup("/silent", Exe(), host), kErrOpenImage);
  EXPECT_EQ(host.calls, (Calls{"driver", "device", "support", "close", "construct", "load",
                               "destroy"}));
}

TEST_F(StartupTest, FolderNamedLikeProgramKeepsWholeFolder) {
  const std::string exe = dir / "brimlet/brimlet";
  RunStartup("/silent", exe, host);
  EXPECT_EQ(Settings().exeDir, dir / "brimlet/");
  EXPECT_EQ(Settings().exeFileName, "brimlet");
}

TEST_F(StartupTest, SettingsFileIsReadAfterCommandLine) {
  std::ofstream(dir / "setting.ini") << "[FUNCTION]\nREBOOT=1\n[VERIFY_FUNCTION]\nVERIFYSIZE=1\n";
  RunStartup("/silent", Exe(), host);
  // /silent fixes the keep group, so REBOOT is not read; the verify group is.
  EXPECT_EQ(Settings().rebootAfterFlash, 0);
  EXPECT_EQ(host.wordAtFlash & (kVerifySize | kReboot), kVerifySize);
}

TEST_F(StartupTest, DriverServiceFailureEndsBeforeAnythingElse) {
  host.driverOk = false;
  EXPECT_NE(RunStartup("/silent", Exe(), host), 0);
  EXPECT_EQ(host.calls, (Calls{"driver"}));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  // The fixed text, then where the module was looked for.
  EXPECT_EQ(boxes.boxes[0].text, "Open flash.sys Fail\n" + host.driverFile);
  EXPECT_EQ(host.driverFile, dir / "flash.sys");
  EXPECT_EQ(boxes.boxes[0].caption, "Brimlet Error");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_TOPMOST | plat::MB_ICONINFORMATION);
}

TEST_F(StartupTest, DeviceOpenFailureSetsErrorAndStatus) {
  host.deviceOk = false;
  EXPECT_EQ(RunStartup("/silent", Exe(), host), 6);
  EXPECT_EQ(Settings().errorCode, 6);
  EXPECT_TRUE(ImageStatus() & kStatusDeviceOpenFailed);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Device Driver Open Fail !");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_TOPMOST | plat::MB_ICONEXCLAMATION);
  for (const std::string& c : host.calls) EXPECT_NE(c, "flash");
}

TEST_F(StartupTest, NoBiosSupportEndsWithoutFlash) {
  host.supportOk = false;
  EXPECT_NE(RunStartup("/silent", Exe(), host), 0);
  EXPECT_EQ(host.calls, (Calls{"driver", "device", "support", "close"}));
}

TEST_F(StartupTest, HelpShowsOnlyUsage) {
  EXPECT_EQ(RunStartup("/? /silent /kall", Exe(), host), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, UsageText());
  for (const std::string& c : host.calls) {
    EXPECT_NE(c, "construct");
    EXPECT_NE(c, "flash");
  }
}

TEST_F(StartupTest, StatusBitsFromWindowConstructionStopTheFlash) {
  for (uint32_t bit : {kStatusDeviceOpenFailed, kStatusRomInfoFailed, kStatusPasswordRefused}) {
    Settings() = FlashSettings();
    ImageStatus() = 0;
    host.calls.clear();
    host.statusOnConstruct = bit;
    EXPECT_NE(RunStartup("/silent", Exe(), host), 0) << bit;
    EXPECT_EQ(host.calls.back(), "destroy");
    for (const std::string& c : host.calls) {
      EXPECT_NE(c, "load") << bit;
      EXPECT_NE(c, "show") << bit;
    }
  }
  // The geometry-from-file bit alone does not.
  Settings() = FlashSettings();
  ImageStatus() = 0;
  host.calls.clear();
  host.statusOnConstruct = kStatusGeometryFromIni;
  RunStartup("/silent", Exe(), host);
  EXPECT_EQ(host.calls[host.calls.size() - 2], "flash");
}

TEST_F(StartupTest, SecondInstanceShowsOnlyItsMessage) {
  int toChild[2], toParent[2];
  ASSERT_EQ(::pipe(toChild), 0);
  ASSERT_EQ(::pipe(toParent), 0);
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    plat::NamedMutex first("Brimlet");
    char c = first.TryAcquire() ? 'y' : 'n';
    (void)!::write(toParent[1], &c, 1);
    (void)!::read(toChild[0], &c, 1);  // hold it until the parent is done
    ::_exit(0);
  }
  char held = 0;
  ASSERT_EQ(::read(toParent[0], &held, 1), 1);
  ASSERT_EQ(held, 'y');

  EXPECT_EQ(RunStartup("/kdmi", Exe(), host), kExitAlreadyRunning);
  // Silent mode shows no box; the refusal goes to stderr.
  EXPECT_EQ(RunStartup("/silent", Exe(), host), kExitAlreadyRunning);
  char done = 'x';
  (void)!::write(toChild[1], &done, 1);
  int status = 0;
  ::waitpid(pid, &status, 0);

  EXPECT_TRUE(host.calls.empty());
  EXPECT_EQ(Settings().alreadyRunning, 1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Brimlet have been running !");
  EXPECT_EQ(boxes.boxes[0].flags & plat::MB_ICONMASK, plat::MB_ICONINFORMATION);
  for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) ::close(fd);
}

// A lock file that cannot be used is not another instance: its own message
// names the file and the reason, and nothing is touched.
TEST_F(StartupTest, UnusableLockFileHasItsOwnMessage) {
  std::filesystem::create_directories(dir / "run/Brimlet.lock");
  EXPECT_EQ(RunStartup("/kdmi", Exe(), host), kExitLockUnavailable);
  EXPECT_TRUE(host.calls.empty());
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_NE(boxes.boxes[0].text, kAlreadyRunningText);
  EXPECT_NE(boxes.boxes[0].text.find(dir / "run/Brimlet.lock"), std::string::npos) << boxes.boxes[0].text;
  EXPECT_EQ(boxes.boxes[0].caption, "Brimlet Error");
}

TEST_F(StartupTest, OverlongFileNameIsRefusedNotCut) {
  const std::string name(300, 'a');
  EXPECT_EQ(RunStartup("/silent /f:" + name, Exe(), host), kExitFileNameTooLong);
  for (const std::string& c : host.calls) EXPECT_NE(c, "construct");

  // 259 characters fit the field, but not once the program's folder is put in front.
  Settings() = FlashSettings();
  host.calls.clear();
  EXPECT_EQ(RunStartup("/f:" + std::string(259, 'b'), Exe(), host), kExitFileNameTooLong);
  ASSERT_FALSE(boxes.boxes.empty());
  EXPECT_NE(boxes.boxes.back().text.find("longer than 259 characters"), std::string::npos);

  Settings() = FlashSettings();
  host.calls.clear();
  EXPECT_EQ(RunStartup("/silent /f:" + std::string(258, 'c'), "/brimlet", host), 0);
  EXPECT_EQ(Settings().commandLineFileName.size(), 258u);
}

TEST_F(StartupTest, MutexIsReleasedAfterStartup) {
  RunStartup("/silent", Exe(), host);
  plat::NamedMutex again("Brimlet");
  EXPECT_TRUE(again.TryAcquire());
}

TEST(UsageText, LinesAreLaidOutAsShown) {
  const std::string& t = UsageText();
  EXPECT_EQ(t.rfind("Brimlet BIOS Update Program   Version 1.05.08\n\nUsage:\n\n", 0), 0u);
  EXPECT_NE(t.find("\n            /?\t\tShow this help usage\n"), std::string::npos);
  EXPECT_NE(t.find("\n            /f:BINFile\tInput BIOS file name\n\nExample:\n"), std::string::npos);
  EXPECT_NE(t.find("Brimlet [ option ] [FileName] \n\n option:\n"), std::string::npos);
}

// The installed program (in its private folder) checks model, size and
// release unless setting.ini or /force says otherwise; elsewhere nothing changes.
struct InstalledDefaultsCase {
  const char* name;
  const char* folder;
  const char* args;
  const char* userIni;  // "" : none
  uint32_t verifyBits;
};

constexpr uint32_t kInstalledChecks = kVerifyModelId | kVerifySize | kVerifyReleaseDate;

const InstalledDefaultsCase kInstalledDefaultsCases[] = {
    {"InstalledChecksModelSizeRelease", "usr/lib/bios-tools", "/silent", "", kInstalledChecks},
    {"BuildFolderUnchanged", "build/flash/ui", "/silent", "", 0},
    {"ForceOverrides", "usr/lib/bios-tools", "/silent /force", "", 0},
    {"SettingsFileRules", "usr/lib/bios-tools", "/silent", "[VERIFY_FUNCTION]\nVERIFYMODELID=0\nVERIFYCHECKSUM=1\n",
     kVerifySize | kVerifyReleaseDate | kVerifyChecksum},
};

class InstalledDefaults : public StartupTest, public ::testing::WithParamInterface<InstalledDefaultsCase> {};

TEST_P(InstalledDefaults, VerifyBitsAtFlash) {
  const InstalledDefaultsCase& c = GetParam();
  std::filesystem::create_directories(dir / c.folder);
  if (*c.userIni) {
    std::filesystem::create_directories(std::filesystem::path(UserSettingsFilePath()).parent_path());
    std::ofstream(UserSettingsFilePath()) << c.userIni;
  }
  ASSERT_EQ(RunStartup(c.args, dir / c.folder + "/brimlet", host), 0);
  const uint32_t verifyAll = kInstalledChecks | kVerifyChecksum | kVerifyPassword | kVerifyPower;
  EXPECT_EQ(host.wordAtFlash & verifyAll, c.verifyBits);
}

INSTANTIATE_TEST_SUITE_P(Runs, InstalledDefaults, ::testing::ValuesIn(kInstalledDefaultsCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brim
