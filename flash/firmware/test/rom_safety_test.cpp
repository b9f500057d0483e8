// Read-back compare, the backup file and the module a ROM without its own is
// programmed with.
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/settings_word.h"
#include "firmware/rom_access.h"
#include "firmware/rom_backup.h"
#include "firmware/rom_verify.h"
#include "firmware_test_support.h"

namespace brim {
namespace {

using test::TempEnvironment;

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 7 + seed);
  return b;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(ReadBack, CountsDifferingBlocksAndHonoursTheKeptBootBlock) {
  const uint32_t size = 4 * kRomBlock;
  const std::vector<uint8_t> image = Pattern(size, 1), old = Pattern(size, 2);
  const BootBlockSpan top{3 * kRomBlock, kRomBlock};
  std::vector<uint8_t> rom = image;
  RomVerifyResult r = CompareReadBack(image.data(), old.data(), rom.data(), size, true, top);
  EXPECT_TRUE(r.Passed());
  EXPECT_EQ(r.blocks, 4u);

  // One wrong byte at each end of two blocks.
  rom[kRomBlock] ^= 1;
  rom[3 * kRomBlock - 1] ^= 1;
  r = CompareReadBack(image.data(), old.data(), rom.data(), size, true, top);
  EXPECT_EQ(r.badBlocks, 2u);

  // A kept boot block (the top block) must still hold the old bytes.
  rom = image;
  std::memcpy(rom.data() + 3 * kRomBlock, old.data() + 3 * kRomBlock, kRomBlock);
  EXPECT_TRUE(CompareReadBack(image.data(), old.data(), rom.data(), size, false, top).Passed());
  EXPECT_EQ(CompareReadBack(image.data(), old.data(), rom.data(), size, true, top).badBlocks, 1u);
  EXPECT_EQ(CompareReadBack(image.data(), old.data(), image.data(), size, false, top).badBlocks, 1u)
      << "a boot block that was to be kept but was written is a difference too";
}

class Backup : public ::testing::Test {
 protected:
  void SetUp() override {
    BiosImage& rom = CurrentRomImage();
    AllocateImageBuffer(rom, 2 * kRomBlock);
    rom.size = 2 * kRomBlock;
    const std::vector<uint8_t> bytes = Pattern(rom.size, 5);
    std::memcpy(rom.bytes, bytes.data(), rom.size);
    std::memcpy(rom.modelCode, "Q/L", 3);
    std::memcpy(rom.dateText, "06/28/07", 8);
  }
  TempEnvironment env;
};

TEST_F(Backup, NamedAfterTheBiosAndNeverOverwritten) {
  const BiosImage& rom = CurrentRomImage();
  const std::time_t when = 1196251200;  // 2007-11-28 12:00:00 UTC
  EXPECT_EQ(BackupBaseName(rom, when), "Q-L_bios-06-28-07_flashed-20071128-120000");

  const RomBackup first = WriteRomBackup(rom, NewImage(), nullptr, when);
  ASSERT_TRUE(first.ok) << first.error;
  EXPECT_EQ(first.path, BackupFolder() + "/Q-L_bios-06-28-07_flashed-20071128-120000.rom");
  EXPECT_EQ(FileBytes(first.path), std::vector<uint8_t>(rom.bytes, rom.bytes + rom.size));

  std::memset(CurrentRomImage().bytes, 0xEE, 16);
  const RomBackup second = WriteRomBackup(rom, NewImage(), nullptr, when);
  ASSERT_TRUE(second.ok);
  EXPECT_NE(second.path, first.path);
  EXPECT_EQ(FileBytes(first.path)[0], Pattern(1, 5)[0]) << "the older backup is untouched";
}

TEST(BackupName, RecognisedInAnyCaseAndFolder) {
  EXPECT_TRUE(IsRomBackupName("/media/usb/QVL_bios-06-28-07_flashed-20071128-120000-2.rom"));
  EXPECT_TRUE(IsRomBackupName("\\TMP\\QVL_BIOS-06-28-07_FLASHED-20071128-120000.ROM"));
  EXPECT_FALSE(IsRomBackupName("/images/new.rom"));
  EXPECT_FALSE(IsRomBackupName("/images_flashed-x/new.rom")) << "only the file's own name counts";
  EXPECT_FALSE(IsRomBackupName("QVL_bios_flashed-20071128.bin"));
}

TEST_F(Backup, FolderThatCannotBeMadeRefusesWithTheReason) {
  // A file where the state folder should be.
  const std::string state = std::getenv("XDG_STATE_HOME");
  std::ofstream(state + "/bios-tools") << "not a folder";
  const RomBackup b = WriteRomBackup(CurrentRomImage(), NewImage(), nullptr, 0);
  EXPECT_FALSE(b.ok);
  EXPECT_NE(b.error.find(state + "/bios-tools/backups"), std::string::npos) << b.error;
  EXPECT_NE(b.error.find("Not a directory"), std::string::npos) << b.error;
}

TEST_F(Backup, RomWithoutModuleCarriesThePackagesModuleBlock) {
  BiosImage& image = NewImage();
  AllocateImageBuffer(image, 3 * kRomBlock);
  image.size = 3 * kRomBlock - 0x100;
  std::memcpy(image.bytes + 2 * kRomBlock, "A!FR", 4);
  image.flashModule = image.bytes + 2 * kRomBlock;
  const BiosImage& rom = CurrentRomImage();
  ASSERT_FALSE(HoldsFlashModule(rom.bytes, rom.size));

  const RomBackup b = WriteRomBackup(rom, image, image.flashModule, 0);
  ASSERT_TRUE(b.ok) << b.error;
  const std::vector<uint8_t> file = FileBytes(b.path);
  ASSERT_EQ(file.size(), rom.size + kRomBlock - 0x100);
  EXPECT_TRUE(std::equal(rom.bytes, rom.bytes + rom.size, file.begin()));
  EXPECT_EQ(std::memcmp(file.data() + rom.size, "A!FR", 4), 0);

  // A module inside the ROM's span travels with its own 64 KiB block only.
  uint32_t from = 0, length = 0;
  ModuleBlockOf(image, image.bytes + 0x8010, rom.size, &from, &length);
  EXPECT_EQ(from, 0x8010u);
  EXPECT_EQ(length, kRomBlock - 0x8010);

  // A ROM with a module of its own is backed up as it is.
  std::memcpy(CurrentRomImage().bytes + 0x100, "A!FR", 4);
  const RomBackup plain = WriteRomBackup(rom, image, image.flashModule, 0);
  ASSERT_TRUE(plain.ok);
  EXPECT_EQ(FileBytes(plain.path).size(), rom.size);
}

TEST(ModuleChoice, RomWithoutModuleIsProgrammedWithTheImagesModule) {
  TempEnvironment env;
  BiosImage& rom = CurrentRomImage();
  AllocateImageBuffer(rom, 0x10000);
  rom.size = 0x10000;
  BiosImage& image = NewImage();
  AllocateImageBuffer(image, 0x10000);
  image.size = 0x10000;
  image.flashModule = image.bytes + 0x80;
  Settings().settingsWord = kKeepBootBlock;  // EXECUTEFROMNEWBIOS off
  EXPECT_EQ(ChosenFlashModule(), image.flashModule);
  rom.flashModule = rom.bytes + 0x40;
  EXPECT_EQ(ChosenFlashModule(), rom.flashModule) << "a ROM's own module still comes first";
}

}  // namespace
}  // namespace brim
