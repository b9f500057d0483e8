#include "firmware/rom_verify.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "firmware/rom_access.h"

namespace brim {

namespace {
bool Differs(const uint8_t* expected, const uint8_t* readBack, uint64_t from, uint64_t to) {
  return from < to && std::memcmp(expected + from, readBack + from, to - from) != 0;
}

// Bad 64 KiB blocks among ROM bytes [from, to) (from on a block boundary);
// readBack holds those bytes at readBack[from - base].
uint32_t BadBlocksIn(const uint8_t* newImage, const uint8_t* oldRom, const uint8_t* readBack,
                     uint64_t base, uint64_t from, uint64_t to, uint64_t bootStart, uint64_t bootEnd) {
  const uint8_t* read = readBack - base;  // indexed by ROM offset below
  uint32_t bad = 0;
  for (uint64_t at = from; at < to; at += kRomBlock) {
    const uint64_t end = std::min<uint64_t>(at + kRomBlock, to);
    const uint64_t keptFrom = std::max(at, bootStart), keptTo = std::min(end, bootEnd);
    bool differs;
    if (keptFrom >= keptTo)
      differs = Differs(newImage, read, at, end);
    else
      differs = Differs(newImage, read, at, keptFrom) || Differs(oldRom, read, keptFrom, keptTo) ||
                Differs(newImage, read, keptTo, end);
    if (differs) ++bad;
  }
  return bad;
}

struct KeptSpan {
  uint64_t start = 0, end = 0;
};

// An empty span when the boot block was written: everything is the new image's.
KeptSpan KeptBootBlock(uint32_t size, bool bootBlockWritten, BootBlockSpan bootBlock) {
  if (bootBlockWritten) return {};
  return {std::min<uint64_t>(bootBlock.offset, size),
          std::min<uint64_t>(uint64_t(bootBlock.offset) + bootBlock.size, size)};
}

// Reads the ROM again piece by piece, one request each, and compares every
// piece as it comes; a piece-sized buffer instead of a third ROM-sized one.
RomVerifyResult ReadBackAndCompare(const uint8_t* expected, const BiosImage& currentRom,
                                   bool bootBlockWritten) {
  const uint32_t size = currentRom.size;
  RomVerifyResult r;
  r.blocks = (size + kRomBlock - 1) / kRomBlock;
  std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[std::min(size, kReadBackPiece)]);
  if (!piece) return r;
  const KeptSpan kept = KeptBootBlock(size, bootBlockWritten, BootBlockOf(currentRom));
  // Each piece's read names its own address; the ROM's mapping is the whole
  // ROM's, as the first read left it.
  BiosImage& rom = CurrentRomImage();
  const uint32_t mapped = rom.mappedRomAddress;
  uint32_t bad = 0;
  bool read = true;
  for (uint64_t at = 0; at < size && read; at += kReadBackPiece) {
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kReadBackPiece, size - at));
    read = GetROMData(currentRom.baseAddress + static_cast<uint32_t>(at), n, piece.get()) != 0;
    if (read)
      bad += BadBlocksIn(expected, currentRom.bytes, piece.get(), at, at, at + n, kept.start, kept.end);
  }
  rom.mappedRomAddress = mapped;
  if (!read) return r;
  r.readBack = true;
  r.badBlocks = bad;
  return r;
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
  const KeptSpan kept = KeptBootBlock(size, bootBlockWritten, bootBlock);
  r.badBlocks = BadBlocksIn(newImage, oldRom, readBack, 0, 0, size, kept.start, kept.end);
  return r;
}

RomVerifyResult VerifyProgrammedRom(const BiosImage& newImage, const BiosImage& currentRom,
                                    uint32_t optionBits) {
  RomVerifyResult failed;
  const uint32_t size = currentRom.size;
  failed.blocks = (size + kRomBlock - 1) / kRomBlock;
  if (!newImage.bytes || newImage.size < size || !currentRom.bytes || size == 0) return failed;
  return ReadBackAndCompare(newImage.bytes, currentRom, (optionBits & 0x1) != 0);
}

RomVerifyResult CompareWithOldRom(const BiosImage& currentRom) {
  RomVerifyResult failed;
  failed.blocks = (currentRom.size + kRomBlock - 1) / kRomBlock;
  if (!currentRom.bytes || currentRom.size == 0) return failed;
  // Every byte against the old ROM: the boot block counts like the rest.
  return ReadBackAndCompare(currentRom.bytes, currentRom, true);
}

}  // namespace brim
