#include "flashrom_driver/chip_firmware.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace frd {

namespace {
// Not brimlet's lock folder: two brimlets given different ones must still
// see each other's hold on the same chip.
constexpr const char* kLockDirVariable = "BIOS_TOOLS_FLASHROM_LOCK_DIR";
constexpr const char* kDefaultLockDir = "/run/lock";

std::string Hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
  return text;
}

std::unique_ptr<drv::Backend> Backend(const FlashromConfig* config, std::unique_ptr<FlashChip> chip,
                                      std::string reason) {
  return std::make_unique<ChipBackend>(config, std::move(chip), std::move(reason));
}
}  // namespace

ChipBackend::ChipBackend(const FlashromConfig* config, std::unique_ptr<FlashChip> chip,
                         std::string reason)
    : supported_(config != nullptr && chip != nullptr), chip_(std::move(chip)),
      reason_(std::move(reason)) {
  if (config) config_ = *config;
}

ChipBackend::~ChipBackend() {
  std::string ignored;
  if (chip_) chip_->Close(&ignored);
}

bool ChipBackend::Available(std::string* why) {
  if (!supported_) *why = reason_;
  return supported_;
}

bool ChipBackend::CloseChip(std::string* why) {
  std::string error;
  if (chip_->Close(&error)) return true;
  *why = "closing the programmer failed: " + error;
  return false;
}

bool ChipBackend::Probe(Geometry* g, std::string* why) {
  knownValid_ = false;
  std::string error;
  if (!chip_->Open(&error)) {
    *why = error;
    return false;
  }
  const uint64_t size = chip_->Size();
  g->name = chip_->Name();
  if (size == 0 || size % kBlock != 0 || size / kBlock > drv::kMaxBlocks) {
    CloseChip(&error);
    *why = "flash chip " + g->name + " holds " + std::to_string(size) +
           " bytes, not a whole number of 64 KiB blocks (1 to " + std::to_string(drv::kMaxBlocks) +
           "); it is not used";
    return false;
  }
  g->size = static_cast<uint32_t>(size);
  known_ = *g;
  knownValid_ = true;
  return true;
}

drv::FixedAnswers ChipBackend::Fixed() {
  drv::FixedAnswers f;
  f.fSegmentMapping = 0;  // a chip has no copy in the F-segment
  f.wsbi = config_.wsbi;
  f.brand = config_.brand;
  f.hasPassword = false;  // a chip knows of no setup password
  f.supported = supported_;
  return f;
}

uint8_t ChipBackend::Describe(drv::ChipDescription* d, std::string* why) {
  // The size answers reuse the last probe; every read and programming run
  // probes again, so a chip changed meanwhile is never used with a stale size.
  if (!knownValid_) {
    Geometry g;
    const bool probed = Probe(&g, why);
    if (!(CloseChip(why) && probed)) return drv::kAhChipFailed;
  }
  d->size = known_.size;
  d->base = BaseOf(known_.size);
  d->flag = config_.flag;
  d->romType = config_.romType.empty() ? known_.name : config_.romType;
  // A chip has no lock-bit registers in the address space; each entry names its block.
  d->lockBitBlock0 = d->base;
  d->mappedRom = 0;
  d->bootBlockOffset = config_.bootBlockGiven
                           ? config_.bootBlockOffset
                           : uint64_t(known_.size) - std::min(config_.bootBlockSize, known_.size);
  d->bootBlockSize = config_.bootBlockSize;
  d->source = config_.path;
  return 0;
}

bool ChipBackend::Read(uint32_t offset, uint32_t length, uint8_t* to, drv::Progress& progress,
                       std::string* why) {
  const auto take = [](uint32_t, const uint8_t*, uint32_t) { return true; };
  return ReadPieces(offset, length, to, length, take, progress, why);
}

bool ChipBackend::ReadPieces(uint32_t offset, uint32_t length, uint8_t* piece, uint32_t room,
                             const PieceTaker& take, drv::Progress& progress, std::string* why) {
  Geometry g;
  if (!Probe(&g, why)) return false;
  std::string error;
  bool ok = uint64_t(offset) + length <= g.size && (room > 0 || length == 0);
  if (!ok)
    *why = "read of " + Hex(length) + " bytes at ROM offset " + Hex(offset) +
           " lies outside flash chip " + g.name;
  for (uint32_t done = 0; ok && done < length;) {
    const uint32_t n = std::min(length - done, room);
    ok = chip_->Read(offset + done, piece, n, &error);
    if (!ok) {
      *why = "reading flash chip " + g.name + " failed: " + error;
      break;
    }
    progress.Add(n);
    ok = take(done, piece, n);
    done += n;
  }
  return CloseChip(why) && ok;
}

bool ChipBackend::Program(const drv::ProgramJob& job, drv::Progress& progress, uint8_t* ah,
                          std::string* why) {
  *ah = drv::kAhNotSupported;
  if (job.loadDefaults && !config_.ignoreLoadDefaults) {
    *why = "loading the setup defaults cannot be asked of a flash chip; set "
           "IGNORELOADDEFAULTS=1 in " + config_.path + " to program without it";
    return false;
  }
  *ah = drv::kAhChipFailed;
  Geometry g;
  if (!Probe(&g, why)) return false;
  std::string error;
  if (g.size != job.size) {
    CloseChip(&error);
    *why = "flash chip " + g.name + " now holds " + std::to_string(g.size) +
           " bytes, not the " + std::to_string(job.size) + " it was asked about";
    return false;
  }
  // The image is taken from the caller a piece at a time, as it is written.
  bool taken = true;
  const auto image = [&](uint32_t offset, uint32_t length, uint8_t* to) {
    taken = job.readImage(offset, length, to);
    return taken;
  };
  const bool written = chip_->Write(job.size, job.spans, image,
                                    [&progress](uint32_t bytes) { progress.Add(bytes); }, &error);
  if (!taken) {
    CloseChip(&error);
    *ah = drv::kAhBadRequest;
    *why = "the image could not be read from the caller";
    return false;
  }
  if (!written) *why = "programming flash chip " + g.name + " failed: " + error;
  // The session must end for the chip's new contents to count as stored.
  std::string closing;
  const bool closed = CloseChip(&closing);
  if (written && !closed) *why = closing;
  if (written && closed) *ah = 0;
  return written && closed;
}

std::string ChipBackend::HoldFile() {
  const char* dir = std::getenv(kLockDirVariable);
  std::string name = config_.programmer.empty() ? "none" : config_.programmer;
  for (char& c : name)
    if (c == '/' || c == '\\') c = '_';
  return std::string(dir && *dir ? dir : kDefaultLockDir) + "/bios-tools-flashrom-" + name + ".lock";
}

ChipFirmware::ChipFirmware(const FlashromConfig* config, std::unique_ptr<FlashChip> chip,
                           std::string reason)
    : supported_(config != nullptr && chip != nullptr),
      handler_(Backend(config, std::move(chip), std::move(reason))) {}

}  // namespace frd
