#include "image/image_checks.h"

#include <cstring>

#include "byte_reader.h"
#include "core/exit_status.h"
#include "core/flash_settings.h"
#include "core/settings_word.h"
#include "image/image_layout.h"
#include "image/message_list.h"
#include "platform/message_box.h"

namespace brim {

namespace {

constexpr unsigned kBoxFlags = plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST;
constexpr const char* kReleaseQuestion =
    "The current BIOS is newer than your binary file\n"
    "Are you sure to update BIOS with the older one?\n";

enum class LinePlace { kTop, kEnd };

// Sets errorCode, shows the box and the list line (not in silent mode) and
// gives the result back.
int Report(int result, int32_t errorCode, const char* box, const char* line, LinePlace place) {
  FlashSettings& s = Settings();
  if (errorCode) s.errorCode = errorCode;
  SilentNote(s, std::string("refused: ") + box + " (" + line + ")");
  if (!s.silentMode) {
    plat::MessageBox(box, "Brimlet Error", kBoxFlags);
    if (place == LinePlace::kTop)
      InsertListLineAtTop(line);
    else
      AppendListLine(line);
  }
  return result;
}

int ReportEmpty() {
  return Report(kCheckSize, kErrImageSize, "File size error !", "File size is zero !!", LinePlace::kTop);
}
int ReportSizeMismatch() {
  return Report(kCheckSize, kErrImageSize, "File size compare error !", "File size is mismatch !!",
                LinePlace::kTop);
}
int ReportModel() {
  return Report(kCheckModel, kErrImageModel, "Model ID check error !", "Model ID Mismatch !!",
                LinePlace::kEnd);
}
int ReportChecksum() {
  return Report(kCheckChecksum, kErrImageChecksum, "CheckSum check error !", "CheckSum check error !!",
                LinePlace::kEnd);
}

bool ModelDiffers(const BiosImage& a, const BiosImage& b) {
  return std::strncmp(a.modelCode, b.modelCode, sizeof a.modelCode) != 0;
}

bool On(uint32_t bit) { return (Settings().settingsWord & bit) != 0; }

// The release step. Returns -1 to go on with the next check, else the result.
int CheckRelease(const BiosImage& img, const BiosImage& rom, bool buildTimeTieBreak) {
  bool notNewer = img.releaseNumber <= rom.releaseNumber;
  if (buildTimeTieBreak && img.releaseNumber == rom.releaseNumber)
    notNewer = img.buildTimeNumber <= rom.buildTimeNumber;
  if (!notNewer) return -1;
  FlashSettings& s = Settings();
  s.errorCode = kErrImageRelease;
  SilentNote(s, "refused: the current BIOS is newer than or as new as the image (release check)");
  if (s.silentMode) return kCheckOlderRelease;
  int answer = plat::MessageBox(kReleaseQuestion, "Brimlet Warning",
                                plat::MB_OKCANCEL | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST);
  return answer == plat::IDOK ? kCheckPassed : kCheckOlderRelease;
}

bool HasFSegment(const BiosImage& img) {
  ByteReader r(img.bytes, img.size);
  for (size_t bank = 0; bank < img.size; bank += 0x10000)
    if (r.Tag4(bank + 8, "A!F0")) return true;
  return false;
}

int CheckTarvex(const BiosImage& img, const BiosImage& rom) {
  if (img.size == 0) return ReportEmpty();
  if (On(kVerifySize) && img.size != rom.size) return ReportSizeMismatch();
  if (On(kVerifyReleaseDate)) {
    int r = CheckRelease(img, rom, false);
    if (r >= 0) return r;
  }
  if (On(kVerifyModelId) && ModelDiffers(img, rom)) return ReportModel();
  if (On(kVerifyChecksum) && (img.checksum & 0xFF) != 0) return ReportChecksum();
  if (HasFSegment(img)) return kCheckPassed;
  return Report(kCheckNoFSegment, 0, "BIOS F-segment check error !", "Can't find BIOS Signature !!",
                LinePlace::kEnd);
}

int CheckLindar(const BiosImage& img, const BiosImage& rom) {
  if (On(kVerifyModelId) && ModelDiffers(img, rom)) return ReportModel();
  if (img.size == 0) return ReportEmpty();
  if (On(kVerifySize) && img.size != rom.size) return ReportSizeMismatch();
  if (On(kVerifyChecksum) && !CheckCompressedChecksum(img)) return ReportChecksum();
  if (On(kVerifyReleaseDate)) {
    int r = CheckRelease(img, rom, false);
    if (r >= 0) return r;
  }
  return kCheckPassed;
}

int CheckQuorvel(const BiosImage& img, const BiosImage& rom) {
  if (img.size == 0) return ReportEmpty();
  if (On(kVerifyModelId) && ModelDiffers(img, rom)) return ReportModel();
  if (On(kVerifyReleaseDate)) {
    int r = CheckRelease(img, rom, true);
    if (r >= 0) return r;
  }
  return kCheckPassed;
}

}  // namespace

int CheckNewImage() {
  const BiosImage& img = NewImage();
  const BiosImage& rom = CurrentRomImage();
  switch (LayoutOf(rom.flagWord)) {
    case ImageLayout::kLindar: return CheckLindar(img, rom);
    case ImageLayout::kQuorvel: return CheckQuorvel(img, rom);
    case ImageLayout::kTarvex: break;
  }
  return CheckTarvex(img, rom);
}

}  // namespace brim
