#include "firmware/rom_verify.h"

#include <cstring>
#include <new>
#include <vector>

#include "core/settings_word.h"
#include "firmware/rom_access.h"

namespace brim {

RomVerifyResult CompareReadBack(const uint8_t* newImage, const uint8_t* oldRom, const uint8_t* readBack,
                                uint32_t size, bool bootBlockWritten) {
  RomVerifyResult r;
  r.readBack = true;
  r.blocks = (size + kRomBlock - 1) / kRomBlock;
  const uint32_t bootStart = size >= kRomBlock ? size - kRomBlock : 0;
  for (uint32_t at = 0; at < size; at += kRomBlock) {
    const uint32_t length = size - at < kRomBlock ? size - at : kRomBlock;
    const uint8_t* expected = (!bootBlockWritten && at >= bootStart) ? oldRom : newImage;
    if (std::memcmp(expected + at, readBack + at, length) != 0) ++r.badBlocks;
  }
  return r;
}

RomVerifyResult VerifyProgrammedRom(const BiosImage& newImage, const BiosImage& currentRom,
                                    uint32_t settingsWord) {
  RomVerifyResult failed;
  const uint32_t size = currentRom.size;
  failed.blocks = (size + kRomBlock - 1) / kRomBlock;
  if (!newImage.bytes || newImage.size < size || !currentRom.bytes || size == 0) return failed;
  std::vector<uint8_t> readBack;
  try {
    readBack.assign(size, 0);
  } catch (const std::bad_alloc&) {
    return failed;
  }
  // The mapped ROM address the read updates is the same ROM's, so nothing else moves.
  if (!GetROMData(currentRom.baseAddress, size, readBack.data())) return failed;
  return CompareReadBack(newImage.bytes, currentRom.bytes, readBack.data(), size,
                         (ProgramOptionBits(settingsWord) & 0x1) != 0);
}

}  // namespace brim
