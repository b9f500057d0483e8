#include "image/image_checks.h"

#include <cstring>

#include "core/settings_word.h"
#include "image/image_checksum.h"
#include "image/image_layout.h"
#include "image/region_locator.h"
#include "image_test_support.h"
#include "imagegen/layouts.h"
#include "scripted_message_box.h"

namespace brim {
namespace {

constexpr uint32_t kAllVerify = kVerifySize | kVerifyModelId | kVerifyChecksum | kVerifyReleaseDate;
const char* const kQuestion =
    "The current BIOS is newer than your binary file\nAre you sure to update BIOS with the older one?\n";

class Checks : public ImageTest {
 protected:
  // Current ROM and new image with the same model; the new one is newer.
  void Prepare(const std::vector<uint8_t>& newBytes, uint32_t flag, uint32_t romSize) {
    Adopt(CurrentRomImage(), std::vector<uint8_t>(romSize, 0), flag, 0xFFF00000);
    Adopt(NewImage(), newBytes, flag);
    std::strcpy(CurrentRomImage().modelCode, "AB");
    std::strcpy(NewImage().modelCode, "AB");
    CurrentRomImage().releaseNumber = 70101;
    NewImage().releaseNumber = 70628;
    ComputeImageChecksum(NewImage());
  }
  void Verify(uint32_t bits) { Settings().settingsWord = bits; }

  plat::ScriptedMessageBox boxes;
};

std::vector<uint8_t> TarvexBytes(uint32_t size = 0x100000) {
  imagegen::TarvexSpec spec;
  spec.size = size;
  spec.fSegmentBanks = {size / 0x10000 - 1};
  return imagegen::BuildTarvex(spec);
}

TEST_F(Checks, TarvexAcceptsAFittingImage) {
  Prepare(TarvexBytes(), 0, 0x100000);
  Verify(kAllVerify);
  EXPECT_EQ(CheckNewImage(), kCheckPassed);
  EXPECT_EQ(Settings().errorCode, 0);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Checks, TarvexChecksumIsTheEightBitSum) {
  Prepare(TarvexBytes(), 0, 0x100000);
  Verify(kVerifyChecksum);
  EXPECT_EQ(NewImage().checksum & 0xFF, 0u);
  EXPECT_EQ(CheckNewImage(), kCheckPassed);
  NewImage().bytes[0x1234] ^= 0x01;
  ComputeImageChecksum(NewImage());
  EXPECT_EQ(CheckNewImage(), kCheckChecksum);
  EXPECT_EQ(Settings().errorCode, kErrImageChecksum);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"CheckSum check error !"});
  EXPECT_EQ(boxes.boxes[0].caption, "Brimlet Error");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST);
  EXPECT_EQ(list.appended, std::vector<std::string>{"CheckSum check error !!"});
}

// The 16-bit byte sum taken many bytes a step agrees with a sum byte by
// byte for every length and start, and wraps the same way (all-0xFF bytes
// give the largest lane sums).
TEST(ByteSum, AgreesWithTheSumOfEveryByte) {
  for (bool allOnes : {false, true}) {
    std::vector<uint8_t> bytes(140000, 0xFF);
    uint32_t x = 99;
    if (!allOnes)
      for (uint8_t& b : bytes) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
    for (size_t start : {size_t{0}, size_t{1}, size_t{15}})
      for (size_t length : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{17}, size_t{63}, size_t{64},
                            size_t{65}, size_t{300}, size_t{69000}, size_t{0x20000}}) {
        uint32_t expected = 0;
        for (size_t i = start; i < start + length; ++i) expected += bytes[i];
        EXPECT_EQ(ByteSum16(bytes.data() + start, length), static_cast<uint16_t>(expected))
            << allOnes << " " << start << "+" << length;
      }
  }
}

TEST_F(Checks, TarvexSizeStepFollowsItsSetting) {
  Prepare(TarvexBytes(0x80000), 0, 0x100000);
  Verify(0);
  EXPECT_EQ(CheckNewImage(), kCheckPassed);
  Verify(kVerifySize);
  EXPECT_EQ(CheckNewImage(), kCheckSize);
  EXPECT_EQ(Settings().errorCode, kErrImageSize);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"File size compare error !"});
  EXPECT_EQ(list.inserted, std::vector<std::string>{"File size is mismatch !!"});
  EXPECT_TRUE(list.appended.empty());
}

