#include "crisis_app/file_pattern.h"
#include "crisis_app/tavrin_dlg.h"
#include "dialog_fixture.h"

namespace test {
namespace {

using namespace crisis;

const char kRejected[] =
    "Project Path Must be Specified!\nThe folder must contain both BIOS.ROM and PLATFORM.BIN "
    "files,\nor a BIOS.QZW file\n\nEnter Project Path or Select Browser.\t";

TEST(NextLine, DropsTheLineAndTheGivenCount) {
  std::string t = "one\r\ntwo\r\n";
  EXPECT_EQ(CTavrinDlg::NextLine(t, '\r', 2), "one");
  EXPECT_EQ(t, "two\r\n");
  EXPECT_EQ(CTavrinDlg::NextLine(t, '\r', 2), "two");
  EXPECT_EQ(t, "");
  std::string noSep = "abc";  // no separator: empty result, input loses one character
  EXPECT_EQ(CTavrinDlg::NextLine(noSep, '\r', 2), "");
  EXPECT_EQ(noSep, "bc");
  std::string shortTail = "x\r";  // count past the end leaves nothing, never less
  EXPECT_EQ(CTavrinDlg::NextLine(shortTail, '\r', 2), "x");
  EXPECT_EQ(shortTail, "");
}

TEST(FilePattern, QuestionMarksAndStarsWithoutCase) {
  EXPECT_TRUE(MatchesPattern("??4A1???.rom", "XY4A1001.ROM"));
  EXPECT_FALSE(MatchesPattern("??4A1???.rom", "X4A1001.rom"));
  EXPECT_FALSE(MatchesPattern("??4A1???.rom", "XY4A1001.rom.bak"));
  EXPECT_TRUE(MatchesPattern("*.rom", "a.rom"));
  EXPECT_FALSE(MatchesPattern("*.rom", "a.bin"));
}

TEST_F(DialogTest, HistoryWithNoFileAndNoCommandLine) {
  Start();
  EXPECT_EQ(dlg->m_strProjectPath, "");
  ASSERT_EQ(controls.ItemCount(IDC_PROJECT_PATH), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(controls.ItemText(IDC_PROJECT_PATH, i), "");
  dlg->SaveHistoryAndClose();
  EXPECT_EQ(config.Read("tavrin.ini"), "\r\n\r\n\r\n\r\n");
}

TEST_F(DialogTest, HistoryReplacesTheFileWholeOrSaysWhyNot) {
  config.Write("tavrin.ini", "p0\r\np1\r\np2\r\np3\r\n");
  Start("p4");
  dlg->SaveHistoryAndClose();
  EXPECT_EQ(config.Read("tavrin.ini"), "p1\r\np2\r\np3\r\np4\r\n");
  for (const auto& e : std::filesystem::directory_iterator(config.path()))
    EXPECT_EQ(e.path().filename().string().rfind(".tavrin.ini.", 0), std::string::npos) << "temporary left";

  // A folder where the file goes: the box names the file and the reason;
  // the program still closes.
  std::filesystem::remove(config.Path("tavrin.ini"));
  std::filesystem::create_directory(config.Path("tavrin.ini"));
  plat::ScriptedMessageBox boxes;
  boxes.Answer(plat::IDOK);
  view.ended = false;
  dlg->SaveHistoryAndClose();
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0].rfind("The project history could not be saved.\n\n", 0), 0u) << boxes.Texts()[0];
  EXPECT_NE(boxes.Texts()[0].find("tavrin.ini: Is a directory"), std::string::npos) << boxes.Texts()[0];
  EXPECT_TRUE(view.ended);
}

TEST_F(DialogTest, CommandLineEqualToNewestKeepsTheHistory) {
  config.Write("tavrin.ini", "p0\r\np1\r\np2\r\np3\r\n");
  Start("p3");
  EXPECT_EQ(dlg->m_strHistory[0], "p0");
  EXPECT_EQ(dlg->m_strHistory[3], "p3");
  EXPECT_EQ(controls.ItemText(IDC_PROJECT_PATH, 0), "p3");
  EXPECT_EQ(controls.ItemText(IDC_PROJECT_PATH, 3), "p0");
}

TEST_F(DialogTest, NewCommandLineBecomesNewestAndDropsTheOldest) {
  config.Write("tavrin.ini", "p0\r\np1\r\np2\r\np3\r\n");
  Start("p4");
  EXPECT_EQ(dlg->m_strHistory[0], "p1");
  EXPECT_EQ(dlg->m_strHistory[3], "p4");
  EXPECT_EQ(controls.GetText(IDC_PROJECT_PATH), "p4");
  dlg->SaveHistoryAndClose();
  EXPECT_EQ(config.Read("tavrin.ini"), "p1\r\np2\r\np3\r\np4\r\n");
}

TEST_F(DialogTest, EmptyCommandLineTakesTheNewestEntry) {
  config.Write("tavrin.ini", "p0\r\np1\r\np2\r\np3\r\n");
  Start();
  EXPECT_EQ(dlg->m_strProjectPath, "p3");
  EXPECT_EQ(dlg->m_strHistory[2], "p2");
}

TEST_F(DialogTest, LinesEndingInLineFeedOnlyAreRead) {
  config.Write("tavrin.ini", "p0\np1\np2\np3");
  Start();
  EXPECT_EQ(dlg->m_strHistory[0], "p0");
  EXPECT_EQ(dlg->m_strHistory[1], "p1");
  EXPECT_EQ(dlg->m_strHistory[3], "p3");
}

TEST_F(DialogTest, OnlyTheNewestEntryIsCompared) {
  Start("a");
  dlg->m_strProjectPath = "b";
  dlg->AddToHistory();
  dlg->m_strProjectPath = "a";
  dlg->AddToHistory();
  EXPECT_EQ(dlg->m_strHistory[1], "a");
  EXPECT_EQ(dlg->m_strHistory[3], "a");
}

TEST_F(DialogTest, PartNumberIsTheThreeCharactersAfterTheKey) {
  Start();
  Project("PARTNUM = 4A1X\r\n");
  dlg->m_strProjectPath = project.path();
  ASSERT_TRUE(dlg->ReadPartNumber());
  EXPECT_EQ(dlg->m_strPartNum, "4A1");
  Project("PARTNUM = 7");
  ASSERT_TRUE(dlg->ReadPartNumber());
  EXPECT_EQ(dlg->m_strPartNum, "7");
  Project("PARTNUM=4A1");  // no key as written: no part number
  EXPECT_FALSE(dlg->ReadPartNumber());
}

TEST_F(DialogTest, ProjectChecks) {
  plat::ScriptedMessageBox boxes;
  Start();
  dlg->m_strProjectPath = project.path();

  project.Write("flashabl.rom", "PACKAGE");
  EXPECT_FALSE(dlg->CheckProjectPath()) << "no partnum.mak";
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, kRejected);
  EXPECT_EQ(boxes.boxes[0].caption, "Tavrin");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_OK);
  EXPECT_EQ(view.focus, IDC_PROJECT_PATH);

  Project("no key here\r\n");
  EXPECT_FALSE(dlg->CheckProjectPath()) << "partnum.mak without the key";

  Project();
  EXPECT_TRUE(dlg->CheckProjectPath()) << "flashabl.rom without platform.bin";
  EXPECT_EQ(dlg->m_strPartNum, "4A1");

  plat::DeleteFile(project.Path("flashabl.rom"));
  project.Write("platform.bin", "PLATFORM");
  EXPECT_FALSE(dlg->CheckProjectPath()) << "platform.bin without a ROM";
  project.Write("QX4A1002.ROM", "ROM");  // the ?? + PN + ??? candidate, any case
  EXPECT_TRUE(dlg->CheckProjectPath());
  plat::DeleteFile(project.Path("QX4A1002.ROM"));
  project.Write("devel4A1.rom", "");  // empty files are not present
  EXPECT_FALSE(dlg->CheckProjectPath());
  project.Write("test4A1.rom", "ROM");
  EXPECT_TRUE(dlg->CheckProjectPath());
  EXPECT_EQ(boxes.boxes.size(), 4u);
}

