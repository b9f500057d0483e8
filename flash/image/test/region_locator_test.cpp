#include "image/region_locator.h"

#include <cstring>

#include "image/image_layout.h"
#include "image_test_support.h"
#include "imagegen/layouts.h"

namespace brim {
namespace {

using imagegen::Entry;
using imagegen::TaggedArea;

constexpr uint32_t kBase = 0xFFF00000;

class TarvexLocate : public ImageTest {
 protected:
  BiosImage& Locate(const imagegen::TarvexSpec& spec) {
    Adopt(CurrentRomImage(), imagegen::BuildTarvex(spec), 0, kBase);
    LocateRegions(CurrentRomImage());
    return CurrentRomImage();
  }
};

TEST_F(TarvexLocate, ReadsIdentityAndModuleIndex) {
  imagegen::TarvexSpec spec;
  spec.flashModules = {0xE0000};
  BiosImage& img = Locate(spec);
  EXPECT_EQ(img.fSegmentBank, 15u);
  EXPECT_STREQ(img.modelCode, "TX");
  EXPECT_EQ(img.releaseNumber, 70628u);
  EXPECT_STREQ(img.versionText, "V1.05");
  EXPECT_STREQ(img.dateText, "06/28/07");
  EXPECT_EQ(Offset(img, img.identityBlock), 0xF0100);
  EXPECT_EQ(IdentityText(img), "S1");
  EXPECT_EQ(Offset(img, img.Region(kRegionDmi).data), 0x20000);
  EXPECT_EQ(img.Region(kRegionDmi).length, 0x800u);
  EXPECT_EQ(Offset(img, img.Region(kRegionBuCode).data), 0x30000);
  EXPECT_EQ(img.Region(kRegionBuCode).length, 0x1000u);
  EXPECT_EQ(Offset(img, img.flashModule), 0xE0000);
  EXPECT_EQ(ImageStatus(), kPresentDmi | kPresentBuCode);
}

TEST_F(TarvexLocate, ModuleIndexBeatsSmAnchor) {
  imagegen::TarvexSpec spec;
  spec.smAnchors = {0x60000};
  BiosImage& img = Locate(spec);
  EXPECT_EQ(Offset(img, img.Region(kRegionDmi).data), 0x20000);
  EXPECT_EQ(img.Region(kRegionDmi).length, 0x800u);
}

TEST_F(TarvexLocate, LastSmAnchorGivesDmiWithoutModuleIndex) {
  imagegen::TarvexSpec spec;
  spec.moduleIndex = false;
  spec.smAnchors = {0x60000, 0x70000};
  BiosImage& img = Locate(spec);
  EXPECT_EQ(Offset(img, img.Region(kRegionDmi).data), 0x70000);
  EXPECT_EQ(img.Region(kRegionDmi).length, 0x800u);
  EXPECT_EQ(img.Region(kRegionBuCode).data, nullptr);
  EXPECT_EQ(ImageStatus(), kPresentDmi);
}

TEST_F(TarvexLocate, WithoutFSegmentTagUsesBankZero) {
  imagegen::TarvexSpec spec;
  spec.fSegmentBanks = {};
  BiosImage& img = Locate(spec);
  EXPECT_EQ(img.fSegmentBank, 0u);
  EXPECT_STREQ(img.modelCode, "TX");
  EXPECT_EQ(Offset(img, img.Region(kRegionDmi).data), 0x20000);
}

TEST_F(TarvexLocate, LastBankWithFSegmentTagWins) {
  imagegen::TarvexSpec spec;
  spec.fSegmentBanks = {3, 14};
  EXPECT_EQ(Locate(spec).fSegmentBank, 14u);
}

TEST_F(TarvexLocate, VersionNotStartingWithVIsEmpty) {
  imagegen::TarvexSpec spec;
  spec.version = "R1.05";
  EXPECT_STREQ(Locate(spec).versionText, "");
  spec.version = "V" + std::string(60, '9');  // cut to the 32-byte field
  EXPECT_EQ(std::strlen(Locate(spec).versionText), 31u);
}

TEST_F(TarvexLocate, TaggedAreasTakeLengthsAndLastHit) {
  imagegen::TarvexSpec spec;
  spec.areas = {{"A!PS", 0x40000, 0x100}, {"A!PS", 0x41000, 0x80}, {"A!SC", 0x42000, 0x40},
                {"A!KA", 0x43000, 0x100}, {"A!42", 0x50000, 0x2345}, {"A!43", 0x60000, 0x1200}};
  spec.bootBlockTags = {0x10};
  BiosImage& img = Locate(spec);
  EXPECT_EQ(Offset(img, img.Region(kRegionPassword).data), 0x41000);
  EXPECT_EQ(img.Region(kRegionPassword).length, 0x80u);
  EXPECT_EQ(img.Region(kRegionScPassword).length, 0x40u);
  EXPECT_EQ(img.Region(kRegionInvertEeprom).length, 0x100u);
  EXPECT_EQ(Offset(img, img.Region(kRegionMasterLogo).data), 0x50000);
  EXPECT_EQ(img.Region(kRegionMasterLogo).length, 0x2345u);
  EXPECT_EQ(img.Region(kRegionSlaveLogo).length, 0x1200u);
  EXPECT_EQ(img.bootBlockTagSeen, 1u);
  EXPECT_EQ(ImageStatus(), kPresentDmi | kPresentBuCode | kPresentPassword | kPresentScPassword |
                               kPresentInvertEeprom | kPresentMasterLogo | kPresentSlaveLogo);
}

TEST_F(TarvexLocate, AreasReachingPastTheImageAreNotFound) {
  imagegen::TarvexSpec spec;
  spec.areas = {{"A!PS", 0xFFFE0, 0x100}, {"A!42", 0xFFFF0, 0x10}};
  spec.moduleEntries = {{"DMA!", 0xFFF00, 0x800, false}, {"BUA!", 0xFFFFFFF0, 0x20, false}};
  BiosImage& img = Locate(spec);
  EXPECT_EQ(img.Region(kRegionPassword).data, nullptr);
  EXPECT_EQ(img.Region(kRegionMasterLogo).data, nullptr);
  EXPECT_EQ(img.Region(kRegionDmi).data, nullptr);
  EXPECT_EQ(img.Region(kRegionBuCode).data, nullptr);
  EXPECT_EQ(ImageStatus(), 0u);
}

TEST_F(TarvexLocate, ImageShorterThanOneBankIsReadWithinItsBytes) {
  imagegen::TarvexSpec spec;
  spec.size = 0x8000;
  spec.fSegmentBanks = {};
  spec.moduleEntries = {{"DMA!", 0x1000, 0x800}};
  BiosImage& img = Locate(spec);
  EXPECT_EQ(Offset(img, img.Region(kRegionDmi).data), 0x1000);
  EXPECT_STREQ(img.modelCode, "TX");
  EXPECT_STREQ(img.versionText, "");  // bank offset 0xE005 lies outside
  EXPECT_STREQ(img.dateText, "");
}

TEST_F(TarvexLocate, MissingFlashModuleIsNullAndStaleIdentityIsCleared) {
  imagegen::TarvexSpec spec;
  spec.flashModules = {0xE0000};
  Locate(spec);
  BiosImage& img = CurrentRomImage();
  std::vector<uint8_t> blank(0x20000, 0xFF);
  img.buffer.assign(blank.begin(), blank.end());
  img.bytes = img.buffer.data();
  img.size = static_cast<uint32_t>(blank.size());
  img.flashModule = img.bytes + 16;
  LocateRegions(img);
  EXPECT_EQ(img.flashModule, nullptr);
  EXPECT_STREQ(img.modelCode, "");
  EXPECT_EQ(img.releaseNumber, 0u);
  EXPECT_EQ(img.identityBlock, nullptr);
}

class LindarLocate : public ImageTest {
 protected:
  BiosImage& Locate(const imagegen::LindarSpec& spec) {
    Adopt(CurrentRomImage(), imagegen::BuildLindar(spec), kFlagLindar, kBase);
    LocateRegions(CurrentRomImage());
    return CurrentRomImage();
  }
};

TEST_F(LindarLocate, ReadsIdentityAndDirectory) {
  imagegen::LindarSpec spec;
  spec.flashModules = {0xE0000};
  BiosImage& img = Locate(spec);
  EXPECT_STREQ(img.modelCode, "AB");
  EXPECT_STREQ(img.versionText, "P 04");
  EXPECT_STREQ(img.dateText, "06/28/07");
  EXPECT_EQ(img.releaseNumber, 7062807u);  // YYMMDDYY
  EXPECT_EQ(IdentityText(img), "LN1AB");
  EXPECT_EQ(Offset(img, img.Region(kRegionDmi).data), 0x20000);
  EXPECT_EQ(img.Region(kRegionDmi).length, 0x800u);
  EXPECT_EQ(Offset(img, img.Region(kRegionEscd).data), 0x30000);
  EXPECT_EQ(img.Region(kRegionEscd).length, 0x2000u);
  EXPECT_EQ(Offset(img, img.flashModule), 0xE0000);
  EXPECT_EQ(img.bootBlockTagSeen, 0u);
  EXPECT_EQ(ImageStatus(), kPresentDmi | kPresentEscd);
}

TEST_F(LindarLocate, EmptyDirectoryYieldsNothingAndTheScanGoesOn) {
  imagegen::LindarSpec spec;
  spec.directoryLength = 8;
  spec.flashModules = {0xF2000};
  BiosImage& img = Locate(spec);
  EXPECT_EQ(img.Region(kRegionDmi).data, nullptr);
  EXPECT_EQ(img.Region(kRegionEscd).data, nullptr);
  EXPECT_EQ(Offset(img, img.flashModule), 0xF2000);
  EXPECT_EQ(ImageStatus(), 0u);
}

TEST_F(LindarLocate, UnknownEntriesAreSkippedAndPartialLastEntryCounts) {
  imagegen::LindarSpec spec;
  spec.directory = {{"ZZZZ", 0xFFF10000, 0x10}, {"A!B0", 0, 0, false}, {"A!NV", 0xFFF30000, 0x2000}};
  spec.directoryLength = 8 + 12 * 2 + 1;  // the third entry is partial
  BiosImage& img = Locate(spec);
  EXPECT_EQ(img.bootBlockTagSeen, 1u);
  EXPECT_EQ(Offset(img, img.Region(kRegionEscd).data), 0x30000);
  EXPECT_EQ(ImageStatus(), kPresentEscd);
}

TEST_F(LindarLocate, EntriesOutsideTheImageAreNotFound) {
  imagegen::LindarSpec spec;
  spec.directory = {{"A!DM", 0xFFEF0000, 0x800, false}, {"A!NV", 0xFFFFF000, 0x2000, false}};
  BiosImage& img = Locate(spec);
  EXPECT_EQ(img.Region(kRegionDmi).data, nullptr);
  EXPECT_EQ(img.Region(kRegionEscd).data, nullptr);
  EXPECT_EQ(ImageStatus(), 0u);
}

TEST_F(LindarLocate, DirectoryCutByTheImageEndStopsSafely) {
  imagegen::LindarSpec spec;
  spec.directoryAt = 0xFFFF0;  // header fits, entries do not
  spec.texts = {"A", "B", "C", "D", "0628"};  // short date text
  BiosImage& img = Locate(spec);
  EXPECT_EQ(img.Region(kRegionDmi).data, nullptr);
  EXPECT_STREQ(img.versionText, "C D");
  EXPECT_STREQ(img.dateText, "");
  EXPECT_EQ(img.releaseNumber, 628u);
}

class QuorvelLocate : public ImageTest {
 protected:
  void SetUp() override {
    ImageTest::SetUp();
    Adopt(CurrentRomImage(), std::vector<uint8_t>(0x100000, 0xEE), kFlagQuorvel, kBase);
    Settings().imageLoaded = 1;
  }
  BiosImage& Locate(const std::vector<uint8_t>& bytes) {
    Adopt(NewImage(), bytes, kFlagQuorvel);
    LocateRegions(NewImage());
    return NewImage();
  }
};

TEST_F(QuorvelLocate, ReferenceImageYieldsItsDirectoryAreas) {
  BiosImage& img = Locate(imagegen::BuildReferenceImage());
  BiosImage& rom = CurrentRomImage();
  EXPECT_STREQ(img.modelCode, "HLB");
  EXPECT_STREQ(img.dateText, "06/28/07");
  EXPECT_STREQ(img.buildTimeText, "11:50:05");
  EXPECT_EQ(img.releaseNumber, 70628u);
  EXPECT_EQ(img.buildTimeNumber, 115005u);
  EXPECT_STREQ(img.versionText, "V1.20");
  EXPECT_EQ(IdentityText(img), "HB01");
  EXPECT_EQ(img.bootBlockTagSeen, 1u);
  EXPECT_EQ(Offset(img, img.flashModule), 0x100000);
  EXPECT_EQ(Offset(img, img.Region(kRegionEscd).data), 0x80000);
  EXPECT_EQ(img.Region(kRegionEscd).length, 0x2000u);
  EXPECT_EQ(Offset(img, img.Region(kRegionNvs).data), 0x14000);  // inside: kept
  EXPECT_EQ(img.Region(kRegionPassword).length, 0x1000u);
  EXPECT_EQ(Offset(img, img.Region(kRegionNvs).data), 0x14000);
  EXPECT_EQ(img.Region(kRegionNvs).length, 0x100u);
  EXPECT_EQ(img.Region(kRegionInvertEeprom).data, nullptr);  // "A!KA" is no directory tag
  EXPECT_EQ(ImageStatus(), kPresentEscd | kPresentPassword | kPresentNvs);
  // The current ROM's pointers follow the same addresses; lengths untouched.
  EXPECT_EQ(Offset(rom, rom.Region(kRegionEscd).data), 0x80000);
  EXPECT_EQ(Offset(rom, rom.Region(kRegionPassword).data), 0x15000);
  EXPECT_EQ(Offset(rom, rom.Region(kRegionNvs).data), 0x14000);
  EXPECT_EQ(rom.Region(kRegionPassword).length, 0u);
}

TEST_F(QuorvelLocate, WithoutLoadedImageOnlyIdentityTextsAreRead) {
  Settings().imageLoaded = 0;
  BiosImage& img = Locate(imagegen::BuildReferenceImage());
  EXPECT_STREQ(img.modelCode, "HLB");  // from "DEVEL"
  EXPECT_EQ(img.releaseNumber, 70628u);
  EXPECT_EQ(img.bootBlockTagSeen, 0u);
  EXPECT_EQ(img.flashModule, nullptr);
  EXPECT_EQ(ImageStatus(), 0u);
}

TEST_F(QuorvelLocate, InvertEepromTagOnlyAtItsFixedAddress) {
  imagegen::QuorvelSpec spec;
  spec.invertEepromTags = {0xA0000};
  EXPECT_EQ(Locate(imagegen::BuildQuorvel(spec)).Region(kRegionInvertEeprom).data, nullptr);
  EXPECT_EQ(ImageStatus() & kPresentInvertEeprom, 0u);
  spec.invertEepromTags = {0x90000, 0xA0000};
  BiosImage& img = Locate(imagegen::BuildQuorvel(spec));
  EXPECT_EQ(Offset(img, img.Region(kRegionInvertEeprom).data), 0x90000);
  EXPECT_EQ(img.Region(kRegionInvertEeprom).length, 256u);
  EXPECT_NE(ImageStatus() & kPresentInvertEeprom, 0u);
}

TEST_F(QuorvelLocate, IdentityBlockOverridesDevelModel) {
  imagegen::QuorvelSpec spec;
  spec.develModel = "DVL";
  spec.identityModel = "IDM";
  spec.bootBlockByte = 7;
  BiosImage& img = Locate(imagegen::BuildQuorvel(spec));
  EXPECT_STREQ(img.modelCode, "IDM");
  EXPECT_EQ(img.bootBlockByte, 7u);
}

TEST_F(QuorvelLocate, EveryDirectoryTagFillsItsPair) {
  const std::pair<const char*, RegionId> tags[] = {
      {"A!PS", kRegionPassword}, {"A!SC", kRegionScPassword}, {"A!ES", kRegionEscd},
      {"A!KB", kRegionKbc},      {"A!KC", kRegionCharger},    {"A!KN", kRegionNvs},
      {"A!MP", kRegionBbvl},     {"A!NS", kRegionNs591},      {"A!PA", kRegionPanel},
      {"A!PF", kRegionFingerprint}, {"A!TH", kRegionThermal}, {"A!42", kRegionMasterLogo},
      {"A!43", kRegionSlaveLogo}, {"A!PE", kRegionPowerEvent}};
  imagegen::QuorvelSpec spec;
  spec.directory.clear();
  uint32_t expectedBits = 0;
  for (size_t i = 0; i < std::size(tags); ++i) {
    spec.directory.push_back({tags[i].first, kBase + 0x20000 + 0x1000 * static_cast<uint32_t>(i), 0x100 + static_cast<uint32_t>(i)});
    expectedBits |= PresenceBitOf(tags[i].second);
  }
  BiosImage& img = Locate(imagegen::BuildQuorvel(spec));
  for (size_t i = 0; i < std::size(tags); ++i) {
    SCOPED_TRACE(tags[i].first);
    EXPECT_EQ(Offset(img, img.Region(tags[i].second).data), 0x20000 + 0x1000 * static_cast<int64_t>(i));
    EXPECT_EQ(img.Region(tags[i].second).length, 0x100 + i);
  }
  EXPECT_EQ(ImageStatus(), expectedBits);
}

TEST_F(QuorvelLocate, AreasOutsideEitherImageAreNotTaken) {
  Adopt(CurrentRomImage(), std::vector<uint8_t>(0x80000, 0xEE), kFlagQuorvel, kBase);  // half size
  imagegen::QuorvelSpec spec;
  spec.directory = {{"A!PS", 0xFFF90000, 0x1000}, {"A!SC", 0xFFFFF800, 0x1000, false}};
  BiosImage& img = Locate(imagegen::BuildQuorvel(spec));
  EXPECT_EQ(Offset(img, img.Region(kRegionPassword).data), 0x90000);
  EXPECT_EQ(CurrentRomImage().Region(kRegionPassword).data, nullptr);
  EXPECT_EQ(img.Region(kRegionScPassword).data, nullptr);
  EXPECT_EQ(ImageStatus(), kPresentPassword);
}

// Texts without their NUL end with the image; the fixed fields keep what fits.
TEST_F(QuorvelLocate, TextsRunningToTheImageEndAreCut) {
  std::vector<uint8_t> bytes(0x1000, 'x');
  std::memcpy(&bytes[0xF00], "A!ID", 4);
  std::memcpy(&bytes[0xF10], "SER", 3);
  std::memcpy(&bytes[0xF20], "R1.07", 5);
  BiosImage& img = Locate(bytes);
  EXPECT_EQ(IdentityText(img), "SER" + std::string(13, 'x') + "R1.07" + std::string(0x1000 - 0xF25, 'x'));
  EXPECT_EQ(std::string(img.versionText), "R1.07" + std::string(sizeof img.versionText - 6, 'x'));
  img.size = 0xF10;  // the identity block starts at the very end
  EXPECT_EQ(IdentityText(img), "");
}

TEST_F(QuorvelLocate, TagsCutByTheImageEndAreIgnored) {
  std::vector<uint8_t> bytes(0x1000, 0xFF);
  std::memcpy(&bytes[0xFF0], "A!ID", 4);
  std::memcpy(&bytes[0xFFC], "W!DA", 4);
  std::memcpy(&bytes[0xFFA], "BCPS", 4);
  BiosImage& img = Locate(bytes);
  EXPECT_EQ(Offset(img, img.identityBlock), -1);
  EXPECT_STREQ(img.modelCode, "");
  EXPECT_EQ(ImageStatus(), 0u);
}

}  // namespace
}  // namespace brim

namespace brim {
namespace {

TEST_F(QuorvelLocate, KeptPointersBeyondAShorterReloadAreDropped) {
  BiosImage& img = Locate(imagegen::BuildReferenceImage());
  ASSERT_NE(img.flashModule, nullptr);
  // Same buffer, shorter image: the old flash module and ESCD lie past its end.
  img.size = 0x70000;
  LocateRegions(img);
  EXPECT_EQ(img.flashModule, nullptr);
  EXPECT_EQ(img.Region(kRegionEscd).data, nullptr);
  EXPECT_EQ(Offset(img, img.Region(kRegionNvs).data), 0x14000);  // inside: kept
}

}  // namespace
}  // namespace brim
