#include "firmware/rom_verify.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "firmware/rom_access.h"

namespace brim {

namespace {
bool Differs(const uint8_t* expected, const uint8_t* readBack, uint64_t from, uint64_t to) {
  return from < to && std::memcmp(expected + from, readBack + from, to - from) != 0;
}
}  // namespace

BootBlockSpan BootBlockOf(const BiosImage& rom) {
  BootBlockSpan span;
  if (rom.bootBlockSize != 0 && uint64_t(rom.bootBlockOffset) + rom.bootBlockSize <= rom.size) {
    span.offset = rom.bootBlockOffset;
    span.size = rom.bootBlockSize;
  } else {
    span.offset = rom.size >= kRomBlock ? rom.size - kRomBlock : 0;
    span.size = rom.size - span.offset;
  }
  return span;
}

RomVerifyResult CompareReadBack(const uint8_t* newImage, const uint8_t* oldRom, const uint8_t* readBack,
                                uint32_t size, bool bootBlockWritten, BootBlockSpan bootBlock) {
  RomVerifyResult r;
  r.readBack = true;
  r.blocks = (size + kRomBlock - 1) / kRomBlock;
  // An empty span when the boot block was written: everything is the new image's.
  uint64_t bootStart = bootBlockWritten ? 0 : std::min<uint64_t>(bootBlock.offset, size);
  uint64_t bootEnd =
      bootBlockWritten ? 0 : std::min<uint64_t>(uint64_t(bootBlock.offset) + bootBlock.size, size);
  for (uint64_t at = 0; at < size; at += kRomBlock) {
    const uint64_t end = std::min<uint64_t>(at + kRomBlock, size);
    const uint64_t keptFrom = std::max(at, bootStart), keptTo = std::min(end, bootEnd);
    bool bad;
    if (keptFrom >= keptTo)
      bad = Differs(newImage, readBack, at, end);
    else
      bad = Differs(newImage, readBack, at, keptFrom) || Differs(oldRom, readBack, keptFrom, keptTo) ||
            Differs(newImage, readBack, keptTo, end);
    if (bad) ++r.badBlocks;
  }
  return r;
}

namespace {
// The whole ROM as the driver reads it now; false when it cannot be read.
bool ReadRomAgain(const BiosImage& currentRom, std::vector<uint8_t>* bytes) {
  try {
    bytes->resize(currentRom.size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // The mapped ROM address the read updates is the same ROM's, so nothing else moves.
  return GetROMData(currentRom.baseAddress, currentRom.size, bytes->data()) != 0;
}
}  // namespace

RomVerifyResult VerifyProgrammedRom(const BiosImage& newImage, const BiosImage& currentRom,
                                    uint32_t optionBits) {
  RomVerifyResult failed;
  const uint32_t size = currentRom.size;
  failed.blocks = (size + kRomBlock - 1) / kRomBlock;
  if (!newImage.bytes || newImage.size < size || !currentRom.bytes || size == 0) return failed;
  std::vector<uint8_t> readBack;
  if (!ReadRomAgain(currentRom, &readBack)) return failed;
  return CompareReadBack(newImage.bytes, currentRom.bytes, readBack.data(), size,
                         (optionBits & 0x1) != 0, BootBlockOf(currentRom));
}

RomVerifyResult CompareWithOldRom(const BiosImage& currentRom) {
  RomVerifyResult failed;
  failed.blocks = (currentRom.size + kRomBlock - 1) / kRomBlock;
  std::vector<uint8_t> now;
  if (!currentRom.bytes || currentRom.size == 0 || !ReadRomAgain(currentRom, &now)) return failed;
  // Every byte against the old ROM: the boot block counts like the rest.
  return CompareReadBack(currentRom.bytes, currentRom.bytes, now.data(), currentRom.size, true,
                         BootBlockOf(currentRom));
}

}  // namespace brim
