// The real brimlet, packaged with an image, flashing chips that libflashrom's
// dummy programmer emulates in a file, through the flashrom driver module
// placed beside it as flash.sys. Every chip file is compared byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "imagegen/layouts.h"
#include "temp_dir.h"

namespace {

using imagegen::Bytes;
namespace fs = std::filesystem;

constexpr uint32_t kMiB = 0x100000;
constexpr uint32_t kBlock = 0x10000;

void WriteBytes(const std::string& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t BaseOf(uint32_t size) { return static_cast<uint32_t>(0x100000000ull - size); }

// Bytes that tell two images apart in blocks the layouts leave empty.
void Stamp(Bytes& b, uint32_t seed) {
  for (uint32_t block : {1u, static_cast<uint32_t>(b.size() / kBlock / 2),
                         static_cast<uint32_t>(b.size() / kBlock - 1)})
    for (uint32_t i = 0; i < 0x100; ++i) b[size_t{block} * kBlock + 0x8000 + i] = uint8_t(seed * 31 + i);
}

void CopyRange(Bytes& to, const Bytes& from, size_t start, size_t end) {
  std::copy(from.begin() + start, from.begin() + end, to.begin() + start);
}

Bytes Quorvel(uint32_t size, uint32_t seed, const std::string& date) {
  imagegen::QuorvelSpec spec;
  spec.size = size;
  spec.base = BaseOf(size);
  spec.directory = {{"A!ES", spec.base + 0x80000, 0x2000},
                    {"A!PS", spec.base + 0x15000, 0x1000},
                    {"A!KA", spec.base + 0x14000, 0x100},
                    {"A!KN", spec.base + 0x14000, 0x100}};
  spec.flashModules = {0xD0000};
  spec.date = date;
  spec.seed = seed;
  Bytes b = imagegen::BuildQuorvel(spec);
  Stamp(b, seed);
  return b;
}

Bytes Tarvex(uint32_t size, uint32_t seed, const std::string& release) {
  imagegen::TarvexSpec spec;
  spec.size = size;
  spec.fSegmentBanks = {size / kBlock - 1};
  spec.flashModules = {0xD0000};
  spec.release = release;
  spec.seed = seed;
  Bytes b = imagegen::BuildTarvex(spec);
  Stamp(b, seed);
  std::copy_n("DMI1", 4, b.begin() + 0x20000);  // both DMI areas of one model begin alike
  return b;
}

Bytes Lindar(uint32_t size, uint32_t seed, const std::string& mmddyy) {
  imagegen::LindarSpec spec;
  spec.size = size;
  spec.base = BaseOf(size);
  spec.directory = {{"A!DM", spec.base + 0x20000, 0x800}, {"A!NV", spec.base + 0x30000, 0x2000}};
  spec.flashModules = {0xD0000};
  spec.texts[4] = mmddyy;
  spec.seed = seed;
  Bytes b = imagegen::BuildLindar(spec);
  Stamp(b, seed);
  return b;
}

// Keep password and boot block; verify date, model and size; the new image's
// flash module (the module ignores which one: it programs the chip itself).
const char kSettings[] = "0100010000000000011010000001000000";

class FlashromSilentFlash : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "prog");
    fs::create_directories(dir / "etc");
    fs::create_directories(dir / "state");
  }

  // The chip file holding `rom`, and brimlet with `image` packaged behind it
  // and the flashrom module beside it.
  void Prepare(const Bytes& rom, const Bytes& image, const std::string& settings = kSettings) {
    WriteBytes(Chip(), rom);
    WriteBytes(dir / "new.rom", image);
    fs::copy_file(FLASHROM_SYS_PATH, dir / "prog/flash.sys", fs::copy_options::overwrite_existing);
    const std::string pack = std::string(BRIMLET_PACK_EXE) + " --settings " + settings + " --image " +
                             (dir / "new.rom") + " --exe " + BRIMLET_EXE + " -o " + (dir / "prog/brimlet") +
                             " >/dev/null";
    ASSERT_EQ(std::system(pack.c_str()), 0);
  }

  // flashrom.ini beside brimlet (or in the system folder) with these lines under [FLASHROM].
  void Configure(const std::string& lines, const std::string& folder = "prog") {
    std::ofstream(dir / (folder + "/flashrom.ini")) << "[FLASHROM]\n" << lines;
  }
  std::string Dummy(const std::string& emulate) const {
    return "PROGRAMMER=dummy:emulate=" + emulate + ",image=" + Chip() + "\n";
  }

  int Run(const std::string& program, const std::string& args) {
    // The lock folder too: tests never share the machine-wide lock.
    const std::string env = "XDG_STATE_HOME=" + (dir / "state") + " XDG_DATA_HOME=" + (dir / "data") +
                            " XDG_CONFIG_HOME=" + (dir / "config") + " XDG_RUNTIME_DIR=" + (dir / "state") +
                            " BIOS_TOOLS_LOCK_DIR=" + (dir / "state") +
                            " BIOS_TOOLS_CONFIG_DIR=" + (dir / "etc") + " BIOS_TOOLS_NO_POWER_ACTION=1";
    const std::string cmd = "cd " + (dir / "prog") + " && " + env + " " + program + " " + args +
                            " </dev/null >" + (dir / "log") + " 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  int RunBrimlet(const std::string& args) { return Run("./brimlet", args); }

  std::string Chip() const { return dir / "chip.bin"; }
  Bytes ChipBytes() { return ReadBytes(Chip()); }
  std::string Log() {
    Bytes b = ReadBytes(dir / "log");
    return std::string(b.begin(), b.end());
  }

  plat::TempDir dir;
};

