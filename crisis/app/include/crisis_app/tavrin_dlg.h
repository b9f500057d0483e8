// The main dialog of the crisis disk builder: its state, its rules, the
// project folder and history, and the build sequence. Written against
// plat::DialogControls and DialogView, so it runs without a window.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "crisis_app/crisis_medium.h"
#include "crisis_app/dialog_view.h"
#include "crisis_app/drive_source.h"
#include "platform/dialog_controls.h"

namespace crisis {

constexpr int kModeMiniDos = 0;
constexpr int kModeFullDos = 1;
constexpr int kModeFormatOnly = 2;

// Results of CreateCrisisDisk besides IDYES and IDNO.
constexpr int kBuildFailed = 2;
constexpr int kBuildRefused = 0;
// The project folder was rejected; the dialog stays open to correct the path.
constexpr int kBuildProjectRejected = 3;

constexpr int kProgressMax = 50;
constexpr int kMaxDrives = 255;

class CTavrinDlg {
 public:
  CTavrinDlg(plat::DialogControls& controls, DialogView& view, MediumFactory& media,
             DriveSource& drives);
  ~CTavrinDlg();

  // Start-up; false when the dialog ends at once (no drive: exit code -1).
  bool OnInitDialog();

  // Events.
  void OnStart();
  void OnOK() { OnStart(); }  // Enter
  void OnCancel();            // Escape, close box: no settings written
  void OnBrowse();
  void OnModeClicked(int controlId);
  void OnSelectDrive();
  void OnSysCommand(unsigned command);

  // Controls <-> members.
  void UpdateData(bool saveAndValidate);
  void EnableControls(bool enable);
  void SetStatusText(const std::string& text);
  void ClearStatus();
  static int GetPlatformId();

  // Build sequence.
  int CreateCrisisDisk(int mode);
  bool BuildDiskFiles(int mode, const std::string& drive);
  // Sizes of the files BuildDiskFiles will copy, taken from where it will
  // take them (the image with room for the compressor's worst case).
  std::vector<uint64_t> DiskFileSizes(int mode);
  void FormatFloppy();

  // Project folder.
  static uint32_t GetFileSize(const std::string& fileName);
  bool ReadPartNumber();
  bool CheckProjectPath();
  bool SelectImageSource();

  // History.
  static std::string SettingsFileName();
  void LoadHistory();
  void FillHistoryCombo();
  void AddToHistory();
  void SaveHistoryAndClose();
  static std::string NextLine(std::string& text, char separator, int count);

  bool FillDriveList();

  // State (public: the views and the batch command read it, tests set it).
  int m_nMode = -1;
  std::string m_strProjectPath;
  int m_nDiskFormat = 0;
  bool m_bCompress = false;
  // Read the medium back after the last file; off only for measurements
  // and for fake media that keep no sectors.
  bool m_bVerify = true;
  std::string m_szWorkDir;
  int m_nProgress = 1;
  bool m_bUseWorkDir = false;
  std::string m_strPartNum;
  std::string m_strHistory[4];
  std::string m_strCmdLine;
  std::vector<std::string> m_strDrives;
  int m_nDriveCount = 0;
  std::unique_ptr<CrisisMedium> m_pDisk;
  bool m_bEnded = false;
  int m_nExitCode = 0;

 private:
  void EndDialog(int code);
  bool SelectedDriveIsFloppy() const;
  void ApplyDriveRules();

  plat::DialogControls& m_controls;
  DialogView& m_view;
  MediumFactory& m_media;
  DriveSource& m_driveSource;
  bool m_bProjectRejected = false;
};

}  // namespace crisis
