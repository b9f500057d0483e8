#include "image/region_merge.h"

#include <cstring>

#include "core/settings_word.h"
#include "image/image_layout.h"
#include "image/region_locator.h"
#include "image_test_support.h"
#include "imagegen/layouts.h"

namespace brim {
namespace {

constexpr uint32_t kBase = 0xFFF00000;

bool SameBytes(const BiosImage& a, size_t aAt, const BiosImage& b, size_t bAt, size_t n) {
  return std::memcmp(a.bytes + aAt, b.bytes + bAt, n) == 0;
}

class Merge : public ImageTest {
 protected:
  void Load(const std::vector<uint8_t>& rom, const std::vector<uint8_t>& img, uint32_t flag) {
    Adopt(CurrentRomImage(), rom, flag, kBase);
    LocateRegions(CurrentRomImage());
    Settings().imageLoaded = 1;
    Adopt(NewImage(), img, flag);
    LocateRegions(NewImage());
    before_ = NewImage().buffer;
  }
  bool Unchanged() const { return NewImage().buffer == before_; }
  // Bytes of the new image outside [at, at + n) that changed.
  size_t ChangedOutside(size_t at, size_t n) const {
    size_t changed = 0;
    for (size_t i = 0; i < before_.size(); ++i)
      if (i < at || i >= at + n) changed += before_[i] != NewImage().buffer[i];
    return changed;
  }