// A real SPI part: 16 MiB, 256 blocks, more than the 8-bit ROM size holds.
TEST_F(FlashromSilentFlash, W25Q128FVQuorvelKeepsPasswordAreaAndTheLastBlock) {
  const Bytes oldRom = Quorvel(16 * kMiB, 3, "06/28/07");
  const Bytes image = Quorvel(16 * kMiB, 9, "07/15/07");
  Prepare(oldRom, image);
  Configure(Dummy("W25Q128FV") + "FLAG=0x10\n");

  ASSERT_EQ(RunBrimlet("/silent /kpsw"), 0) << Log();
  Bytes expected = image;
  CopyRange(expected, oldRom, 0x15000, 0x16000);                     // A!PS carried over
  CopyRange(expected, oldRom, 16 * kMiB - kBlock, 16 * kMiB);        // boot block left out
  const Bytes chip = ChipBytes();
  ASSERT_EQ(chip.size(), expected.size());
  EXPECT_TRUE(chip == expected);
}

TEST_F(FlashromSilentFlash, ThirtyTwoMebibyteTarvexWritesTheBootBlockWhenAsked) {
  const Bytes oldRom = Tarvex(32 * kMiB, 1, "070628");
  const Bytes image = Tarvex(32 * kMiB, 7, "070715");
  Prepare(oldRom, image);
  Configure(Dummy("VARIABLE_SIZE,size=33554432") + "FLAG=0\n");

  ASSERT_EQ(RunBrimlet("/silent /kdmi /wb"), 0) << Log();
  Bytes expected = image;
  CopyRange(expected, oldRom, 0x20000, 0x20800);  // DMI module carried over
  EXPECT_TRUE(ChipBytes() == expected);
}

// The boot block lies where flashrom.ini says, here the second block; the
// configuration comes from the system folder when none lies beside brimlet.
TEST_F(FlashromSilentFlash, OneMebibyteLindarLeavesTheConfiguredBootBlockOut) {
  const Bytes oldRom = Lindar(kMiB, 2, "062807");
  const Bytes image = Lindar(kMiB, 5, "071507");
  Prepare(oldRom, image);
  Configure(Dummy("VARIABLE_SIZE,size=1048576") + "FLAG=0x08\nBOOTBLOCK=0x10000\nBOOTBLOCKSIZE=0x10000\n",
            "etc");

  ASSERT_EQ(RunBrimlet("/silent /kdmi"), 0) << Log();
  Bytes expected = image;
  CopyRange(expected, oldRom, 0x20000, 0x20800);  // DMI area carried over
  CopyRange(expected, oldRom, kBlock, 2 * kBlock);
  EXPECT_TRUE(ChipBytes() == expected);
}

// On the 9x family brimlet loads the module directly and talks in packets.
TEST_F(FlashromSilentFlash, NineXPersonalityProgramsThroughItsPackets) {
  const Bytes oldRom = Tarvex(kMiB, 1, "070628");
  const Bytes image = Tarvex(kMiB, 7, "070715");
  Prepare(oldRom, image);
  Configure(Dummy("VARIABLE_SIZE,size=1048576") + "FLAG=0\n");
  ASSERT_EQ(Run("BIOS_TOOLS_PERSONALITY=9x ./brimlet", "/silent /kdmi /wb"), 0) << Log();
  Bytes expected = image;
  CopyRange(expected, oldRom, 0x20000, 0x20800);  // DMI module carried over
  EXPECT_TRUE(ChipBytes() == expected);
  EXPECT_EQ(Log().find("flashrom driver:"), std::string::npos) << "no failure on the way: " << Log();
}

