#include "crisis_app/compressor.h"
#include "crisis_app/tavrin_dlg.h"
#include "dialog_fixture.h"

namespace test {
namespace {

using namespace crisis;
using Names = std::vector<std::string>;

const char kDoneFloppy[] =
    "Crisis Recovery Diskette was Successfully Created. \n\n         PLEASE REMOVE DISKETTE ! \n";
const char kDoneUsb[] =
    "Crisis Recovery Diskette was Successfully Created. \n\n         PLEASE RE-PLUG IN THE "
    "REMOVABLE DISK ! \n";
const char kAnother[] =
    " Do you wish to create another Crisis Diskette ? \n\n If Yes, Please insert a new diskette or "
    "plug in the removable disk now.  \n\n";
const char kCopyTail[] =
    "  - Make sure Diskette format completed. \n  - Check if file exists. \n\n When ready, try "
    "again.\n";
const char kCompressMissing[] =
    " Failed to compress BIOS.QZW \n\n - Check if file exists. \n\n When ready, try again.\n";

class BuildTest : public DialogTest {
 protected:
  // Files of the working folder, names and contents.
  std::map<std::string, std::string> WorkFiles() {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(work.path()))
      files[e.path().filename().string()] = work.Read(e.path().filename().string());
    return files;
  }
  int Build(int mode) { return dlg->CreateCrisisDisk(mode); }
  // Erase warning OK, folder question Yes (when asked), another disk No.
  void ScriptSuccess(plat::ScriptedMessageBox& boxes, bool folderQuestion) {
    boxes.Answer(plat::IDOK);
    if (folderQuestion) boxes.Answer(plat::IDYES);
    boxes.Answer(plat::IDOK).Answer(plat::IDNO);
  }
};

TEST_F(BuildTest, MiniDosFloppyWithPackagedImage) {
  plat::ScriptedMessageBox boxes;
  PackagedWorkDir();
  Project();
  project.Write("flashabl.rom", "PACKAGED-IMAGE");
  project.Write("vgabios.exe", "VGA");
  Start(project.path());
  ScriptSuccess(boxes, true);
  EXPECT_EQ(Build(kModeMiniDos), plat::IDNO);
  EXPECT_EQ(media.created, Names{"A:"});
  EXPECT_EQ(media.log.calls[0], "check");
  EXPECT_EQ(media.log.calls[1], "format");
  EXPECT_EQ(media.log.calls[2], "boot:crisboot.bin");
  EXPECT_EQ(media.log.order, (Names{"minidos.sys", "kavlo16.exe", "vgabios.exe", "bios.qzw"}));
  EXPECT_EQ(media.log.files["BIOS.QZW"], "PACKAGED-IMAGE");
  EXPECT_EQ(media.log.files.count("AUTOEXEC.BAT"), 0u);
  EXPECT_EQ(boxes.Texts()[2], kDoneFloppy);
  EXPECT_EQ(boxes.boxes[2].flags, plat::MB_OK | plat::MB_ICONEXCLAMATION);
  EXPECT_EQ(boxes.Texts()[3], kAnother);
  EXPECT_EQ(boxes.boxes[3].flags, plat::MB_YESNO | plat::MB_ICONQUESTION);
  EXPECT_EQ(view.waitDepth, 0);
  EXPECT_TRUE(controls.IsEnabled(IDC_START));
  EXPECT_EQ(boxes.PendingAnswers(), 0u);
}

TEST_F(BuildTest, UsbKeyIsEjectedAndAskedToBeReplugged) {
  plat::ScriptedMessageBox boxes;
  PackagedWorkDir();
  work.Write("bios.qzw", "IMAGE");
  Start();
  SelectDrive(1);
  controls.SetCheck(IDC_REMOVABLE, false);
  controls.SetCheck(IDC_FIXED, true);
  ScriptSuccess(boxes, false);
  EXPECT_EQ(Build(kModeMiniDos), plat::IDNO);
  EXPECT_EQ(media.created, Names{"\\\\.\\PhysicalDrive1 fixed"});
  EXPECT_EQ(media.log.calls.back(), "eject");
  EXPECT_EQ(boxes.Texts()[1], kDoneUsb);
}

TEST_F(BuildTest, FullDosWritesAutoexecAndNoBootSector) {
  plat::ScriptedMessageBox boxes;
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  PackagedWorkDir();
  work.Write("bios.qzw", "IMAGE");
  work.Write("vgabios.exe", "VGA");
  work.Write("autoexec.bat", "MINE\r\n");  // the folder's own file survives
  Start();
  ScriptSuccess(boxes, false);
  EXPECT_EQ(Build(kModeFullDos), plat::IDNO);
  for (const auto& c : media.log.calls) EXPECT_NE(c.rfind("boot:", 0), 0u) << c;
  EXPECT_EQ(media.log.order,
            (Names{"kavlo16.exe", "vgabios.exe", "bios.qzw", "AUTOEXEC.BAT"}));
  EXPECT_EQ(media.log.files["AUTOEXEC.BAT"], "kavlo16.exe\r\n");
  EXPECT_EQ(work.Read("autoexec.bat"), "MINE\r\n");
  EXPECT_EQ(media.log.files.count("MINIDOS.SYS"), 0u);
}

TEST_F(BuildTest, FullDosWithRawListStartsKavlo) {
  plat::ScriptedMessageBox boxes;
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  RawWorkDir();
  work.Write("bios.rom", "ROM");
  work.Write("platform.bin", "PLAT");
  Start();
  ScriptSuccess(boxes, false);
  EXPECT_EQ(Build(kModeFullDos), plat::IDNO);
  EXPECT_EQ(media.log.order, (Names{"kavlo.exe", "platform.bin", "bios.rom", "AUTOEXEC.BAT"}));
  EXPECT_EQ(media.log.files["AUTOEXEC.BAT"], "kavlo.exe\r\n");
}

TEST_F(BuildTest, FullDosIsRefusedOnNt) {
  plat::ScriptedMessageBox boxes;
  PackagedWorkDir();
  work.Write("bios.qzw", "IMAGE");
  Start();
  boxes.Answer(plat::IDOK);
  EXPECT_EQ(Build(kModeFullDos), 0);
  EXPECT_EQ(boxes.Texts().back(),
            "FULLDOS Crisis Recovery Diskette will not build properly under Windows NT.\nPlease "
            "boot to DOS and run CRISDISK.BAT \n");
  EXPECT_EQ(boxes.boxes.back().flags, plat::MB_ICONEXCLAMATION);
  EXPECT_TRUE(media.log.order.empty());
}

TEST_F(BuildTest, RawListWithoutKavlo16EvenWithFlashablRom) {
  plat::ScriptedMessageBox boxes;
  RawWorkDir();
  Project();
  project.Write("flashabl.rom", "PACKAGE");
  project.Write("platform.bin", "PLAT");
  project.Write("devel4A1.rom", "DEVEL");
  project.Write("test4A1.rom", "TEST");
  project.Write("vgabios.exe", "VGA");
  Start(project.path());
  ScriptSuccess(boxes, true);
  EXPECT_EQ(Build(kModeMiniDos), plat::IDNO);
  EXPECT_EQ(media.log.order,
            (Names{"minidos.sys", "kavlo.exe", "platform.bin", "vgabios.exe", "bios.rom"}));
  EXPECT_EQ(media.log.files["BIOS.ROM"], "TEST") << "the test ROM wins over the devel ROM";
  EXPECT_EQ(media.log.files.count("BIOS.QZW"), 0u);
}

TEST_F(BuildTest, RoomIsAskedWithTheProjectsSizesBeforeTheBootSector) {
  plat::ScriptedMessageBox boxes;
  RawWorkDir();
  Project();
  project.Write("platform.bin", "PLAT");
  project.Write("devel4A1.rom", std::string(3000, 'D'));
  project.Write("test4A1.rom", std::string(5000, 'T'));
  work.Write("vgabios.exe", "WORKING-VGA");  // no project vgabios.exe: the folder's own is copied
  Start(project.path());
  ScriptSuccess(boxes, true);
  EXPECT_EQ(Build(kModeMiniDos), plat::IDNO);
  // minidos.sys, kavlo.exe, platform.bin, vgabios.exe, bios.rom (the test ROM).
  EXPECT_EQ(media.log.roomAsked, (std::vector<uint64_t>{7, 13, 4, 11, 5000}));

  // A medium too small for them is refused before the boot sector is written.
  PackagedWorkDir();
  project.Write("flashabl.rom", std::string(8000, 'P'));
  media.log = MediumLog{};
  media.log.roomOk = false;
  controls.SetCheck(IDC_COMPRESS, true);
  boxes.Answer(plat::IDOK).Answer(plat::IDYES);
  EXPECT_EQ(Build(kModeMiniDos), kBuildFailed);
  EXPECT_EQ(media.log.calls, (Names{"check", "format"}));
  ASSERT_EQ(media.log.roomAsked.size(), 4u);
  EXPECT_EQ(media.log.roomAsked[3], 8000u + 1000 + 8192) << "the compressor's worst case";
  EXPECT_EQ(view.waitDepth, 0);
}

TEST_F(BuildTest, PatternCandidateIsCopiedWhenAlone) {
  plat::ScriptedMessageBox boxes;
  RawWorkDir();
  Project();
  project.Write("platform.bin", "PLAT");
  project.Write("ab4A1xyz.rom", "PATTERN");
  Start(project.path());
  ScriptSuccess(boxes, true);
  EXPECT_EQ(Build(kModeMiniDos), plat::IDNO);
  EXPECT_EQ(media.log.files["BIOS.ROM"], "PATTERN");
}

TEST_F(BuildTest, MissingVgaBiosIsSkippedMissingMiniDosFails) {
  {
    plat::ScriptedMessageBox boxes;
    PackagedWorkDir();
    work.Write("bios.qzw", "IMAGE");
    Start();
    ScriptSuccess(boxes, false);
    EXPECT_EQ(Build(kModeMiniDos), plat::IDNO);
    EXPECT_EQ(media.log.order, (Names{"minidos.sys", "kavlo16.exe", "bios.qzw"}));
  }
  {
    plat::ScriptedMessageBox boxes;
    plat::DeleteFile("minidos.sys");
    boxes.Answer(plat::IDOK);
    EXPECT_EQ(Build(kModeMiniDos), kBuildFailed);
    EXPECT_EQ(boxes.Texts().back(), std::string(" Failed to copy minidos.sys file.\n\n") + kCopyTail);
    EXPECT_EQ(boxes.boxes.back().flags, plat::MB_OK);
    EXPECT_EQ(controls.GetText(IDC_STATUS), "");
    EXPECT_EQ(view.waitDepth, 0);
  }
}

TEST_F(BuildTest, CompressedBuildLeavesBiosQzwAsItWas) {
  plat::ScriptedMessageBox boxes;
  PackagedWorkDir();
  std::string image(20000, '\xFF');
  for (size_t i = 0; i < image.size(); i += 7) image[i] = static_cast<char>(i);
  work.Write("bios.qzw", image);
  const auto before = WorkFiles();
  Start();
  controls.SetCheck(IDC_COMPRESS, true);
  ScriptSuccess(boxes, false);
  EXPECT_EQ(Build(kModeMiniDos), plat::IDNO);
  const std::vector<uint8_t> expected = CompressBytes(std::vector<uint8_t>(image.begin(), image.end()));
  EXPECT_EQ(media.log.files["BIOS.QZW"], std::string(expected.begin(), expected.end()));
  EXPECT_EQ(WorkFiles(), before) << "same names (case included) and bytes, no BIOS.BAK";
}

TEST_F(BuildTest, FailedCompressedBuildAlsoRestoresBiosQzw) {
  plat::ScriptedMessageBox boxes;
  PackagedWorkDir();
  work.Write("BIOS.QZW", "IMAGE-BYTES");
  const auto before = WorkFiles();
  Start();
  controls.SetCheck(IDC_COMPRESS, true);
  media.failCopy["bios.qzw"] = true;
  boxes.Answer(plat::IDOK);
  EXPECT_EQ(Build(kModeMiniDos), kBuildFailed);
  EXPECT_EQ(boxes.Texts().back(), std::string(" Failed to copy bios.qzw file.\n\n") + kCopyTail);
  EXPECT_EQ(WorkFiles(), before);
}

TEST_F(BuildTest, ExistingBiosBakIsNeverCompressedOrLost) {
  plat::ScriptedMessageBox boxes;
  PackagedWorkDir();
  work.Write("bios.qzw", "CURRENT");
  work.Write("BIOS.BAK", "OLD");
  const auto before = WorkFiles();
  Start();
  controls.SetCheck(IDC_COMPRESS, true);
  boxes.Answer(plat::IDOK);
  EXPECT_EQ(Build(kModeMiniDos), kBuildFailed);
  EXPECT_EQ(boxes.Texts().back(), kCompressMissing);
  EXPECT_EQ(WorkFiles(), before);
  EXPECT_TRUE(media.log.order.empty());
}

TEST_F(BuildTest, CompressionWithoutAnImageFailsWithItsMessage) {
  plat::ScriptedMessageBox boxes;
  RawWorkDir();
  work.Write("bios.rom", "ROM");
  work.Write("platform.bin", "PLAT");
  Start();
  controls.SetCheck(IDC_COMPRESS, true);
  boxes.Answer(plat::IDOK);
  EXPECT_EQ(Build(kModeMiniDos), kBuildFailed);
  EXPECT_EQ(boxes.Texts().back(), kCompressMissing);
}

TEST_F(BuildTest, WorkingFolderIsCleanAfterProjectBuilds) {
  plat::ScriptedMessageBox boxes;
  PackagedWorkDir();
  work.Write("vgabios.exe", "WORKDIR-VGA");  // replaced for the build, then back
  Project();
  project.Write("flashabl.rom", "PACKAGE");
  project.Write("vgabios.exe", "PROJECT-VGA");
  const auto before = WorkFiles();
  Start(project.path());
  ScriptSuccess(boxes, true);
  EXPECT_EQ(Build(kModeMiniDos), plat::IDNO);
  EXPECT_EQ(media.log.files["VGABIOS.EXE"], "PROJECT-VGA");
  EXPECT_EQ(WorkFiles(), before);

  // A failure after the copy step cleans up too, and the next build again
  // takes the project folder (the folder question is asked again).
  media.failCopy["bios.qzw"] = true;
  boxes.Answer(plat::IDOK).Answer(plat::IDYES);
  EXPECT_EQ(Build(kModeMiniDos), kBuildFailed);
  EXPECT_EQ(WorkFiles(), before);
  EXPECT_EQ(boxes.PendingAnswers(), 0u);
}

// Boxes that note where the progress bar and the status line stood when they appeared.
class ProgressAtBoxes : public plat::ScriptedMessageBox {
 public:
  ProgressAtBoxes(RecordingView& view, plat::FakeDialogControls& controls) : view_(view), controls_(controls) {}
  int Show(const std::string& text, const std::string& caption, unsigned flags) override {
    bars.push_back(view_.progress.empty() ? -1 : view_.progress.back());
    statuses.push_back(controls_.GetText(IDC_STATUS));
    return ScriptedMessageBox::Show(text, caption, flags);
  }
  std::vector<int> bars;
  std::vector<std::string> statuses;

