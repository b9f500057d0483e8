#include "crisis_app/tavrin_dlg.h"

#include "dialog_fixture.h"

namespace test {
namespace {

using namespace crisis;

TEST_F(DialogTest, StartUpSetsTheInitialStates) {
  Start();
  ASSERT_TRUE(started);
  EXPECT_FALSE(controls.IsEnabled(IDC_PROJECT_PATH));
  EXPECT_FALSE(controls.IsEnabled(IDC_BROWSE));
  EXPECT_FALSE(controls.IsEnabled(IDC_STATUS));
  EXPECT_TRUE(controls.IsEnabled(IDC_START));
  EXPECT_TRUE(controls.IsChecked(IDC_MINIDOS));
  EXPECT_FALSE(controls.IsChecked(IDC_COMPRESS));
  EXPECT_EQ(dlg->m_nMode, kModeMiniDos);
  EXPECT_EQ(view.range, std::make_pair(0, 50));
  EXPECT_EQ(dlg->m_nProgress, 1);
  EXPECT_FALSE(dlg->m_bUseWorkDir);
  EXPECT_EQ(plat::ResolvePath(dlg->m_szWorkDir), plat::ResolvePath(work.path()));
  EXPECT_EQ(controls.ItemCount(IDC_DRIVE), 2);
  EXPECT_EQ(controls.Selection(IDC_DRIVE), 0);
}

TEST_F(DialogTest, NoDriveWarnsAndEndsWithMinusOne) {
  plat::ScriptedMessageBox boxes;
  drives.entries.clear();
  Start();
  EXPECT_FALSE(started);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            "Warning, there are no removable devices in the system! Please plug in the device and "
            "try again.");
  EXPECT_EQ(boxes.boxes[0].caption, "Tavrin");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_ICONEXCLAMATION);
  EXPECT_TRUE(view.ended);
  EXPECT_EQ(view.exitCode, -1);
}

TEST_F(DialogTest, DriveSelectionFitsTheOptions) {
  Start();
  // Floppy first: Removable forced, no layout choice, all three modes.
  EXPECT_TRUE(controls.IsChecked(IDC_REMOVABLE));
  EXPECT_FALSE(controls.IsEnabled(IDC_REMOVABLE));
  EXPECT_FALSE(controls.IsEnabled(IDC_FIXED));
  EXPECT_TRUE(controls.IsEnabled(IDC_FULLDOS));
  EXPECT_TRUE(controls.IsEnabled(IDC_FORMAT_ONLY));

  controls.SetCheck(IDC_MINIDOS, false);
  controls.SetCheck(IDC_FULLDOS, true);
  dlg->OnModeClicked(IDC_FULLDOS);
  EXPECT_EQ(dlg->m_nMode, kModeFullDos);
  SelectDrive(1);  // a USB key: MINIDOS only, with a layout choice
  EXPECT_EQ(dlg->m_nMode, kModeMiniDos);
  EXPECT_TRUE(controls.IsChecked(IDC_MINIDOS));
  EXPECT_FALSE(controls.IsChecked(IDC_FULLDOS));
  EXPECT_TRUE(controls.IsEnabled(IDC_REMOVABLE));
  EXPECT_TRUE(controls.IsEnabled(IDC_FIXED));
  EXPECT_FALSE(controls.IsEnabled(IDC_FULLDOS));
  EXPECT_FALSE(controls.IsEnabled(IDC_FORMAT_ONLY));
}

TEST_F(DialogTest, EnableControlsTogglesTheBuildControlsAndStatusLine) {
  Start();
  dlg->EnableControls(false);
  for (int id : {IDC_CLOSE, IDC_START, IDC_MINIDOS, IDC_FULLDOS, IDC_FORMAT_ONLY, IDC_BROWSE,
                 IDC_PROJECT_PATH})
    EXPECT_FALSE(controls.IsEnabled(id)) << id;
  EXPECT_TRUE(controls.IsEnabled(IDC_STATUS));
  EXPECT_TRUE(controls.IsEnabled(IDC_DRIVE));  // not touched
  dlg->EnableControls(true);
  for (int id : {IDC_CLOSE, IDC_START, IDC_MINIDOS, IDC_FULLDOS, IDC_FORMAT_ONLY, IDC_BROWSE,
                 IDC_PROJECT_PATH})
    EXPECT_TRUE(controls.IsEnabled(id)) << id;
  EXPECT_FALSE(controls.IsEnabled(IDC_STATUS));

  // With the working folder's image the project controls stay as they are.
  dlg->m_bUseWorkDir = true;
  controls.Enable(IDC_BROWSE, false);
  dlg->EnableControls(true);
  EXPECT_FALSE(controls.IsEnabled(IDC_BROWSE));
}

