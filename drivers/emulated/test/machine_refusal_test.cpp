// The emulated machine's reasons for refusing a machine folder name the file
// and what is wrong with it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "emulator/default_machine.h"
#include "emulator/machine_config.h"
#include "platform/system_paths.h"
#include "temp_dir.h"

namespace emu {
namespace {

TEST(MachineRefusal, EachReasonNamesTheFileAndWhatIsWrong) {
  plat::TempDir env;
  emu::MachineConfig c;
  std::string error;
  const std::string folder = env / "m";
  plat::MakeDirectories(folder);
  EXPECT_FALSE(emu::LoadMachineConfig(folder, &c, &error));
  EXPECT_EQ(error, "ROM file missing: " + folder + "/rom.bin");

  ASSERT_TRUE(emu::WriteMachine(folder, std::vector<uint8_t>(1000, 0xFF), {}));
  EXPECT_FALSE(emu::LoadMachineConfig(folder, &c, &error));
  EXPECT_NE(error.find("holds 1000 bytes, not 1 to 4096 blocks of 64 KiB"), std::string::npos) << error;

  ASSERT_TRUE(emu::WriteMachine(folder, std::vector<uint8_t>(0x10000, 0xFF),
                                {"FLAG=0x10", "BLOCKTIME=fast", "BASE=12x"}));
  EXPECT_FALSE(emu::LoadMachineConfig(folder, &c, &error));
  EXPECT_EQ(error, folder + "/machine.ini: [MACHINE] BASE=12x is not a number");

  ASSERT_TRUE(emu::WriteMachine(folder, std::vector<uint8_t>(0x10000, 0xFF), {"PASSWORD=secret"}));
  EXPECT_FALSE(emu::LoadMachineConfig(folder, &c, &error));
  EXPECT_NE(error.find("PASSWORD=secret is not \"none\" or hex scan codes"), std::string::npos);

  ASSERT_TRUE(emu::WriteMachine(folder, std::vector<uint8_t>(0x10000, 0xFF), emu::DefaultMachineLines()));
  EXPECT_TRUE(emu::LoadMachineConfig(folder, &c, &error)) << error;
}

}  // namespace
}  // namespace emu
