// brimlet loads its window module (and with it wx and GTK) only when it is
// to show a window; every other run, a packaged copy without the module
// included, starts without them. What the dynamic loader reports is checked.
#include <dirent.h>

#include "silent_flash_fixture.h"

namespace {

const char kSettings[] = "0100010000000000011010000001000000";

enum class Module { kNone, kBuilt, kBroken };

struct WindowCase {
  const char* name;
  const char* args;
  bool display;
  Module module;
  bool windowLibraries;  // the module and wx/GTK are loaded
  int status;            // -1: the display cannot be opened, any status
  bool flashed;
  const char* stderrHas;
};

const WindowCase kCases[] = {
    {"SilentWithDisplay", "/silent", true, Module::kBuilt, false, 0, true, ""},
    {"SilentPackageWithoutModule", "/silent", true, Module::kNone, false, 0, true, ""},
    {"HelpWithDisplay", "--help", true, Module::kBuilt, false, 0, false, "Usage"},
    {"VersionWithDisplay", "--version", true, Module::kBuilt, false, 0, false, "brimlet"},
    {"RestoreWithDisplay", "--restore missing.rom", true, Module::kBuilt, false, 29, false, "missing.rom"},
    {"HistoryWithDisplay", "--history", true, Module::kBuilt, false, -1, false, ""},
    {"VerifyRomWithDisplay", "--verify-rom missing.rom", true, Module::kBuilt, false, -1, false, "missing.rom"},
    {"SilentDryRunWithDisplay", "/silent --dry-run", true, Module::kBuilt, false, 0, false, ""},
    {"NoDisplayWorksInTerminal", "/silent", false, Module::kBuilt, false, 0, true, ""},
    {"WindowWantedLoadsModule", "", true, Module::kBuilt, true, -1, false, ""},
    {"WindowWantedWithoutModuleRefuses", "", true, Module::kNone, false, 30, false,
     "brimlet: the window cannot be shown: no window module (looked for "},
    {"BrokenModuleNamedAndRefused", "", true, Module::kBroken, false, 30, false, "/prog/brimlet-gui.so: "},
};

// True when the loader ran the initialisers of a file whose path has `library`.
bool Initialised(const std::string& log, const std::string& library) {
  size_t at = 0;
  while ((at = log.find("calling init: ", at)) != std::string::npos) {
    const size_t end = log.find('\n', at);
    if (log.substr(at, end - at).find(library) != std::string::npos) return true;
    at = end;
  }
  return false;
}

class WindowModule : public SilentFlash, public ::testing::WithParamInterface<WindowCase> {
 protected:
  // Every file the dynamic loader wrote its log to, one per process.
  std::string LoaderLog() {
    std::string all;
    DIR* d = ::opendir(dir.path().c_str());
    if (!d) return all;
    while (dirent* e = ::readdir(d)) {
      if (std::string(e->d_name).rfind("ld.", 0) != 0) continue;
      const Bytes b = ReadBytes(dir / e->d_name);
      all.append(b.begin(), b.end());
    }
    ::closedir(d);
    return all;
  }
};

TEST_P(WindowModule, LoadsWindowLibrariesOnlyForAWindow) {
  const WindowCase& c = GetParam();
  imagegen::QuorvelSpec oldSpec;
  oldSpec.flashModules = {0xD0000};
  imagegen::QuorvelSpec newSpec = oldSpec;
  newSpec.date = "07/15/07";
  newSpec.seed = 9;
  const Bytes oldRom = imagegen::BuildQuorvel(oldSpec);
  const Bytes image = imagegen::BuildQuorvel(newSpec);
  Prepare(oldRom, 0x10, image, kSettings);
  if (c.module == Module::kBuilt) {
#ifndef BRIMLET_GUI_MODULE
    GTEST_SKIP() << "built without the window module";
#else
    fs::copy_file(BRIMLET_GUI_MODULE, dir / "prog/brimlet-gui.so");
#endif
  }
  if (c.module == Module::kBroken) std::ofstream(dir / "prog/brimlet-gui.so") << "not a shared object\n";

  std::string env = Environment() + " LD_DEBUG=libs LD_DEBUG_OUTPUT=" + (dir / "ld") +
                    (c.display ? " DISPLAY=:4097 WAYLAND_DISPLAY=" : " DISPLAY= WAYLAND_DISPLAY=");
  // GTK keeps what it allocated for a display it failed to open.
  if (c.windowLibraries) env += " ASAN_OPTIONS=detect_leaks=0";
  const int status = RunBrimlet(c.args, env);

  const std::string log = LoaderLog();
  ASSERT_NE(log.find("calling init:"), std::string::npos) << "no loader log";
  for (const char* library : {"/brimlet-gui.so", "/libwx_gtk3u_core", "/libgtk-3", "/libgdk-3"})
    EXPECT_EQ(Initialised(log, library), c.windowLibraries) << library;
  if (c.status >= 0) {
    EXPECT_EQ(status, c.status) << Log();
    EXPECT_EQ(Rom() == image, c.flashed) << Log();
  }
  EXPECT_NE(Log().find(c.stderrHas), std::string::npos) << Log();
}

// Someone at a terminal who wanted a window gets the terminal instead (script
// gives brimlet a terminal); a program without a package then says it has none.
TEST_F(SilentFlash, WithoutModuleAtATerminalWorksThere) {
  imagegen::QuorvelSpec spec;
  spec.flashModules = {0xD0000};
  const Bytes rom = imagegen::BuildQuorvel(spec);
  Prepare(rom, 0x10, rom, kSettings);
  fs::remove(dir / "prog/brimlet");
  fs::copy_file(BRIMLET_EXE, dir / "prog/brimlet");
  const std::string cmd = "cd " + (dir / "prog") + " && " + Environment() +
                          " DISPLAY=:4097 script -qec ./brimlet /dev/null </dev/null >" + (dir / "log") + " 2>&1";
  const int status = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << Log();
  EXPECT_EQ(WEXITSTATUS(status), 9) << Log();
  const std::string log = Log();
  const size_t said = log.find("brimlet: the window cannot be shown: no window module");
  const size_t fellBack = log.find("brimlet: working in the terminal instead");
  const size_t worked = log.find("ROM BIOS Information");
  EXPECT_NE(said, std::string::npos) << log;
  EXPECT_NE(fellBack, std::string::npos) << log;
  EXPECT_NE(worked, std::string::npos) << log;
  EXPECT_TRUE(said < fellBack && fellBack < worked) << log;
  EXPECT_EQ(Rom(), rom);
}

INSTANTIATE_TEST_SUITE_P(Runs, WindowModule, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
