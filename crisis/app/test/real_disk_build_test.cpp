// Whole builds onto image files through the real disk classes, checked
// afterwards with dosfstools and mtools.
#include <cstdio>
#include <string>

#include "crisis_app/compressor.h"
#include "crisis_app/disk_medium.h"
#include "crisis_app/tavrin_dlg.h"
#include "crisis_samples/boot_sectors.h"
#include "dialog_fixture.h"
#include "run_command.h"

namespace test {
namespace {

using namespace crisis;

using plat::RunCommand;

class RealDiskBuildTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    ASSERT_TRUE(crisis_samples::WriteSampleBootFiles(work.path()));
    work.Write("minidos.sys", std::string(3000, 'M'));
    work.Write("KAVLO16.EXE", std::string(9000, 'K'));
    work.Write("vgabios.exe", std::string(700, 'V'));
    image.assign(70000, '\xFF');
    for (size_t i = 0; i < image.size(); i += 13) image[i] = static_cast<char>(i >> 3);
    work.Write("bios.qzw", image);
  }
  std::string MakeImage(const std::string& name, uint64_t bytes) {
    std::string p = disks.Path(name);
    std::FILE* f = std::fopen(p.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
      EXPECT_EQ(::ftruncate(fileno(f), static_cast<off_t>(bytes)), 0);
      std::fclose(f);
    }
    return p;
  }
  int BuildOn(int mode) {
    dlg = std::make_unique<CTavrinDlg>(controls, view, realMedia, realDrives);
    EXPECT_TRUE(dlg->OnInitDialog());
    controls.SetCheck(IDC_COMPRESS, true);
    return dlg->CreateCrisisDisk(mode);
  }
  std::string Expected() const {
    std::vector<uint8_t> c = CompressBytes(std::vector<uint8_t>(image.begin(), image.end()));
    return std::string(c.begin(), c.end());
  }

  TempDir disks;
  std::string image;
  DiskMediumFactory realMedia;
  SystemDriveSource realDrives;
};

TEST_F(RealDiskBuildTest, MiniDosUsbKeyPassesFsckAndHoldsTheFiles) {
  plat::ScriptedMessageBox boxes;
  std::string key = MakeImage("key.img", 64ull << 20);
  plat::AttachDiskImage(key, plat::DiskKind::Removable);
  boxes.Answer(plat::IDOK).Answer(plat::IDOK).Answer(plat::IDNO);
  EXPECT_EQ(BuildOn(kModeMiniDos), plat::IDNO) << ::testing::PrintToString(boxes.Texts());
  EXPECT_EQ(controls.ItemText(IDC_DRIVE, 0).rfind("Removable Disk 0 (", 0), 0u);

  std::string out;
  EXPECT_EQ(RunCommand("fsck.fat -n '" + key + "'", &out), 0) << out;
  ASSERT_EQ(RunCommand("mdir -b -i '" + key + "' ::", &out), 0) << out;
  for (const char* name : {"MINIDOS.SYS", "KAVLO16.EXE", "VGABIOS.EXE", "BIOS.QZW"})
    EXPECT_NE(plat::ToUpper(out).find(name), std::string::npos) << name << " in " << out;
  ASSERT_EQ(RunCommand("mtype -i '" + key + "' ::BIOS.QZW > '" + disks.Path("qzw") + "'"), 0);
  EXPECT_EQ(disks.Read("qzw"), Expected());
  EXPECT_EQ(work.Read("bios.qzw"), image);
  EXPECT_FALSE(work.Exists("BIOS.BAK"));
}

TEST_F(RealDiskBuildTest, FixedLayoutKeyHasItsFileSystemInThePartition) {
  plat::ScriptedMessageBox boxes;
  std::string key = MakeImage("key.img", 64ull << 20);
  plat::AttachDiskImage(key, plat::DiskKind::Removable);
  dlg = std::make_unique<CTavrinDlg>(controls, view, realMedia, realDrives);
  ASSERT_TRUE(dlg->OnInitDialog());
  controls.SetCheck(IDC_REMOVABLE, false);
  controls.SetCheck(IDC_FIXED, true);
  boxes.Answer(plat::IDOK).Answer(plat::IDOK).Answer(plat::IDNO);
  EXPECT_EQ(dlg->CreateCrisisDisk(kModeMiniDos), plat::IDNO);
  std::string out;
  ASSERT_EQ(RunCommand("mdir -b -i '" + key + "@@32256' ::", &out), 0) << out;
  EXPECT_NE(out.find("MINIDOS.SYS"), std::string::npos) << out;
}

TEST_F(RealDiskBuildTest, MiniDosFloppyIsFormattedAndPassesFsck) {
  plat::ScriptedMessageBox boxes;
  std::string floppy = MakeImage("floppy.img", 1474560);
  plat::AttachDiskImage(floppy, plat::DiskKind::Floppy);
  work.Write("bios.qzw", std::string(20000, 'Q'));
  image.assign(20000, 'Q');
  boxes.Answer(plat::IDOK).Answer(plat::IDOK).Answer(plat::IDNO);
  EXPECT_EQ(BuildOn(kModeMiniDos), plat::IDNO) << ::testing::PrintToString(boxes.Texts());
  EXPECT_EQ(controls.ItemText(IDC_DRIVE, 0), "Floppy Driver A (1.44Mb)");
  std::string out;
  EXPECT_EQ(RunCommand("fsck.fat -n '" + floppy + "'", &out), 0) << out;
  ASSERT_EQ(RunCommand("mdir -b -i '" + floppy + "' ::", &out), 0) << out;
  for (const char* name : {"MINIDOS.SYS", "KAVLO16.EXE", "VGABIOS.EXE", "BIOS.QZW"})
    EXPECT_NE(plat::ToUpper(out).find(name), std::string::npos) << name << " in " << out;
  EXPECT_EQ(plat::ToUpper(out).find("AUTOEXEC"), std::string::npos);
  ASSERT_EQ(RunCommand("mtype -i '" + floppy + "' ::BIOS.QZW > '" + disks.Path("qzw") + "'"), 0);
  EXPECT_EQ(disks.Read("qzw"), Expected());
}

TEST_F(RealDiskBuildTest, FullDosFloppyStartsTheFlashProgram) {
  plat::ScriptedMessageBox boxes;
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  std::string floppy = MakeImage("floppy.img", 1474560);
  plat::AttachDiskImage(floppy, plat::DiskKind::Floppy);
  dlg = std::make_unique<CTavrinDlg>(controls, view, realMedia, realDrives);
  ASSERT_TRUE(dlg->OnInitDialog()) << ::testing::PrintToString(boxes.Texts());
  boxes.Answer(plat::IDOK).Answer(plat::IDOK).Answer(plat::IDNO);
  EXPECT_EQ(dlg->CreateCrisisDisk(kModeFullDos), plat::IDNO) << ::testing::PrintToString(boxes.Texts());
  std::string out;
  ASSERT_EQ(RunCommand("mtype -i '" + floppy + "' ::AUTOEXEC.BAT", &out), 0) << out;
  EXPECT_EQ(out, "kavlo16.exe\r\n");
  ASSERT_EQ(RunCommand("mdir -b -i '" + floppy + "' ::", &out), 0) << out;
  EXPECT_EQ(plat::ToUpper(out).find("MINIDOS"), std::string::npos) << out;
  EXPECT_FALSE(work.Exists("AUTOEXEC.BAT"));
}

}  // namespace
}  // namespace test
