#include "disk/key_layout.h"

#include <algorithm>

#include "disk/sector_buffer.h"

namespace tavrin {

namespace {

// Half the total at which 128-sector clusters no longer keep the count of
// clusters inside a 255-sector FAT.
constexpr uint64_t kMaxHalf = 4095000;

bool FitsInside(const BootParams& p, uint64_t first, uint64_t sectors) {
  return p.IsFat16() && p.HiddenSectors() == first && p.TotalSectors() <= sectors;
}

}  // namespace

BootParams LayoutForPartition(const plat::DISK_GEOMETRY& g, uint32_t first, uint32_t sectors) {
  BootParams p = MakeBootParams(g);
  p.SetSectorsPerCluster(SectorsPerClusterForHalf(sectors / 2));
  p.SetTotalSectors(sectors);
  p.SetHiddenSectors(first);
  return p;
}

LayoutVerdict PlanKeyLayout(const plat::DISK_GEOMETRY& g, uint64_t mediumSectors, bool fixed,
                            const uint8_t* mbr, const SectorReader& read, KeyLayout* out) {
  *out = KeyLayout{};
  const uint64_t h = g.TracksPerCylinder, s = g.SectorsPerTrack;
  if (h == 0 || s == 0 || h > 255 || s > 63) return LayoutVerdict::TooSmall;
  // The cylinders the geometry reports, never more than the medium holds,
  // made even by dropping the odd one: the volume must end inside the medium.
  uint64_t c = std::min<uint64_t>(static_cast<uint32_t>(g.Cylinders), mediumSectors / (h * s)) & ~1ull;
  if (c < 2) return LayoutVerdict::TooSmall;
  if (c * h * s / 2 >= kMaxHalf) return LayoutVerdict::TooLarge;
  plat::DISK_GEOMETRY even = g;
  even.Cylinders = c;
  out->cylinders = static_cast<uint32_t>(c);

  if (!fixed) {
    out->params = MakeBootParams(even);
    out->params.SetHiddenSectors(0);
    return out->params.IsFat16() ? LayoutVerdict::Ok : LayoutVerdict::TooSmall;
  }

  int reuse = mbr ? FindReusableEntry(mbr, mediumSectors) : -1;
  if (reuse >= 0) {
    const uint8_t* e = mbr + kPartitionTableOffset + reuse * kPartitionEntrySize;
    PartitionEntry entry;
    std::copy(e, e + kPartitionEntrySize, entry.begin());
    const uint32_t first = EntryFirstSector(entry);
    const uint64_t sectors = std::min<uint64_t>(EntrySectorCount(entry), mediumSectors - first);
    uint8_t boot[kSectorSize] = {};
    BootParams own;
    if (read && read(first, boot)) own.CopyFromSector(boot);
    own.SetReservedSectors(1);  // the FATs always follow the boot sector
    if (!FitsInside(own, first, sectors)) own = LayoutForPartition(even, first, static_cast<uint32_t>(sectors));
    if (FitsInside(own, first, sectors)) {
      out->params = own;
      out->reusedEntry = reuse;
      out->entry = entry;
      std::copy(mbr, mbr + kSectorSize, out->keptMbr.begin());
      out->keptMbr[kPartitionTableOffset + reuse * kPartitionEntrySize + 4] = 0x04;
      return LayoutVerdict::Ok;
    }
    // Too small (or too large) for a FAT16 volume of its own: not reused.
  }
  out->newTable = true;
  out->entry = MakePartitionEntry(even);
  out->params = LayoutForPartition(even, EntryFirstSector(out->entry), EntrySectorCount(out->entry));
  return out->params.IsFat16() ? LayoutVerdict::Ok : LayoutVerdict::TooSmall;
}

}  // namespace tavrin
