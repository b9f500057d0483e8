// ROM information, ROM read and programming: the answers, the fall-backs
// and the messages.
#include <gtest/gtest.h>

#include <cstring>

#include "core/settings_word.h"
#include "firmware/firmware_queries.h"
#include "firmware/lock_bit_table.h"
#include "firmware/rom_access.h"
#include "firmware_test_support.h"
#include "scripted_message_box.h"

namespace brim {
namespace {

using test::FakeFlashDevice;
using test::Le32At;
using test::PutLe32At;
using test::TempEnvironment;

// Answers the probe and then the information request with AH.
FakeFlashDevice::Handler InfoAnswer(uint32_t ah) {
  return [ah](uint32_t, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    if (Le32At(in, 4) == 0x9616) PutLe32At(out, 4, (0x9616 & 0xFF) | ah << 8);
    return 0u;
  };
}

TEST(SupportCheck, UnsupportedBiosIsToldAndNineXAsksNothing) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  FakeFlashDevice device([](uint32_t, const std::vector<uint8_t>&, std::vector<uint8_t>& out) {
    PutLe32At(out, 0, 0xFFFFFFFF);
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  EXPECT_EQ(CheckBiosSupport(), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Sorry! The BIOS can not support Brimlet!");

  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  device.requests.clear();
  EXPECT_EQ(CheckBiosSupport(), 1);
  EXPECT_TRUE(device.requests.empty());
}

TEST(SupportCheck, FailingSystemCallShowsTheErrorTitledWithTheRequest) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  FakeFlashDevice device([](uint32_t, const std::vector<uint8_t>&, std::vector<uint8_t>&) { return 31u; });
  ASSERT_TRUE(OpenFlashDevice());
  uint32_t code = 7;
  EXPECT_EQ(AskSetupPasswd(&code), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "DeviceIoControl failed, Error: 31");
  EXPECT_EQ(boxes.boxes[0].caption, "AskSetupPasswd");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_OK);
}

TEST(SupportCheck, QueriesReportAhAndBrand) {
  TempEnvironment env;
  FakeFlashDevice device([](uint32_t, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    if (Le32At(in, 8) == 0x0108) PutLe32At(out, 4, 0x0196);  // AH 1: no password set
    if (Le32At(in, 4) == 0x9604) PutLe32At(out, 16, 0x1234);
    if (Le32At(in, 8) == 0) PutLe32At(out, 0, 0xFFFFFFFF);   // WSBICheck fails
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  uint32_t code = 0, value = 55;
  EXPECT_EQ(AskSetupPasswd(&code), 0);
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(AskIsVemoModel(), 0);
  EXPECT_EQ(WSBICheck(&code, &value), 0);
  EXPECT_EQ(value, 55u);
}

TEST(RomInfo, ForceReadIniTakesGeometryAndSixteenLockBitsFromTheFile) {
  TempEnvironment env;
  env.Write("setting.ini",
            "[CONFIGURATION]\nFORCEREADINI=1\nROMMAPING=4293918720\nROMSIZE=16\nFLAG=8\n"
            "LOCKBITADDRESS=-5242880\n");
  Settings().forceReadIni = 1;
  Settings().iniPath = env.Path("setting.ini");
  FakeFlashDevice device(InfoAnswer(0));
  ASSERT_TRUE(OpenFlashDevice());
  BiosImage& rom = CurrentRomImage();
  ASSERT_EQ(GetROMInfo(rom), 1);
  EXPECT_EQ(device.requests.size(), 1u);  // only the mapping probe
  EXPECT_EQ(rom.baseAddress, 0xFFF00000u);
  EXPECT_EQ(rom.size, 0x100000u);
  EXPECT_EQ(rom.flagWord, 8u);
  const uint32_t a = 0xFFB00000;  // -5242880 as a 32-bit pattern
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(LockBitsOf(rom).addresses[i], a + i * 0x10000);
  EXPECT_EQ(LockBitsOf(rom).addresses[16], 0u);
  EXPECT_EQ(rom.lockBitAddresses[15], a + 0xF0000);
  EXPECT_TRUE(ImageStatus() & kStatusGeometryFromIni);
}

TEST(RomInfo, RomSizeFromTheFileSizesTheLockBitTable) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  Settings().forceReadIni = 1;
  Settings().iniPath = env.Path("setting.ini");
  FakeFlashDevice device(InfoAnswer(0));
  ASSERT_TRUE(OpenFlashDevice());
  for (const char* size : {"4097", "0", "-1"}) {
    env.Write("setting.ini", std::string("[CONFIGURATION]\nROMSIZE=") + size + "\n");
    boxes.boxes.clear();
    EXPECT_EQ(GetROMInfo(CurrentRomImage()), 0) << size;
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "Brimlet Error");
  }
  // The table follows the ROM size, beyond what CL could report.
  env.Write("setting.ini", "[CONFIGURATION]\nROMSIZE=512\nLOCKBITADDRESS=0\n");
  EXPECT_EQ(GetROMInfo(CurrentRomImage()), 1);
  EXPECT_EQ(CurrentRomImage().size, 512u * 0x10000);
  ASSERT_EQ(LockBitsOf(CurrentRomImage()).addresses.size(), 512u);
  EXPECT_EQ(LockBitsOf(CurrentRomImage()).addresses[511], 511u * 0x10000);
}

TEST(RomInfo, NotSupportedAnswerShowsAhWithoutTheFallback) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  env.Write("setting.ini", "[CONFIGURATION]\nRUNNEWMODULE=yes\n");
  FakeFlashDevice device(InfoAnswer(0x86));
  ASSERT_TRUE(OpenFlashDevice());
  EXPECT_EQ(GetROMInfo(CurrentRomImage()), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Function not supported, Status: 134");
  EXPECT_EQ(boxes.boxes[0].caption, "LoadSetupDefault");
}

TEST(RomInfo, RunNewModuleFallbackReadsTheCurrentDirectory) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  env.Write("setting.ini", "[CONFIGURATION]\nRUNNEWMODULE=1\nROMMAPING=-2097152\nROMSIZE=32\nFLAG=16\n");
  FakeFlashDevice device(InfoAnswer(0x86));
  ASSERT_TRUE(OpenFlashDevice());
  BiosImage& rom = CurrentRomImage();
  LockBitsOf(rom).addresses[0] = 0x1234;
  ASSERT_EQ(GetROMInfo(rom), 1);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(rom.baseAddress, 0xFFE00000u);
  EXPECT_EQ(rom.size, 0x200000u);
  EXPECT_EQ(rom.flagWord, 16u);
  EXPECT_EQ(LockBitsOf(rom).addresses[0], 0x1234u);  // left as they were
  EXPECT_TRUE(ImageStatus() & kStatusGeometryFromIni);

  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  env.Write("setting.ini", "[CONFIGURATION]\nRUNNEWMODULE=0\n");
  FakeFlashDevice vxd([](uint32_t code, const std::vector<uint8_t>&, std::vector<uint8_t>& out) {
    if (code == kIoctlVxdCallBios) PutLe32At(out, 28, 1);
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  EXPECT_EQ(GetROMInfo(rom), 0);
  EXPECT_TRUE(boxes.boxes.empty());  // 9x fails without a message
}

TEST(RomRead, FailedReadShowsStatusZero) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  FakeFlashDevice device([](uint32_t, const std::vector<uint8_t>&, std::vector<uint8_t>& out) {
    PutLe32At(out, 0, 0xFFFFFFFF);
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  uint8_t buffer[16];
  EXPECT_EQ(GetROMData(0xFFFFFFF0, 16, buffer), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Function not supported, Status: 0");
  EXPECT_EQ(boxes.boxes[0].caption, "LoadSetupDefault");
}

// A firmware with a 2-block ROM; its data request fails when readFails.
struct TwoBlockMachine {
  bool readFails = false;
  bool programmed = false;
  FakeFlashDevice device{[this](uint32_t code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    if (code == kIoctlCallBios && Le32At(in, 4) == 0x9616) {
      PutLe32At(out, 4, 0x16);
      PutLe32At(out, 12, 2);
      PutLe32At(out, 24, 0xFFFE0000);
    } else if (code == kIoctlGetRomData) {
      if (readFails) {
        PutLe32At(out, 0, 0xFFFFFFFF);
      } else {
        std::vector<uint8_t> rom(Le32At(in, 60), 0xA5);
        EXPECT_TRUE(plat::AddressWindow::Instance().Write(Le32At(in, 56), rom.data(),
                                                          static_cast<uint32_t>(rom.size())));
      }
    } else if (code == kIoctlProgramRom) {
      programmed = true;
    }
    return 0u;
  }};
};

TEST(RomRead, FailedReadIsRecordedSoNothingIsFlashedFromZeros) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  TwoBlockMachine machine;
  machine.readFails = true;
  ASSERT_EQ(ReadCurrentRom(), 1);  // the run goes on, as before
  BiosImage& rom = CurrentRomImage();
  ASSERT_EQ(rom.size, 0x20000u);
  EXPECT_EQ(rom.bytes[0], 0);
  EXPECT_TRUE(ImageStatus() & kStatusRomReadFailed);
  EXPECT_FALSE(FlashDeviceIsOpen());

  AllocateImageBuffer(NewImage(), 0x20000);

  std::memset(NewImage().bytes, 0, 0x20000);
  NewImage().size = 0x20000;
  std::memcpy(NewImage().bytes, "A!FR", 4);
  NewImage().flashModule = NewImage().bytes;
  Settings().settingsWord = kExecuteFromNewBios;
  ASSERT_TRUE(OpenFlashDevice());
  boxes.boxes.clear();
  EXPECT_EQ(ProgramFlashROM(), 0);
  EXPECT_FALSE(machine.programmed);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Program ROM");

  machine.readFails = false;
  ASSERT_EQ(ReadCurrentRom(), 1);
  EXPECT_FALSE(ImageStatus() & kStatusRomReadFailed);
  EXPECT_EQ(CurrentRomImage().bytes[0x1FFFF], 0xA5);
  EXPECT_EQ(NewImage().flagWord, CurrentRomImage().flagWord);
  ASSERT_TRUE(OpenFlashDevice());
  EXPECT_EQ(ProgramFlashROM(), 1);
  EXPECT_TRUE(machine.programmed);
}

TEST(RomRead, OpenAndInformationFailuresSetTheirBits) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  ASSERT_EQ(ReadCurrentRom(), 0);  // no driver at all
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Device Driver Open Fail !");
  EXPECT_EQ(boxes.boxes[0].caption, "Brimlet Error");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST);
  EXPECT_EQ(Settings().errorCode, kErrDevice);
  EXPECT_TRUE(ImageStatus() & kStatusDeviceOpenFailed);

  boxes.boxes.clear();
  FakeFlashDevice device(InfoAnswer(0x86));
  ASSERT_EQ(ReadCurrentRom(), 0);
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Function not supported, Status: 134",
                                                     "Get ROM Info Fail !"}));
  EXPECT_TRUE(ImageStatus() & kStatusRomInfoFailed);
  EXPECT_TRUE(ImageStatus() & kStatusRomReadFailed);
  EXPECT_FALSE(FlashDeviceIsOpen());
}

