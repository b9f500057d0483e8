// The firmware layer against the real flash.sys module and an emulated
// machine: service start, ROM read, programming, on NT and on 9x.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>

#include "../firmware_test_support.h"
#include "core/settings_word.h"
#include "emulator/default_machine.h"
#include "emulator/emulated_firmware.h"
#include "emulator/machine_config.h"
#include "firmware/driver_message.h"
#include "firmware/driver_service.h"
#include "firmware/flash_device.h"
#include "firmware/firmware_queries.h"
#include "firmware/lock_bit_table.h"
#include "firmware/rom_access.h"
#include "firmware/rom_verify.h"
#include "image/region_locator.h"
#include "imagegen/layouts.h"
#include "inspect/image_inspection.h"
#include "platform/file_system.h"
#include "platform/system_paths.h"
#include "scripted_message_box.h"

namespace brim {
namespace {

using test::TempEnvironment;

// A private environment with flash.sys beside a pretend executable and
// BRIMLET_MACHINE naming a machine folder.
class EmulatedMachine {
 public:
  EmulatedMachine() : folder(env.Path("machine")), exeDir(env.root() + "/") {
    std::vector<uint8_t> module;
    EXPECT_TRUE(plat::ReadWholeFile(FLASH_SYS_PATH, module));
    plat::WriteWholeFile(exeDir + "flash.sys", module.data(), module.size());
    ::setenv(emu::kMachineVariable, folder.c_str(), 1);
  }
  ~EmulatedMachine() { ::unsetenv(emu::kMachineVariable); }

  void Create(const std::vector<uint8_t>& rom, std::vector<std::string> lines) {
    ASSERT_TRUE(emu::WriteMachine(folder, rom, lines));
  }
  int StartDriver() {
    DriverService service(scm, [](uint32_t) {});
    return EnsureFlashDriver(service, exeDir);
  }
  std::vector<uint8_t> RomFile() const {
    std::vector<uint8_t> bytes;
    plat::ReadWholeFile(folder + "/rom.bin", bytes);
    return bytes;
  }

