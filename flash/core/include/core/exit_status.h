// brimlet's process exit status: errorCode when it is set, else a status of
// its own for every run that flashed nothing.
#pragma once
#include <string>

#include "core/flash_settings.h"

namespace brim {

// Values beside the errorCode values 1 to 10.
enum ExitStatus : int {
  kExitOk = 0,
  kExitPowerCheck = 20,       // refused by the power check
  kExitFSegmentCheck = 21,    // refused by the F-segment check
  kExitAlreadyRunning = 22,   // another brimlet holds the lock
  kExitLockUnavailable = 23,  // the lock file cannot be taken
  kExitDeclined = 24,         // the user declined a question
  kExitFileNameTooLong = 25,  // the /F: name is longer than 259 characters
  kExitNoBackup = 26,         // the current ROM could not be backed up
  kExitFailedUnchanged = 27,  // programming failed and the ROM, read again, is unchanged
  kExitRefusedUnchanged = 28, // refused at programming time, before any write
  kExitRestoreRefused = 29,   // the backup may not be restored here (record, size, machine)
  kExitNoWindow = 30,         // a window was wanted and cannot be shown, with no terminal either
};

// CheckNewImage's result for an image without the F-segment signature.
constexpr int kCheckResultNoFSegment = 5;

// 0 after a programming run that was verified; else errorCode, else the refusal.
int ExitStatusOf(const FlashSettings& s);

// One line saying what an exit status means.
std::string ExitStatusMeaning(int status);

// Records why the run flashes nothing and, in silent mode, says so in one
// line on stderr ("brimlet: refused: why").
void Refuse(FlashSettings& s, int status, const std::string& why);

// One line on stderr in silent mode, with line breaks of box texts flattened.
void SilentNote(const FlashSettings& s, const std::string& line);

}  // namespace brim
