// The master boot record's partition table as Tavrin reads and writes it.
#pragma once
#include <array>
#include <cstdint>

#include "platform/disk_ioctl.h"

namespace tavrin {

constexpr unsigned kPartitionTableOffset = 446;
constexpr unsigned kPartitionEntrySize = 16;

using PartitionEntry = std::array<uint8_t, kPartitionEntrySize>;

// The one FAT16 partition of a "Fixed" key, from the second track to the
// end of the even cylinder count (an odd one dropped).
PartitionEntry MakePartitionEntry(const plat::DISK_GEOMETRY& g);

uint32_t EntryFirstSector(const PartitionEntry& e);
uint32_t EntrySectorCount(const PartitionEntry& e);

// Index (0 to 3) of the entry a valid table offers for reuse: the table has
// the 0x55AA signature, every entry a known status and type, and the first
// active entry of a FAT type starts inside the medium after sector 0.
// -1 when a new table is needed.
int FindReusableEntry(const uint8_t* sector, uint64_t mediumSectors);

}  // namespace tavrin
