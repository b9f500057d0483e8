// Finds the data areas and identity fields of an image by their tags.
#pragma once
#include <cstdint>
#include <vector>

#include "image/bios_image.h"

namespace brim {

// ImageStatus presence bits.
enum PresenceBit : uint32_t {
  kPresentBbvl = 0x1,
  kPresentBootBlock = 0x2,
  kPresentBuCode = 0x4,
  kPresentDmi = 0x8,
  kPresentCharger = 0x10,
  kPresentEscd = 0x20,
  kPresentFingerprint = 0x40,
  kPresentInvertEeprom = 0x80,
  kPresentKbc = 0x100,
  kPresentMasterLogo = 0x200,
  kPresentNs591 = 0x400,
  kPresentNvs = 0x800,
  kPresentPanel = 0x1000,
  kPresentPassword = 0x2000,
  kPresentScPassword = 0x4000,
  kPresentSlaveLogo = 0x8000,
  kPresentThermal = 0x10000,
  kPresentPowerEvent = 0x20000,
};

// Presence bit of a data area.
uint32_t PresenceBitOf(RegionId id);

// One area a Quorvel directory lists: its image position and length.
struct ListedArea {
  RegionId region;
  uint32_t position;
  uint32_t length;
};

// The areas the Quorvel directories ("W!DA") of `image` list, positions taken
// against `base`; entries that leave the image are left out.
std::vector<ListedArea> QuorvelDirectoryAreas(const BiosImage& image, uint32_t base);

// Locates regions of `image` with the layout of its FLAG word; physical
// addresses are converted with `currentRom`'s base address, and the Quorvel
// directory also points `currentRom`'s pairs at the same addresses. Only
// sets ImageStatus bits. Returns 1.
int LocateRegions(BiosImage& image, BiosImage& currentRom);
// Same, against the process-wide current ROM image.
int LocateRegions(BiosImage& image);

}  // namespace brim
