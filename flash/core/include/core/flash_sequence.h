// The one operation that writes a new BIOS into the flash ROM.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

#include "core/flash_progress.h"
#include "core/flash_settings.h"

namespace brim {

struct RomVerifyResult {
  bool readBack = false;    // the ROM could be read back
  uint32_t blocks = 0;      // 64 KiB blocks compared
  uint32_t badBlocks = 0;   // blocks that differ from what was meant
  bool Passed() const { return readBack && badBlocks == 0; }
};

// The box and list texts of a failed verify.
std::string VerifyFailureText(const RomVerifyResult& r, const std::string& backupPath);

// What the sequence asks of the image and firmware rooms.
class FlashSteps {
 public:
  virtual ~FlashSteps() = default;
  virtual int CheckNewImage() = 0;  // 0 when the new image may be flashed
  virtual void MergeKeptRegions() = 0;
  virtual bool OpenFlashDevice() = 0;
  virtual bool WSBICheck() = 0;
  virtual void CloseFlashDevice() = 0;
  // Saves the current ROM as read before anything is programmed; false (after
  // its own message) when the backup could not be written and synced.
  virtual bool BackupCurrentRom() = 0;
  // Runs on the worker thread and blocks until the firmware has finished.
  virtual bool ProgramFlashROM() = 0;
  // Reads the whole ROM back and compares it with what programming meant to
  // write; runs on the worker thread too.
  virtual RomVerifyResult VerifyProgrammedRom() = 0;
  // How far the running programming or read-back request has come, as the
  // driver counts it; asked from the waiting thread while the worker runs.
  // False: the driver cannot tell.
  virtual bool QueryProgress(DriverReading* reading) {
    (void)reading;
    return false;
  }
  // After a failed run: whether the programming request reached the driver,
  // and the ROM read again against the old ROM (badBlocks: blocks changed).
  virtual bool ProgrammingRequestSent() { return true; }
  // 64 KiB blocks programming would change (a dry run's report); -1 unknown.
  virtual int BlocksThatWouldChange() { return -1; }
  virtual RomVerifyResult CompareWithOldRom() { return RomVerifyResult(); }
  // Where the backup went ("" when none was written).
  virtual std::string BackupPath() = 0;
  virtual uint32_t CurrentRomFlag() = 0;
  // Re-reads the ROM and shows its information.
  virtual void RefreshCurrentRom() = 0;
  // Frees the new image's bytes, sets its size to 0, empties its information list.
  virtual void DiscardNewImage() = 0;
};

// What the sequence shows: the General page's status list and the
// Programming dialog. Not called in silent mode.
class FlashView {
 public:
  virtual ~FlashView() = default;
  virtual void AppendStatusLine(const std::string& line) = 0;  // appended and selected
  virtual void ShowProgrammingDialog(bool shown) = 0;
  // Called every tenth of a second or so while the ROM is programmed and
  // read back; the share never goes down within one run.
  virtual void ShowProgress(const ProgressShown& progress) = 0;
  virtual void PumpMessages() = 0;
  virtual void Pause(std::chrono::milliseconds duration) = 0;
};

// Confirmations, power check, image check, merge, interface check,
// programming, result and after-flash action, as the settings say.
void FlashSequence(FlashSettings& s, FlashSteps& steps, FlashView& view);

// Runs ProgramFlashROM on a worker thread while this thread keeps the
// windows answering and shows the driver's progress; stores the result in
// s.programResult. The meter carries the share on into the read-back.
void ProgrammingRunner(FlashSettings& s, FlashSteps& steps, FlashView& view, ProgressMeter& meter);

// The power check: AC online, charge known and at least 20 %, a battery that is not critical.
bool PowerIsSufficient(uint8_t acLineStatus, uint8_t batteryFlag, uint8_t batteryLifePercent);

extern const char kUpdateQuestion[];
extern const char kRestartOffer[];
// Said when a failed run, read again, left the ROM as it was.
extern const char kRomUnchangedText[];
// Said when a second termination signal arrives while the ROM is programmed.
extern const char kCannotStopLine[];
// The status line shown before an automatic restart or shutdown.
extern const char kRestartingLine[];
extern const char kShuttingDownLine[];

}  // namespace brim
