#include "app/brimlet_host.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "core/command_line.h"
#include "core/exit_status.h"
#include "firmware/backup_restore.h"
#include "firmware/driver_progress.h"
#include "firmware/machine_identity.h"
#include "firmware/rom_backup.h"
#include "firmware/machine_hold.h"
#include "firmware/rom_verify.h"
#include "firmware/firmware_queries.h"
#include "firmware/flash_device.h"
#include "firmware/rom_access.h"
#include "image/bios_image.h"
#include "image/image_checks.h"
#include "image/image_loader.h"
#include "image/image_layout.h"
#include "image/info_report.h"
#include "image/region_locator.h"
#include "image/region_merge.h"
#include "platform/driver_device.h"
#include "platform/file_system.h"
#include "platform/signal_hold.h"
#include "platform/system_paths.h"

namespace brim {

namespace {

// Silent mode shows no box; what would have been shown goes to the log
// stream, and questions get the answer of a closed box.
class SilentMessageBox : public plat::MessageBoxBackend {
 public:
  int Show(const std::string& text, const std::string& caption, unsigned flags) override {
    std::fprintf(stderr, "brimlet: [%s] %s\n", caption.c_str(), text.c_str());
    return plat::DefaultAnswer(flags);
  }
};

}  // namespace

BrimletHost::BrimletHost(BrimletUi& ui) : ui_(ui) {}

BrimletHost::~BrimletHost() {
  if (silentBoxes_) {
    plat::SetMessageBoxBackend(nullptr);
    delete silentBoxes_;
  }
}

bool BrimletHost::OpenDriverService(const std::string& driverFile) {
  return appService_.EnsureDriver(kFlashDevicePath, plat::kFlashServiceName, driverFile) != 0;
}

bool BrimletHost::OpenFlashDevice() { return brim::OpenFlashDevice(); }

bool BrimletHost::CheckBiosSupport() { return brim::CheckBiosSupport() != 0; }

void BrimletHost::CloseFlashDevice() {
  brim::CloseFlashDevice();
  appService_.CloseDevice();
}

void BrimletHost::ConstructMainWindow() {
  if (Settings().silentMode && !silentBoxes_) {
    silentBoxes_ = new SilentMessageBox;
    plat::SetMessageBoxBackend(silentBoxes_);
  }
  page_ = std::make_unique<GeneralPage>(ui_);
  if (!Settings().silentMode) ui_.CreateMainWindow(*this);
  page_->Construct();
}

void BrimletHost::ShowMainWindow() { ui_.ShowMainWindowModal(*this); }

void BrimletHost::DestroyMainWindow() {
  if (!Settings().silentMode) ui_.DestroyMainWindow();
  page_.reset();
}

void BrimletHost::LoadNewImage() {
  FlashSettings& s = Settings();
  if (s.restoreFile.empty()) return brim::LoadNewImage();
  if (!LoadBackup(s.restoreFile)) {
    s.imageLoaded = 0;
    FreeImageBuffer(NewImage());
  }
}

bool BrimletHost::LoadBackup(const std::string& path) {
  FlashSettings& s = Settings();
  BackupRecord record;
  std::string why;
  if ((ImageStatus() & kStatusRomReadFailed) ||
      !CheckBackupForRestore(path, CurrentRomImage(), ReadMachineIdentity(), &record, &why,
                             s.restoreOtherMachine != 0)) {
    if (why.empty()) why = "the current ROM could not be read";
    Refuse(s, kExitRestoreRefused, "the backup " + path + " is not restored: " + why);
    return false;
  }
  s.commandLineFileName = path;
  s.fileNameRelative = 0;
  s.fileFromCommandLine = 1;
  brim::LoadNewImage();
  BiosImage& image = NewImage();
  if (!s.imageLoaded || image.size != record.size) {
    if (s.errorCode == 0) Refuse(s, kExitRestoreRefused, "the backup " + path + " could not be loaded");
    return false;
  }
  if (!record.moduleFile.empty()) {
    // The module the backed-up ROM was programmed with goes behind it, where
    // programming finds the new image's module.
    std::vector<uint8_t> module;
    const std::string modulePath = ModulePathOf(path);
    if (!plat::ReadWholeFile(modulePath, module) || module.size() != record.moduleSize ||
        image.size + module.size() > image.buffer.size()) {
      Refuse(s, kExitRestoreRefused, "the backup's module " + modulePath + " could not be loaded");
      return false;
    }
    std::copy(module.begin(), module.end(), image.buffer.begin() + image.size);
    image.size += static_cast<uint32_t>(module.size());
    LocateRegions(image);
  }
  // Checked against its record and this machine, the backup goes back byte
  // for byte: no image check, nothing kept, the boot block written too.
  s.verifyReleaseDate = s.verifyModelId = s.verifySize = s.verifyChecksum = 0;
  s.keepAll = s.keepDmiData = s.keepBuCodeData = s.keepInvertEeprom = s.keepPassword = 0;
  s.keepScPassword = s.keepMasterLogo = s.keepSlaveLogo = s.keepBootBlock = s.keepEscdData = 0;
  s.keepChargerEeprom = s.keepKbc = s.keepFingerprint = s.keepNvs = s.keepBbvl = 0;
  s.keepNs591Kbc = s.keepPanelTable = s.keepThermalTable = 0;
  return true;
}

void BrimletHost::Tell(const std::string& line) {
  if (Settings().silentMode)
    SilentNote(Settings(), line);
  else
    ui_.View().AppendStatusLine(line);
}

void BrimletHost::RunFlashSequence() {
  FlashSettings& s = Settings();
  record_ = FlashRecord();
  record_.time = std::time(nullptr);
  record_.before = IdentityOf(CurrentRomImage(), CurrentRomImage().flagWord);
  // A Quorvel ROM carries no version text: the version replaced is the one
  // the window shows, the firmware's own.
  if (record_.before.version.empty() && LayoutOf(CurrentRomImage().flagWord) == ImageLayout::kQuorvel)
    record_.before.version = SmbiosBiosVersion();
  record_.image = IdentityOf(NewImage(), CurrentRomImage().flagWord);
  record_.source = LastLoadedPath();
  record_.restore = !s.restoreFile.empty();
  record_.settingsWord = s.settingsWord;

  FlashSequence(s, *this, ui_.View());
  if (s.dryRun) return;  // nothing was written: no history line

  record_.exitStatus = ExitStatusOf(s);
  std::string error;
  if (!AppendHistory(record_, &error)) Tell("The flash history could not be written: " + error);
  // A signal held while the ROM was programmed is obeyed now that the run is recorded.
  if (const int signal = plat::SignalHold::End()) {
    std::fprintf(stderr,
                 "brimlet: %s arrived while the BIOS was being programmed; the flash was completed "
                 "first (exit status %d: %s).\n",
                 plat::SignalName(signal).c_str(), record_.exitStatus,
                 ExitStatusMeaning(record_.exitStatus).c_str());
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(record_.exitStatus);
  }
}

int BrimletHost::CheckNewImage() { return brim::CheckNewImage(); }

void BrimletHost::MergeKeptRegions() {
  // A backup goes back byte for byte: areas of the ROM it replaces (perhaps
  // half-written) must not be carried into it.
  if (!Settings().restoreFile.empty()) {
    Tell("Restoring a backup: no area of the current BIOS is kept");
    return;
  }
  brim::MergeKeptRegions(NewImage(), CurrentRomImage(), &record_.unkept);
  for (const UnkeptArea& a : record_.unkept)
    Tell(std::string("Keep ") + a.area + " : not carried over, " + a.reason);
}

bool BrimletHost::BackupCurrentRom() {
  FlashSettings& s = Settings();
  const RomBackup backup = WriteRomBackup(CurrentRomImage(), NewImage(), ChosenFlashModule(), std::time(nullptr));
  if (backup.ok) {
    record_.backupPath = backup.path;
    Tell("Backup of the current BIOS: " + backup.path);
    return true;
  }
  const std::string text = "The current BIOS could not be backed up:\n" + backup.error +
                           "\nFlash procedure will be cancelled.";
  if (s.silentMode) {
    SilentNote(s, "refused: " + text);
  } else {
    plat::MessageBox(text, "Brimlet Error", plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST);
    ui_.View().AppendStatusLine("Backup BIOS Error !!!!!!");
  }
  return false;
}

RomVerifyResult BrimletHost::VerifyProgrammedRom() {
  record_.verifyRan = true;
  record_.verify = brim::VerifyProgrammedRom(NewImage(), CurrentRomImage(), programmedOptionBits_);
  // Read back: the machine is free for the next process.
  ReleaseMachine();
  return record_.verify;
}

bool BrimletHost::QueryProgress(DriverReading* reading) {
  DriverProgress p;
  if (!QueryDriverProgress(&p)) return false;
  switch (p.phase) {
    case DriverPhase::kProgramming: reading->phase = DriverReading::Phase::kProgramming; break;
    case DriverPhase::kReading: reading->phase = DriverReading::Phase::kReading; break;
    default: reading->phase = DriverReading::Phase::kOther; break;
  }
  reading->done = p.done;
  reading->total = p.total;
  return true;
}

bool BrimletHost::WSBICheck() {
  uint32_t code = 0, value = 0;
  return brim::WSBICheck(&code, &value) != 0;
}

bool BrimletHost::ProgramFlashROM() {
  return brim::ProgramFlashROM(&programmedOptionBits_, &programmingRequestSent_) != 0;
}

int BrimletHost::BlocksThatWouldChange() {
  const BiosImage& rom = CurrentRomImage();
  const BiosImage& image = NewImage();
  if (!rom.bytes || !image.bytes || image.size < rom.size) return -1;
  // What the ROM would hold, compared with what it holds: the old ROM as the "read-back".
  const bool bootBlockWritten = (ProgramOptionBits(Settings().settingsWord) & 0x1) != 0;
  return static_cast<int>(
      CompareReadBack(image.bytes, rom.bytes, rom.bytes, rom.size, bootBlockWritten, BootBlockOf(rom)).badBlocks);
}

int BrimletHost::VerifyRomAgainstFile(const std::string& path) {
  std::vector<uint8_t> file;
  if (!plat::ReadWholeFile(path, file)) {
    std::fprintf(stderr, "brimlet: %s: %s\n", path.c_str(), std::strerror(errno));
    return 2;
  }
  const BiosImage& rom = CurrentRomImage();
  ReleaseMachine();
  if (file.size() != rom.size) {
    std::printf("%s holds %zu bytes, the ROM %u: they differ\n", path.c_str(), file.size(), rom.size);
    return 1;
  }
  std::string differing;
  int count = 0;
  for (uint32_t at = 0; at < rom.size; at += kRomBlock) {
    const uint32_t n = std::min<uint32_t>(kRomBlock, rom.size - at);
    if (std::memcmp(rom.bytes + at, file.data() + at, n) == 0) continue;
    ++count;
    char block[32];
    std::snprintf(block, sizeof block, "%s%u (0x%X)", differing.empty() ? "" : ", ", at / kRomBlock, at);
    differing += block;
  }
  if (count == 0) {
    std::printf("The ROM equals %s (%u bytes)\n", path.c_str(), rom.size);
    return 0;
  }
  std::printf("%d of %u blocks (64 KiB) differ from %s: %s\n", count, (rom.size + kRomBlock - 1) / kRomBlock,
              path.c_str(), differing.c_str());
  return 1;
}

RomVerifyResult BrimletHost::CompareWithOldRom() {
  const RomVerifyResult now = brim::CompareWithOldRom(CurrentRomImage());
  ReleaseMachine();
  return now;
}

uint32_t BrimletHost::CurrentRomFlag() { return CurrentRomImage().flagWord; }

void BrimletHost::RefreshCurrentRom() {
  ReadCurrentRom();
  ui_.ShowRomInfo();
}

void BrimletHost::DiscardNewImage() {
  FreeImageBuffer(NewImage());
  ui_.ClearNewImageInfo();
}

int RestoreMain(const std::string& backupFile, BrimletUi& ui, bool otherMachine) {
  Settings().restoreOtherMachine = otherMachine ? 1 : 0;
  char* full = ::realpath(backupFile.c_str(), nullptr);
  Settings().restoreFile = full ? full : backupFile;
  std::free(full);
  BrimletHost host(ui);
  return RunStartup("/silent", plat::ExecutablePath(), host);
}

int VerifyRomMain(const std::string& file, BrimletUi& ui) {
  Settings().verifyRomFile = file;
  BrimletHost host(ui);
  return RunStartup("/silent", plat::ExecutablePath(), host);
}

int BrimletMain(int argc, char** argv, BrimletUi& ui) {
  for (int i = 1; i < argc; ++i)
    if (argv[i] && std::string(argv[i]) == kDryRunOption) Settings().dryRun = 1;
  BrimletHost host(ui);
  const std::string commandLine = JoinArguments(argc, argv);
  return RunStartup(commandLine, plat::ExecutablePath(), host);
}

}  // namespace brim
