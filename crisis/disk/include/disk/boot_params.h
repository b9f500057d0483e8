// BootParams: boot-sector bytes 11 to 61 of a FAT16 file system (BIOS
// parameter block, extended fields, file-system type), and the values Tavrin
// gives a USB key from its geometry.
#pragma once
#include <array>
#include <cstdint>

#include "platform/disk_ioctl.h"

namespace tavrin {

constexpr unsigned kBootParamsOffset = 11;
constexpr unsigned kBootParamsSize = 51;

class BootParams {
 public:
  BootParams() { bytes_.fill(0); }

  // Fields by their boot-sector offsets.
  uint16_t BytesPerSector() const { return Get16(11); }
  uint8_t SectorsPerCluster() const { return bytes_[13 - kBootParamsOffset]; }
  uint16_t ReservedSectors() const { return Get16(14); }
  uint8_t NumberOfFats() const { return bytes_[16 - kBootParamsOffset]; }
  uint16_t RootEntries() const { return Get16(17); }
  uint16_t TotalSectors16() const { return Get16(19); }
  uint8_t Media() const { return bytes_[21 - kBootParamsOffset]; }
  uint16_t SectorsPerFat() const { return Get16(22); }
  uint16_t SectorsPerTrack() const { return Get16(24); }
  uint16_t Heads() const { return Get16(26); }
  uint32_t HiddenSectors() const { return Get32(28); }
  uint32_t TotalSectors32() const { return Get32(32); }
  // The total that applies: the 16-bit field, or the 32-bit one when that is 0.
  uint32_t TotalSectors() const { return TotalSectors16() ? TotalSectors16() : TotalSectors32(); }

  void SetSectorsPerCluster(uint8_t v) { bytes_[13 - kBootParamsOffset] = v; }
  void SetReservedSectors(uint16_t v) { Set16(14, v); }
  void SetHiddenSectors(uint32_t v) { Set32(28, v); }
  void SetTotalSectors(uint32_t total);

  // F (sectors of all FATs) and R (sectors of the root directory).
  uint32_t FatAreaSectors() const { return static_cast<uint32_t>(SectorsPerFat()) * NumberOfFats(); }
  uint32_t RootSectors() const { return (static_cast<uint32_t>(RootEntries()) * 32 + 511) / 512; }

  // Whether the fields describe a FAT layout Tavrin can lay files into.
  bool Plausible() const;
  // Plausible, and a FAT16 volume by its cluster count (4,085 to 65,524) with
  // a FAT long enough for every cluster: what a reused partition must be.
  bool IsFat16() const;

  void CopyFromSector(const uint8_t* sector);  // bytes 11 to 61 of a 512-byte sector
  void CopyToSector(uint8_t* sector) const;
  const std::array<uint8_t, kBootParamsSize>& bytes() const { return bytes_; }
  std::array<uint8_t, kBootParamsSize>& bytes() { return bytes_; }

 private:
  uint16_t Get16(unsigned off) const;
  uint32_t Get32(unsigned off) const;
  void Set16(unsigned off, uint16_t v);
  void Set32(unsigned off, uint32_t v);
  std::array<uint8_t, kBootParamsSize> bytes_;
};

// Sectors per cluster for half the total number of sectors.
uint8_t SectorsPerClusterForHalf(uint32_t half);
// Cylinders as the layout uses them: the low 32 bits, made even by dropping
// an odd one.
uint32_t EvenCylinders(const plat::DISK_GEOMETRY& g);
// Total sectors C x H x S of the layout (32-bit arithmetic).
uint32_t LayoutTotalSectors(const plat::DISK_GEOMETRY& g);
// The parameters BuildBootParams writes for a geometry.
BootParams MakeBootParams(const plat::DISK_GEOMETRY& g);

}  // namespace tavrin
