// The emulated machine's reasons for refusing a machine folder reach the
// message that the failed request shows, instead of a bare error number.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "../../flash/firmware/test/firmware_test_support.h"
#include "emulator/default_machine.h"
#include "emulator/machine_config.h"
#include "firmware/driver_message.h"
#include "firmware/driver_service.h"
#include "firmware/firmware_queries.h"
#include "firmware/flash_device.h"
#include "platform/driver_module.h"
#include "scripted_message_box.h"

namespace brim {
namespace {

using test::TempEnvironment;

TEST(MachineRefusal, EachReasonNamesTheFileAndWhatIsWrong) {
  TempEnvironment env;
  emu::MachineConfig c;
  std::string error;
  const std::string folder = env.Path("m");
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