 private:
  RecordingView& view_;
  plat::FakeDialogControls& controls_;
};

TEST_F(BuildTest, ProgressFollowsTheBytesCopiedAndIsFullAtTheSuccessBox) {
  ProgressAtBoxes boxes(view, controls);
  work.Write("crisboot.bin", std::string(512, 'B'));
  work.Write("KAVLO16.EXE", std::string(300, 'K'));
  work.Write("minidos.sys", std::string(100, 'M'));
  work.Write("vgabios.exe", "");
  work.Write("bios.qzw", std::string(599, 'Q'));
  Start();
  ScriptSuccess(boxes, false);
  EXPECT_EQ(Build(kModeMiniDos), plat::IDNO);
  // Total 999 from 1: 100 -> 6, 400 -> 21, the empty file -> 21, 999 -> 50
  // (per-file rounding would stop at 49); full at the success box, cleared
  // after the last question.
  std::vector<int> steps(view.progress.end() - 8, view.progress.end());
  EXPECT_EQ(steps, (std::vector<int>{0, 1, 6, 21, 21, 50, 50, 0}));
  ASSERT_EQ(boxes.Texts()[1], kDoneFloppy);
  EXPECT_EQ(boxes.bars[1], kProgressMax);
  EXPECT_EQ(boxes.statuses[1], "Crisis Recovery Diskette was Successfully Created.");
  EXPECT_EQ(controls.GetText(IDC_STATUS), "");
  EXPECT_EQ(dlg->m_nProgress, 1);
}

TEST_F(BuildTest, AllFilesEmptyDoesNotDivideByZero) {
  plat::ScriptedMessageBox boxes;
  work.Write("crisboot.bin", std::string(512, 'B'));
  work.Write("KAVLO16.EXE", "");
  work.Write("minidos.sys", "");
  Start();
  dlg->m_bUseWorkDir = true;
  ASSERT_TRUE(dlg->m_pDisk == nullptr);
  dlg->m_pDisk = media.Create("A:", false);
  EXPECT_TRUE(dlg->BuildDiskFiles(kModeMiniDos, "A:") == false);  // bios.qzw is missing
  EXPECT_EQ(boxes.Texts().back(), std::string(" Failed to copy bios.qzw file.\n\n") + kCopyTail);
  EXPECT_EQ(view.progress.front(), 1);
}

TEST_F(BuildTest, AutoexecThatCannotBeWrittenFailsTheBuild) {
  plat::ScriptedMessageBox boxes;
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  PackagedWorkDir();
  work.Write("bios.qzw", "IMAGE");
  Start();
  media.failCopy["AUTOEXEC.BAT"] = true;
  boxes.Answer(plat::IDOK);
  EXPECT_EQ(Build(kModeFullDos), kBuildFailed);
  EXPECT_EQ(boxes.Texts().back(), std::string(" Failed to copy autoexec.bat file.\n\n") + kCopyTail);
  EXPECT_FALSE(work.Exists("AUTOEXEC.BAT"));
}

TEST_F(BuildTest, MissingMediumAndMissingObjectEndTheBuild) {
  plat::ScriptedMessageBox boxes;
  Start();
  media.mediaOk = false;
  boxes.Answer(plat::IDOK);
  EXPECT_EQ(Build(kModeMiniDos), kBuildFailed);
  media.refuse = true;
  boxes.Answer(plat::IDOK);
  EXPECT_EQ(Build(kModeMiniDos), kBuildFailed);
  EXPECT_EQ(boxes.Texts().back(), "Error, Can't create the object for the removable disk!");
  EXPECT_EQ(boxes.boxes.back().flags, plat::MB_ICONERROR);
}

TEST_F(BuildTest, BootSectorFailureEndsTheBuild) {
  plat::ScriptedMessageBox boxes;
  work.Write("KAVLO16.EXE", "K");
  work.Write("bios.qzw", "IMAGE");
  Start();  // no crisboot.bin
  boxes.Answer(plat::IDOK);
  EXPECT_EQ(Build(kModeMiniDos), kBuildFailed);
  EXPECT_TRUE(media.log.order.empty());
  EXPECT_EQ(view.waitDepth, 0);
}

TEST_F(BuildTest, YesKeepsTheDialogOpenNoEndsItAfterSavingHistory) {
  plat::ScriptedMessageBox boxes;
  PackagedWorkDir();
  work.Write("bios.qzw", "IMAGE");
  Start("/proj");
  boxes.Answer(plat::IDOK).Answer(plat::IDOK).Answer(plat::IDYES);
  dlg->OnStart();
  EXPECT_FALSE(view.ended);
  EXPECT_EQ(view.focus, IDC_START);
  EXPECT_FALSE(plat::FileExists(SettingsFile()));
  ScriptSuccess(boxes, false);
  dlg->OnStart();
  EXPECT_TRUE(view.ended);
  EXPECT_EQ(config.Read("tavrin.ini"), "\r\n\r\n\r\n/proj\r\n");
  EXPECT_EQ(media.created.size(), 2u) << "every Start makes a new medium object";
}

TEST_F(BuildTest, RejectedProjectKeepsTheDialogOpen) {
  plat::ScriptedMessageBox boxes;
  PackagedWorkDir();
  Start(project.path());  // no partnum.mak
  boxes.Answer(plat::IDOK);
  dlg->OnStart();
  EXPECT_FALSE(view.ended);
  EXPECT_EQ(view.focus, IDC_PROJECT_PATH);
  EXPECT_TRUE(controls.IsEnabled(IDC_PROJECT_PATH));
  EXPECT_TRUE(controls.IsEnabled(IDC_START));
}

TEST_F(BuildTest, QuitRequestedByTheDiskStopsTheBuildAndTheProgram) {
  plat::ScriptedMessageBox boxes;
  PackagedWorkDir();
  Project();
  project.Write("flashabl.rom", "PACKAGE");
  const auto before = WorkFiles();
  Start(project.path());
  media.quitOn = "kavlo16.exe";
  boxes.Answer(plat::IDOK).Answer(plat::IDYES);
  dlg->OnStart();
  EXPECT_EQ(media.log.order, (Names{"minidos.sys", "kavlo16.exe"})) << "nothing after the fault";
  EXPECT_EQ(boxes.boxes.size(), 2u) << "no success message";
  EXPECT_TRUE(view.ended);
  EXPECT_EQ(view.exitCode, -1);
  EXPECT_FALSE(plat::FileExists(SettingsFile()));
  EXPECT_EQ(WorkFiles(), before);
}

TEST_F(BuildTest, FormatOnlyFormatsTheFloppyAndStaysOpen) {
  Start();
  controls.SetCheck(IDC_MINIDOS, false);
  controls.SetCheck(IDC_FORMAT_ONLY, true);
  dlg->OnStart();
  EXPECT_EQ(media.created, Names{"A:"});
  EXPECT_EQ(media.log.calls, Names{"format"});
  EXPECT_FALSE(view.ended);
  EXPECT_EQ(view.focus, IDC_START);
  EXPECT_GE(view.redraws, 1);
}

}  // namespace
}  // namespace test
