#include "core/settings_location.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/settings_file.h"
#include "core/settings_word.h"
#include "platform/ini_profile.h"
#include "temp_dir.h"

namespace brim {
namespace {

class SettingsLocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env.UseFolders(dir.path());
    std::filesystem::create_directories(privateDir);
  }
  plat::TempDir dir;
  plat::ScopedEnv env;
  const std::string privateDir = dir / "usr/lib/bios-tools";
  const std::string userIni = dir / "config/bios-tools/setting.ini";
};

TEST_F(SettingsLocationTest, BesideTheProgramWhenItsFolderCanHoldIt) {
  EXPECT_EQ(SettingsFilePath(dir.path() + "/"), dir / "setting.ini");
  EXPECT_EQ(UserSettingsFilePath(), userIni);
}

TEST_F(SettingsLocationTest, TheInstalledPrivateFolderAndFoldersThatCannotBeWrittenUseTheUsersFile) {
  EXPECT_EQ(SettingsFilePath(privateDir + "/"), userIni);
  EXPECT_EQ(SettingsFilePath(dir / "no/such/folder/"), userIni);
}

TEST_F(SettingsLocationTest, AFileAlreadyBesideTheProgramIsAlwaysTheOneUsed) {
  std::ofstream(privateDir + "/setting.ini") << "[FUNCTION]\nREBOOT=1\n";
  EXPECT_EQ(SettingsFilePath(privateDir + "/"), privateDir + "/setting.ini");
}

TEST_F(SettingsLocationTest, SavingFromTheInstalledFolderWritesTheUsersFileAndLeavesTheFolderAlone) {
  WriteSettingsFile(kKeepPassword | kReboot, privateDir + "/brimlet");
  EXPECT_FALSE(std::filesystem::exists(privateDir + "/setting.ini"));
  ASSERT_TRUE(std::filesystem::exists(userIni));
  FlashSettings s;
  SetStartupDefaults(s);
  ReadSettingsFile(s, SettingsFilePath(privateDir + "/"));
  EXPECT_EQ(s.keepPassword, 1);
  EXPECT_EQ(s.rebootAfterFlash, 1);
}

}  // namespace
}  // namespace brim
