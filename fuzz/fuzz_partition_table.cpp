// The partition table and boot parameters of a key offered for reuse.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "disk/boot_params.h"
#include "disk/partition_table.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Medium size in sectors, then the master boot record, then a boot sector.
  if (size < 8) return 0;
  uint64_t sectors = uint64_t{fuzz::InputLe32(data, size, 0)} | uint64_t{fuzz::InputLe32(data, size, 4)} << 32;
  std::vector<uint8_t> mbr(512, 0), boot(512, 0);
  for (size_t i = 8; i < size && i - 8 < 1024; ++i) (i - 8 < 512 ? mbr[i - 8] : boot[i - 520]) = data[i];

  int index = tavrin::FindReusableEntry(mbr.data(), sectors);
  if (index < -1 || index > 3) __builtin_trap();
  if (index >= 0) {
    tavrin::PartitionEntry e;
    for (unsigned i = 0; i < tavrin::kPartitionEntrySize; ++i)
      e[i] = mbr[tavrin::kPartitionTableOffset + index * tavrin::kPartitionEntrySize + i];
    uint32_t first = tavrin::EntryFirstSector(e);
    if (first == 0 || first >= sectors) __builtin_trap();
    tavrin::EntrySectorCount(e);
  }

  tavrin::BootParams p;
  p.CopyFromSector(boot.data());
  bool fat16 = p.IsFat16();
  if (fat16 && !p.Plausible()) __builtin_trap();
  p.TotalSectors();
  p.FatAreaSectors();
  p.RootSectors();
  std::vector<uint8_t> copy(512, 0);
  p.CopyToSector(copy.data());
  for (unsigned i = tavrin::kBootParamsOffset; i < tavrin::kBootParamsOffset + tavrin::kBootParamsSize; ++i)
    if (copy[i] != boot[i]) __builtin_trap();
  return 0;
}
