// The ROM and new-image information reports.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "image/info_report.h"
#include "image/region_locator.h"
#include "image_test_support.h"
#include "imagegen/layouts.h"
#include "temp_dir.h"

namespace brim {
namespace {

class RecordingList : public InfoList {
 public:
  struct Line {
    std::string text;
    bool info;
  };
  void Clear() override {
    lines.clear();
    ++clears;
  }
  int LineCount() const override { return static_cast<int>(lines.size()); }
  int AddInfoLine(const std::string& text) override {
    lines.push_back({text, true});
    return LineCount() - 1;
  }
  int InsertMessageLine(int index, const std::string& text) override {
    if (index < 0 || index > LineCount()) index = LineCount();
    lines.insert(lines.begin() + index, {text, false});
    return index;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const Line& l : lines) t.push_back(l.text);
    return t;
  }
  std::vector<Line> lines;
  int clears = 0;
};

void SetText(char* field, size_t n, const char* text) {
  std::memset(field, 0, n);
  std::memcpy(field, text, std::min(n, std::strlen(text)));
}

class InfoReport : public ImageTest {
 protected:
  // A Tarvex ROM record without image bytes: identity fields only.
  BiosImage TarvexRom() {
    BiosImage rom;
    rom.flagWord = 0;
    rom.checksum = 0x1A2B;
    rom.baseAddress = 0xFFF00000;
    SetText(rom.versionText, sizeof rom.versionText, "V1.05");
    SetText(rom.dateText, sizeof rom.dateText, "06/28/07");
    return rom;
  }
};

TEST_F(InfoReport, TarvexRomShowsEveryLabelWithLowerCaseHex) {
  const RomInfoLines lines = BuildRomInfoLines(TarvexRom(), "ignored");
  const std::vector<std::string> expected = {
      " BIOS Vendor      :  Tarvex",       " BIOS Version      :  V1.05",
      " BIOS Serial No :  ",               " Release Date   :  06/28/07",
      " CheckSum       :  0x1a2b",         " ROM Physical Address : 0xfff00000",
  };
  EXPECT_EQ(lines.info, expected);
  EXPECT_EQ(lines.flashRomType, "") << "no type line for an empty type text";
}

TEST_F(InfoReport, FlashRomTypeLineOnlyWhenTypeKnown) {
  BiosImage rom = TarvexRom();
  SetText(rom.flashRomType, sizeof rom.flashRomType, "SST 49LF008A");
  EXPECT_EQ(BuildRomInfoLines(rom, "").flashRomType, " Flash ROM Type :  SST 49LF008A");
}

TEST_F(InfoReport, UnterminatedFieldsAreReadWithinTheirSize) {
  BiosImage rom = TarvexRom();
  std::memset(rom.versionText, 'V', sizeof rom.versionText);
  std::memset(rom.dateText, 'D', sizeof rom.dateText);
  const RomInfoLines lines = BuildRomInfoLines(rom, "");
  EXPECT_EQ(lines.info[1], " BIOS Version      :  " + std::string(32, 'V'));
  EXPECT_EQ(lines.info[3], " Release Date   :  " + std::string(9, 'D'));
}

TEST_F(InfoReport, QuorvelRomTakesVersionFromSmbiosAndShowsBuildTime) {
  BiosImage rom = TarvexRom();
  rom.flagWord = 0x10;
  SetText(rom.buildTimeText, sizeof rom.buildTimeText, "11:50:05");
  const RomInfoLines lines = BuildRomInfoLines(rom, "R1.07.0003");
  const std::vector<std::string> expected = {
      " BIOS Vendor      :  Quorvel", " BIOS Version      :  R1.07.0003",
      " BIOS Build Time :  06/28/07 11:50:05", " CheckSum       :  0x1a2b",
      " ROM Physical Address : 0xfff00000",
  };
  EXPECT_EQ(lines.info, expected);
}

TEST_F(InfoReport, LongValuesAreCutTo99Characters) {
  const RomInfoLines lines = BuildRomInfoLines([] {
    BiosImage rom;
    rom.flagWord = 0x10;
    return rom;
  }(), std::string(300, 'x'));
  ASSERT_EQ(lines.info[1].size(), kMaxInfoLineChars);
  EXPECT_EQ(lines.info[1].substr(0, 22), " BIOS Version      :  ");
}

TEST_F(InfoReport, QuorvelNewImageHasBuildTimeAndNoSerialLine) {
  BiosImage image;
  image.flagWord = 0x10;
  image.checksum = 0xBEEF;
  SetText(image.versionText, sizeof image.versionText, "R1.08");
  SetText(image.dateText, sizeof image.dateText, "06/28/07");
  SetText(image.buildTimeText, sizeof image.buildTimeText, "11:50:05");
  const std::vector<std::string> expected = {" BIOS Version   : R1.08", " BIOS Build Time :  06/28/07 11:50:05",
                                             " CheckSum       : 0xbeef"};
  EXPECT_EQ(BuildNewImageInfoLines(image), expected);
}

TEST_F(InfoReport, TarvexNewImageSerialFromIdentityBlock) {
  const imagegen::Bytes bytes = imagegen::BuildTarvex(imagegen::TarvexSpec{});
  Adopt(NewImage(), bytes, 0);
  LocateRegions(NewImage());
  const std::vector<std::string> lines = BuildNewImageInfoLines(NewImage());
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], " BIOS Version   : V1.05");
  EXPECT_EQ(lines[1].rfind(" BIOS Serial No : S1", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2], " Release Date   :  06/28/07");
}

TEST_F(InfoReport, ShowingRomReportTwiceReplacesIt) {
  CurrentRomImage() = TarvexRom();
  SetText(CurrentRomImage().flashRomType, sizeof CurrentRomImage().flashRomType, "W29C040");
  RecordingList list;
  ShowRomInfo(list);
  const std::vector<std::string> first = list.Texts();
  ShowRomInfo(list);
  EXPECT_EQ(list.Texts(), first);
  ASSERT_EQ(list.lines.size(), 7u);
  EXPECT_FALSE(list.lines.back().info) << "the type line is written in the message colours";
  EXPECT_TRUE(list.lines.front().info);
}

TEST_F(InfoReport, QuorvelVersionReadFromDmiRoot) {
  plat::TempDir dir;
  std::ofstream(dir / "bios_version") << "R1.07.0042\n";
  plat::ScopedEnv env;
  env.Set("BIOS_TOOLS_DMI_ROOT", dir.path());
  EXPECT_EQ(SmbiosBiosVersion(), "R1.07.0042");
  CurrentRomImage() = TarvexRom();
  CurrentRomImage().flagWord = 0x10;
  RecordingList list;
  ShowRomInfo(list);
  EXPECT_EQ(list.lines.at(1).text, " BIOS Version      :  R1.07.0042");

  env.Set("BIOS_TOOLS_DMI_ROOT", dir / "missing");
  EXPECT_EQ(SmbiosBiosVersion(), "");
  ShowRomInfo(list);
  EXPECT_EQ(list.lines.at(1).text, " BIOS Version      :  ") << "a missing value leaves the label alone";
}

TEST_F(InfoReport, NewImageReportEmptiesTheListFirst) {
  RecordingList list;
  list.AddInfoLine("stale");
  NewImage().flagWord = 0x10;
  ShowNewImageInfo(list);
  EXPECT_EQ(list.lines.size(), 3u);
  EXPECT_NE(list.lines.front().text, "stale");
}

}  // namespace
}  // namespace brim
