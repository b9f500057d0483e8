#include "core/flash_settings.h"

namespace brim {

FlashSettings& Settings() {
  static FlashSettings settings;
  return settings;
}

uint32_t& ImageStatus() {
  static uint32_t status = 0;
  return status;
}

void SetStartupDefaults(FlashSettings& s) {
  FlashSettings d;
  // Fields the start-up does not reset keep what they hold.
  d.iniPath = s.iniPath;
  d.exeDir = s.exeDir;
  d.exeFileName = s.exeFileName;
  d.alreadyRunning = s.alreadyRunning;
  d.keepPageReady = s.keepPageReady;
  d.imageLoaded = s.imageLoaded;
  d.programResult = s.programResult;
  d.flashInProgress = s.flashInProgress;
  d.restoreFile = s.restoreFile;
  d.dryRun = s.dryRun;
  d.verifyRomFile = s.verifyRomFile;
  d.keepDmiData = 1;
  d.keepBootBlock = 1;
  d.fileNameRelative = 1;
  d.pollingTime = 5;
  s = d;
  ImageStatus() = 0;
}

}  // namespace brim
