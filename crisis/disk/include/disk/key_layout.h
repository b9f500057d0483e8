// Where a USB key's FAT16 file system goes and with which parameters, worked
// out before anything is written, so that every reason to refuse the key is
// found while the key is still untouched.
#pragma once
#include <array>
#include <cstdint>
#include <functional>

#include "disk/boot_params.h"
#include "disk/partition_table.h"
#include "platform/disk_ioctl.h"

namespace tavrin {

enum class LayoutVerdict { Ok, TooSmall, TooLarge };

struct KeyLayout {
  uint32_t cylinders = 0;  // the geometry's, made even by dropping an odd one
  BootParams params;       // what goes into the boot sector; hidden sectors = its sector
  // "Fixed" layout only.
  bool newTable = false;   // a new master boot record from crismbr.bin
  int reusedEntry = -1;    // index of the kept table's entry (retyped 0x04)
  PartitionEntry entry{};  // the partition the file system fills
  // With a kept table: sector 0 as it must read after the build (the
  // medium's own, its entry retyped).
  std::array<uint8_t, 512> keptMbr{};
};

// Reads one sector of the medium; false when it can't be read.
using SectorReader = std::function<bool(uint32_t sector, uint8_t* buffer)>;

// The layout for a key of `mediumSectors` with geometry g. In the "Fixed"
// layout `mbr` is the medium's sector 0; a partition of its table is reused
// when its own parameters (or, failing that, new ones computed from its own
// size) make a valid FAT16 volume inside it, else a new table is laid out.
// TooSmall: fewer than two cylinders, or no room for a valid FAT16 volume;
// TooLarge: past what 16-bit clusters of at most 128 sectors can cover.
LayoutVerdict PlanKeyLayout(const plat::DISK_GEOMETRY& g, uint64_t mediumSectors, bool fixed,
                            const uint8_t* mbr, const SectorReader& read, KeyLayout* out);

// New parameters for a FAT16 volume of `sectors` sectors starting at sector
// `first` (its hidden sectors): sectors per cluster from its own size.
BootParams LayoutForPartition(const plat::DISK_GEOMETRY& g, uint32_t first, uint32_t sectors);

}  // namespace tavrin
