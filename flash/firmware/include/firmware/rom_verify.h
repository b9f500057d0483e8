// Read-back verify: after a programming run the whole ROM is read through
// the driver and compared with what the run meant to write.
#pragma once
#include <cstdint>

#include "core/flash_sequence.h"
#include "image/bios_image.h"

namespace brim {

constexpr uint32_t kRomBlock = 0x10000;
// The read-back asks for the ROM in pieces of this size (a whole number of blocks).
constexpr uint32_t kReadBackPiece = 0x100000;

// ROM offset and size in bytes of the boot block.
struct BootBlockSpan {
  uint32_t offset = 0;
  uint32_t size = 0;
};

// The boot block the firmware reported for the ROM, or the top 64 KiB block
// when it reported none.
BootBlockSpan BootBlockOf(const BiosImage& rom);

// Compares `size` bytes read back with the new image; when the boot block
// was kept, its bytes must still be the old ROM's instead. A boot block
// reaching past `size` is cut there. badBlocks counts 64 KiB blocks.
RomVerifyResult CompareReadBack(const uint8_t* newImage, const uint8_t* oldRom, const uint8_t* readBack,
                                uint32_t size, bool bootBlockWritten, BootBlockSpan bootBlock);

// Reads the ROM (the size the firmware reported for the current ROM image)
// through the open flash device, a request per kReadBackPiece bytes, and
// compares it. optionBits:
// the ECX the programming request carried (ProgramFlashROM reports it), not
// one derived again from settings that may have changed since.
RomVerifyResult VerifyProgrammedRom(const BiosImage& newImage, const BiosImage& currentRom,
                                    uint32_t optionBits);

// After a failed run: the ROM read again and compared with the old ROM;
// badBlocks counts the 64 KiB blocks that changed.
RomVerifyResult CompareWithOldRom(const BiosImage& currentRom);

}  // namespace brim
