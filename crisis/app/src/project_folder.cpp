// The image source of a build: the working folder when it holds an image,
// else the project folder, which is checked and confirmed first.
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "crisis_app/control_ids.h"
#include "crisis_app/file_pattern.h"
#include "crisis_app/tavrin_dlg.h"
#include "platform/file_system.h"
#include "platform/message_box.h"

namespace crisis {

namespace {

const char kTitle[] = "Tavrin";
const char kProjectRejected[] =
    "Project Path Must be Specified!\nThe folder must contain both BIOS.ROM and PLATFORM.BIN "
    "files,\nor a BIOS.QZW file\n\nEnter Project Path or Select Browser.\t";
const char kPartNumKey[] = "PARTNUM = ";

// Present: can be opened for reading and is longer than 0 bytes.
bool Present(const std::string& path) {
  std::FILE* f = plat::OpenFile(path, "rb");
  if (!f) return false;
  bool longer = std::fseek(f, 0, SEEK_END) == 0 && std::ftell(f) > 0;
  std::fclose(f);
  return longer;
}

}  // namespace

uint32_t CTavrinDlg::GetFileSize(const std::string& fileName) {
  std::FILE* f = plat::OpenFile(fileName, "rb");
  if (!f) return 0;
  uint32_t size = 0;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long end = std::ftell(f);
    if (end > 0) size = static_cast<uint32_t>(end);
  }
  std::fclose(f);
  return size;
}

bool CTavrinDlg::ReadPartNumber() {
  std::vector<uint8_t> bytes;
  if (!plat::ReadWholeFile(m_strProjectPath + "\\partnum.mak", bytes)) return false;
  std::string text(bytes.begin(), bytes.end());
  size_t at = text.find(kPartNumKey);
  // Without the key there is no part number to name the ROMs by: reject.
  if (at == std::string::npos) return false;
  m_strPartNum = text.substr(at + sizeof kPartNumKey - 1, 3);
  return true;
}

bool CTavrinDlg::CheckProjectPath() {
  bool ok = ReadPartNumber();
  if (ok) {
    ok = false;
    if (Present(m_strProjectPath + "\\platform.bin")) {
      ok = !FindFirstMatch(m_strProjectPath, "??" + m_strPartNum + "???.rom").empty() ||
           Present(m_strProjectPath + "\\devel" + m_strPartNum + ".rom") ||
           Present(m_strProjectPath + "\\test" + m_strPartNum + ".rom");
    }
    if (!ok) ok = Present(m_strProjectPath + "\\flashabl.rom");
  }
  if (!ok) {
    plat::MessageBox(kProjectRejected, kTitle, plat::MB_OK);
    m_view.SetFocus(IDC_PROJECT_PATH);
  }
  return ok;
}

bool CTavrinDlg::SelectImageSource() {
  m_bProjectRejected = false;
  if (::chdir(m_szWorkDir.c_str()) != 0) return false;
  if ((Present("bios.rom") && Present("platform.bin")) || Present("bios.qzw")) {
    m_bUseWorkDir = true;
    return true;
  }
  m_bUseWorkDir = false;
  m_controls.Enable(IDC_BROWSE, true);
  m_controls.Enable(IDC_PROJECT_PATH, true);
  AddToHistory();
  if (!CheckProjectPath()) {
    m_bProjectRejected = true;
    return false;
  }
  std::string question = "The current selected folder for the project tip is:\t\n" +
                         m_strProjectPath + "\n\nDo you want to proceed ?";
  return plat::MessageBox(question, kTitle, plat::MB_YESNO | plat::MB_ICONQUESTION) == plat::IDYES;
}

}  // namespace crisis
