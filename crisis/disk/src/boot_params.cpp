#include "disk/boot_params.h"

#include <cstring>

#include "platform/le_bytes.h"

namespace tavrin {

uint16_t BootParams::Get16(unsigned off) const {
  return plat::Le16(bytes_.data(), bytes_.size(), off - kBootParamsOffset);
}
uint32_t BootParams::Get32(unsigned off) const {
  return plat::Le32(bytes_.data(), bytes_.size(), off - kBootParamsOffset);
}
void BootParams::Set16(unsigned off, uint16_t v) {
  plat::PutLe16(bytes_.data(), bytes_.size(), off - kBootParamsOffset, v);
}
void BootParams::Set32(unsigned off, uint32_t v) {
  plat::PutLe32(bytes_.data(), bytes_.size(), off - kBootParamsOffset, v);
}

void BootParams::SetTotalSectors(uint32_t total) {
  Set16(19, total <= 65535 ? static_cast<uint16_t>(total) : 0);
  Set32(32, total > 65535 ? total : 0);
}

bool BootParams::Plausible() const {
  uint8_t spc = SectorsPerCluster();
  bool powerOfTwo = spc != 0 && (spc & (spc - 1)) == 0;
  return BytesPerSector() == 512 && powerOfTwo && NumberOfFats() >= 1 && NumberOfFats() <= 2 &&
         SectorsPerFat() >= 1 && RootEntries() >= 16 && RootEntries() % 16 == 0 &&
         TotalSectors() > 1 + FatAreaSectors() + RootSectors();
}

bool BootParams::IsFat16() const {
  if (!Plausible()) return false;
  uint32_t data = TotalSectors() - ReservedSectors() - FatAreaSectors() - RootSectors();
  if (ReservedSectors() + FatAreaSectors() + RootSectors() >= TotalSectors()) return false;
  uint32_t clusters = data / SectorsPerCluster();
  return clusters >= 4085 && clusters <= 65524 && static_cast<uint32_t>(SectorsPerFat()) * 256 >= clusters + 2;
}

void BootParams::CopyFromSector(const uint8_t* sector) {
  std::memcpy(bytes_.data(), sector + kBootParamsOffset, kBootParamsSize);
}

void BootParams::CopyToSector(uint8_t* sector) const {
  std::memcpy(sector + kBootParamsOffset, bytes_.data(), kBootParamsSize);
}

uint8_t SectorsPerClusterForHalf(uint32_t half) {
  if (half <= 32000) return 1;
  if (half <= 64000) return 2;
  if (half <= 128000) return 4;
  if (half <= 255000) return 8;
  if (half <= 511000) return 16;
  if (half < 1023000) return 32;
  if (half < 2047000) return 64;
  if (half < 4095000) return 128;
  return 1;
}

uint32_t EvenCylinders(const plat::DISK_GEOMETRY& g) {
  // An odd cylinder is dropped, not added: a volume one cylinder larger than
  // the medium loses whatever is written to its end.
  return static_cast<uint32_t>(g.Cylinders) & ~1u;
}

uint32_t LayoutTotalSectors(const plat::DISK_GEOMETRY& g) {
  return EvenCylinders(g) * g.TracksPerCylinder * g.SectorsPerTrack;
}

BootParams MakeBootParams(const plat::DISK_GEOMETRY& g) {
  BootParams p;
  auto& b = p.bytes();
  uint32_t total = LayoutTotalSectors(g);
  uint8_t* d = b.data();
  const size_t n = b.size();
  auto at = [](unsigned off) { return off - kBootParamsOffset; };
  plat::PutLe16(d, n, at(11), 512);
  d[at(13)] = SectorsPerClusterForHalf(total / 2);
  plat::PutLe16(d, n, at(14), 1);
  d[at(16)] = 2;
  plat::PutLe16(d, n, at(17), 224);
  d[at(21)] = 0xF8;
  plat::PutLe16(d, n, at(22), 255);
  plat::PutLe16(d, n, at(24), static_cast<uint16_t>(g.SectorsPerTrack & 0xFF));
  plat::PutLe16(d, n, at(26), static_cast<uint16_t>(g.TracksPerCylinder & 0xFF));
  plat::PutLe32(d, n, at(28), g.SectorsPerTrack & 0xFF);
  p.SetTotalSectors(total);
  d[at(36)] = 0;
  d[at(38)] = 0x29;
  // "NO NAME" is how FAT says "no label"; eleven zero bytes are an invalid
  // label that fsck.fat reports as damage.
  std::memcpy(d + at(43), "NO NAME    ", 11);
  std::memcpy(d + at(54), "FAT16   ", 8);
  return p;
}

}  // namespace tavrin