TEST_F(Checks, EmptyImageIsRefusedWithEveryVerifySettingOff) {
  for (uint32_t flag : {0u, uint32_t{kFlagLindar}, uint32_t{kFlagQuorvel}}) {
    SCOPED_TRACE(flag);
    Prepare({}, flag, 0x100000);
    Verify(0);
    Settings().errorCode = 0;
    EXPECT_EQ(CheckNewImage(), kCheckSize);
    EXPECT_EQ(Settings().errorCode, kErrImageSize);
  }
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>(3, "File size error !"));
  EXPECT_EQ(list.inserted, std::vector<std::string>(3, "File size is zero !!"));
}

TEST_F(Checks, TarvexModelMismatch) {
  Prepare(TarvexBytes(), 0, 0x100000);
  std::strcpy(NewImage().modelCode, "AC");
  Verify(kVerifyModelId);
  EXPECT_EQ(CheckNewImage(), kCheckModel);
  EXPECT_EQ(Settings().errorCode, kErrImageModel);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Model ID check error !"});
  EXPECT_EQ(list.appended, std::vector<std::string>{"Model ID Mismatch !!"});
}

TEST_F(Checks, TarvexWithoutFSegmentIsRefusedEvenWithoutVerifySettings) {
  imagegen::TarvexSpec spec;
  spec.fSegmentBanks = {};
  Prepare(imagegen::BuildTarvex(spec), 0, 0x100000);
  Verify(0);
  EXPECT_EQ(CheckNewImage(), kCheckNoFSegment);
  EXPECT_EQ(Settings().errorCode, 0);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"BIOS F-segment check error !"});
  EXPECT_EQ(list.appended, std::vector<std::string>{"Can't find BIOS Signature !!"});
  Settings().silentMode = 1;
  EXPECT_EQ(CheckNewImage(), kCheckNoFSegment);
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(Checks, TarvexFindsFSegmentInAPartialLastBank) {
  imagegen::TarvexSpec spec;
  spec.size = 0x18000;
  spec.fSegmentBanks = {};
  std::vector<uint8_t> bytes = imagegen::BuildTarvex(spec);
  std::memcpy(&bytes[0x10008], "A!F0", 4);
  Prepare(bytes, 0, 0x100000);
  Verify(0);
  EXPECT_EQ(CheckNewImage(), kCheckPassed);
}

TEST_F(Checks, EqualReleaseAsksAndCancelRefuses) {
  Prepare(TarvexBytes(), 0, 0x100000);
  NewImage().releaseNumber = CurrentRomImage().releaseNumber;
  Verify(kAllVerify);
  boxes.Answer(plat::IDCANCEL);
  EXPECT_EQ(CheckNewImage(), kCheckOlderRelease);
  EXPECT_EQ(Settings().errorCode, kErrImageRelease);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, kQuestion);
  EXPECT_EQ(boxes.boxes[0].caption, "Brimlet Warning");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_OKCANCEL | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST);
}

TEST_F(Checks, AcceptedOlderReleaseSkipsTheLaterSteps) {
  imagegen::TarvexSpec spec;
  spec.fSegmentBanks = {};
  spec.zeroByteSum = false;
  Prepare(imagegen::BuildTarvex(spec), 0, 0x100000);
  NewImage().releaseNumber = 60101;
  std::strcpy(NewImage().modelCode, "ZZ");  // would fail the model step
  Verify(kAllVerify);
  boxes.Answer(plat::IDOK);
  EXPECT_EQ(CheckNewImage(), kCheckPassed);
  EXPECT_EQ(Settings().errorCode, kErrImageRelease);
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(Checks, SilentModeRefusesAnOlderReleaseWithoutAsking) {
  Prepare(TarvexBytes(), 0, 0x100000);
  NewImage().releaseNumber = 1;
  Settings().silentMode = 1;
  Verify(kVerifyReleaseDate);
  EXPECT_EQ(CheckNewImage(), kCheckOlderRelease);
  EXPECT_EQ(Settings().errorCode, kErrImageRelease);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(list.appended.empty());
}

TEST_F(Checks, QuorvelSameDateUsesTheBuildTime) {
  Prepare(std::vector<uint8_t>(0x1000, 0), kFlagQuorvel, 0x100000);
  NewImage().releaseNumber = CurrentRomImage().releaseNumber = 70628;
  CurrentRomImage().buildTimeNumber = 115005;
  NewImage().buildTimeNumber = 115006;
  Verify(kVerifyReleaseDate);
  EXPECT_EQ(CheckNewImage(), kCheckPassed);
  EXPECT_TRUE(boxes.boxes.empty());
  NewImage().buildTimeNumber = 115005;
  boxes.Answer(plat::IDCANCEL);
  EXPECT_EQ(CheckNewImage(), kCheckOlderRelease);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kQuestion});
}