// ROM and image of one block; modules placed as asked.
void Images(bool romModule, bool imageModule) {
  BiosImage& rom = CurrentRomImage();
  AllocateImageBuffer(rom, 0x10000);
  std::memset(rom.bytes, 0, 0x10000);
  rom.size = 0x10000;
  rom.flashModule = romModule ? rom.bytes + 0x40 : nullptr;
  BiosImage& image = NewImage();
  AllocateImageBuffer(image, 0x10000);
  std::memset(image.bytes, 0, 0x10000);
  image.size = 0x10000;
  image.flashModule = imageModule ? image.bytes + 0x80 : nullptr;
}

TEST(Programming, OptionRegisterBits) {
  EXPECT_EQ(ProgramOptionBits(kLoadDefaultCmos), 3u);
  EXPECT_EQ(ProgramOptionBits(kKeepBootBlock), 0u);
  EXPECT_EQ(ProgramOptionBits(kKeepBootBlock | kLoadDefaultCmos), 2u);
  EXPECT_EQ(ProgramOptionBits(0), 1u);
}

TEST(Programming, ExecuteFromNewBiosWithoutModuleNtUsesTheRomsNineXRefuses) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  FakeFlashDevice device([](uint32_t, const std::vector<uint8_t>&, std::vector<uint8_t>&) { return 0u; });
  Images(true, false);
  Settings().settingsWord = kExecuteFromNewBios | kKeepBootBlock;
  ASSERT_TRUE(OpenFlashDevice());
  ASSERT_EQ(ProgramFlashROM(), 1);
  ASSERT_EQ(device.requests.size(), 1u);
  // The ROM is mapped second, right after the image's 0x11000 bytes.
  EXPECT_EQ(Le32At(device.requests[0].in, 64), plat::AddressWindow::kBase + 0x11000 + 0x40);

  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  ASSERT_TRUE(OpenFlashDevice());
  device.requests.clear();
  EXPECT_EQ(ProgramFlashROM(), 0);
  EXPECT_TRUE(device.requests.empty());
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"BIOS Program Module Not Found !"});
  EXPECT_EQ(boxes.boxes[0].caption, "Program ROM");
}