TEST_F(FlashromSilentFlash, RefusedImagesLeaveTheChipUnchanged) {
  const Bytes oldRom = Quorvel(kMiB, 3, "06/28/07");
  Prepare(oldRom, Quorvel(kMiB, 9, "01/02/07"));
  Configure(Dummy("VARIABLE_SIZE,size=1048576") + "FLAG=0x10\n");
  EXPECT_EQ(RunBrimlet("/silent"), 4) << "older release";
  EXPECT_TRUE(ChipBytes() == oldRom);

  const Bytes tarvexRom = Tarvex(kMiB, 1, "070628");
  Prepare(tarvexRom, Tarvex(2 * kMiB, 7, "070715"));
  Configure(Dummy("VARIABLE_SIZE,size=1048576") + "FLAG=0\n");
  EXPECT_EQ(RunBrimlet("/silent"), 2) << "image larger than the chip";
  EXPECT_TRUE(ChipBytes() == tarvexRom);

  // Setup defaults cannot be loaded through a chip: refused unless configured away.
  std::string withDefaults = kSettings;
  withDefaults[26] = '1';
  Prepare(oldRom, Quorvel(kMiB, 9, "07/15/07"), withDefaults);
  Configure(Dummy("VARIABLE_SIZE,size=1048576") + "FLAG=0x10\n");
  EXPECT_EQ(RunBrimlet("/silent"), 27) << Log();
  EXPECT_NE(Log().find("[LoadSetupDefault] Function not supported, Status: 134\n"
                       "loading the setup defaults cannot be asked of a flash chip"),
            std::string::npos)
      << Log();
  EXPECT_NE(Log().find("The flash ROM is unchanged."), std::string::npos) << Log();
  EXPECT_TRUE(ChipBytes() == oldRom);
}

// Whatever libflashrom reports, brimlet reads the chip in a session of its
// own and says what it holds: an identical re-flash verifies; a chip that
// ignores page programs is erased where it changes, which the read-back
// finds although libflashrom reports success; a write-protected one is
// unchanged.
TEST_F(FlashromSilentFlash, TheChipIsReadAfterTheRunAndWhatItHoldsIsSaid) {
  const Bytes oldRom = Quorvel(16 * kMiB, 3, "06/28/07");
  const Bytes image = Quorvel(16 * kMiB, 9, "07/15/07");
  struct Case {
    const char* name;
    const char* parameters;
    bool identical;
    int status;
    const char* said;
    bool powerWarning;
  } cases[] = {
      {"identical re-flash, boot block kept", "", true, 0, "", false},
      {"page programs ignored", ",spi_ignorelist=02", false, 5,
       "blocks (64 KiB) differ from the new BIOS", true},
      {"write-protected", ",spi_status=0x9C,hwwp=yes", false, 27, "The flash ROM is unchanged.", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir / "state");
    fs::create_directories(dir / "state");
    Prepare(oldRom, c.identical ? oldRom : image);
    Configure("PROGRAMMER=dummy:emulate=W25Q128FV" + std::string(c.parameters) + ",image=" + Chip() +
              "\nFLAG=0x10\n");
    EXPECT_EQ(RunBrimlet("/silent /force"), c.status) << Log();
    EXPECT_NE(Log().find(c.said), std::string::npos) << Log();
    EXPECT_EQ(Log().find("DO NOT TURN OFF POWER") != std::string::npos, c.powerWarning) << Log();
    if (c.status == 5) {
      EXPECT_FALSE(ChipBytes() == oldRom);
    } else {
      EXPECT_TRUE(ChipBytes() == oldRom);
    }
  }
}

// A chip file the dummy cannot save (its folder is gone): libflashrom wrote
// the chip in memory only and says nothing of it; brimlet's read-back in a
// new session finds the chip as it was and says so, without the power warning.
TEST_F(FlashromSilentFlash, ChipThatCannotBeSavedIsReportedUnchanged) {
  const Bytes image = Quorvel(kMiB, 9, "07/15/07");
  Prepare(Bytes(kMiB, 0xFF), image);
  Configure("PROGRAMMER=dummy:emulate=VARIABLE_SIZE,size=1048576,image=" + (dir / "gone/chip.bin") +
            "\nFLAG=0x10\n");
  EXPECT_EQ(RunBrimlet("/silent /force"), 27) << Log();
  EXPECT_NE(Log().find("The flash ROM is unchanged."), std::string::npos) << Log();
  EXPECT_EQ(Log().find("DO NOT TURN OFF POWER"), std::string::npos) << Log();
  EXPECT_FALSE(fs::exists(dir / "gone/chip.bin"));
}

