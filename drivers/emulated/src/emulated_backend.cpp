#include "emulator/emulated_backend.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "emulator/default_machine.h"
#include "emulator/emulated_firmware.h"
#include "platform/device.h"
#include "platform/file_system.h"
#include "platform/ini_profile.h"

namespace emu {

namespace {
constexpr uint32_t kErrorGenFailure = 31;

void RealSleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
}  // namespace

bool EmulatedBackend::Stamp::operator==(const Stamp& o) const {
  return folder == o.folder && iniDevice == o.iniDevice && iniInode == o.iniInode &&
         iniSize == o.iniSize && iniTime == o.iniTime && romDevice == o.romDevice &&
         romInode == o.romInode && romSize == o.romSize;
}

EmulatedBackend::Stamp EmulatedBackend::StampOf(const std::string& folder,
                                                const std::string& romPath) {
  Stamp s;
  s.folder = folder;
  struct stat st;
  if (::stat((folder + "/machine.ini").c_str(), &st) == 0) {
    s.iniDevice = st.st_dev;
    s.iniInode = st.st_ino;
    s.iniSize = st.st_size;
    s.iniTime = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  }
  if (!romPath.empty() && ::stat(romPath.c_str(), &st) == 0) {
    s.romDevice = st.st_dev;
    s.romInode = st.st_ino;
    s.romSize = st.st_size;
  }
  return s;
}

EmulatedBackend::EmulatedBackend(SleepFn sleep) : sleep_(sleep ? std::move(sleep) : RealSleep) {}

void EmulatedBackend::UseMachine(const MachineConfig& machine) {
  given_ = true;
  const bool sameRom = rom_.open() && rom_.path() == machine.romPath &&
                       rom_.size() == machine.romSize;
  machine_ = machine;
  if (!sameRom) rom_.Close();
  loaded_ = true;
}

bool EmulatedBackend::OpenRom(std::string* why) {
  if (rom_.open()) return true;
  return rom_.Open(machine_.romPath, machine_.romSize, why);
}

uint32_t EmulatedBackend::Prepare(std::string* why) {
  if (given_) return 0;
  const std::string folder = MachineFolder();
  if (folder.empty()) {
    *why = "emulated machine: the default machine folder " + DefaultMachineFolder() +
           " could not be made";
    return plat::ERROR_NOT_READY;
  }
  // The description is read again only when its files changed (a test, or
  // another machine named); otherwise every request reuses it.
  if (loaded_) {
    const Stamp now = StampOf(folder, machine_.romPath);
    if (now == stamp_) return 0;
  }
  loaded_ = false;
  rom_.Close();
  MachineConfig machine;
  std::string error;
  ++loads_;
  if (!LoadMachineConfig(folder, &machine, &error)) {
    *why = "emulated machine " + folder + " refused: " + error;
    return plat::ERROR_NOT_READY;
  }
  machine_ = machine;
  stamp_ = StampOf(folder, machine_.romPath);
  loaded_ = true;
  return 0;
}

drv::FixedAnswers EmulatedBackend::Fixed() {
  drv::FixedAnswers f;
  f.fSegmentMapping = machine_.fSegmentMapping;
  f.shadowsFSegment = true;
  f.wsbi = machine_.wsbiValue;
  f.brand = machine_.brand;
  f.hasPassword = machine_.hasPassword;
  f.password = machine_.password;
  f.supported = machine_.supported;
  f.wideSizeAlways = false;
  f.runsFlashModule = true;
  return f;
}

uint8_t EmulatedBackend::Describe(drv::ChipDescription* d, std::string*) {
  d->size = machine_.romSize;
  d->base = machine_.base;
  d->flag = machine_.flag;
  d->romType = machine_.romType;
  d->firmwareRomValue = machine_.firmwareRomValue;
  d->lockBitBlock0 = machine_.lockBitBlock0;
  d->mappedRom = machine_.mappedRom;
  d->bootBlockOffset = machine_.bootBlockOffset;
  d->bootBlockSize = machine_.bootBlockSize;
  d->source = machine_.folder + "/machine.ini";
  return 0;
}

bool EmulatedBackend::Read(uint32_t offset, uint32_t length, uint8_t* to, drv::Progress& progress,
                           std::string* why) {
  if (machine_.readFails) {
    *why = "the ROM of " + machine_.folder + " cannot be read ([FAULTS] READFAIL)";
    return false;
  }
  if (!OpenRom(why)) return false;
  for (uint32_t done = 0; done < length;) {
    const uint32_t n = std::min(length - done, kBlock);
    if (!rom_.Read(offset + done, n, to + done, why)) return false;
    done += n;
    progress.Add(n);
  }
  return true;
}

bool EmulatedBackend::Program(const drv::ProgramJob& job, drv::Progress& progress, uint8_t* ah,
                              std::string* why) {
  *ah = drv::kAhBadRequest;
  if (!OpenRom(why)) return false;
  if (!machine_.holdUntil.empty()) {
    // Tells a test that the run has begun and waits.
    const std::string waiting = machine_.holdUntil + ".waiting";
    plat::WriteWholeFile(waiting, "", 0);
    while (!plat::FileExists(machine_.holdUntil)) sleep_(5);
    plat::DeleteFile(waiting);
  }
  std::vector<uint8_t> block(kBlock);
  int32_t written = 0;
  for (uint32_t i = 0; i < job.size / kBlock; ++i) {
    const uint64_t start = uint64_t(i) * kBlock, end = start + kBlock;
    // The parts of this block the run writes; a kept boot block keeps its
    // own bytes only, the rest of its block is written.
    uint32_t covered = 0;
    for (const drv::ChipSpan& s : job.spans) {
      const uint64_t from = std::max<uint64_t>(start, s.first);
      const uint64_t to = std::min<uint64_t>(end, uint64_t(s.last) + 1);
      if (from < to) covered += static_cast<uint32_t>(to - from);
    }
    if (covered == 0) continue;
    if (machine_.cutOffAfterBlocks >= 0 && written >= machine_.cutOffAfterBlocks) {
      *ah = 0;
      *why = "the programming run stopped after " + std::to_string(written) +
             " blocks ([FAULTS] CUTOFF)";
      return false;  // power lost: what was written stays written
    }
    bool ok = covered == kBlock || rom_.Read(static_cast<uint32_t>(start), kBlock, block.data(), why);
    for (const drv::ChipSpan& s : job.spans) {
      const uint64_t from = std::max<uint64_t>(start, s.first);
      const uint64_t to = std::min<uint64_t>(end, uint64_t(s.last) + 1);
      if (ok && from < to)
        ok = job.readImage(static_cast<uint32_t>(from), static_cast<uint32_t>(to - from),
                           block.data() + (from - start));
      if (!ok && why->empty()) *why = "the image could not be read from the caller";
    }
    // A worn block: some cells do not take the new bytes, and nobody notices.
    if (ok && static_cast<int32_t>(i) == machine_.badBlock)
      for (uint32_t k = 0; k < 16; ++k) block[k] ^= 0xA5;
    if (!ok || !rom_.Write(static_cast<uint32_t>(start), block.data(), kBlock, why)) return false;
    ++written;
    progress.Add(covered);
    if (machine_.blockTimeMs) sleep_(machine_.blockTimeMs);
  }
  const std::string state = machine_.folder + "/state.ini";
  if (job.loadDefaults) plat::WritePrivateProfileString("STATE", "LOADDEFAULTS", "1", state);
  plat::WritePrivateProfileString("STATE", "PROGRAMRUNS",
                                  std::to_string(ProgrammingRuns(machine_.folder) + 1), state);
  plat::WritePrivateProfileString("STATE", "LASTECX", std::to_string(job.optionBits), state);
  *ah = 0;
  return true;
}

std::string EmulatedBackend::HoldFile() { return machine_.folder + "/" + kMachineLockFile; }

uint8_t EmulatedBackend::InjectedAh(const char* function) {
  if (!machine_.ahError || !plat::EqualsNoCase(machine_.ahErrorFor, function)) return 0;
  return static_cast<uint8_t>(machine_.ahError);
}

uint32_t EmulatedBackend::InjectedSystemError(uint32_t code) {
  if (!machine_.ioctlFailCode || code != machine_.ioctlFailCode) return 0;
  return machine_.ioctlError ? machine_.ioctlError : kErrorGenFailure;
}

}  // namespace emu