TEST(Programming, GeometryFromIniAlwaysTakesTheNewModuleOnNt) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  FakeFlashDevice device([](uint32_t, const std::vector<uint8_t>&, std::vector<uint8_t>&) { return 0u; });
  ASSERT_TRUE(OpenFlashDevice());
  ImageStatus() |= kStatusGeometryFromIni;
  Images(true, true);
  ASSERT_EQ(ProgramFlashROM(), 1);
  EXPECT_EQ(Le32At(device.requests[0].in, 64), plat::AddressWindow::kBase + 0x80);
  Images(true, false);
  EXPECT_EQ(ProgramFlashROM(), 0);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"BIOS Program Module Not Found !"});
}

TEST(Programming, ShortImageAndFirmwareErrorsAreRefused) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  FakeFlashDevice device([](uint32_t, const std::vector<uint8_t>&, std::vector<uint8_t>& out) {
    PutLe32At(out, 4, 0x0516);  // AH 5
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  Images(true, true);
  NewImage().size = 0xFFFF;
  EXPECT_EQ(ProgramFlashROM(), 0);
  EXPECT_TRUE(device.requests.empty());
  NewImage().size = 0x10000;
  EXPECT_EQ(ProgramFlashROM(), 0);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, "Function not supported, Status: 5");
  EXPECT_EQ(boxes.boxes[1].caption, "LoadSetupDefault");
  EXPECT_EQ(plat::AddressWindow::Instance().MappedCount(), 0u);
}

}  // namespace
}  // namespace brim
