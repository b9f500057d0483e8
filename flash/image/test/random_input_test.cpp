// Randomly damaged images: location, checks and merge stay inside the bytes.
#include <cstring>
#include <random>

#include "core/settings_word.h"
#include "image/image_checks.h"
#include "image/image_checksum.h"
#include "image/image_layout.h"
#include "image/package_search.h"
#include "image/region_locator.h"
#include "image/region_merge.h"
#include "image_test_support.h"
#include "imagegen/layouts.h"

namespace brim {
namespace {

const char* const kTags[] = {"A!F0", "A!MI", "DMA!", "BUA!", "_SM_", "A!FR", "A!B0", "A!PS",
                             "A!SC", "A!KA", "A!42", "A!43", "A!ID", "W!DA", "A!DM", "A!NV",
                             "A!ES", "A!KN", "DEVEL", "BCPSYS", "-lh5-", "*BS1", "*BBSS*"};

void Damage(std::vector<uint8_t>& b, std::mt19937& rng) {
  std::uniform_int_distribution<size_t> pos(0, b.size() - 1);
  for (int i = 0; i < 40; ++i) {
    size_t at = pos(rng);
    switch (rng() % 4) {
      case 0: b[at] = static_cast<uint8_t>(rng()); break;
      case 1: {
        const char* tag = kTags[rng() % std::size(kTags)];
        at &= ~size_t{15};
        for (size_t k = 0; tag[k] && at + k < b.size(); ++k) b[at + k] = static_cast<uint8_t>(tag[k]);
        break;
      }
      default: {  // a length or address after some tag
        uint32_t v = static_cast<uint32_t>(rng());
        for (size_t k = 0; k < 4 && at + k < b.size(); ++k) b[at + k] = static_cast<uint8_t>(v >> (8 * k));
      }
    }
  }
}

void ExpectPairsInside(const BiosImage& img) {
  for (size_t i = 0; i < kRegionCount; ++i) {
    const RegionPair& p = img.regions[i];
    if (p.data) {
      EXPECT_TRUE(RangeInImage(img, p.data, p.length)) << "pair " << i;
    }
  }
  if (img.identityBlock) {
    EXPECT_TRUE(RangeInImage(img, img.identityBlock, 1));
  }
  if (img.flashModule) {
    EXPECT_TRUE(RangeInImage(img, img.flashModule, 4));
  }
  EXPECT_LT(std::strlen(img.versionText), sizeof img.versionText);
}

class RandomImages : public ImageTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(RandomImages, DamagedImagesAreReadWithinTheirBytes) {
  uint32_t flag = GetParam();
  std::mt19937 rng(1234 + flag);
  std::vector<uint8_t> clean;
  if (flag == kFlagLindar) {
    imagegen::LindarSpec s;
    s.size = 0x20000;
    s.identityAt = 0x100;
    s.directoryAt = 0x1000;
    s.directory = {{"A!DM", 0xFFF02000, 0x800}, {"A!NV", 0xFFF04000, 0x200}};
    s.checksum = {true, 0x10010, 0x10100, 6, 0, 0x10200, true};
    clean = imagegen::BuildLindar(s);
  } else if (flag == kFlagQuorvel) {
    imagegen::QuorvelSpec s;
    s.size = 0x20000;
    s.develAt = 0x100;
    s.bcpsysAt = 0x200;
    s.identityAt = 0x300;
    s.directoryAt = 0x400;
    s.directory = {{"A!ES", 0xFFF08000, 0x200}, {"A!PS", 0xFFF05000, 0x100}};
    clean = imagegen::BuildQuorvel(s);
  } else {
    imagegen::TarvexSpec s;
    s.size = 0x20000;
    s.fSegmentBanks = {1};
    s.moduleEntries = {{"DMA!", 0x2000, 0x800}, {"BUA!", 0x3000, 0x100}};
    s.areas = {{"A!PS", 0x4000, 0x100}, {"A!42", 0x5000, 0x200}};
    clean = imagegen::BuildTarvex(s);
  }
  Settings().silentMode = 1;
  Settings().imageLoaded = 1;
  for (int round = 0; round < 150; ++round) {
    std::vector<uint8_t> romBytes = clean, imgBytes = clean;
    Damage(romBytes, rng);
    Damage(imgBytes, rng);
    imgBytes.resize(imgBytes.size() - rng() % 0x20000);  // also shorter than one bank
    if (imgBytes.empty()) imgBytes.push_back(0);
    Adopt(CurrentRomImage(), romBytes, flag, 0xFFF00000);
    Adopt(NewImage(), imgBytes, flag);
    ImageStatus() = 0;
    LocateRegions(CurrentRomImage());
    LocateRegions(NewImage());
    ExpectPairsInside(NewImage());
    ComputeImageChecksum(NewImage());
    CheckCompressedChecksum(NewImage());
    Settings().settingsWord = kKeepAllBits | kVerifySize | kVerifyModelId | kVerifyChecksum | kVerifyReleaseDate;
    CheckNewImage();
    MergeKeptRegions();
    FindPackageHeader(NewImage().bytes, NewImage().size);
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, RandomImages,
                         ::testing::Values(0u, uint32_t{kFlagLindar}, uint32_t{kFlagQuorvel}));

}  // namespace
}  // namespace brim
