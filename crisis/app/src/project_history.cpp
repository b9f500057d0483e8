// tavrin.ini: the four most recent project paths, oldest first, one a line.
#include <cstdio>
#include <vector>

#include "crisis_app/checked_file.h"
#include "crisis_app/control_ids.h"
#include "crisis_app/tavrin_dlg.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/system_paths.h"

namespace crisis {

std::string CTavrinDlg::SettingsFileName() { return plat::WindowsFolder() + "/tavrin.ini"; }

std::string CTavrinDlg::NextLine(std::string& text, char separator, int count) {
  const size_t n = text.size();
  size_t found = text.find(separator);
  long i = found == std::string::npos ? -1 : static_cast<long>(found);
  std::string line = i > 0 ? text.substr(0, static_cast<size_t>(i)) : std::string();
  long keep = static_cast<long>(n) - i - count;
  if (keep < 0) keep = 0;
  if (keep > static_cast<long>(n)) keep = static_cast<long>(n);
  text = text.substr(n - static_cast<size_t>(keep));
  return line;
}

void CTavrinDlg::LoadHistory() {
  std::vector<uint8_t> bytes;
  if (!plat::ReadWholeFile(SettingsFileName(), bytes)) return;
  std::string text(bytes.begin(), bytes.end());
  for (int i = 0; i < 4 && !text.empty(); ++i) {
    // Lines end in CR LF as written here; LF alone (edited on Linux) and a
    // last line without its end are lines too.
    size_t end = text.find_first_of("\r\n");
    if (end == std::string::npos) {
      m_strHistory[i] = text;
      text.clear();
    } else if (text[end] == '\r') {
      m_strHistory[i] = NextLine(text, '\r', end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    } else {
      m_strHistory[i] = NextLine(text, '\n', 1);
    }
  }
}

void CTavrinDlg::FillHistoryCombo() {
  m_strProjectPath = m_strCmdLine;
  m_controls.ClearItems(IDC_PROJECT_PATH);
  for (int i = 3; i >= 0; --i) m_controls.AddItem(IDC_PROJECT_PATH, m_strHistory[i]);
}

void CTavrinDlg::AddToHistory() {
  if (m_strProjectPath.empty()) m_strProjectPath = m_strHistory[3];
  if (m_strProjectPath == m_strHistory[3]) return;
  m_strHistory[0] = m_strHistory[1];
  m_strHistory[1] = m_strHistory[2];
  m_strHistory[2] = m_strHistory[3];
  m_strHistory[3] = m_strProjectPath;
  m_controls.ClearItems(IDC_PROJECT_PATH);
  for (int i = 3; i >= 0; --i) m_controls.AddItem(IDC_PROJECT_PATH, m_strHistory[i]);
  UpdateData(false);
}

void CTavrinDlg::SaveHistoryAndClose() {
  UpdateData(true);
  std::string text;
  for (const std::string& entry : m_strHistory) text += entry + "\r\n";
  // Under a temporary name, synced, then renamed: a kill or a crash leaves
  // the old history or the new, never half of one.
  std::string why;
  if (!WriteOutputFile(SettingsFileName(), text.data(), text.size(), &why))
    plat::MessageBox("The project history could not be saved.\n\n" + why, "Tavrin", plat::MB_ICONERROR);
  // The program closes whether or not the file could be written.
  EndDialog(0);
}

}  // namespace crisis