TEST_F(DialogTest, EnablingKeepsFloppyOnlyModesOffForAUsbKey) {
  Start();
  SelectDrive(1);
  dlg->EnableControls(false);
  dlg->EnableControls(true);
  EXPECT_FALSE(controls.IsEnabled(IDC_FULLDOS));
  EXPECT_FALSE(controls.IsEnabled(IDC_FORMAT_ONLY));
  EXPECT_TRUE(controls.IsEnabled(IDC_MINIDOS));
}

TEST_F(DialogTest, EnterStartsABuildLikeStart) {
  plat::ScriptedMessageBox boxes;
  boxes.Answer(plat::IDCANCEL);  // the erase warning
  Start();
  dlg->OnOK();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            "Warning, this will erase all the data on the removable disk! \n\n  To continue, click "
            "OK. To quit, click CANCEL.");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_OKCANCEL | plat::MB_ICONEXCLAMATION);
  // Cancelling the warning saves the history and ends the program.
  EXPECT_TRUE(view.ended);
  EXPECT_TRUE(plat::FileExists(SettingsFile()));
}

TEST_F(DialogTest, EraseWarningNamesTheDiskItErases) {
  work.Write("floppy.img", std::string(1474560, '\0'));
  const std::string floppy = work.Path("floppy.img");
  plat::AttachDiskImage(floppy, plat::DiskKind::Floppy);
  plat::ScriptedMessageBox boxes;
  boxes.Answer(plat::IDCANCEL);
  Start();
  dlg->OnOK();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            "Warning, this will erase all the data on the removable disk! \n\n  To continue, click "
            "OK. To quit, click CANCEL.\n\n" + plat::ResolvePath(floppy) + " (floppy image, 1.44Mb)");
}

TEST_F(DialogTest, EscapeEndsWithoutWritingTheSettingsFile) {
  Start("/some/project");
  dlg->OnCancel();
  EXPECT_TRUE(view.ended);
  EXPECT_FALSE(plat::FileExists(SettingsFile()));
}

TEST_F(DialogTest, CloseWritesTheSettingsFile) {
  Start("/some/project");
  dlg->SaveHistoryAndClose();
  EXPECT_TRUE(view.ended);
  EXPECT_EQ(view.exitCode, 0);
  EXPECT_EQ(config.Read("tavrin.ini"), "\r\n\r\n\r\n/some/project\r\n");
}

TEST_F(DialogTest, BrowseTakesTheFolderOfTheReturnedName) {
  Start();
  view.chosen = "/data/bios/projA/Junk";
  dlg->OnBrowse();
  EXPECT_EQ(view.chooserInitial, "c:\\");
  EXPECT_EQ(dlg->m_strProjectPath, "/data/bios/projA");
  EXPECT_EQ(controls.GetText(IDC_PROJECT_PATH), "/data/bios/projA");
  EXPECT_EQ(dlg->m_strHistory[3], "/data/bios/projA");
  EXPECT_EQ(controls.ItemText(IDC_PROJECT_PATH, 0), "/data/bios/projA");

  view.chosen = "C:\\Junk";  // the root of a drive: letter and colon
  dlg->OnBrowse();
  EXPECT_EQ(dlg->m_strProjectPath, "C:");

  view.chosen.clear();  // cancel changes nothing
  dlg->OnBrowse();
  EXPECT_EQ(dlg->m_strProjectPath, "C:");
}

TEST_F(DialogTest, AboutFromTheSystemMenu) {
  Start();
  dlg->OnSysCommand(0x0010);
  dlg->OnSysCommand(0x001F);
  dlg->OnSysCommand(0xF060);  // close: default handling, no About
  EXPECT_EQ(view.abouts, 2);
}

}  // namespace
}  // namespace test
