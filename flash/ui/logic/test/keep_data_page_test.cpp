// Keep Data page: which boxes are usable, their presets and bits.
#include <gtest/gtest.h>

#include "core/settings_word.h"
#include "ui/control_ids.h"
#include "ui/keep_data_page.h"
#include "ui_test_support.h"

namespace brim {
namespace {

constexpr uint32_t kAllEighteenBits = kKeepAllBits | kPowerEventBox;

class KeepPage : public PageTest {
 protected:
  KeepDataPage page{controls, Settings()};
  uint32_t KeepBits() const { return Settings().settingsWord & kAllEighteenBits; }
};

TEST_F(KeepPage, TarvexDefaultsKeepDmiWhenRomHoldsIt) {
  Defaults();
  ImageStatus() = 0x8;  // DMI area found in the ROM
  page.Init();
  EXPECT_EQ(Settings().keepPageReady, 1);
  EXPECT_FALSE(controls.IsChecked(ids::kForceUpdateAll));
  EXPECT_TRUE(controls.IsEnabled(ids::kKeepDmi));
  EXPECT_TRUE(controls.IsChecked(ids::kKeepDmi));
  EXPECT_EQ(KeepBits(), kKeepDmiData);
  EXPECT_FALSE(controls.IsEnabled(ids::kKeepBootBlock)) << "no image with a boot block yet";
  EXPECT_FALSE(controls.IsChecked(ids::kKeepBootBlock));
  EXPECT_FALSE(controls.IsEnabled(ids::kKeepEscd));

  // An image with a boot-block area arrives.
  NewImage().bootBlockTagSeen = 1;
  Settings().imageLoaded = 1;
  page.RefreshKeepPage();
  EXPECT_TRUE(controls.IsEnabled(ids::kKeepBootBlock));
  EXPECT_TRUE(controls.IsChecked(ids::kKeepBootBlock));
  EXPECT_EQ(KeepBits(), kKeepDmiData | kKeepBootBlock);
}

TEST_F(KeepPage, QuorvelRomWithoutImageStartsForced) {
  Defaults();
  CurrentRomImage().flagWord = 0x10;
  ImageStatus() = 0x3FFFF;
  Settings().settingsWord = kKeepDmiData | kKeepBootBlock | kVerifySize;
  page.Init();
  EXPECT_TRUE(controls.IsChecked(ids::kForceUpdateAll));
  for (const KeepBox& box : kKeepBoxes) {
    EXPECT_FALSE(controls.IsChecked(box.id)) << box.caption;
    EXPECT_FALSE(controls.IsEnabled(box.id)) << box.caption;
  }
  EXPECT_EQ(KeepBits(), 0u);
  EXPECT_EQ(Settings().settingsWord, kVerifySize) << "other bits untouched";

  Settings().imageLoaded = 1;
  page.RefreshKeepPage();
  EXPECT_FALSE(controls.IsChecked(ids::kForceUpdateAll));
  EXPECT_FALSE(controls.IsEnabled(ids::kKeepDmi)) << "DMI is never kept from a Quorvel ROM";
  EXPECT_TRUE(controls.IsEnabled(ids::kKeepEscd));
}

TEST_F(KeepPage, NoKeepSettingAtAllForcesFullUpdate) {
  ImageStatus() = 0x3FFFF;
  page.Init();
  EXPECT_TRUE(controls.IsChecked(ids::kForceUpdateAll));
  EXPECT_FALSE(controls.IsEnabled(ids::kKeepPassword));
}

TEST_F(KeepPage, ForceByHandClearsSeventeenBitsAndUncheckingRestoresPresets) {
  Defaults();
  Settings().keepEscdData = 1;
  ImageStatus() = 0x8 | 0x20 | 0x2000 | 0x20000;
  page.Init();
  controls.SetCheck(ids::kKeepPassword, true);  // the user keeps passwords too
  page.OnClicked(ids::kKeepPassword);
  controls.SetCheck(ids::kKeepPowerEvent, true);
  page.OnClicked(ids::kKeepPowerEvent);
  ASSERT_EQ(KeepBits(), kKeepDmiData | kKeepEscdData | kKeepPassword | kPowerEventBox);

  controls.SetCheck(ids::kForceUpdateAll, true);
  page.OnClicked(ids::kForceUpdateAll);
  EXPECT_EQ(KeepBits(), kPowerEventBox) << "the power-event bit is not one of the seventeen";
  for (const KeepBox& box : kKeepBoxes) {
    EXPECT_FALSE(controls.IsChecked(box.id)) << box.caption;
    EXPECT_FALSE(controls.IsEnabled(box.id)) << box.caption;
  }

  controls.SetCheck(ids::kForceUpdateAll, false);
  page.OnClicked(ids::kForceUpdateAll);
  EXPECT_TRUE(controls.IsEnabled(ids::kKeepDmi));
  EXPECT_TRUE(controls.IsChecked(ids::kKeepDmi));
  EXPECT_TRUE(controls.IsChecked(ids::kKeepEscd));
  EXPECT_TRUE(controls.IsEnabled(ids::kKeepPassword));
  EXPECT_FALSE(controls.IsChecked(ids::kKeepPassword)) << "no setting: the box stays as the force left it";
  EXPECT_FALSE(controls.IsEnabled(ids::kKeepNvs));
  EXPECT_EQ(KeepBits(), kKeepDmiData | kKeepEscdData | kPowerEventBox);
}

TEST_F(KeepPage, KeepAllChecksEveryBoxAndSetsAllEighteenBits) {
  Defaults();
  Settings().keepAll = 1;
  ImageStatus() = 0x8;  // most regions are missing
  page.Init();
  for (const KeepBox& box : kKeepBoxes) EXPECT_TRUE(controls.IsChecked(box.id)) << box.caption;
  EXPECT_FALSE(controls.IsEnabled(ids::kKeepNvs)) << "disabled boxes stay disabled";
  EXPECT_TRUE(controls.IsEnabled(ids::kKeepDmi));
  EXPECT_EQ(KeepBits(), kAllEighteenBits);
  EXPECT_EQ(KeepBits() & 0x8000000u, 0x8000000u);
}

TEST_F(KeepPage, BoxClicksOwnExactlyTheirBit) {
  ImageStatus() = 0x3FFFF;
  Settings().keepPassword = 1;
  page.Init();
  for (const KeepBox& box : kKeepBoxes) {
    const uint32_t before = Settings().settingsWord;
    controls.SetCheck(box.id, !controls.IsChecked(box.id));
    page.OnClicked(box.id);
    EXPECT_EQ(before ^ Settings().settingsWord, box.bit) << box.caption;
  }
}

TEST_F(KeepPage, UnusableBoxLosesBitSetEarlier) {
  Defaults();
  Settings().settingsWord = kKeepNvs | kKeepKbc;  // e.g. from a package
  ImageStatus() = 0x100;                           // only the KBC region exists
  page.Init();
  EXPECT_EQ(KeepBits(), kKeepKbc) << "NVS cannot be kept from a ROM without it; KBC keeps its bit";
}

}  // namespace
}  // namespace brim