  ImageBytes before_;
};

TEST_F(Merge, TarvexCarriesTheSmDmiArea) {
  imagegen::TarvexSpec rom, img;
  rom.moduleIndex = img.moduleIndex = false;
  rom.smAnchors = img.smAnchors = {0x60000};
  rom.seed = 10;
  img.seed = 20;
  Load(imagegen::BuildTarvex(rom), imagegen::BuildTarvex(img), 0);
  ASSERT_FALSE(SameBytes(NewImage(), 0x60000, CurrentRomImage(), 0x60000, 0x800));
  Settings().settingsWord = kKeepDmiData;
  MergeKeptRegions();
  EXPECT_TRUE(SameBytes(NewImage(), 0x60000, CurrentRomImage(), 0x60000, 0x800));
  EXPECT_EQ(ChangedOutside(0x60000, 0x800), 0u);
}

TEST_F(Merge, TarvexNeedsEqualLengthsAndLeadingText) {
  imagegen::TarvexSpec rom, img;
  rom.seed = 10;
  img.seed = 20;
  rom.areas = {{"A!PS", 0x40000, 0x100}, {"A!42", 0x50000, 0x400}};
  img.areas = {{"A!PS", 0x40000, 0x180}, {"A!42", 0x50000, 0x400}};
  Load(imagegen::BuildTarvex(rom), imagegen::BuildTarvex(img), 0);
  // Module-index DMI areas start with different pattern bytes.
  Settings().settingsWord = kKeepAllBits;
  MergeKeptRegions();
  EXPECT_FALSE(SameBytes(NewImage(), 0x40000, CurrentRomImage(), 0x40000, 0x100));
  EXPECT_FALSE(SameBytes(NewImage(), 0x20000, CurrentRomImage(), 0x20000, 0x800));
  EXPECT_TRUE(SameBytes(NewImage(), 0x50000, CurrentRomImage(), 0x50000, 0x400));
}

// The rules stay silent; what they left behind is named with its reason.
TEST_F(Merge, TarvexAreasLeftBehindAreNamed) {
  imagegen::TarvexSpec rom, img;
  rom.seed = 10;
  img.seed = 20;
  rom.areas = {{"A!PS", 0x40000, 0x100}, {"A!42", 0x50000, 0x400}, {"A!SC", 0x58000, 0x40}};
  img.areas = {{"A!PS", 0x40000, 0x180}, {"A!42", 0x50000, 0x400}};
  Load(imagegen::BuildTarvex(rom), imagegen::BuildTarvex(img), 0);
  Settings().settingsWord = kKeepPassword | kKeepMasterLogo | kKeepScPassword | kKeepSlaveLogo;
  std::vector<UnkeptArea> unkept;
  MergeKeptRegions(NewImage(), CurrentRomImage(), &unkept);
  ASSERT_EQ(unkept.size(), 2u);
  EXPECT_EQ(unkept[0].area, "password area (A!PS)");
  EXPECT_EQ(unkept[0].reason, "the lengths differ (current BIOS 0x100, new image 0x180)");
  EXPECT_EQ(unkept[1].area, "smart-card password (A!SC)");
  EXPECT_EQ(unkept[1].reason, "the new image has no such area");

  // Nothing is named for areas no keep setting asked for.
  unkept.clear();
  Settings().settingsWord = kKeepMasterLogo;
  MergeKeptRegions(NewImage(), CurrentRomImage(), &unkept);
  EXPECT_TRUE(unkept.empty());
}

TEST_F(Merge, QuorvelAreaPlacedElsewhereInTheNewImageIsNamed) {
  imagegen::QuorvelSpec rom, img;
  rom.seed = 10;
  img.seed = 20;
  img.directory[1] = {"A!PS", 0xFFF16000, 0x1000};
  Load(imagegen::BuildQuorvel(rom), imagegen::BuildQuorvel(img), kFlagQuorvel);
  Settings().settingsWord = kKeepPassword | kKeepNvs;
  std::vector<UnkeptArea> unkept;
  MergeKeptRegions(NewImage(), CurrentRomImage(), &unkept);
  ASSERT_EQ(unkept.size(), 1u);
  EXPECT_EQ(unkept[0].area, "password area (A!PS)");
  EXPECT_EQ(unkept[0].reason,
            "the new image places it at 0x16000 (0x1000 bytes), the current BIOS at 0x15000 (0x1000 bytes); "
            "the bytes at the new place were carried over");
}

// Boxes that cannot be honoured are named with the reason that holds.
TEST_F(Merge, QuorvelBoxesItCannotHonourAreNamedWithTheirReason) {
  struct Case {
    const char* name;
    uint32_t word;
    const char* area;
    const char* reason;
  };
  const Case cases[] = {
      {"power event has no rule", kPowerEventBox, "power event (A!PE)",
       "brimlet carries no such area over for a Quorvel BIOS"},
      {"the ROM's A!KA is never located", kKeepInvertEeprom, "inverter EEPROM (A!KA)",
       "the area was not located in the current BIOS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    imagegen::QuorvelSpec rom, img;
    rom.seed = 10;
    img.seed = 20;
    rom.invertEepromTags = img.invertEepromTags = {0x90000};
    rom.directory.push_back({"A!PE", 0xFFF17000, 0x100});
    img.directory.push_back({"A!PE", 0xFFF17000, 0x100});
    Settings().imageLoaded = 0;  // the ROM is read before any image is loaded
    Load(imagegen::BuildQuorvel(rom), imagegen::BuildQuorvel(img), kFlagQuorvel);
    Settings().settingsWord = c.word;
    std::vector<UnkeptArea> unkept;
    MergeKeptRegions(NewImage(), CurrentRomImage(), &unkept);
    ASSERT_EQ(unkept.size(), 1u);
    EXPECT_EQ(unkept[0].area, c.area);
    EXPECT_EQ(unkept[0].reason, c.reason);
    EXPECT_TRUE(Unchanged());
  }
}

TEST_F(Merge, TarvexCopiesDmiWhoseLeadingTextMatches) {
  imagegen::TarvexSpec rom, img;
  rom.seed = 10;
  img.seed = 20;
  auto romBytes = imagegen::BuildTarvex(rom), imgBytes = imagegen::BuildTarvex(img);
  std::memcpy(&romBytes[0x20000], "DM\0x", 4);
  std::memcpy(&imgBytes[0x20000], "DM\0y", 4);  // equal as texts: the NUL ends them
  Load(romBytes, imgBytes, 0);
  Settings().settingsWord = kKeepDmiData;
  MergeKeptRegions();
  EXPECT_TRUE(SameBytes(NewImage(), 0x20000, CurrentRomImage(), 0x20000, 0x800));
}

TEST_F(Merge, NothingChangesWithoutKeepSettingsOrPresenceBits) {
  imagegen::TarvexSpec rom, img;
  rom.seed = 10;
  img.seed = 20;
  rom.areas = img.areas = {{"A!PS", 0x40000, 0x100}, {"A!SC", 0x41000, 0x80}, {"A!KA", 0x42000, 0x100}};
  Load(imagegen::BuildTarvex(rom), imagegen::BuildTarvex(img), 0);
  Settings().settingsWord = 0;
  MergeKeptRegions();
  EXPECT_TRUE(Unchanged());
  Settings().settingsWord = kKeepAllBits;
  ImageStatus() = 0;
  MergeKeptRegions();
  EXPECT_TRUE(Unchanged());
}

TEST_F(Merge, QuorvelReferencePasswordAreaComesFromTheSameAddress) {
  imagegen::QuorvelSpec romSpec = imagegen::ReferenceImageSpec();
  romSpec.seed = 99;
  Adopt(CurrentRomImage(), imagegen::BuildQuorvel(romSpec), kFlagQuorvel, kBase);
  LocateRegions(CurrentRomImage());  // no image loaded yet: no directory pointers
  EXPECT_EQ(CurrentRomImage().Region(kRegionPassword).data, nullptr);
  Settings().imageLoaded = 1;
  Adopt(NewImage(), imagegen::BuildReferenceImage(), kFlagQuorvel);
  LocateRegions(NewImage());
  before_ = NewImage().buffer;
  ASSERT_FALSE(SameBytes(NewImage(), 0x15000, CurrentRomImage(), 0x15000, 0x1000));
  Settings().settingsWord = kKeepPassword;
  MergeKeptRegions();
  EXPECT_TRUE(SameBytes(NewImage(), 0x15000, CurrentRomImage(), 0x15000, 0x1000));
  EXPECT_EQ(ChangedOutside(0x15000, 0x1000), 0u);
  ImageBytes once = NewImage().buffer;
  MergeKeptRegions();
  EXPECT_EQ(NewImage().buffer, once);  // a second run changes nothing more
}

TEST_F(Merge, QuorvelAreasUseTheirOwnLengths) {
  imagegen::QuorvelSpec rom, img;
  rom.seed = 7;
  img.seed = 8;
  rom.directory = img.directory = {{"A!42", kBase + 0x30000, 0x3000}, {"A!43", kBase + 0x40000, 0x800}};
  Load(imagegen::BuildQuorvel(rom), imagegen::BuildQuorvel(img), kFlagQuorvel);
  Settings().settingsWord = kKeepSlaveLogo;
  MergeKeptRegions();
  EXPECT_TRUE(SameBytes(NewImage(), 0x40000, CurrentRomImage(), 0x40000, 0x800));
  EXPECT_EQ(ChangedOutside(0x40000, 0x800), 0u);
  EXPECT_FALSE(SameBytes(NewImage(), 0x30000, CurrentRomImage(), 0x30000, 0x3000));
}

TEST_F(Merge, QuorvelInvertEepromNeedsTheSameLeadingText) {
  imagegen::QuorvelSpec rom, img;
  rom.seed = 7;
  img.seed = 8;
  rom.invertEepromTags = img.invertEepromTags = {0x90000};
  Load(imagegen::BuildQuorvel(rom), imagegen::BuildQuorvel(img), kFlagQuorvel);
  CurrentRomImage().Region(kRegionInvertEeprom).data = CurrentRomImage().bytes + 0x90000;
  Settings().settingsWord = kKeepInvertEeprom;
  MergeKeptRegions();
  EXPECT_TRUE(SameBytes(NewImage(), 0x90000, CurrentRomImage(), 0x90000, 256));
  CurrentRomImage().bytes[0x90000] = 'X';
  NewImage().bytes[0x900F0] ^= 0xFF;
  MergeKeptRegions();
  EXPECT_FALSE(SameBytes(NewImage(), 0x90000, CurrentRomImage(), 0x90000, 256));
}

TEST_F(Merge, QuorvelSkipsAreasBeyondTheCurrentRom) {
  imagegen::QuorvelSpec img;
  img.directory = {{"A!PS", kBase + 0xFF000, 0x1000}};
  Load(std::vector<uint8_t>(0x80000, 0xEE), imagegen::BuildQuorvel(img), kFlagQuorvel);
  // Point the ROM pair into range, but too close to its end for the length.
  CurrentRomImage().Region(kRegionPassword).data = CurrentRomImage().bytes + 0x7F800;
  Settings().settingsWord = kKeepPassword;
  MergeKeptRegions();
  EXPECT_TRUE(Unchanged());
}

class LindarMerge : public Merge {
 protected:
  void LoadBoards(const std::string& romVersion, const std::string& romIdentity) {
    imagegen::LindarSpec rom, img;
    rom.texts = {romIdentity, "X", romVersion.substr(0, 1), romVersion.substr(2), "062807"};
    rom.seed = 5;
    img.seed = 6;
    img.directory = {{"A!DM", kBase + 0x28000, 0x800}, {"A!NV", kBase + 0x30000, 0x2000}};
    auto romBytes = imagegen::BuildLindar(rom);
    for (size_t i = 0; i < 0x800; ++i) romBytes[0x28000 + i] = static_cast<uint8_t>(i * 7);
    Load(romBytes, imagegen::BuildLindar(img), kFlagLindar);
  }
};

TEST_F(LindarMerge, DmiComesFromTheRomsOwnArea) {
  LoadBoards("P 03", "999G");
  Settings().settingsWord = kKeepDmiData | kKeepEscdData;
  MergeKeptRegions();
  EXPECT_TRUE(SameBytes(NewImage(), 0x28000, CurrentRomImage(), 0x20000, 0x800));
  EXPECT_TRUE(SameBytes(NewImage(), 0x30000, CurrentRomImage(), 0x30000, 0x2000));
}

TEST_F(LindarMerge, Board865GKeepsDmiWhereTheNewImageHasIt) {
  LoadBoards("P 03", "865G");
  Settings().settingsWord = kKeepDmiData;
  MergeKeptRegions();
  EXPECT_TRUE(SameBytes(NewImage(), 0x28000, CurrentRomImage(), 0x28000, 0x800));
  EXPECT_EQ(Offset(CurrentRomImage(), CurrentRomImage().Region(kRegionDmi).data), 0x28000);
  EXPECT_FALSE(SameBytes(NewImage(), 0x30000, CurrentRomImage(), 0x30000, 0x2000));
}

TEST_F(LindarMerge, DifferentLengthsAreNotCopied) {
  LoadBoards("P 04", "865G");
  NewImage().Region(kRegionEscd).length = 0x1000;
  Settings().settingsWord = kKeepEscdData;
  MergeKeptRegions();
  EXPECT_TRUE(Unchanged());
}

}  // namespace
}  // namespace brim
