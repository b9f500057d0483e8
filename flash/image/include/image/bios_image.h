// In-memory record of one BIOS image: the current ROM image and the new image.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "image/image_bytes.h"

namespace brim {

// One located data area: a pointer into an image's bytes and its length.
struct RegionPair {
  uint8_t* data = nullptr;
  uint32_t length = 0;
};

// Data-area pairs of a BiosImage, in record order.
enum RegionId : size_t {
  kRegionBuCode = 0,     // "BUA!"
  kRegionBootBlock,      // never filled by any layout
  kRegionDmi,            // "DMA!", "_SM_", "A!DM"
  kRegionEscd,           // "A!NV" or "A!ES"
  kRegionPassword,       // "A!PS"
  kRegionScPassword,     // "A!SC"
  kRegionInvertEeprom,   // "A!KA"
  kRegionMasterLogo,     // "A!42"
  kRegionSlaveLogo,      // "A!43"
  kRegionKbc,            // "A!KB"
  kRegionCharger,        // "A!KC"
  kRegionNvs,            // "A!KN"
  kRegionBbvl,           // "A!MP"
  kRegionNs591,          // "A!NS"
  kRegionPanel,          // "A!PA"
  kRegionFingerprint,    // "A!PF"
  kRegionThermal,        // "A!TH"
  kRegionPowerEvent,     // "A!PE"
  kRegionCount
};

constexpr size_t kMaxLockBitBlocks = 17;

struct BiosImage {
  uint32_t baseAddress = 0;  // the new image keeps 0; conversions use the ROM's
  uint32_t size = 0;         // valid bytes from `bytes` on
  uint32_t flagWord = 0;     // 0x08 Lindar layout, 0x10 Quorvel layout, else Tarvex
  uint8_t* bytes = nullptr;  // image start; may lie inside `buffer` past a package header
  char versionText[32] = {};
  uint8_t* identityBlock = nullptr;
  char modelCode[4] = {};
  uint32_t checksum = 0;      // 16-bit byte sum, upper half 0
  uint32_t fSegmentBank = 0;  // Tarvex: 64 KiB bank carrying "A!F0"
  uint8_t* flashModule = nullptr;  // "A!FR" block or null
  std::array<RegionPair, kRegionCount> regions{};
  uint32_t lockBitAddresses[kMaxLockBitBlocks] = {};
  char dateText[9] = {};       // MM/DD/YY
  char buildTimeText[9] = {};  // HH:MM:SS (Quorvel)
  uint32_t bootBlockTagSeen = 0;
  uint32_t releaseNumber = 0;
  uint32_t buildTimeNumber = 0;
  uint32_t bootBlockByte = 0;
  char flashRomType[27] = {};
  // Further ROM information, filled and used by ROM access.
  uint32_t mappedRomAddress = 0;
  uint32_t fSegmentMapping = 0;
  uint32_t firmwareRomValue = 0;
  // The boot block as the firmware reported it (ROM offset, bytes); size 0:
  // the firmware did not say.
  uint32_t bootBlockOffset = 0;
  uint32_t bootBlockSize = 0;

  // The allocation behind `bytes`; freed as a whole, never through `bytes`.
  ImageBytes buffer;

  RegionPair& Region(RegionId id) { return regions[id]; }
  const RegionPair& Region(RegionId id) const { return regions[id]; }
};

// The two process-wide images.
BiosImage& CurrentRomImage();
BiosImage& NewImage();

// Replaces the image's buffer with `size` bytes left for the caller to fill
// (every one, before any is used); `bytes` points at its start. False (and
// no buffer) when the memory cannot be had.
bool AllocateImageBuffer(BiosImage& image, size_t size);
// Frees the buffer and clears `bytes`, `size` and every pointer into the buffer.
void FreeImageBuffer(BiosImage& image);

// True when [p, p + length) lies wholly inside the image's `size` bytes.
bool RangeInImage(const BiosImage& image, const uint8_t* p, size_t length);
// Position of a pointer inside the image, or -1 when it is null or outside.
int64_t OffsetInImage(const BiosImage& image, const uint8_t* p);

// The identity block's leading NUL-terminated text, cut at the image end.
std::string IdentityText(const BiosImage& image);

}  // namespace brim
