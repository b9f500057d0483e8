// The flash utility's one process-wide settings record and status word.
#pragma once
#include <cstdint>
#include <string>

namespace brim {

// errorCode values.
enum ErrorCode : int32_t {
  kErrNone = 0,
  kErrImageChecksum = 1,
  kErrImageSize = 2,
  kErrImageModel = 3,
  kErrImageRelease = 4,
  kErrProgramming = 5,
  kErrDevice = 6,
  kErrOpenImage = 9,
  kErrReadImage = 10,
};

// ImageStatus failure bits (the presence bits below 0x40000 belong to the region locator).
constexpr uint32_t kStatusGeometryFromIni = 0x40000;
constexpr uint32_t kStatusDeviceOpenFailed = 0x80000;
constexpr uint32_t kStatusRomInfoFailed = 0x100000;
constexpr uint32_t kStatusPasswordRefused = 0x200000;
constexpr uint32_t kStatusNoMainWindow = 0x380000;
// The current ROM could not be read: nothing may be merged from it or flashed over it.
constexpr uint32_t kStatusRomReadFailed = 0x400000;

struct FlashSettings {
  int32_t errorCode = 0;
  uint32_t settingsWord = 0;
  int32_t showHelp = 0;
  int32_t forceNoVerify = 0;
  int32_t commandLineOptions = 0;
  int32_t showLogo = 0;
  int32_t silentMode = 0;
  int32_t autoFlashPending = 0;
  int32_t rebootAfterFlash = 0;
  int32_t shutdownAfterFlash = 0;
  int32_t fileFromCommandLine = 0;
  int32_t loadDefaultCmos = 0;
  int32_t keepAll = 0;
  int32_t keepDmiData = 0;
  int32_t keepBuCodeData = 0;
  int32_t keepInvertEeprom = 0;
  int32_t keepPassword = 0;
  int32_t keepScPassword = 0;
  int32_t keepMasterLogo = 0;
  int32_t keepSlaveLogo = 0;
  int32_t keepBootBlock = 0;
  int32_t keepEscdData = 0;
  int32_t keepChargerEeprom = 0;
  int32_t keepKbc = 0;
  int32_t keepFingerprint = 0;
  int32_t keepNvs = 0;
  int32_t keepBbvl = 0;
  int32_t keepNs591Kbc = 0;
  int32_t keepPanelTable = 0;
  int32_t keepThermalTable = 0;
  int32_t clearDmi = 0;
  int32_t writeBootBlock = 0;
  int32_t verifyPassword = 0;
  int32_t verifyPower = 0;
  int32_t verifyReleaseDate = 0;
  int32_t verifyModelId = 0;
  int32_t verifySize = 0;
  int32_t verifyChecksum = 0;
  int32_t executeFromNewBios = 0;
  std::string commandLineFileName;  // at most 259 characters
  std::string ftpFileName;          // at most 259 characters
  std::string ftpServer;            // at most 259 characters
  int32_t ftpFileGiven = 0;
  int32_t ftpServerGiven = 0;
  int32_t forceReadIni = 0;
  int32_t fileNameRelative = 0;
  int32_t pollingTime = 0;
  std::string iniPath;
  std::string exeDir;
  std::string exeFileName;
  int32_t keepPageReady = 0;
  int32_t imageLoaded = 0;
  int32_t programResult = 0;
  int32_t flashInProgress = 0;
  int32_t alreadyRunning = 0;
  // Run-time outcome for the exit status (core/exit_status.h).
  int32_t refusal = 0;          // why a run flashed nothing, when errorCode does not say
  int32_t flashVerified = 0;    // the ROM was programmed and read back equal
  int32_t fileNameTooLong = 0;  // the /F: name did not fit commandLineFileName
  int32_t dryRun = 0;           // --dry-run: checks, merge and report, then stop before the backup
  std::string restoreFile;
  std::string verifyRomFile;    // --verify-rom: compare the ROM with this file, flash nothing      // the backup an explicit restore puts back ("" otherwise)
  int32_t machineRefused = 0;   // exit status when the driver would not give brimlet the machine
};

// Capacity of the char[260] fields, terminator excluded.
constexpr size_t kMaxPathChars = 259;

// The process-wide instances.
FlashSettings& Settings();
uint32_t& ImageStatus();

// Start-up defaults: everything 0 except keepDmiData, keepBootBlock,
// fileNameRelative (1) and pollingTime (5); settingsWord, errorCode and
// ImageStatus 0. Paths and run-time flags set elsewhere are kept.
void SetStartupDefaults(FlashSettings& s);

}  // namespace brim
