// Lock-bit addresses of the current ROM, one per 64 KiB block.
// The firmware reports the size in blocks through CL, so 255 blocks is the
// most it can describe; the table holds that many, and a size from
// setting.ini beyond it is refused. The record's own 17 entries receive a
// copy of the first ones.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "image/bios_image.h"

namespace brim {

constexpr size_t kMaxRomBlocks = 255;
constexpr uint32_t kRomBlockSize = 0x10000;

struct LockBitTable {
  std::array<uint32_t, kMaxRomBlocks> addresses{};
};

// The table that belongs to an image record (process-wide, one per record).
LockBitTable& LockBitsOf(const BiosImage& image);

// Copies the first entries into the record's own array.
void MirrorLockBits(BiosImage& image);

}  // namespace brim
