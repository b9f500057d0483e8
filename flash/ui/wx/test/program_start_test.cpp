// The real brimlet started on the test display as a menu entry starts it:
// no package in its file, no /F:.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "imagegen/layouts.h"
#include "temp_dir.h"
#include "window_start.h"

namespace {

namespace fs = std::filesystem;

TEST(ProgramStart, WithoutPackageTheWindowStaysWithNoBoxAndNoToolkitWarnings) {
  plat::TempDir dir;
  plat::ScopedEnv env;
  env.UseFolders(dir.path());
  env.Set("BRIMLET_MACHINE", dir / "machine");
  env.Set("BIOS_TOOLS_AUTOSTART_DIR", dir / "autostart");
  env.Set("BIOS_TOOLS_NO_POWER_ACTION", "1");
  fs::create_directories(dir / "machine");
  fs::create_directories(dir / "prog");
  imagegen::QuorvelSpec spec;
  spec.flashModules = {0xD0000};
  const imagegen::Bytes rom = imagegen::BuildQuorvel(spec);
  std::ofstream(dir / "machine/rom.bin", std::ios::binary).write(reinterpret_cast<const char*>(rom.data()), rom.size());
  std::ofstream(dir / "machine/machine.ini") << "[MACHINE]\nBASE=0xFFF00000\nFLAG=16\n";
  fs::copy_file(BRIMLET_EXE, dir / "prog/brimlet");
  fs::copy_file(fs::path(BRIMLET_EXE).parent_path() / "flash.sys", dir / "prog/flash.sys");
  // The window comes from the module beside the program, as installed.
  fs::copy_file(BRIMLET_GUI_MODULE, dir / "prog/brimlet-gui.so");
  fs::permissions(dir / "prog/brimlet", fs::perms::owner_all);

  const plat::WindowStart run =
      plat::StartUntilWindow({dir / "prog/brimlet"}, dir / "prog", "Brimlet V1.05.08", dir / "stderr");
  EXPECT_TRUE(run.appeared) << run.errors;
  EXPECT_FALSE(run.exitedEarly) << "the window must stay open for its buttons\n" << run.errors;
  for (const char* box : {"Brimlet Error", "Brimlet error"})
    EXPECT_EQ(std::count(run.shownWindows.begin(), run.shownWindows.end(), box), 0) << box;
  EXPECT_FALSE(plat::HasToolkitWarnings(run.errors)) << run.errors;
}

// Silent mode loads the window module only for the setup password dialog.
TEST(ProgramStart, SilentAskingTheSetupPasswordShowsItsDialogFromTheModule) {
  plat::TempDir dir;
  plat::ScopedEnv env;
  env.UseFolders(dir.path());
  env.Set("BRIMLET_MACHINE", dir / "machine");
  env.Set("BIOS_TOOLS_NO_POWER_ACTION", "1");
  fs::create_directories(dir / "machine");
  fs::create_directories(dir / "prog");
  imagegen::QuorvelSpec spec;
  spec.flashModules = {0xD0000};
  const imagegen::Bytes rom = imagegen::BuildQuorvel(spec);
  std::ofstream(dir / "machine/rom.bin", std::ios::binary).write(reinterpret_cast<const char*>(rom.data()), rom.size());
  std::ofstream(dir / "machine/machine.ini") << "[MACHINE]\nBASE=0xFFF00000\nFLAG=16\nPASSWORD=1E 30\n";
  std::ofstream(dir / "prog/setting.ini") << "[VERIFY_FUNCTION]\nVERIFYPASSWORD=1\n";
  fs::copy_file(BRIMLET_EXE, dir / "prog/brimlet");
  fs::copy_file(fs::path(BRIMLET_EXE).parent_path() / "flash.sys", dir / "prog/flash.sys");
  fs::copy_file(BRIMLET_GUI_MODULE, dir / "prog/brimlet-gui.so");
  fs::permissions(dir / "prog/brimlet", fs::perms::owner_all);

  const plat::WindowStart run =
      plat::StartUntilWindow({dir / "prog/brimlet", "/silent"}, dir / "prog", "Password Check", dir / "stderr");
  EXPECT_TRUE(run.appeared) << run.errors;
  EXPECT_EQ(std::count(run.shownWindows.begin(), run.shownWindows.end(), "Brimlet V1.05.08"), 0)
      << "silent mode shows no main window";
  EXPECT_FALSE(plat::HasToolkitWarnings(run.errors)) << run.errors;
}

}  // namespace
