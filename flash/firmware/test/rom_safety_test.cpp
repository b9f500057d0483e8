// Read-back compare, the backup file and the module a ROM without its own is
// programmed with.
#include <sys/stat.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <functional>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/settings_word.h"
#include "firmware/rom_access.h"
#include "firmware/backup_record.h"
#include "firmware/backup_restore.h"
#include "firmware/machine_identity.h"
#include "firmware/rom_backup.h"
#include "firmware/sha256.h"
#include "platform/file_system.h"
#include "platform/system_paths.h"
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
    std::memset(rom.bytes, 0, 2 * kRomBlock);
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

TEST(Sha256, KnownDigests) {
  EXPECT_EQ(Sha256Hex(reinterpret_cast<const uint8_t*>("abc"), 3),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  const std::string million(1000000, 'a');  // crosses many blocks and the padding edge
  EXPECT_EQ(Sha256Hex(reinterpret_cast<const uint8_t*>(million.data()), million.size()),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  EXPECT_EQ(Sha256Hex(nullptr, 0), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

// The processor's SHA instructions give the portable code's digest for every
// length and every way of feeding the bytes.
TEST(Sha256, ShaInstructionsAgreeWithThePortableCode) {
  if (!Sha256EngineAvailable(Sha256Engine::kShaInstructions)) GTEST_SKIP() << "no SHA instructions";
  const std::vector<uint8_t> bytes = Pattern(4 * 64 + 9, 3);
  auto digest = [&](Sha256Engine engine, size_t length, size_t step) {
    Sha256 hash(engine);
    for (size_t at = 0; at < length; at += step) hash.Add(bytes.data() + at, std::min(step, length - at));
    return hash.HexDigest();
  };
  for (size_t length = 0; length <= bytes.size(); ++length)
    for (size_t step : {size_t{1}, size_t{7}, size_t{64}, size_t{200}})
      EXPECT_EQ(digest(Sha256Engine::kShaInstructions, length, step), digest(Sha256Engine::kPortable, length, 64))
          << length << " bytes fed " << step << " at a time";
}

// A backup is restored only when its record, its bytes, its size and the
// machine all agree.
TEST_F(Backup, RestoreCheckRefusesEveryMismatch) {
  const std::string dmi = env.Path("dmi");
  plat::MakeDirectories(dmi);
  ::setenv("BIOS_TOOLS_DMI_ROOT", dmi.c_str(), 1);
  std::ofstream(dmi + "/product_uuid") << "4c4c4544-0031-3510-8052-b2c04f4e4d31\n";
  std::ofstream(dmi + "/product_name") << "Test Box\n";
  const RomBackup b = WriteRomBackup(CurrentRomImage(), NewImage(), nullptr, 0);
  ASSERT_TRUE(b.ok) << b.error;
  MachineIdentity here = ReadMachineIdentity(), elsewhere = here;
  elsewhere.productUuid = "4c4c4544-0031-3510-8052-b2c04f4e4d32";
  BiosImage other = CurrentRomImage();
  std::memcpy(other.modelCode, "XYZ", 3);

  struct Case {
    const char* what;
    std::function<void()> change;
    const BiosImage* rom;
    const MachineIdentity* machine;
    const char* refusal;  // nullptr: restored
  } cases[] = {
      {"as written", [] {}, &CurrentRomImage(), &here, nullptr},
      {"another model, same machine", [] {}, &other, &here, nullptr},
      {"another machine, same model", [] {}, &CurrentRomImage(), &elsewhere, nullptr},
      {"another machine and model", [] {}, &other, &elsewhere, "belongs to another machine"},
      {"bytes changed", [&] { std::fstream(b.path, std::ios::in | std::ios::out | std::ios::binary).put('X'); },
       &CurrentRomImage(), &here, "its bytes changed"},
      {"record gone", [&] { std::remove(RecordPathOf(b.path).c_str()); }, &CurrentRomImage(), &here,
       "cannot be read"},
  };
  for (const Case& c : cases) {
    c.change();
    BackupRecord record;
    std::string why;
    const bool ok = CheckBackupForRestore(b.path, *c.rom, *c.machine, &record, &why);
    EXPECT_EQ(ok, c.refusal == nullptr) << c.what << ": " << why;
    if (c.refusal) {
      EXPECT_NE(why.find(c.refusal), std::string::npos) << c.what << ": " << why;
    }
  }
  BiosImage larger = CurrentRomImage();
  larger.size *= 2;
  const RomBackup second = WriteRomBackup(CurrentRomImage(), NewImage(), nullptr, 0);
  ASSERT_TRUE(second.ok);
  BackupRecord record;
  std::string why;
  EXPECT_FALSE(CheckBackupForRestore(second.path, larger, here, &record, &why));
  EXPECT_NE(why.find("the backup holds 131072 bytes, the flash ROM 262144"), std::string::npos) << why;
  ::unsetenv("BIOS_TOOLS_DMI_ROOT");
}

// The first backup ever taken and the newest ones stay; files brimlet did
// not write are never touched.
TEST_F(Backup, RetentionKeepsTheFirstAndTheNewest) {
  plat::MakeDirectories(BackupFolder());
  std::ofstream(BackupFolder() + "/mine.rom") << "the user's";
  std::ofstream(BackupFolder() + "/notes.json") << "{\"format\":1}";
  std::ofstream(BackupFolder() + "/.backup-AbC123") << "half a backup of a killed run";
  for (const auto& [keep, expected] : {std::make_pair("", 11), std::make_pair("3", 4)}) {
    ::setenv("BIOS_TOOLS_BACKUP_KEEP", keep, 1);
    std::vector<std::string> written;
    for (int i = 0; i < 14; ++i) {
      const RomBackup b = WriteRomBackup(CurrentRomImage(), NewImage(), nullptr, 1196251200 + 60 * i);
      ASSERT_TRUE(b.ok) << b.error;
      written.push_back(b.path);
    }
    int kept = 0;
    for (size_t i = 0; i < written.size(); ++i) {
      const bool stays = i == 0 || i + expected - 1 >= written.size();
      EXPECT_EQ(plat::FileExists(written[i]), stays) << i;
      EXPECT_EQ(plat::FileExists(RecordPathOf(written[i])), stays) << i;
      kept += stays;
    }
    EXPECT_EQ(kept, expected);
    for (const std::string& path : written) {
      std::remove(path.c_str());
      std::remove(RecordPathOf(path).c_str());
    }
  }
  ::unsetenv("BIOS_TOOLS_BACKUP_KEEP");
  EXPECT_TRUE(plat::FileExists(BackupFolder() + "/mine.rom"));
  EXPECT_TRUE(plat::FileExists(BackupFolder() + "/notes.json"));
  EXPECT_FALSE(plat::FileExists(BackupFolder() + "/.backup-AbC123")) << "a killed run's temporary goes";
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
  std::memset(image.bytes, 0, 3 * kRomBlock);
  image.size = 3 * kRomBlock - 0x100;
  std::memcpy(image.bytes + 2 * kRomBlock, "A!FR", 4);
  image.flashModule = image.bytes + 2 * kRomBlock;
  const BiosImage& rom = CurrentRomImage();
  ASSERT_FALSE(HoldsFlashModule(rom.bytes, rom.size));

  const RomBackup b = WriteRomBackup(rom, image, image.flashModule, 0);
  ASSERT_TRUE(b.ok) << b.error;
  const std::vector<uint8_t> file = FileBytes(b.path);
  ASSERT_EQ(file.size(), rom.size) << "exactly the chip: what an external programmer takes";
  EXPECT_TRUE(std::equal(rom.bytes, rom.bytes + rom.size, file.begin()));
  const std::vector<uint8_t> module = FileBytes(ModulePathOf(b.path));
  ASSERT_EQ(module.size(), kRomBlock - 0x100);
  EXPECT_EQ(std::memcmp(module.data(), "A!FR", 4), 0);
  BackupRecord record;
  std::string error;
  ASSERT_TRUE(ReadBackupRecord(RecordPathOf(b.path), &record, &error)) << error;
  EXPECT_EQ(record.size, rom.size);
  EXPECT_EQ(record.sha256, Sha256Hex(rom.bytes, rom.size));
  EXPECT_EQ(record.moduleFile, plat::BaseName(ModulePathOf(b.path)));
  EXPECT_EQ(record.moduleSha256, Sha256Hex(module.data(), module.size()));
  EXPECT_EQ(record.model, "Q/L");

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
  EXPECT_FALSE(plat::FileExists(ModulePathOf(plain.path)));
}

TEST(ModuleChoice, RomWithoutModuleIsProgrammedWithTheImagesModule) {
  TempEnvironment env;
  BiosImage& rom = CurrentRomImage();
  AllocateImageBuffer(rom, 0x10000);
  std::memset(rom.bytes, 0, 0x10000);
  rom.size = 0x10000;
  BiosImage& image = NewImage();
  AllocateImageBuffer(image, 0x10000);
  std::memset(image.bytes, 0, 0x10000);
  image.size = 0x10000;
  image.flashModule = image.bytes + 0x80;
  Settings().settingsWord = kKeepBootBlock;  // EXECUTEFROMNEWBIOS off
  EXPECT_EQ(ChosenFlashModule(), image.flashModule);
  rom.flashModule = rom.bytes + 0x40;
  EXPECT_EQ(ChosenFlashModule(), rom.flashModule) << "a ROM's own module still comes first";
}

}  // namespace
}  // namespace brim
