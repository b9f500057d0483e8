// Control ids of brimlet's window, pages and dialogs.
#pragma once

namespace brim::ids {

// Main window.
constexpr int kSheetFrame = 1000;
constexpr int kOk = 1;
constexpr int kExit = 2;
constexpr int kHelp = 1043;
constexpr int kSaveSetting = 1001;
constexpr int kLaunchAtStartup = 1007;

// General page.
constexpr int kLoadBiosFile = 1012;
constexpr int kSaveRom = 1002;
constexpr int kFlashBios = 1003;
constexpr int kRomInfoList = 1004;
constexpr int kNewImageInfoList = 1005;
constexpr int kStatusList = 1006;

// Keep Data page.
constexpr int kForceUpdateAll = 1019;
constexpr int kKeepBbvl = 1025;
constexpr int kKeepBootBlock = 1020;
constexpr int kKeepBuCode = 1038;
constexpr int kKeepDmi = 1039;
constexpr int kKeepCharger = 1041;
constexpr int kKeepEscd = 1021;
constexpr int kKeepFingerprint = 1028;
constexpr int kKeepInvertEeprom = 1042;
constexpr int kKeepKbc = 1040;
constexpr int kKeepMasterLogo = 1017;
constexpr int kKeepNs591 = 1026;
constexpr int kKeepNvs = 1024;
constexpr int kKeepPanelTable = 1027;
constexpr int kKeepPassword = 1016;
constexpr int kKeepScPassword = 1029;
constexpr int kKeepSlaveLogo = 1018;
constexpr int kKeepThermalTable = 1030;
constexpr int kKeepPowerEvent = 1007;

// Verify page.
constexpr int kVerifyAll = 1031;
constexpr int kCheckSize = 1035;
constexpr int kVerifyModelId = 1032;
constexpr int kVerifyChecksum = 1033;
constexpr int kVerifyReleaseDate = 1034;
constexpr int kCheckPassword = 1036;
constexpr int kCheckPower = 1037;
constexpr int kAutoReboot = 1048;
constexpr int kAutoShutdown = 1049;
constexpr int kLoadCmosDefault = 1023;
constexpr int kExecuteFromNewBios = 1022;
constexpr int kMakeWset = 1001;
constexpr int kHiddenReboot = 1007;
constexpr int kHiddenShutdown = 1047;

// Dialogs.
constexpr int kPasswordPrompt = 1011;
constexpr int kPasswordEdit = 1009;
constexpr int kFileNamePrompt = 1014;
constexpr int kFileNameEdit = 1013;
constexpr int kBrowse = 1015;
constexpr int kProgrammingMessage = 1045;
constexpr int kProgressBar = 1044;
constexpr int kAboutNotice = 1008;

// System menu command of the About dialog, and the tray icon's id.
constexpr int kAboutCommand = 16;
constexpr int kTrayIconId = 128;

}  // namespace brim::ids
