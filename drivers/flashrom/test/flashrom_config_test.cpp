// Where flashrom.ini is looked for, what makes it unusable, and the refusal
// of the board's internal programmer without an explicit yes.
#include <gtest/gtest.h>

#include <fstream>

#include "flashrom_driver/flashrom_config.h"
#include "platform/file_system.h"
#include "platform/system_paths.h"
#include "temp_dir.h"

namespace frd {
namespace {

class Config : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::MakeDirectories(dir / "exe");
    plat::MakeDirectories(dir / "etc");
    env.Set(kConfigDirVariable, dir / "etc");
  }
  void Write(const std::string& folder, const std::string& lines) {
    std::ofstream(dir / (folder + "/flashrom.ini")) << "[FLASHROM]\n" << lines;
  }
  bool Load(FlashromConfig* c, std::string* reason) {
    return LoadFlashromConfig(ConfigCandidates(dir / "exe"), c, reason);
  }
  plat::TempDir dir;
  plat::ScopedEnv env;
};

TEST_F(Config, BrimletsFolderComesFirstThenTheSystemFolderNeverBoth) {
  EXPECT_EQ(ConfigCandidates(dir / "exe"),
            (std::vector<std::string>{dir / "exe/flashrom.ini", dir / "etc/flashrom.ini"}));
  env.Unset(kConfigDirVariable);
  EXPECT_EQ(ConfigCandidates(dir / "exe").back(), "/etc/bios-tools/flashrom.ini");
  env.Set(kConfigDirVariable, dir / "etc");

  FlashromConfig c;
  std::string reason;
  EXPECT_FALSE(Load(&c, &reason));
  EXPECT_NE(reason.find("no flashrom.ini found"), std::string::npos);

  Write("etc", "PROGRAMMER=dummy:emulate=W25Q128FV\nFLAG=0x10\nWSBI=0x0200\n");
  ASSERT_TRUE(Load(&c, &reason)) << reason;
  EXPECT_EQ(c.path, dir / "etc/flashrom.ini");
  EXPECT_EQ(c.wsbi, 0x200u);

  // A file beside brimlet replaces the system one whole: its keys are not mixed.
  Write("exe", "PROGRAMMER=ch341a_spi\nFLAG=8\n");
  ASSERT_TRUE(Load(&c, &reason)) << reason;
  EXPECT_EQ(c.path, dir / "exe/flashrom.ini");
  EXPECT_EQ(c.programmer, "ch341a_spi");
  EXPECT_EQ(c.parameters, "");
  EXPECT_EQ(c.wsbi, 0x0100u);
}

TEST_F(Config, KeysAndTheirDefaults) {
  Write("exe",
        "PROGRAMMER=dummy:emulate=VARIABLE_SIZE,size=1048576,image=/x/chip.bin\nCHIP=W25Q128.V\n"
        "FLAG=0x18\nBOOTBLOCK=0x10000\nBOOTBLOCKSIZE=8192\nBRAND=0x1234\nROMTYPE=My part\n"
        "IGNORELOADDEFAULTS=1\n");
  FlashromConfig c;
  std::string reason;
  ASSERT_TRUE(Load(&c, &reason)) << reason;
  EXPECT_EQ(c.programmer, "dummy");
  EXPECT_EQ(c.parameters, "emulate=VARIABLE_SIZE,size=1048576,image=/x/chip.bin");
  EXPECT_EQ(c.chip, "W25Q128.V");
  EXPECT_EQ(c.flag, 0x18u);
  EXPECT_TRUE(c.bootBlockGiven);
  EXPECT_EQ(c.bootBlockOffset, 0x10000u);
  EXPECT_EQ(c.bootBlockSize, 8192u);
  EXPECT_EQ(c.brand, 0x1234u);
  EXPECT_EQ(c.romType, "My part");
  EXPECT_TRUE(c.ignoreLoadDefaults);

  Write("exe", "PROGRAMMER=dummy\nFLAG=0\n");
  ASSERT_TRUE(Load(&c, &reason)) << reason;
  EXPECT_FALSE(c.bootBlockGiven);
  EXPECT_EQ(c.bootBlockSize, 0x10000u);
  EXPECT_EQ(c.wsbi, 0x0100u);
  EXPECT_EQ(c.brand, 0x564Du);
  EXPECT_FALSE(c.ignoreLoadDefaults);
}

TEST_F(Config, BrokenFilesAreRefusedWithTheirReason) {
  struct Case {
    const char* lines;
    const char* reason;
  } cases[] = {
      {"FLAG=0x10\n", "PROGRAMMER is missing"},
      {"PROGRAMMER=\nFLAG=0x10\n", "PROGRAMMER is missing"},
      {"PROGRAMMER=:emulate=W25Q128FV\nFLAG=0x10\n", "names no programmer"},
      {"PROGRAMMER=dummy\n", "FLAG is missing"},
      {"PROGRAMMER=dummy\nFLAG=0x100\n", "not an 8-bit number"},
      {"PROGRAMMER=dummy\nFLAG=16k\n", "not an 8-bit number"},
      {"PROGRAMMER=dummy\nFLAG=8\nBOOTBLOCK=-1\n", "BOOTBLOCK=-1 is not a number"},
      {"PROGRAMMER=dummy\nFLAG=8\nBOOTBLOCKSIZE=0\n", "must not be 0"},
      {"PROGRAMMER=dummy\nFLAG=8\nWSBI=0x100000000\n", "WSBI=0x100000000 is not a number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    Write("exe", c.lines);
    FlashromConfig config;
    std::string reason;
    EXPECT_FALSE(Load(&config, &reason));
    EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
  }
  std::ofstream(dir / "exe/flashrom.ini") << "[OTHER]\nPROGRAMMER=dummy\nFLAG=8\n";
  FlashromConfig config;
  std::string reason;
  EXPECT_FALSE(Load(&config, &reason)) << "keys outside [FLASHROM] do not count";
}

TEST_F(Config, InternalProgrammerOnlyWithAllowInternalOne) {
  FlashromConfig c;
  std::string reason;
  for (const char* lines : {"PROGRAMMER=internal\nFLAG=0x10\n",
                            "PROGRAMMER=Internal:laptop=force_I_want_a_brick\nFLAG=0x10\n",
                            "PROGRAMMER=internal\nFLAG=0x10\nALLOWINTERNAL=0\n",
                            "PROGRAMMER=internal\nFLAG=0x10\nALLOWINTERNAL=yes\n"}) {
    SCOPED_TRACE(lines);
    Write("exe", lines);
    EXPECT_FALSE(Load(&c, &reason));
    EXPECT_NE(reason.find("ALLOWINTERNAL=1"), std::string::npos) << reason;
  }
  Write("exe", "PROGRAMMER=internal\nFLAG=0x10\nALLOWINTERNAL=1\n");
  ASSERT_TRUE(Load(&c, &reason)) << reason;
  EXPECT_EQ(c.programmer, "internal");
}

}  // namespace
}  // namespace frd
