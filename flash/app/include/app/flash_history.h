// The flash history: one JSON line per run that reached the flash sequence,
// appended to $XDG_STATE_HOME/bios-tools/history.jsonl.
#pragma once
#include <ctime>
#include <string>
#include <vector>

#include "core/flash_sequence.h"
#include "image/bios_image.h"
#include "image/region_merge.h"

namespace brim {

struct BiosIdentity {
  std::string layout, model, version, date;
};

struct FlashRecord {
  std::time_t time = 0;
  BiosIdentity before;  // the current ROM as read
  BiosIdentity image;   // the new image
  std::string source;   // the package or file the image came from
  bool restore = false;  // the image was a backup put back
  uint32_t settingsWord = 0;
  int exitStatus = 0;
  std::string backupPath;
  bool verifyRan = false;
  RomVerifyResult verify;
  std::vector<UnkeptArea> unkept;
};

BiosIdentity IdentityOf(const BiosImage& image, uint32_t flagWord);

std::string HistoryPath();

// The record as one JSON object on one line, with its line feed.
std::string HistoryLine(const FlashRecord& r);

// Appends the line in one write (O_APPEND), so lines of concurrent runs never
// mix; never reads the file, so a damaged line cannot stop a run. False with
// *error (file and strerror) when it could not be written.
bool AppendHistory(const FlashRecord& r, std::string* error);

}  // namespace brim
