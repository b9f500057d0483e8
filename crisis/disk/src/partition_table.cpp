#include "disk/partition_table.h"

#include <cstring>

#include "disk/boot_params.h"
#include "platform/le_bytes.h"

namespace tavrin {

namespace {

// The FAT32 types 0x0B and 0x0C count as known too: the entry search below
// accepts and retypes them, which it could never do if they made the table invalid.
bool KnownType(uint8_t t) {
  static const uint8_t known[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x0B,
                                  0x0C, 0x0E, 0x0F, 0x41, 0x63, 0xC0};
  for (uint8_t k : known)
    if (t == k) return true;
  return false;
}

bool FatType(uint8_t t) { return t == 0x01 || t == 0x04 || t == 0x0B || t == 0x0C; }

}  // namespace

PartitionEntry MakePartitionEntry(const plat::DISK_GEOMETRY& g) {
  uint32_t c = EvenCylinders(g);
  uint32_t h = g.TracksPerCylinder, s = g.SectorsPerTrack;
  PartitionEntry e{};
  e[0] = 0x80;
  e[1] = 1;
  e[2] = 1;
  e[3] = 0;
  e[4] = 0x04;
  e[5] = static_cast<uint8_t>(h - 1);
  e[6] = static_cast<uint8_t>(s);
  e[7] = static_cast<uint8_t>(c - 1);
  plat::PutLe32(e.data(), e.size(), 8, s);
  plat::PutLe32(e.data(), e.size(), 12, (h * c - 1) * s);
  return e;
}

uint32_t EntryFirstSector(const PartitionEntry& e) { return plat::Le32(e.data(), e.size(), 8); }
uint32_t EntrySectorCount(const PartitionEntry& e) { return plat::Le32(e.data(), e.size(), 12); }

int FindReusableEntry(const uint8_t* sector, uint64_t mediumSectors) {
  if (sector[510] != 0x55 || sector[511] != 0xAA) return -1;
  for (int i = 0; i < 4; ++i) {
    const uint8_t* e = sector + kPartitionTableOffset + i * kPartitionEntrySize;
    if ((e[0] != 0x00 && e[0] != 0x80) || !KnownType(e[4])) return -1;
  }
  for (int i = 0; i < 4; ++i) {
    const uint8_t* e = sector + kPartitionTableOffset + i * kPartitionEntrySize;
    if (e[0] != 0x80 || !FatType(e[4])) continue;
    // A hostile start (sector 0, or past the medium) would put the boot
    // sector over the table or nowhere: such a table is not reused.
    uint32_t first = plat::Le32(e, kPartitionEntrySize, 8);
    if (first == 0 || first >= mediumSectors) return -1;
    return i;
  }
  return -1;
}

}  // namespace tavrin
