// Lock-bit addresses of the current ROM, one per 64 KiB block.
// The table takes its size from the ROM: at least the 255 blocks the 8-bit
// ROM information can report, more when the firmware reports a larger ROM
// through the 32-bit size answer or setting.ini names one. The record's own
// 17 entries receive a copy of the first ones.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/bios_image.h"

namespace brim {

constexpr size_t kMaxCl8Blocks = 255;  // what CL of the ROM information can hold
constexpr size_t kMaxRomBlocks = 4096;  // 256 MiB, the largest ROM brimlet takes
constexpr uint32_t kRomBlockSize = 0x10000;

struct LockBitTable {
  std::vector<uint32_t> addresses = std::vector<uint32_t>(kMaxCl8Blocks, 0);
};

// The table that belongs to an image record (process-wide, one per record).
LockBitTable& LockBitsOf(const BiosImage& image);

// Room for `blocks` entries (never fewer than kMaxCl8Blocks); existing entries stay.
void SizeLockBits(const BiosImage& image, size_t blocks);

// Copies the first entries into the record's own array.
void MirrorLockBits(BiosImage& image);

}  // namespace brim
