#include "core/system_restart.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/os_personality.h"
#include "platform/power_action.h"
#include "temp_dir.h"

namespace brim {
namespace {

TEST(SystemRestart, PrivilegeDecidesOnNtFamily) {
  int requests = 0;
  bool privileged = false;
  plat::SetPowerActionHandler([&](plat::PowerAction) { return ++requests, true; },
                              [&] { return privileged; });
  EXPECT_EQ(RebootSystem(), 0);
  EXPECT_EQ(requests, 0);
  privileged = true;
  EXPECT_EQ(ShutdownSystem(), 1);
  EXPECT_EQ(requests, 1);

  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  privileged = false;
  plat::SetPowerActionHandler([&](plat::PowerAction) { return ++requests, false; },
                              [&] { return privileged; });
  EXPECT_EQ(RebootSystem(), 1) << "the 9x answer is not looked at";
  plat::SetPlatformId(0);
  plat::SetPowerActionHandler(nullptr);
}

TEST(SystemRestart, RealActionRefusesUnderTestGuard) {
  plat::ScopedEnv env;
  env.Set("BIOS_TOOLS_NO_POWER_ACTION", "1");
  plat::SetPowerActionHandler(nullptr, [] { return true; });
  EXPECT_FALSE(plat::RequestPowerAction(plat::PowerAction::Reboot));
  plat::SetPowerActionHandler(nullptr);
}

TEST(AutoStart, EntryNamesFixedProgramNameAndClears) {
  plat::TempDir dir;
  plat::ScopedEnv env;
  env.Set("BIOS_TOOLS_AUTOSTART_DIR", dir / "autostart");
  EXPECT_EQ(IsAutoStartSet(), 0);
  SetAutoStart(false, "/opt/x/");  // nothing to clear: nothing happens
  EXPECT_EQ(IsAutoStartSet(), 0);

  SetAutoStart(true, "/opt/my tools/");
  EXPECT_EQ(IsAutoStartSet(), 1);
  std::ifstream in(dir / "autostart/Brimlet.desktop");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("Exec=\"/opt/my tools/brimlet\"\n"), std::string::npos);

  SetAutoStart(false, "/opt/my tools/");
  EXPECT_EQ(IsAutoStartSet(), 0);
}

TEST(AutoStart, SystemFolderUntouchedUnderTestGuard) {
  plat::ScopedEnv env;
  env.Unset("BIOS_TOOLS_AUTOSTART_DIR");
  env.Set("BIOS_TOOLS_NO_POWER_ACTION", "1");
  const bool before = IsAutoStartSet();
  SetAutoStart(!before, "/nonexistent/");
  EXPECT_EQ(IsAutoStartSet(), before);
}

}  // namespace
}  // namespace brim
