// Where brimlet looks for its window module, and what it says when the
// module is missing, broken, of another build or not a window module at all.
#include "app/gui_module.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "temp_dir.h"

namespace brim {
namespace {

namespace fs = std::filesystem;

struct CandidatesCase {
  const char* name;
  const char* exeDir;
  const char* installedDir;
  std::vector<std::string> expected;
};

const CandidatesCase kCandidatesCases[] = {
    {"BesideProgramFirst", "/opt/x/", "/usr/lib/bios-tools",
     {"/opt/x/brimlet-gui.so", "/usr/lib/bios-tools/brimlet-gui.so"}},
    {"InstalledProgramLooksOnce", "/usr/lib/bios-tools/", "/usr/lib/bios-tools",
     {"/usr/lib/bios-tools/brimlet-gui.so"}},
    {"UnknownProgramFolder", "", "/usr/lib/bios-tools", {"/usr/lib/bios-tools/brimlet-gui.so"}},
};

class Candidates : public ::testing::TestWithParam<CandidatesCase> {};

TEST_P(Candidates, InOrder) {
  EXPECT_EQ(GuiModuleCandidates(GetParam().exeDir, GetParam().installedDir), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Folders, Candidates, ::testing::ValuesIn(kCandidatesCases),
                         [](const auto& info) { return std::string(info.param.name); });

enum class File { kNone, kText, kNoEntry, kOtherBuild };

struct LoadCase {
  const char* name;
  File beside;
  File installed;
  const char* failureHas;  // with the path of the file that failed
  bool besideNamed;        // the failure names the file beside the program
};

const LoadCase kLoadCases[] = {
    {"NoneFoundNamesBoth", File::kNone, File::kNone, "no window module (looked for ", true},
    {"BrokenFileIsReportedNotSkipped", File::kText, File::kOtherBuild, "brimlet-gui.so: ", true},
    {"SharedObjectWithoutEntry", File::kNoEntry, File::kNone, ": no entry point brimlet_gui_module", true},
    {"OtherBuildRefused", File::kNone, File::kOtherBuild, ": built for another brimlet than " BRIMLET_GUI_STAMP,
     false},
};

class Load : public ::testing::TestWithParam<LoadCase> {
 protected:
  void Place(File f, const std::string& dir) {
    fs::create_directories(dir);
    const std::string path = dir + "/brimlet-gui.so";
    if (f == File::kText) std::ofstream(path) << "not a shared object\n";
    if (f == File::kNoEntry) fs::copy_file(FLASH_SYS_PATH, path);
    if (f == File::kOtherBuild) fs::copy_file(OTHER_BUILD_GUI_MODULE, path);
  }
  plat::TempDir dir;
};

TEST_P(Load, FailureNamesFileAndReason) {
  const LoadCase& c = GetParam();
  Place(c.beside, dir / "prog");
  Place(c.installed, dir / "installed");
  const GuiModuleLoad load = LoadGuiModule(GuiModuleCandidates(dir / "prog/", dir / "installed"));
  EXPECT_EQ(load.module, nullptr);
  EXPECT_NE(load.failure.find(c.failureHas), std::string::npos) << load.failure;
  EXPECT_EQ(load.failure.find(dir / "prog/brimlet-gui.so") != std::string::npos, c.besideNamed) << load.failure;
}

INSTANTIATE_TEST_SUITE_P(Files, Load, ::testing::ValuesIn(kLoadCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brim
