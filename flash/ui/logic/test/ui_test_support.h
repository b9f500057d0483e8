// Process-wide records reset around each page test.
#pragma once
#include <gtest/gtest.h>

#include "core/flash_settings.h"
#include "image/bios_image.h"
#include "platform/dialog_controls.h"

namespace brim {

class PageTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    Settings() = FlashSettings{};
    ImageStatus() = 0;
    CurrentRomImage() = BiosImage{};
    NewImage() = BiosImage{};
  }
  // The start-up defaults: keep DMI data and the boot block.
  static FlashSettings& Defaults() {
    SetStartupDefaults(Settings());
    return Settings();
  }
  plat::FakeDialogControls controls;
};

}  // namespace brim
