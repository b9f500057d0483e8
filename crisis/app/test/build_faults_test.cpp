// Builds that meet a full working folder or a medium that can't be read
// back: each stops with its reason, never shows the success box, and leaves
// the working folder as it was.
#include <random>

#include "crisis_app/compressor.h"
#include "crisis_app/tavrin_dlg.h"
#include "dialog_fixture.h"
#include "file_limit.h"

namespace test {
namespace {

using namespace crisis;

class BuildFaultTest : public DialogTest {
 protected:
  std::map<std::string, std::string> WorkFiles() {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(work.path()))
      files[e.path().filename().string()] = work.Read(e.path().filename().string());
    return files;
  }
  static bool AnySuccessBox(const plat::ScriptedMessageBox& boxes) {
    for (const std::string& t : boxes.Texts())
      if (t.find("Successfully Created") != std::string::npos) return true;
    return false;
  }
  int Build() { return dlg->CreateCrisisDisk(kModeMiniDos); }
  static std::string Noise(size_t n) {
    std::mt19937 rng(9);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
  }
};

TEST_F(BuildFaultTest, FullWorkingFolderFailsTheCompressionWithItsReason) {
  plat::ScriptedMessageBox boxes;
  PackagedWorkDir();
  work.Write("bios.qzw", Noise(1 << 20));
  const auto before = WorkFiles();
  Start();
  controls.SetCheck(IDC_COMPRESS, true);
  boxes.Answer(plat::IDOK);
  {
    FileSizeLimit full(200000);
    EXPECT_EQ(Build(), kBuildFailed);
  }
  EXPECT_EQ(boxes.Texts().back().rfind("Compress file fails!\n\nBIOS.QZW: File too large", 0), 0u)
      << boxes.Texts().back();
  EXPECT_FALSE(AnySuccessBox(boxes));
  EXPECT_TRUE(media.log.order.empty()) << "nothing copied after the failure";
  EXPECT_EQ(WorkFiles(), before);
}

TEST_F(BuildFaultTest, ProjectFileThatCannotBeBroughtInStopsTheBuild) {
  plat::ScriptedMessageBox boxes;
  PackagedWorkDir();
  work.Write("vgabios.exe", "USER-VGA");
  Project();
  project.Write("flashabl.rom", std::string(300000, 'P'));
  project.Write("vgabios.exe", "VGA");
  const auto before = WorkFiles();
  Start(project.path());
  boxes.Answer(plat::IDOK).Answer(plat::IDYES);
  {
    FileSizeLimit full(100000);
    EXPECT_EQ(Build(), kBuildFailed);
  }
  EXPECT_EQ(boxes.Texts().back(),
            " Failed to prepare the working folder. \n\n bios.qzw: File too large\n\n When ready, try again.\n");
  EXPECT_FALSE(AnySuccessBox(boxes));
  EXPECT_TRUE(media.log.order.empty());
  EXPECT_EQ(WorkFiles(), before);
}

TEST_F(BuildFaultTest, MediumThatCannotBeReadBackIsNotCalledADisk) {
  plat::ScriptedMessageBox boxes;
  PackagedWorkDir();
  work.Write("bios.qzw", "IMAGE");
  verify = true;
  Start();
  boxes.Answer(plat::IDOK);
  EXPECT_EQ(Build(), kBuildFailed);
  EXPECT_EQ(boxes.Texts().back().rfind("The crisis disk could not be verified", 0), 0u) << boxes.Texts().back();
  EXPECT_NE(boxes.Texts().back().find("this medium can't be read back"), std::string::npos);
  EXPECT_EQ(boxes.boxes.back().flags, plat::MB_ICONERROR);
  EXPECT_FALSE(AnySuccessBox(boxes));
  EXPECT_EQ(media.log.order.size(), 3u) << "verified after the last file";
  EXPECT_EQ(view.waitDepth, 0);
}

}  // namespace
}  // namespace test
