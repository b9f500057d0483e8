#include "core/exit_status.h"

#include <cstdio>

namespace brim {

int ExitStatusOf(const FlashSettings& s) {
  // An accepted question may have left errorCode set on the way to a good flash.
  if (s.flashVerified) return kExitOk;
  if (s.errorCode) return s.errorCode;
  return s.refusal;
}

std::string ExitStatusMeaning(int status) {
  switch (status) {
    case kExitOk: return "flashed and verified";
    case kErrImageChecksum: return "image checksum check failed";
    case kErrImageSize: return "image size check failed";
    case kErrImageModel: return "image model check failed";
    case kErrImageRelease: return "image is not newer than the current BIOS";
    case kErrProgramming: return "programming or read-back verify failed";
    case kErrDevice: return "flash device, ROM read, BIOS support check or setup password failed";
    case kErrOpenImage: return "image file could not be opened or holds no package";
    case kErrReadImage: return "image file could not be read";
    case kExitPowerCheck: return "refused by the power check";
    case kExitFSegmentCheck: return "refused by the F-segment check";
    case kExitAlreadyRunning: return "another brimlet is running";
    case kExitLockUnavailable: return "the lock file cannot be taken";
    case kExitDeclined: return "the user declined a question";
    case kExitFileNameTooLong: return "the /F: file name is too long";
    case kExitNoBackup: return "the current ROM could not be backed up";
    case kExitFailedUnchanged: return "failed, ROM unchanged";
    case kExitRefusedUnchanged: return "refused, ROM unchanged";
    case kExitRestoreRefused: return "restore refused, ROM unchanged";
    case kExitNoWindow: return "the window module cannot be loaded and there is no terminal";
  }
  return "unknown";
}

void SilentNote(const FlashSettings& s, const std::string& line) {
  if (!s.silentMode) return;
  std::string flat;
  for (char c : line) {
    if (c == '\r') continue;
    flat += c == '\n' ? ' ' : c;
  }
  while (!flat.empty() && flat.back() == ' ') flat.pop_back();
  std::fprintf(stderr, "brimlet: %s\n", flat.c_str());
  std::fflush(stderr);
}

void Refuse(FlashSettings& s, int status, const std::string& why) {
  s.refusal = status;
  SilentNote(s, "refused: " + why);
}

}  // namespace brim
