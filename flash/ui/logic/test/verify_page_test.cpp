// Verify page: Verify All, the after-flash radio buttons, other settings.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/settings_word.h"
#include "scripted_message_box.h"
#include "temp_dir.h"
#include "ui/control_ids.h"
#include "ui/verify_page.h"
#include "ui_test_support.h"

namespace brim {
namespace {

constexpr int kSixBoxes[] = {ids::kCheckSize,          ids::kVerifyModelId, ids::kVerifyChecksum,
                             ids::kVerifyReleaseDate, ids::kCheckPassword, ids::kCheckPower};

class VerifyPageTest : public PageTest {
 protected:
  void AllSixOn() {
    FlashSettings& s = Settings();
    s.verifyChecksum = s.verifyModelId = s.verifyPassword = s.verifyPower = s.verifyReleaseDate = s.verifySize = 1;
  }
  VerifyPage page{controls, Settings()};
};

TEST_F(VerifyPageTest, AllSixSettingsCheckAndGreyTheBoxes) {
  AllSixOn();
  page.Init();
  EXPECT_TRUE(controls.IsChecked(ids::kVerifyAll));
  for (int id : kSixBoxes) {
    EXPECT_TRUE(controls.IsChecked(id)) << id;
    EXPECT_FALSE(controls.IsEnabled(id)) << id;
  }
  EXPECT_EQ(Settings().settingsWord, 0x3Fu);
  EXPECT_TRUE(controls.IsShown(ids::kCheckSize));
  EXPECT_TRUE(controls.IsShown(ids::kExecuteFromNewBios));
}

TEST_F(VerifyPageTest, QuorvelRomHasNoChecksumToVerify) {
  AllSixOn();
  CurrentRomImage().flagWord = 0x10;
  page.Init();
  EXPECT_TRUE(controls.IsChecked(ids::kVerifyAll));
  EXPECT_FALSE(controls.IsChecked(ids::kVerifyChecksum));
  EXPECT_FALSE(controls.IsEnabled(ids::kVerifyChecksum));
  EXPECT_EQ(Settings().settingsWord & kVerifyChecksum, 0u);
  EXPECT_EQ(Settings().settingsWord, 0x3Bu);
  EXPECT_FALSE(controls.IsShown(ids::kCheckSize));
  EXPECT_FALSE(controls.IsShown(ids::kExecuteFromNewBios));

  // Without Verify All the checksum box stays unusable on this layout.
  controls.SetCheck(ids::kVerifyAll, false);
  page.OnClicked(ids::kVerifyAll);
  EXPECT_FALSE(controls.IsEnabled(ids::kVerifyChecksum));
  EXPECT_TRUE(controls.IsEnabled(ids::kVerifyModelId));
  EXPECT_EQ(Settings().settingsWord & kVerifyChecksum, 0u);
}

TEST_F(VerifyPageTest, UncheckingVerifyAllFreesTheBoxesAndKeepsPresets) {
  Settings().verifySize = 1;
  Settings().verifyPower = 1;
  page.Init();
  EXPECT_FALSE(controls.IsChecked(ids::kVerifyAll));
  EXPECT_EQ(Settings().settingsWord, kVerifySize | kVerifyPower);
  for (int id : kSixBoxes) EXPECT_TRUE(controls.IsEnabled(id)) << id;

  controls.SetCheck(ids::kVerifyAll, true);
  page.OnClicked(ids::kVerifyAll);
  EXPECT_EQ(Settings().settingsWord, 0x3Fu);
  controls.SetCheck(ids::kVerifyAll, false);
  page.OnClicked(ids::kVerifyAll);
  EXPECT_TRUE(controls.IsEnabled(ids::kVerifyModelId));
  EXPECT_TRUE(controls.IsChecked(ids::kVerifyModelId)) << "a box without a setting keeps its state";
  EXPECT_EQ(Settings().settingsWord, 0x3Fu);
  controls.SetCheck(ids::kVerifyModelId, false);
  page.OnClicked(ids::kVerifyModelId);
  EXPECT_EQ(Settings().settingsWord, 0x3Fu & ~kVerifyModelId);
}

TEST_F(VerifyPageTest, RebootAndShutdownBothOnEndsWithShutdown) {
  Settings().rebootAfterFlash = 1;
  Settings().shutdownAfterFlash = 1;
  Settings().settingsWord = kReboot | kShutdown;
  page.Init();
  EXPECT_TRUE(controls.IsChecked(ids::kAutoShutdown));
  EXPECT_FALSE(controls.IsChecked(ids::kAutoReboot));
  EXPECT_EQ(Settings().settingsWord & (kReboot | kShutdown), kShutdown);
}

TEST_F(VerifyPageTest, RebootAloneChecksRebootButton) {
  Settings().rebootAfterFlash = 1;
  page.Init();
  EXPECT_TRUE(controls.IsChecked(ids::kAutoReboot));
  EXPECT_EQ(Settings().settingsWord & (kReboot | kShutdown), kReboot);
}

TEST_F(VerifyPageTest, NeitherAfterFlashSettingLeavesTheBits) {
  Settings().settingsWord = kReboot | kShutdown;
  page.Init();
  EXPECT_FALSE(controls.IsChecked(ids::kAutoReboot));
  EXPECT_FALSE(controls.IsChecked(ids::kAutoShutdown));
  EXPECT_EQ(Settings().settingsWord & (kReboot | kShutdown), kReboot | kShutdown);
}

TEST_F(VerifyPageTest, RadioButtonsExcludeEachOther) {
  page.Init();
  controls.SetCheck(ids::kAutoReboot, true);
  page.OnClicked(ids::kAutoReboot);
  EXPECT_EQ(Settings().settingsWord, kReboot);
  controls.SetCheck(ids::kAutoReboot, false);
  controls.SetCheck(ids::kAutoShutdown, true);
  page.OnClicked(ids::kAutoShutdown);
  EXPECT_EQ(Settings().settingsWord, kShutdown);
  controls.SetCheck(ids::kAutoShutdown, false);
  page.OnClicked(ids::kAutoShutdown);
  EXPECT_EQ(Settings().settingsWord, 0u);
  controls.SetCheck(ids::kAutoReboot, false);
  Settings().settingsWord = kReboot;
  page.OnClicked(ids::kAutoReboot);
  EXPECT_EQ(Settings().settingsWord, 0u);
}

TEST_F(VerifyPageTest, OtherSettingsAndHiddenBoxesOwnTheirBits) {
  Settings().loadDefaultCmos = 1;
  Settings().executeFromNewBios = 1;
  page.Init();
  EXPECT_TRUE(controls.IsChecked(ids::kLoadCmosDefault));
  EXPECT_EQ(Settings().settingsWord, kLoadDefaultCmos | kExecuteFromNewBios);
  controls.SetCheck(ids::kHiddenShutdown, true);
  page.OnClicked(ids::kHiddenShutdown);
  EXPECT_EQ(Settings().settingsWord & kShutdown, kShutdown);
  controls.SetCheck(ids::kExecuteFromNewBios, false);
  page.OnClicked(ids::kExecuteFromNewBios);
  EXPECT_EQ(Settings().settingsWord & kExecuteFromNewBios, 0u);
}

TEST_F(VerifyPageTest, MakeWsetWritesTheChosenSettings) {
  plat::TempDir dir;
  std::filesystem::create_directories(dir / "Combine");
  Settings().exeDir = dir.path() + "/";
  Settings().keepDmiData = 1;
  page.Init();
  controls.SetCheck(ids::kVerifyModelId, true);
  page.OnClicked(ids::kVerifyModelId);
  controls.SetCheck(ids::kAutoReboot, true);
  page.OnClicked(ids::kAutoReboot);
  Settings().settingsWord |= kKeepDmiData;
  plat::ScriptedMessageBox boxes;
  page.OnClicked(ids::kMakeWset);
  std::ifstream in(dir / "Combine/Wset.txt", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, "W!SH1000000000000000001000001000000000");
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Make wset.txt successfully!"});
}

}  // namespace
}  // namespace brim
