#include "platform/power_status.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "temp_dir.h"

namespace plat {
namespace {

void Attr(const std::string& dir, const char* name, const std::string& value) {
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/" + name) << value << "\n";
}

TEST(PowerStatus, MainsAndBatteryAreRead) {
  TempDir dir;
  Attr(dir / "ADP1", "type", "Mains");
  Attr(dir / "ADP1", "online", "1");
  Attr(dir / "BAT0", "type", "Battery");
  Attr(dir / "BAT0", "present", "1");
  Attr(dir / "BAT0", "capacity", "72");
  Attr(dir / "BAT0", "status", "Charging");
  SystemPowerStatus st = ReadPowerStatus(dir.path());
  EXPECT_EQ(st.acLineStatus, 1);
  EXPECT_EQ(st.batteryLifePercent, 72);
  EXPECT_EQ(st.batteryFlag, 1 | 8);
}

TEST(PowerStatus, DesktopWithoutBatteryReportsNoBattery) {
  TempDir dir;
  Attr(dir / "AC", "type", "Mains");
  Attr(dir / "AC", "online", "1");
  Attr(dir / "BAT1", "type", "Battery");
  Attr(dir / "BAT1", "present", "0");
  SystemPowerStatus st = ReadPowerStatus(dir.path());
  EXPECT_EQ(st.batteryFlag, 128);
  EXPECT_EQ(st.batteryLifePercent, 255);
}

TEST(PowerStatus, CriticalAndUnreadableValues) {
  TempDir dir;
  Attr(dir / "BAT0", "type", "Battery");
  Attr(dir / "BAT0", "capacity", "3");
  Attr(dir / "BAT0", "capacity_level", "Critical");
  SystemPowerStatus st = ReadPowerStatus(dir.path());
  EXPECT_EQ(st.acLineStatus, 255);
  EXPECT_EQ(st.batteryFlag, 4);

  Attr(dir / "BAT0", "capacity", "garbage");
  Attr(dir / "BAT0", "capacity_level", "Normal");
  st = ReadPowerStatus(dir.path());
  EXPECT_EQ(st.batteryLifePercent, 255);
  EXPECT_EQ(ReadPowerStatus(dir / "missing").acLineStatus, 255);
}

}  // namespace
}  // namespace plat