TEST_F(FlashromSilentFlash, ChipOfNoWholeNumberOfBlocksIsNeverRead) {
  Bytes oldRom(0x18000, 0x5A);
  Prepare(oldRom, Quorvel(kMiB, 9, "07/15/07"));
  Configure(Dummy("VARIABLE_SIZE,size=98304") + "FLAG=0x10\n");
  EXPECT_NE(RunBrimlet("/silent /wb"), 0);
  EXPECT_NE(Log().find("not a whole number of 64 KiB blocks"), std::string::npos) << Log();
  EXPECT_NE(Log().find("Get ROM Info Fail !"), std::string::npos) << Log();
  EXPECT_TRUE(ChipBytes() == oldRom);
}

// libflashrom's own error (a part it does not know) shows in its log on
// stderr and in brimlet's box below the failure's status.
TEST_F(FlashromSilentFlash, LibflashromErrorsReachTheBoxes) {
  const Bytes oldRom = Quorvel(kMiB, 3, "06/28/07");
  Prepare(oldRom, Quorvel(kMiB, 9, "07/15/07"));
  Configure(Dummy("NOSUCHPART") + "FLAG=0x10\n");
  EXPECT_EQ(RunBrimlet("/silent /wb"), 6);
  const std::string log = Log();
  EXPECT_NE(log.find("flashrom: Invalid chip specified for emulation: NOSUCHPART"), std::string::npos)
      << log;
  const std::string box = "[LoadSetupDefault] Function not supported, Status: 5\n"
                          "programmer \"dummy\" did not start (libflashrom code 1): "
                          "Invalid chip specified for emulation: NOSUCHPART";
  EXPECT_NE(log.find(box), std::string::npos) << log;
  EXPECT_TRUE(ChipBytes() == oldRom);
}

// Without a usable configuration the module tells brimlet the BIOS is not
// supported, and nothing is read or written.
TEST_F(FlashromSilentFlash, MissingBrokenOrInternalConfigurationIsUnsupported) {
  const Bytes oldRom = Quorvel(kMiB, 3, "06/28/07");
  Prepare(oldRom, Quorvel(kMiB, 9, "07/15/07"));
  const std::string dummy = Dummy("VARIABLE_SIZE,size=1048576");
  struct Case {
    const char* name;
    std::string ini;  // "" for none at all
    const char* reason;
  } cases[] = {
      {"missing", "", "no flashrom.ini found"},
      {"no programmer", "FLAG=0x10\n", "PROGRAMMER is missing"},
      {"no flag", dummy, "FLAG is missing"},
      {"bad number", dummy + "FLAG=0x10\nBOOTBLOCK=top\n", "BOOTBLOCK=top is not a number"},
      {"internal", "PROGRAMMER=internal\nFLAG=0x10\n", "needs ALLOWINTERNAL=1"},
      {"internal, allowed only half", "PROGRAMMER=internal\nFLAG=0x10\nALLOWINTERNAL=yes\n",
       "needs ALLOWINTERNAL=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(dir / "prog/flashrom.ini");
    if (!c.ini.empty()) Configure(c.ini);
    EXPECT_EQ(RunBrimlet("/silent /wb"), 6);
    const std::string log = Log();
    EXPECT_NE(log.find("Sorry! The BIOS can not support Brimlet!"), std::string::npos) << log;
    EXPECT_NE(log.find(c.reason), std::string::npos) << log;
    EXPECT_TRUE(ChipBytes() == oldRom);
  }
}

TEST_F(FlashromSilentFlash, RomReadToolReadsTheChipThroughTheModule) {
  const Bytes rom = Quorvel(16 * kMiB, 3, "06/28/07");
  Prepare(rom, rom);
  Configure(Dummy("W25Q128FV") + "FLAG=0x10\n");
  fs::copy_file(BRIMLET_ROMREAD_EXE, dir / "prog/brimlet-romread");
  ASSERT_EQ(Run("./brimlet-romread", dir / "read.bin"), 0) << Log();
  EXPECT_NE(Log().find("ROM base address: 0xFF000000"), std::string::npos) << Log();
  EXPECT_NE(Log().find("(256 blocks of 64 KiB)"), std::string::npos) << Log();
  EXPECT_TRUE(ReadBytes(dir / "read.bin") == rom);
  EXPECT_TRUE(ChipBytes() == rom);
}

}  // namespace
