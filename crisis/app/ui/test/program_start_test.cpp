// The real tavrin started on the test display with a USB key image attached.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "../../test/temp_dir.h"
#include "window_start.h"

namespace {

TEST(ProgramStart, TavrinStartsWithoutToolkitWarnings) {
  test::TempDir dir;
  const std::string key = dir.Path("key.img");
  std::filesystem::create_directories(dir.Path("work"));
  std::filesystem::create_directories(dir.Path("config"));
  std::FILE* f = std::fopen(key.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  std::filesystem::resize_file(key, 64 << 20);
  ::setenv("BIOS_TOOLS_DISK_IMAGES", key.c_str(), 1);
  for (const char* v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
    ::setenv(v, dir.Path("config").c_str(), 1);
  const plat::WindowStart run =
      plat::StartUntilWindow({TAVRIN_EXE}, dir.Path("work"),
                             "Quorvel Crisis Disk Build(For  internal test,do not release to customers )",
                             dir.Path("stderr"));
  ::unsetenv("BIOS_TOOLS_DISK_IMAGES");
  EXPECT_TRUE(run.appeared) << run.errors;
  EXPECT_FALSE(run.exitedEarly) << run.errors;
  EXPECT_FALSE(plat::HasToolkitWarnings(run.errors)) << run.errors;
}

}  // namespace