  TempEnvironment env;
  std::string folder;
  std::string exeDir;
  plat::FileServiceManager scm;
};

TEST(EndToEnd, StartUpChecksInstallTheServiceAndAskForSupport) {
  EmulatedMachine m;
  plat::ScriptedMessageBox boxes;
  m.Create(std::vector<uint8_t>(0x10000, 0xFF), {"SUPPORTED=0"});
  ASSERT_EQ(m.StartDriver(), 1);
  uint32_t state = 0;
  ASSERT_TRUE(plat::ReadServiceRecord("flash", &state, nullptr));
  EXPECT_EQ(state, plat::SERVICE_RUNNING);
  ASSERT_TRUE(OpenFlashDevice());
  EXPECT_EQ(CheckBiosSupport(), 0);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Sorry! The BIOS can not support Brimlet!"});
  CloseFlashDevice();
  ASSERT_EQ(m.StartDriver(), 1);  // the second check of a run stops and restarts it
}

TEST(EndToEnd, DeviceIsGoneWhileTheServiceIsStopped) {
  EmulatedMachine m;
  m.Create(std::vector<uint8_t>(0x10000, 0xFF), {});
  ASSERT_EQ(m.StartDriver(), 1);
  DriverService service(m.scm, [](uint32_t) {});
  ASSERT_EQ(service.StopDriver("flash"), 1);
  EXPECT_FALSE(OpenFlashDevice());
  EXPECT_EQ(service.StartDriver("flash"), 1);
  EXPECT_TRUE(OpenFlashDevice());
}

// Offsets and lengths of the located areas that lie inside the image.
std::multiset<std::pair<uint32_t, uint32_t>> Areas(const BiosImage& image) {
  std::multiset<std::pair<uint32_t, uint32_t>> areas;
  for (const RegionPair& r : image.regions)
    if (RangeInImage(image, r.data, r.length))
      areas.insert({static_cast<uint32_t>(OffsetInImage(image, r.data)), r.length});
  return areas;
}

TEST(EndToEnd, ReadCurrentRomLocatesTheSameRegionsAsTheInspectionOfTheRomFile) {
  imagegen::TarvexSpec tarvex;
  tarvex.areas = {{"A!PS", 0x40000, 0x100}, {"A!42", 0x50000, 0x2000}};
  tarvex.flashModules = {0xE0000};
  imagegen::LindarSpec lindar;
  lindar.flashModules = {0xE0000};
  imagegen::QuorvelSpec quorvel;
  quorvel.flashModules = {0xE0000};
  struct Case {
    const char* name;
    std::vector<uint8_t> rom;
    uint32_t flag;
  } cases[] = {{"Tarvex", imagegen::BuildTarvex(tarvex), 0x00},
               {"Lindar", imagegen::BuildLindar(lindar), 0x08},
               {"Quorvel", imagegen::BuildQuorvel(quorvel), 0x10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EmulatedMachine m;
    char flag[32];
    std::snprintf(flag, sizeof flag, "FLAG=%u", c.flag);
    m.Create(c.rom, {flag, "BASE=0xFFF00000", "ROMTYPE=W39V080A"});
    inspect::InspectOptions options;
    options.path = m.folder + "/rom.bin";
    options.flagWord = c.flag;
    options.flagGiven = true;
    inspect::Inspection file = inspect::InspectImage(options);
    ASSERT_TRUE(file.loaded);
    std::multiset<std::pair<uint32_t, uint32_t>> fileAreas;
    for (const inspect::AreaInfo& a : file.areas) fileAreas.insert({a.offset, a.length});
    ASSERT_FALSE(fileAreas.empty());

    // The inspection loads the file as a new image; the Quorvel directory is
    // only read while one is loaded, so the ROM is read in that state too.
    Settings() = FlashSettings();
    Settings().imageLoaded = 1;
    ImageStatus() = 0;
    ASSERT_EQ(m.StartDriver(), 1);
    ASSERT_EQ(ReadCurrentRom(), 1);
    const BiosImage& rom = CurrentRomImage();
    EXPECT_EQ(ImageStatus() & kStatusRomReadFailed, 0u);
    ASSERT_EQ(rom.size, c.rom.size());
    EXPECT_EQ(std::vector<uint8_t>(rom.bytes, rom.bytes + rom.size), c.rom);
    EXPECT_EQ(rom.baseAddress, 0xFFF00000u);
    EXPECT_EQ(rom.flagWord, c.flag);
    EXPECT_EQ(rom.lockBitAddresses[15], 0xFFB00000u + 15 * 0x10000);

    EXPECT_EQ(Areas(rom), fileAreas);
    EXPECT_EQ(ImageStatus() & 0x3FFFF, file.imageStatus & 0x3FFFF);
    EXPECT_EQ(OffsetInImage(rom, rom.flashModule), file.flashModule);
    EXPECT_EQ(std::string(rom.modelCode, strnlen(rom.modelCode, 4)), file.modelCode);
    EXPECT_EQ(rom.versionText, file.versionText);
    EXPECT_EQ(rom.dateText, file.dateText);
    EXPECT_EQ(rom.releaseNumber, file.releaseNumber);
    EXPECT_EQ(rom.checksum, file.checksum);
  }
}

// A machine holding ROM a and a new image b with a flash module, read and
// ready to program.
class ProgrammingRun : public ::testing::Test {
 protected:
  void SetUp() override {
    imagegen::TarvexSpec oldSpec, newSpec;
    oldSpec.seed = 1;
    newSpec.seed = 2;
    newSpec.version = "V2.00";
    newSpec.flashModules = {0xE0000};
    oldRom = imagegen::BuildTarvex(oldSpec);
    newRom = imagegen::BuildTarvex(newSpec);
    ASSERT_NE(oldRom, newRom);
  }
  void Prepare(std::vector<std::string> lines, uint32_t settingsWord) {
    lines.push_back("FLAG=0");
    m.Create(oldRom, lines);
    ASSERT_EQ(m.StartDriver(), 1);
    ASSERT_EQ(ReadCurrentRom(), 1);
    BiosImage& image = NewImage();
    AllocateImageBuffer(image, newRom.size() + 0x200000);
    std::memcpy(image.bytes, newRom.data(), newRom.size());
    image.size = static_cast<uint32_t>(newRom.size());
    LocateRegions(image);
    ASSERT_NE(image.flashModule, nullptr);
    Settings().settingsWord = settingsWord;
    ASSERT_TRUE(OpenFlashDevice());
  }
  std::vector<uint8_t> Expected(uint32_t keptBlocksFromTop, uint32_t writtenBlocks = 16) {
    std::vector<uint8_t> e = oldRom;
    std::copy(newRom.begin(), newRom.begin() + writtenBlocks * 0x10000, e.begin());
    std::copy(oldRom.end() - keptBlocksFromTop * 0x10000, oldRom.end(),
              e.end() - keptBlocksFromTop * 0x10000);
    return e;
  }

  EmulatedMachine m;
  std::vector<uint8_t> oldRom, newRom;
};

TEST_F(ProgrammingRun, KeepsTheBootBlockByDefault) {
  Prepare({}, kKeepBootBlock | kExecuteFromNewBios);
  ASSERT_EQ(ProgramFlashROM(), 1);
  EXPECT_EQ(m.RomFile(), Expected(1));
  EXPECT_FALSE(emu::LoadDefaultsRequested(m.folder));
}

TEST_F(ProgrammingRun, WritesTheBootBlockAndAsksForDefaultsWithEcx3) {
  Prepare({}, kLoadDefaultCmos | kExecuteFromNewBios);
  ASSERT_EQ(ProgramFlashROM(), 1);
  EXPECT_EQ(m.RomFile(), newRom);
  EXPECT_TRUE(emu::LoadDefaultsRequested(m.folder));
  CloseFlashDevice();
  ASSERT_EQ(ReadCurrentRom(), 1);  // the re-read after a flash sees the new BIOS
  EXPECT_STREQ(CurrentRomImage().versionText, "V2.00");
}

TEST_F(ProgrammingRun, CutOffRunLeavesAPartlyWrittenRom) {
  plat::ScriptedMessageBox boxes;
  Prepare({}, kExecuteFromNewBios);
  std::FILE* f = std::fopen((m.folder + "/machine.ini").c_str(), "a");
  std::fputs("[FAULTS]\nCUTOFF=5\n", f);
  std::fclose(f);
  EXPECT_EQ(ProgramFlashROM(), 0);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Function not supported, Status: 0\n"
                                                     "the programming run stopped after 5 blocks "
                                                     "([FAULTS] CUTOFF)"});
  EXPECT_EQ(m.RomFile(), Expected(0, 5));
}

TEST_F(ProgrammingRun, NineXReadsThroughTheMappingAndProgramsWithPackets) {
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  plat::MakeDirectories(plat::DriverFolder());
  std::vector<uint8_t> module;
  ASSERT_TRUE(plat::ReadWholeFile(FLASH_SYS_PATH, module));
  plat::WriteWholeFile(plat::DriverFolder() + "/flash.sys", module.data(), module.size());
  m.Create(oldRom, {"FLAG=0"});
  ASSERT_EQ(ReadCurrentRom(), 1);
  EXPECT_EQ(std::vector<uint8_t>(CurrentRomImage().bytes, CurrentRomImage().bytes + 0x100000), oldRom);
  EXPECT_EQ(ImageStatus() & kStatusRomReadFailed, 0u);
  BiosImage& image = NewImage();
  AllocateImageBuffer(image, newRom.size());
  std::memcpy(image.bytes, newRom.data(), newRom.size());
  image.size = static_cast<uint32_t>(newRom.size());
  LocateRegions(image);
  Settings().settingsWord = kExecuteFromNewBios | kKeepBootBlock;
  ASSERT_TRUE(OpenFlashDevice());
  ASSERT_EQ(ProgramFlashROM(), 1);
  EXPECT_EQ(m.RomFile(), Expected(1));
}

// 300 blocks: more than CL can report. brimlet's side asks for the 32-bit
// size, reads the whole ROM and programs it whole, boot block kept.
TEST(EndToEnd, MachineAboveTwoHundredFiftyFiveBlocksIsReadAndProgrammedWhole) {
  constexpr uint32_t kSize = 300u * 0x10000;
  imagegen::TarvexSpec oldSpec, newSpec;
  oldSpec.size = newSpec.size = kSize;
  oldSpec.fSegmentBanks = newSpec.fSegmentBanks = {299};
  newSpec.seed = 2;
  newSpec.version = "V2.00";
  newSpec.flashModules = {0xE0000};
  const std::vector<uint8_t> oldRom = imagegen::BuildTarvex(oldSpec);
  const std::vector<uint8_t> newRom = imagegen::BuildTarvex(newSpec);
  EmulatedMachine m;
  m.Create(oldRom, {"FLAG=0", "BASE=0xFED40000", "LOCKBITBLOCK0=0xF0000000"});
  ASSERT_EQ(m.StartDriver(), 1);
  ASSERT_EQ(ReadCurrentRom(), 1);
  const BiosImage& rom = CurrentRomImage();
  ASSERT_EQ(rom.size, kSize);
  EXPECT_EQ(rom.baseAddress, 0xFED40000u);
  EXPECT_EQ(std::vector<uint8_t>(rom.bytes, rom.bytes + rom.size), oldRom);
  EXPECT_EQ(LockBitsOf(rom).addresses[299], 0xF0000000u + 299 * 0x10000);

  BiosImage& image = NewImage();
  AllocateImageBuffer(image, newRom.size() + 0x200000);
  std::memcpy(image.bytes, newRom.data(), newRom.size());
  image.size = kSize;
  LocateRegions(image);
  Settings().settingsWord = kKeepBootBlock | kExecuteFromNewBios;
  ASSERT_TRUE(OpenFlashDevice());
  ASSERT_EQ(ProgramFlashROM(), 1);
  CloseFlashDevice();
  std::vector<uint8_t> expected = newRom;
  std::copy(oldRom.end() - 0x10000, oldRom.end(), expected.end() - 0x10000);
  std::vector<uint8_t> after;
  ASSERT_TRUE(plat::ReadWholeFile(m.folder + "/rom.bin", after));
  EXPECT_TRUE(after == expected);
}

// The read-back asks for the ROM a piece at a time: a difference in the last,
// short piece, on either side of a seam next to a kept boot block, or inside
// that boot block is found in its own block, and the comparison with the old
// ROM counts the same way; the ROM's mapping stays the one the first read set.
TEST(EndToEnd, ReadBackFindsEveryDifferencePieceByPiece) {
  constexpr uint32_t kSize = 300u * 0x10000;  // 18 pieces and a short one of 12 blocks
  constexpr uint32_t kSeam = 2 * kReadBackPiece;
  imagegen::TarvexSpec oldSpec, newSpec;
  oldSpec.size = newSpec.size = kSize;
  oldSpec.fSegmentBanks = newSpec.fSegmentBanks = {299};
  newSpec.seed = 2;
  newSpec.flashModules = {0xE0000};
  const std::vector<uint8_t> oldRom = imagegen::BuildTarvex(oldSpec);
  const std::vector<uint8_t> newRom = imagegen::BuildTarvex(newSpec);
  EmulatedMachine m;
  // Half a block kept right behind the seam.
  m.Create(oldRom, {"FLAG=0", "BASE=0xFED40000", "BOOTBLOCK=" + std::to_string(kSeam), "BOOTBLOCKSIZE=0x8000"});
  ASSERT_EQ(m.StartDriver(), 1);
  ASSERT_EQ(ReadCurrentRom(), 1);
  const BiosImage& rom = CurrentRomImage();
  ASSERT_EQ(rom.bootBlockOffset, kSeam);
  BiosImage& image = NewImage();
  AllocateImageBuffer(image, newRom.size());
  std::memcpy(image.bytes, newRom.data(), newRom.size());
  image.size = kSize;
  LocateRegions(image);
  Settings().settingsWord = kKeepBootBlock | kExecuteFromNewBios;
  ASSERT_TRUE(OpenFlashDevice());
  uint32_t optionBits = 0;
  ASSERT_EQ(ProgramFlashROM(&optionBits), 1);
  const std::vector<uint8_t> programmed = m.RomFile();
  const uint32_t mapped = rom.mappedRomAddress;

  const struct {
    const char* what;
    std::vector<uint32_t> changed;  // ROM offsets whose byte is flipped
    uint32_t badBlocks;
  } cases[] = {
      {"nothing", {}, 0},
      {"the last byte, in the short piece", {kSize - 1}, 1},
      {"the first byte of the short piece", {kSize - 12 * 0x10000}, 1},
      {"the last byte before the seam", {kSeam - 1}, 1},
      {"the kept boot block's first byte", {kSeam}, 1},
      {"its block's new half", {kSeam + 0x8000}, 1},
      {"both sides of the seam", {kSeam - 1, kSeam + 0x7FFF}, 2},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> now = programmed;
    for (uint32_t at : c.changed) now[at] ^= 0x5A;
    ASSERT_TRUE(plat::WriteWholeFile(m.folder + "/rom.bin", now.data(), now.size()));
    const RomVerifyResult r = VerifyProgrammedRom(image, rom, optionBits);
    EXPECT_TRUE(r.readBack) << c.what;
    EXPECT_EQ(r.blocks, 300u) << c.what;
    EXPECT_EQ(r.badBlocks, c.badBlocks) << c.what;
    EXPECT_EQ(rom.mappedRomAddress, mapped) << c.what;

    now = oldRom;
    for (uint32_t at : c.changed) now[at] ^= 0x5A;
    ASSERT_TRUE(plat::WriteWholeFile(m.folder + "/rom.bin", now.data(), now.size()));
    EXPECT_EQ(CompareWithOldRom(rom).badBlocks, c.badBlocks) << c.what << ", against the old ROM";
  }
  CloseFlashDevice();
}

TEST(EndToEnd, DefaultMachineIsMadeFromTheSampleOnFirstUse) {
  TempEnvironment env;
  ::unsetenv(emu::kMachineVariable);
  std::string folder = emu::MachineFolder();
  ASSERT_EQ(folder, emu::DefaultMachineFolder());
  emu::MachineConfig config;
  std::string error;
  ASSERT_TRUE(emu::LoadMachineConfig(folder, &config, &error)) << error;
  EXPECT_EQ(config.romSize, 0x100000u);
  EXPECT_EQ(config.flag, 0x10u);
  std::vector<uint8_t> rom;
  ASSERT_TRUE(plat::ReadWholeFile(folder + "/rom.bin", rom));
  EXPECT_EQ(rom, emu::DefaultRom());
  EXPECT_EQ(emu::DefaultRom(), emu::DefaultRom());  // deterministic
}

// The machine folder's reasons for refusing reach the message that the failed
// request shows, instead of a bare error number.
TEST(MachineRefusal, TheFailedRequestsMessageCarriesTheReasonUntilTheMachineIsThere) {
  TempEnvironment env;
  std::vector<uint8_t> module;
  ASSERT_TRUE(plat::ReadWholeFile(FLASH_SYS_PATH, module));
  const std::string exeDir = env.root() + "/";
  ASSERT_TRUE(plat::WriteWholeFile(exeDir + "flash.sys", module.data(), module.size()));
  const std::string folder = env.Path("empty-machine");
  plat::MakeDirectories(folder);
  ::setenv(emu::kMachineVariable, folder.c_str(), 1);

  plat::FileServiceManager scm;
  DriverService service(scm, [](uint32_t) {});
  ASSERT_EQ(EnsureFlashDriver(service, exeDir), 1);
  plat::ScriptedMessageBox boxes;
  ASSERT_TRUE(OpenFlashDevice());
  EXPECT_EQ(CheckBiosSupport(), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "DeviceIoControl failed, Error: 21\nemulated machine " + folder +
                                     " refused: ROM file missing: " + folder + "/rom.bin");

  // With the machine made, the same module answers and no reason is left over.
  ASSERT_TRUE(emu::WriteMachine(folder, emu::DefaultRom(), emu::DefaultMachineLines()));
  EXPECT_NE(CheckBiosSupport(), 0);
  EXPECT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(DriverMessage(), "");
  CloseFlashDevice();
  ::unsetenv(emu::kMachineVariable);
}

}  // namespace
}  // namespace brim
