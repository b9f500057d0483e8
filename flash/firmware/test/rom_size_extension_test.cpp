// The 32-bit ROM size answer: asked before the ROM information, it lets a
// driver report ROMs above 255 blocks; every table follows the size it gives.
// And the driver's own failure text below the failure boxes.
#include <gtest/gtest.h>

#include <cstring>

#include "firmware/lock_bit_table.h"
#include "firmware/rom_access.h"
#include "firmware_test_support.h"
#include "platform/address_window.h"
#include "scripted_message_box.h"

namespace brim {
namespace {

using test::FakeFlashDevice;
using test::Le32At;
using test::PutLe32At;
using test::TempEnvironment;

// A driver that knows the 32-bit size (`blocks`, 0: refuses the request) and
// answers the information request with CL and one lock-bit entry per block.
FakeFlashDevice::Handler SizedRom(uint32_t blocks, uint32_t cl, uint32_t base) {
  return [=](uint32_t, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    if (Le32At(in, 4) != 0x9616) return 0u;
    if (Le32At(in, 8) == kRomBlocksFunction) {
      PutLe32At(out, 4, blocks ? 0x0016 : 0x8616);
      PutLe32At(out, 12, blocks);
      return 0u;
    }
    if (Le32At(in, 8) == kBootBlockFunction) {
      PutLe32At(out, 4, 0x8616);
      return 0u;
    }
    std::vector<uint32_t> locks(std::max(blocks, cl));
    for (uint32_t i = 0; i < locks.size(); ++i) locks[i] = base + i * 0x10000;
    // A table too small for the ROM makes this write fail, as a driver's check would.
    if (!plat::AddressWindow::Instance().Write(Le32At(in, 20), locks.data(),
                                               static_cast<uint32_t>(locks.size() * 4))) {
      PutLe32At(out, 0, 0xFFFFFFFF);
      return 0u;
    }
    PutLe32At(out, 12, cl);
    PutLe32At(out, 16, 0x10);
    PutLe32At(out, 24, base);
    return 0u;
  };
}

TEST(RomSizeExtension, SixteenMebibyteRomReportsZeroInClAndItsSizeInTheExtendedAnswer) {
  TempEnvironment env;
  FakeFlashDevice device(SizedRom(256, 0, 0xFF000000));
  ASSERT_TRUE(OpenFlashDevice());
  BiosImage& rom = CurrentRomImage();
  ASSERT_EQ(GetROMInfo(rom), 1);
  EXPECT_EQ(rom.size, 0x1000000u);
  EXPECT_EQ(rom.baseAddress, 0xFF000000u);
  ASSERT_EQ(LockBitsOf(rom).addresses.size(), 256u);
  EXPECT_EQ(LockBitsOf(rom).addresses[255], 0xFFFF0000u);
  EXPECT_EQ(rom.lockBitAddresses[16], 0xFF100000u);
}

TEST(RomSizeExtension, ThirtyTwoMebibytesOnTheNineXPathToo) {
  TempEnvironment env;
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  FakeFlashDevice device([](uint32_t code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    if (code != kIoctlVxdCallBios) return code == kIoctlVxdMapMemory ? 1u : 0u;
    if (Le32At(in, 4) == kRomBlocksFunction) {
      PutLe32At(out, 8, 512);
      return 0u;
    }
    if (Le32At(in, 4) == kBootBlockFunction) {
      PutLe32At(out, 0, 0x8616);
      return 0u;
    }
    std::vector<uint32_t> locks(512, 0xAB);
    EXPECT_TRUE(plat::AddressWindow::Instance().Write(Le32At(in, 16), locks.data(), 512 * 4));
    PutLe32At(out, 8, 0);  // CL
    PutLe32At(out, 20, 0xFE000000);
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  ASSERT_EQ(GetROMInfo(CurrentRomImage()), 1);
  EXPECT_EQ(CurrentRomImage().size, 0x2000000u);
  EXPECT_EQ(LockBitsOf(CurrentRomImage()).addresses.size(), 512u);
}

TEST(RomSizeExtension, AnswersThatDisagreeOrExceedTheLimitAreRefused) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  {
    FakeFlashDevice device(SizedRom(16, 15, 0xFFF00000));  // CL could have said 16
    ASSERT_TRUE(OpenFlashDevice());
    EXPECT_EQ(GetROMInfo(CurrentRomImage()), 0);
  }
  {
    FakeFlashDevice device(SizedRom(300, 44, 0xFED40000));  // CL must be 0 above 255
    ASSERT_TRUE(OpenFlashDevice());
    EXPECT_EQ(GetROMInfo(CurrentRomImage()), 0);
  }
  FakeFlashDevice device(SizedRom(kMaxRomBlocks + 1, 0, 0));
  ASSERT_TRUE(OpenFlashDevice());
  EXPECT_EQ(GetROMInfo(CurrentRomImage()), 0);
  ASSERT_FALSE(boxes.boxes.empty());
  EXPECT_EQ(boxes.boxes.back().text, "The flash ROM of 4097 blocks is larger than 4096 blocks !");
  // Nothing was asked after the size: no information request reached the driver.
  EXPECT_EQ(Le32At(device.requests.back().in, 8), kRomBlocksFunction);
}

TEST(RomSizeExtension, ProgrammingHandsOverOneLockBitEntryPerBlock) {
  TempEnvironment env;
  BiosImage& rom = CurrentRomImage();
  AllocateImageBuffer(rom, 0x1000000);
  rom.size = 0x1000000;
  rom.flashModule = rom.bytes + 0x100;
  BiosImage& image = NewImage();
  AllocateImageBuffer(image, 0x1000000);
  image.size = 0x1000000;
  SizeLockBits(rom, 0);  // as a table left at the 8-bit size
  uint32_t readable = 0;
  FakeFlashDevice device([&](uint32_t, const std::vector<uint8_t>& in, std::vector<uint8_t>&) {
    uint32_t last = 0;
    readable = plat::AddressWindow::Instance().Read(Le32At(in, 68) + 255 * 4, &last, 4);
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  ASSERT_EQ(ProgramFlashROM(), 1);
  EXPECT_TRUE(readable) << "the 256th block's entry is part of the mapped table";
}

TEST(DriverMessageText, FollowsTheNotSupportedBoxWhenTheDriverHasOne) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  const char text[] = "no flash chip found through programmer \"dummy\"";
  FakeFlashDevice device([&](uint32_t code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    if (code == kIoctlDriverMessage) {
      EXPECT_GE(Le32At(in, 60), sizeof text);
      EXPECT_TRUE(plat::AddressWindow::Instance().Write(Le32At(in, 56), text, sizeof text));
      return 0u;
    }
    if (Le32At(in, 4) == 0x9616) PutLe32At(out, 4, 0x8616);
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  EXPECT_EQ(GetROMInfo(CurrentRomImage()), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, std::string("Function not supported, Status: 134\n") + text);
  EXPECT_EQ(boxes.boxes[0].caption, "LoadSetupDefault");
}

}  // namespace
}  // namespace brim
