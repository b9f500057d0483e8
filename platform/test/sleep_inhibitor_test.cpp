#include "platform/sleep_inhibitor.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "temp_dir.h"

namespace plat {
namespace {

TEST(SleepInhibitor, HeldWhileAliveAndReleasedAfter) {
  TempDir dir;
  const std::string marker = dir / "held";
  // A stand-in inhibitor: records that it ran, then waits to be ended.
  SleepInhibitor::SetCommand({"sh", "-c", "touch \"$0\"; exec sleep 60", marker});
  pid_t pid;
  {
    SleepInhibitor inhibitor("testing");
    ASSERT_TRUE(inhibitor.Active());
    pid = inhibitor.Pid();
    for (int i = 0; i < 200 && !std::filesystem::exists(marker); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(std::filesystem::exists(marker));
    EXPECT_EQ(::kill(pid, 0), 0);
  }
  EXPECT_EQ(::kill(pid, 0), -1) << "the inhibitor process is gone";
  EXPECT_EQ(errno, ESRCH);
  SleepInhibitor::SetCommand({});
}

TEST(SleepInhibitor, NothingUnderTestGuardOrWithoutCommand) {
  ScopedEnv env;
  env.Set("BIOS_TOOLS_NO_POWER_ACTION", "1");
  SleepInhibitor guarded("testing");
  EXPECT_FALSE(guarded.Active());

  SleepInhibitor::SetCommand({"/nonexistent/inhibitor"});
  SleepInhibitor missing("testing");
  EXPECT_FALSE(missing.Active());
  SleepInhibitor::SetCommand({});
}

}  // namespace
}  // namespace plat