TEST_F(DialogTest, WorkingFolderImageIsUsedWithoutAQuestion) {
  plat::ScriptedMessageBox boxes;
  Start("/nowhere");
  work.Write("bios.qzw", "IMAGE");
  ::chdir("/");
  EXPECT_TRUE(dlg->SelectImageSource());
  EXPECT_TRUE(dlg->m_bUseWorkDir);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(plat::FileExists("bios.qzw")) << "the working folder is current again";
}

TEST_F(DialogTest, EmptyPlatformBinIsNoImageSoTheProjectIsAsked) {
  plat::ScriptedMessageBox boxes;
  Project();
  project.Write("flashabl.rom", "PACKAGE");
  work.Write("bios.rom", "ROM");
  work.Write("platform.bin", "");
  Start(project.path());
  boxes.Answer(plat::IDYES);
  EXPECT_TRUE(dlg->SelectImageSource());
  EXPECT_FALSE(dlg->m_bUseWorkDir);
  EXPECT_TRUE(controls.IsEnabled(IDC_BROWSE));
  EXPECT_TRUE(controls.IsEnabled(IDC_PROJECT_PATH));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "The current selected folder for the project tip is:\t\n" +
                                     project.path() + "\n\nDo you want to proceed ?");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_YESNO | plat::MB_ICONQUESTION);

  boxes.Answer(plat::IDNO);
  EXPECT_FALSE(dlg->SelectImageSource());
}

TEST_F(DialogTest, QuotedCommandLineKeepsQuotesAndFailsTheCheck) {
  plat::ScriptedMessageBox boxes;
  Project();
  project.Write("flashabl.rom", "PACKAGE");
  Start("\"" + project.path() + "\"");
  EXPECT_EQ(dlg->m_strProjectPath, "\"" + project.path() + "\"");
  EXPECT_FALSE(dlg->SelectImageSource());
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, kRejected);
  EXPECT_EQ(dlg->m_strHistory[3], "\"" + project.path() + "\"") << "added before the check";
}

TEST_F(DialogTest, FileSizeIsZeroForMissingFiles) {
  work.Write("five", "12345");
  EXPECT_EQ(CTavrinDlg::GetFileSize("five"), 5u);
  EXPECT_EQ(CTavrinDlg::GetFileSize("FIVE"), 5u);
  EXPECT_EQ(CTavrinDlg::GetFileSize("missing"), 0u);
}

}  // namespace
}  // namespace test
