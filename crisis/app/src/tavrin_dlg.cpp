#include "crisis_app/tavrin_dlg.h"

#include <unistd.h>

#include <climits>

#include "crisis_app/control_ids.h"
#include "platform/message_box.h"
#include "platform/os_personality.h"
#include "platform/quit_request.h"

namespace crisis {

namespace {
const char kNoDrives[] =
    "Warning, there are no removable devices in the system! Please plug in the device and try "
    "again.";
const char kTitle[] = "Tavrin";
}  // namespace

unsigned HelpContextFor(int controlId) {
  static const int kHelpIds[] = {IDC_BROWSE,   IDC_CLOSE,     IDC_START,
                                 IDC_PROJECT_PATH, IDC_STATUS, IDC_PROGRESS,
                                 IDC_FORMAT_ONLY,  IDC_FULLDOS, IDC_MINIDOS};
  for (int id : kHelpIds)
    if (id == controlId) return 0x80660000u + static_cast<unsigned>(controlId);
  return 0;
}

CTavrinDlg::CTavrinDlg(plat::DialogControls& controls, DialogView& view, MediumFactory& media,
                       DriveSource& drives)
    : m_controls(controls), m_view(view), m_media(media), m_driveSource(drives) {}

CTavrinDlg::~CTavrinDlg() = default;

bool CTavrinDlg::OnInitDialog() {
  // Template states: the project path and Browse wait until a build needs
  // the project folder; the status line is enabled only while one runs.
  m_controls.Enable(IDC_PROJECT_PATH, false);
  m_controls.Enable(IDC_BROWSE, false);
  m_controls.Enable(IDC_STATUS, false);
  UpdateData(false);

  m_nMode = kModeMiniDos;
  m_bUseWorkDir = false;
  m_view.SetProgressRange(0, kProgressMax);
  m_nProgress = 1;

  char cwd[PATH_MAX];
  m_szWorkDir = ::getcwd(cwd, sizeof cwd) ? cwd : ".";

  LoadHistory();
  FillHistoryCombo();
  AddToHistory();

  if (!FillDriveList()) {
    plat::MessageBox(kNoDrives, kTitle, plat::MB_ICONEXCLAMATION);
    EndDialog(-1);
    return false;
  }
  return true;
}

void CTavrinDlg::EndDialog(int code) {
  m_bEnded = true;
  m_nExitCode = code;
  m_view.EndDialog(code);
}

void CTavrinDlg::OnCancel() { EndDialog(plat::IDCANCEL); }

void CTavrinDlg::OnModeClicked(int controlId) {
  if (controlId == IDC_MINIDOS) m_nMode = kModeMiniDos;
  if (controlId == IDC_FULLDOS) m_nMode = kModeFullDos;
  if (controlId == IDC_FORMAT_ONLY) m_nMode = kModeFormatOnly;
}

void CTavrinDlg::OnSysCommand(unsigned command) {
  if ((command & 0xFFF0) == IDM_ABOUTBOX) m_view.ShowAbout();
}

void CTavrinDlg::UpdateData(bool saveAndValidate) {
  static const int kModeIds[] = {IDC_MINIDOS, IDC_FULLDOS, IDC_FORMAT_ONLY};
  static const int kFormatIds[] = {IDC_REMOVABLE, IDC_FIXED};
  if (saveAndValidate) {
    m_nMode = -1;
    for (int i = 0; i < 3; ++i)
      if (m_controls.IsChecked(kModeIds[i])) {
        m_nMode = i;
        break;
      }
    m_nDiskFormat = -1;
    for (int i = 0; i < 2; ++i)
      if (m_controls.IsChecked(kFormatIds[i])) {
        m_nDiskFormat = i;
        break;
      }
    m_strProjectPath = m_controls.GetText(IDC_PROJECT_PATH);
    m_bCompress = m_controls.IsChecked(IDC_COMPRESS);
  } else {
    for (int i = 0; i < 3; ++i) m_controls.SetCheck(kModeIds[i], m_nMode == i);
    for (int i = 0; i < 2; ++i) m_controls.SetCheck(kFormatIds[i], m_nDiskFormat == i);
    m_controls.SetText(IDC_PROJECT_PATH, m_strProjectPath);
    m_controls.SetCheck(IDC_COMPRESS, m_bCompress);
  }
}

void CTavrinDlg::EnableControls(bool enable) {
  for (int id : {IDC_CLOSE, IDC_START, IDC_MINIDOS, IDC_FULLDOS, IDC_FORMAT_ONLY})
    m_controls.Enable(id, enable);
  m_controls.Enable(IDC_STATUS, !enable);
  if (!m_bUseWorkDir) {
    m_controls.Enable(IDC_BROWSE, enable);
    m_controls.Enable(IDC_PROJECT_PATH, enable);
  }
  // FULLDOS and format only apply to the floppy alone; enabling them for a
  // USB key would let a later Start format drive A: instead.
  if (enable && m_nDriveCount > 0 && !SelectedDriveIsFloppy()) {
    m_controls.Enable(IDC_FULLDOS, false);
    m_controls.Enable(IDC_FORMAT_ONLY, false);
  }
}

void CTavrinDlg::SetStatusText(const std::string& text) { m_controls.SetText(IDC_STATUS, text); }

void CTavrinDlg::ClearStatus() {
  SetStatusText("");
  m_view.SetProgress(0);
  m_nProgress = 1;
}

int CTavrinDlg::GetPlatformId() {
  plat::OsVersionInfo info{};
  if (!plat::GetVersionEx(&info)) return -1;
  return static_cast<int>(info.platformId);
}

bool CTavrinDlg::FillDriveList() {
  m_controls.ClearItems(IDC_DRIVE);
  m_strDrives.clear();
  for (const DriveEntry& e : m_driveSource.ListDrives()) {
    if (static_cast<int>(m_strDrives.size()) >= kMaxDrives) break;
    m_strDrives.push_back(e.name);
    m_controls.AddItem(IDC_DRIVE, e.text);
  }
  m_nDriveCount = static_cast<int>(m_strDrives.size());
  if (m_controls.ItemCount(IDC_DRIVE) == 0) return false;
  m_controls.Select(IDC_DRIVE, 0);
  OnSelectDrive();
  return true;
}

bool CTavrinDlg::SelectedDriveIsFloppy() const {
  int sel = m_controls.Selection(IDC_DRIVE);
  return sel >= 0 && sel < m_nDriveCount && m_strDrives[static_cast<size_t>(sel)] == "A:";
}

void CTavrinDlg::OnSelectDrive() {
  if (m_nDriveCount == 0) return;
  ApplyDriveRules();
}

void CTavrinDlg::ApplyDriveRules() {
  const bool floppy = SelectedDriveIsFloppy();
  if (floppy)
    m_nDiskFormat = 0;
  else
    m_nMode = kModeMiniDos;
  UpdateData(false);
  m_controls.Enable(IDC_REMOVABLE, !floppy);
  m_controls.Enable(IDC_FIXED, !floppy);
  m_controls.Enable(IDC_FULLDOS, floppy);
  m_controls.Enable(IDC_FORMAT_ONLY, floppy);
}

void CTavrinDlg::OnBrowse() {
  std::string fileName;
  if (!m_view.ChooseFolder("c:\\", fileName)) return;
  // The chooser returns "Junk" in the chosen folder; the folder is the path.
  size_t cut = fileName.find_last_of("\\/");
  std::string folder = cut == std::string::npos ? std::string() : fileName.substr(0, cut);
  if (folder.empty() && cut == 0) folder = "/";  // the root keeps its one separator
  m_strProjectPath = folder;
  m_controls.SetText(IDC_PROJECT_PATH, m_strProjectPath);
  AddToHistory();
  UpdateData(false);
}

void CTavrinDlg::OnStart() {
  UpdateData(true);
  m_strProjectPath = m_controls.GetText(IDC_PROJECT_PATH);
  int result = -1;
  if (m_nMode == kModeMiniDos || m_nMode == kModeFullDos)
    result = CreateCrisisDisk(m_nMode);
  else if (m_nMode == kModeFormatOnly)
    FormatFloppy();

  // A quit request ends the program at once, as the message loop would.
  int quitCode = 0;
  if (plat::QuitRequested(&quitCode)) {
    EndDialog(quitCode);
    return;
  }

  if (m_nMode != kModeMiniDos && m_nMode != kModeFullDos) {
    m_view.SetFocus(IDC_START);
  } else if (result == plat::IDYES) {
    m_view.SetFocus(IDC_START);
  } else if (result == kBuildProjectRejected) {
    // CheckProjectPath has put the focus on the path box.
  } else {
    SaveHistoryAndClose();
  }
}

}  // namespace crisis
