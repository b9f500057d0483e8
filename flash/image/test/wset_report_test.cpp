// WSET.TXT bytes and the file beside the program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "core/settings_word.h"
#include "image/wset_report.h"
#include "image_test_support.h"
#include "scripted_message_box.h"

namespace brim {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class WsetReport : public ImageTest {
 protected:
  void SetUp() override {
    ImageTest::SetUp();
    Settings().exeDir = dir.path() + "/";
  }
  TempDir dir;
  plat::ScriptedMessageBox boxes;
};

TEST_F(WsetReport, DmiModelIdAndRebootGiveThreeOnes) {
  FlashSettings s;
  s.settingsWord = kKeepDmiData | kVerifyModelId | kReboot;
  const std::string bytes = BuildWsetBytes(s);
  ASSERT_EQ(bytes.size(), kWsetSize);
  EXPECT_EQ(bytes, "W!SH" "1000000000000000001000001000000000");
}

TEST_F(WsetReport, EveryPositionFollowsItsOwnSetting) {
  struct Case {
    uint32_t bit;
    int showLogo, forceReadIni;
    size_t position;
  };
  const Case cases[] = {{kKeepPassword, 0, 0, 1},      {kKeepThermalTable, 0, 0, 16}, {kVerifyReleaseDate, 0, 0, 17},
                        {kVerifySize, 0, 0, 20},       {kVerifyPower, 0, 0, 22},      {0, 1, 0, 23},
                        {kShutdown, 0, 0, 25},         {kLoadDefaultCmos, 0, 0, 26},  {kExecuteFromNewBios, 0, 0, 27},
                        {0, 0, 1, 28}};
  for (const Case& c : cases) {
    FlashSettings s;
    s.settingsWord = c.bit;
    s.showLogo = c.showLogo;
    s.forceReadIni = c.forceReadIni;
    std::string expected = "W!SH" + std::string(34, '0');
    expected[4 + c.position] = '1';
    EXPECT_EQ(BuildWsetBytes(s), expected) << "position " << c.position;
  }
  FlashSettings powerEvent;
  powerEvent.settingsWord = kPowerEventBox | 0xF0000000u;  // bits without a package position
  EXPECT_EQ(BuildWsetBytes(powerEvent), "W!SH" + std::string(34, '0'));
}

TEST_F(WsetReport, WritesThirtyEightBytesAndReplacesOnRewrite) {
  std::filesystem::create_directories(dir.File("Combine"));
  Settings().settingsWord = kKeepDmiData | kVerifyModelId | kReboot;
  ASSERT_TRUE(MakeWsetReport());
  ASSERT_TRUE(MakeWsetReport());
  EXPECT_EQ(ReadText(dir.File("Combine/Wset.txt")), "W!SH1000000000000000001000001000000000");
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].text, "Make wset.txt successfully!");
  EXPECT_EQ(boxes.boxes[0].caption, "Brimlet");
  EXPECT_EQ(Settings().errorCode, 0);
}

TEST_F(WsetReport, MissingCombineFolderIsReportedNotCreated) {
  EXPECT_FALSE(MakeWsetReport());
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            "Could not open wset.txt file.\n" + dir.File("Combine/Wset.txt") + ": No such file or directory");
  EXPECT_EQ(boxes.boxes[0].caption, "Brimlet Error");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST);
  EXPECT_EQ(Settings().errorCode, kErrOpenImage);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Combine")));
}

TEST_F(WsetReport, FailedWriteIsNotAnnouncedAsSuccess) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  // The Combine folder is a link to a device that refuses every byte.
  std::filesystem::create_directories(dir.File("Combine"));
  std::filesystem::create_symlink("/dev/full", dir.File("Combine/Wset.txt"));
  EXPECT_FALSE(MakeWsetReport());
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            "Could not write wset.txt file.\n" + dir.File("Combine/Wset.txt") + ": No space left on device");
  EXPECT_EQ(Settings().errorCode, kErrOpenImage);
}

}  // namespace
}  // namespace brim
