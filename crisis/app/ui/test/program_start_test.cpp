// The real tavrin started on the test display with a USB key image attached.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

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

TEST(ProgramStart, WithoutADisplayOneLineAndItsOwnStatus) {
  test::TempDir dir;
  struct Case {
    const char* env;
    const char* says;
  } cases[] = {
      {"env -u DISPLAY -u WAYLAND_DISPLAY", "tavrin: no display to open the window on"},
      {"env -u WAYLAND_DISPLAY DISPLAY=:4711", "tavrin: cannot open the display :4711"},
  };
  for (const Case& c : cases) {
    const std::string err = dir.Path("stderr");
    const std::string cmd = "cd " + dir.Path("") + " && " + c.env + " " + TAVRIN_EXE + " </dev/null >/dev/null 2>" + err;
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << c.env;
    EXPECT_EQ(WEXITSTATUS(status), 3) << c.env;
    std::ifstream in(err);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.rfind(c.says, 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << "one line: " << text;
  }
}

}  // namespace
