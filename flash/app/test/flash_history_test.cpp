#include "app/flash_history.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace brim {
namespace {

FlashRecord Sample() {
  FlashRecord r;
  r.time = 1196251200;
  r.before = {"Quorvel", "QVL", "R1.07", "06/28/07"};
  r.image = {"Quorvel", "QVL", "R1.\"8\"", "07/15/07"};
  r.source = "/images/n\xC3\xAF" "ew\\bios\n.rom\xEF";  // UTF-8, then a Latin-1 byte
  r.settingsWord = 0x0800C10;
  r.exitStatus = 5;
  r.verifyRan = true;
  r.verify = RomVerifyResult{true, 16, 1};
  r.unkept = {{"NVS (A!KN)", "the new image has no such area"}};
  return r;
}

TEST(FlashHistory, OneEscapedJsonObjectPerLine) {
  const std::string line = HistoryLine(Sample());
  EXPECT_EQ(line,
            "{\"time\":\"2007-11-28T12:00:00Z\","
            "\"old\":{\"layout\":\"Quorvel\",\"model\":\"QVL\",\"version\":\"R1.07\",\"date\":\"06/28/07\"},"
            "\"new\":{\"layout\":\"Quorvel\",\"model\":\"QVL\",\"version\":\"R1.\\\"8\\\"\",\"date\":\"07/15/07\"},"
            "\"operation\":\"flash\","
            "\"source\":\"/images/n\xC3\xAF" "ew\\\\bios\\n.rom\\udcef\",\"settingsWord\":\"0x00800C10\",\"exitStatus\":5,"
            "\"result\":\"programming or read-back verify failed\",\"backup\":null,"
            "\"verify\":\"failed: 1 of 16 blocks differ\","
            "\"notKept\":[{\"area\":\"NVS (A!KN)\",\"reason\":\"the new image has no such area\"}]}\n");
}

TEST(FlashHistory, AppendsAfterADamagedLine) {
  plat::TempDir dir;
  plat::ScopedEnv env;
  env.UseFolders(dir.path());
  std::filesystem::create_directories(dir / "state/bios-tools");
  std::ofstream(HistoryPath()) << "{\"time\":\"2007-11-28T1";  // cut off by a crash
  std::string error;
  ASSERT_TRUE(AppendHistory(Sample(), &error)) << error;
  ASSERT_TRUE(AppendHistory(Sample(), &error)) << error;
  std::ifstream in(HistoryPath());
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1] + "\n", HistoryLine(Sample()));
  EXPECT_EQ(lines[2] + "\n", HistoryLine(Sample()));
}

TEST(FlashHistory, UnwritableFileIsReportedWithItsName) {
  plat::TempDir dir;
  plat::ScopedEnv env;
  env.UseFolders(dir.path());
  std::filesystem::create_directories(HistoryPath());  // a folder where the file should be
  std::string error;
  EXPECT_FALSE(AppendHistory(Sample(), &error));
  EXPECT_NE(error.find(HistoryPath()), std::string::npos) << error;
}

}  // namespace
}  // namespace brim
