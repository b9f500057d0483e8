// Control ids of the main dialog (template 102) and of the folder chooser.
#pragma once

namespace crisis {

constexpr int IDD_TAVRIN_DIALOG = 102;
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_DIRDLG = 129;
constexpr int IDR_MAINFRAME = 128;
constexpr int IDS_ABOUTBOX = 101;
constexpr int IDM_ABOUTBOX = 0x0010;

constexpr int IDC_PROJECT_PATH = 1000;
constexpr int IDC_MINIDOS = 1001;
constexpr int IDC_FORMAT_ONLY = 1002;
constexpr int IDC_FULLDOS = 1003;
constexpr int IDC_BROWSE = 1004;
constexpr int IDC_PROGRESS = 1005;
constexpr int IDC_START = 1006;
constexpr int IDC_CLOSE = 1007;
constexpr int IDC_STATUS = 1008;
constexpr int IDC_DRIVE = 1009;
constexpr int IDC_REMOVABLE = 1010;
constexpr int IDC_FIXED = 1011;
constexpr int IDC_COMPRESS = 1012;

constexpr int IDOK_BUTTON = 1;
constexpr int IDCANCEL_BUTTON = 2;

// Help context of a control: 0x80660000 + id; 0 when it has none.
unsigned HelpContextFor(int controlId);
constexpr unsigned kStatusHelpContext = 0x806603F0;

}  // namespace crisis
