// Read-back verify: after a programming run the whole ROM is read through
// the driver and compared with what the run meant to write.
#pragma once
#include <cstdint>

#include "core/flash_sequence.h"
#include "image/bios_image.h"

namespace brim {

constexpr uint32_t kRomBlock = 0x10000;

// Compares `size` bytes read back with the new image; when the boot block
// was kept, the top 64 KiB block (where the firmware keeps it) must still
// hold the old ROM's bytes instead.
RomVerifyResult CompareReadBack(const uint8_t* newImage, const uint8_t* oldRom, const uint8_t* readBack,
                                uint32_t size, bool bootBlockWritten);

// Reads the ROM (the size the firmware reported for the current ROM image)
// in one request through the open flash device and compares it.
RomVerifyResult VerifyProgrammedRom(const BiosImage& newImage, const BiosImage& currentRom,
                                    uint32_t settingsWord);

}  // namespace brim
