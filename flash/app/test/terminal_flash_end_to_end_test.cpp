// The real brimlet program without a display: what the terminal shows
// while it flashes an emulated machine.
#include <algorithm>
#include <cstdio>
#include <regex>
#include <sstream>
#include <vector>

#include "silent_flash_fixture.h"

namespace {

// Keep the password area, verify date, model and size, program with the new
// image's flash module.
const char kSettings[] = "0100010000000000011010000001000000";

class TerminalFlash : public SilentFlash {
 protected:
  void PrepareQuorvel(const std::string& machineLines) {
    imagegen::QuorvelSpec oldSpec, newSpec;
    oldSpec.flashModules = newSpec.flashModules = {0xD0000};
    newSpec.date = "07/15/07";
    newSpec.seed = 9;
    image = imagegen::BuildQuorvel(newSpec);
    Prepare(imagegen::BuildQuorvel(oldSpec), 0x10, image, kSettings);
    std::ofstream(dir / "machine/machine.ini", std::ios::app) << machineLines;
  }
  // Not silent, no display, nobody at the terminal: brimlet works in the terminal.
  int RunInTerminal(const std::string& args) {
    return RunBrimlet(args, "env -u DISPLAY -u WAYLAND_DISPLAY " + Environment());
  }
  std::vector<int> PrintedPercentages() {
    std::vector<int> shown;
    std::istringstream log(Log());
    const std::regex line("^Progress ([0-9]+) % .*");
    std::smatch m;
    for (std::string l; std::getline(log, l);)
      if (std::regex_match(l, m, line)) shown.push_back(std::stoi(m[1]));
    return shown;
  }
  Bytes image;
};

TEST_F(TerminalFlash, SlowFlashPrintsRisingPercentagesUpToTheWhole) {
  PrepareQuorvel("BLOCKTIME=60\n");
  ASSERT_EQ(RunInTerminal("/f:" + (dir / "new.rom")), 0) << Log();
  const Bytes rom = Rom();
  ASSERT_EQ(rom.size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x15000, rom.begin())) << "the new BIOS is in";
  const std::vector<int> shown = PrintedPercentages();
  ASSERT_GE(shown.size(), 2u) << Log();
  for (size_t i = 1; i < shown.size(); ++i) EXPECT_GT(shown[i], shown[i - 1]) << Log();
  EXPECT_EQ(shown.back(), 100) << Log();
  EXPECT_EQ(Log().find("\r"), std::string::npos) << "no bar drawn over itself in a log";
}

TEST_F(TerminalFlash, NewBiosInformationComesBeforeTheFlash) {
  PrepareQuorvel("");
  ASSERT_EQ(RunInTerminal("/f:" + (dir / "new.rom")), 0) << Log();
  const std::string log = Log();
  const size_t block = log.find("New BIOS Information\n");
  const size_t programming = log.find("Programming.........");
  ASSERT_NE(block, std::string::npos) << log;
  ASSERT_NE(programming, std::string::npos) << log;
  EXPECT_LT(block, programming) << log;
  // The window's lines for the image: version, date, checksum of what was loaded.
  uint16_t sum = 0;
  for (uint8_t b : image) sum = static_cast<uint16_t>(sum + b);
  char checksum[32];
  std::snprintf(checksum, sizeof checksum, " CheckSum       : 0x%x\n", sum);
  const std::string shown = log.substr(block, programming - block);
  EXPECT_NE(shown.find(" BIOS Version   : "), std::string::npos) << shown;
  EXPECT_NE(shown.find("07/15/07"), std::string::npos) << shown;
  EXPECT_NE(shown.find(checksum), std::string::npos) << checksum << shown;
}

}  // namespace
