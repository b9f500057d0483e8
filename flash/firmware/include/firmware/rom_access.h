// ROM information, ROM read and programming through the flash driver.
#pragma once
#include <cstdint>

#include "core/flash_settings.h"
#include "image/bios_image.h"

namespace brim {

// kStatusRomReadFailed (core/flash_settings.h) is set when ReadCurrentRom
// starts and cleared once the ROM data has arrived.

// Geometry of the flash ROM into `image`; the lock-bit addresses go to
// LockBitsOf(image). 1 on success.
int GetROMInfo(BiosImage& image);
// Copies length ROM bytes at a physical address into destination; sets the
// current ROM image's mapped ROM address. 1 on success.
int GetROMData(uint32_t physicalAddress, uint32_t length, uint8_t* destination);
// Opens the device, reads the geometry and the whole ROM into the current
// ROM image, closes the device, locates the regions and sums the bytes.
int ReadCurrentRom();
// Programs the ROM from the new image (module, option bits, messages).
// *optionBits receives the ECX of the programming request once it is sent;
// *requestSent says whether it was (false: refused before any request).
int ProgramFlashROM(uint32_t* optionBits = nullptr, bool* requestSent = nullptr);

// The flash module ProgramFlashROM would hand over now (null: none).
const uint8_t* ChosenFlashModule();

// ECX of the programming request for a settings word.
uint32_t ProgramOptionBits(uint32_t settingsWord);

}  // namespace brim