TEST_F(Checks, TarvexIgnoresTheBuildTime) {
  Prepare(TarvexBytes(), 0, 0x100000);
  NewImage().releaseNumber = CurrentRomImage().releaseNumber;
  NewImage().buildTimeNumber = 999999;
  Settings().silentMode = 1;
  Verify(kVerifyReleaseDate);
  EXPECT_EQ(CheckNewImage(), kCheckOlderRelease);
}

TEST_F(Checks, ReferencePackageIsNotRefusedForItsSizeInTheQuorvelLayout) {
  Settings().imageLoaded = 1;
  Prepare(imagegen::BuildReferenceImage(), kFlagQuorvel, 0x100000);
  LocateRegions(NewImage());
  std::strcpy(CurrentRomImage().modelCode, "HLB");
  CurrentRomImage().releaseNumber = 70101;
  Settings().settingsWord = 0;
  Verify(kAllVerify);
  EXPECT_NE(NewImage().size, CurrentRomImage().size);
  EXPECT_EQ(CheckNewImage(), kCheckPassed);
}

TEST_F(Checks, LindarChecksModelBeforeSize) {
  Prepare({}, kFlagLindar, 0x100000);
  std::strcpy(NewImage().modelCode, "XY");
  Verify(kVerifyModelId);
  EXPECT_EQ(CheckNewImage(), kCheckModel);
}

TEST_F(Checks, LindarUsesTheCompressedChecksum) {
  imagegen::LindarSpec spec;
  spec.checksum.present = true;
  Prepare(imagegen::BuildLindar(spec), kFlagLindar, 0x100000);
  Verify(kVerifyChecksum | kVerifySize);
  EXPECT_EQ(CheckNewImage(), kCheckPassed);
  spec.checksum.correct = false;
  Prepare(imagegen::BuildLindar(spec), kFlagLindar, 0x100000);
  EXPECT_EQ(CheckNewImage(), kCheckChecksum);
  EXPECT_EQ(Settings().errorCode, kErrImageChecksum);
}

// ---- CheckCompressedChecksum ----

int Compressed(const imagegen::LindarSpec& spec) {
  BiosImage img;
  Adopt(img, imagegen::BuildLindar(spec), kFlagLindar);
  return CheckCompressedChecksum(img);
}

TEST(CompressedChecksum, BootBlockTypesSetTheEnd) {
  imagegen::LindarSpec spec;
  spec.checksum.present = true;
  for (uint8_t type : {5, 6, 7, 8}) {
    for (uint8_t flags : {0, 1, 2, 3}) {
      SCOPED_TRACE(testing::Message() << "type " << int(type) << " flags " << int(flags));
      spec.checksum.bootType = type;
      spec.checksum.flags = flags;
      spec.checksum.correct = true;
      EXPECT_EQ(Compressed(spec), 1);
      spec.checksum.correct = false;
      EXPECT_EQ(Compressed(spec), 0);
    }
  }
}

TEST(CompressedChecksum, FailsOnUnknownTypeMissingTagsAndBadRanges) {
  imagegen::LindarSpec spec;
  spec.checksum.present = true;
  spec.checksum.bootType = 4;
  EXPECT_EQ(Compressed(spec), 0);
  spec.checksum.bootType = 6;
  spec.checksum.present = false;
  EXPECT_EQ(Compressed(spec), 0);
  // End before the start: the boot block lies in an earlier bank than "-lh5-".
  spec.checksum.present = true;
  spec.checksum.bbssAt = 0xE0200;
  EXPECT_EQ(Compressed(spec), 0);
  // Stored byte beyond the image.
  spec.checksum.bbssAt = 0xF0200;
  spec.size = 0xF8000;
  EXPECT_EQ(Compressed(spec), 0);
  // Flags byte beyond the image.
  std::vector<uint8_t> bytes(0x20, 0);
  std::memcpy(&bytes[0], "-lh5-", 5);
  std::memcpy(&bytes[8], "*BBSS*", 6);
  std::memcpy(&bytes[0x1C], "*BS1", 4);
  BiosImage img;
  Adopt(img, bytes, kFlagLindar);
  EXPECT_EQ(CheckCompressedChecksum(img), 0);
  EXPECT_EQ(CheckCompressedChecksum(BiosImage{}), 0);
}

}  // namespace
}  // namespace brim
