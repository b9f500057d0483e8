#include "image/region_merge.h"

#include <cstring>
#include <string>

#include "core/flash_settings.h"
#include "core/settings_word.h"
#include "image/image_layout.h"
#include "image/region_locator.h"

namespace brim {

namespace {

struct MergeStep {
  RegionId region;
  uint32_t keepBit;
};

bool Wanted(const MergeStep& step) {
  return (Settings().settingsWord & step.keepBit) && (ImageStatus() & PresenceBitOf(step.region));
}

// Copies only when both ranges lie wholly inside their images.
void CopyArea(BiosImage& to, uint8_t* dst, const BiosImage& from, const uint8_t* src, uint32_t length) {
  if (!RangeInImage(to, dst, length) || !RangeInImage(from, src, length)) return;
  std::memmove(dst, src, length);
}

// The first four bytes compared as texts of at most four characters; bytes
// past an area's end count as NUL. Both areas must lie inside their images.
bool SameLeadingText(const RegionPair& a, const RegionPair& b) {
  if (!a.data || !b.data) return false;
  for (uint32_t i = 0; i < 4; ++i) {
    uint8_t ca = i < a.length ? a.data[i] : 0;
    uint8_t cb = i < b.length ? b.data[i] : 0;
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
  return true;
}

void MergeTarvex(BiosImage& img, const BiosImage& rom) {
  static constexpr MergeStep kSteps[] = {
      {kRegionDmi, kKeepDmiData},         {kRegionPassword, kKeepPassword},
      {kRegionScPassword, kKeepScPassword}, {kRegionBuCode, kKeepBuCodeData},
      {kRegionInvertEeprom, kKeepInvertEeprom}, {kRegionMasterLogo, kKeepMasterLogo},
      {kRegionSlaveLogo, kKeepSlaveLogo}};
  for (const MergeStep& step : kSteps) {
    const RegionPair& dst = img.Region(step.region);
    const RegionPair& src = rom.Region(step.region);
    if (!Wanted(step) || dst.length != src.length) continue;
    if (!RangeInImage(img, dst.data, dst.length) || !RangeInImage(rom, src.data, src.length)) continue;
    if (!SameLeadingText(dst, src)) continue;
    CopyArea(img, dst.data, rom, src.data, dst.length);
  }
}

void MergeLindar(BiosImage& img, BiosImage& rom) {
  const RegionPair& dmi = img.Region(kRegionDmi);
  RegionPair& romDmi = rom.Region(kRegionDmi);
  if (Wanted({kRegionDmi, kKeepDmiData}) && dmi.length == romDmi.length) {
    if (std::string(rom.versionText) == "P 03" && IdentityText(rom) == "865G") {
      // These boards keep their DMI data where the new image has its area.
      int64_t at = OffsetInImage(img, dmi.data);
      if (at >= 0 && RangeInImage(rom, rom.bytes + at, 0)) romDmi.data = rom.bytes + at;
    }
    CopyArea(img, dmi.data, rom, romDmi.data, dmi.length);
  }
  const RegionPair& escd = img.Region(kRegionEscd);
  const RegionPair& romEscd = rom.Region(kRegionEscd);
  if (Wanted({kRegionEscd, kKeepEscdData}) && escd.length == romEscd.length)
    CopyArea(img, escd.data, rom, romEscd.data, escd.length);
}

void MergeQuorvel(BiosImage& img, const BiosImage& rom) {
  static constexpr MergeStep kSteps[] = {
      {kRegionMasterLogo, kKeepMasterLogo}, {kRegionSlaveLogo, kKeepSlaveLogo},
      {kRegionBootBlock, kKeepBootBlock},   {kRegionEscd, kKeepEscdData},
      {kRegionKbc, kKeepKbc},               {kRegionCharger, kKeepChargerEeprom},
      {kRegionNvs, kKeepNvs},               {kRegionBbvl, kKeepBbvl},
      {kRegionNs591, kKeepNs591Kbc},        {kRegionPanel, kKeepPanelTable},
      {kRegionFingerprint, kKeepFingerprint}, {kRegionPassword, kKeepPassword},
      {kRegionScPassword, kKeepScPassword}, {kRegionThermal, kKeepThermalTable},
      {kRegionInvertEeprom, kKeepInvertEeprom}};
  for (const MergeStep& step : kSteps) {
    const RegionPair& dst = img.Region(step.region);
    const RegionPair& src = rom.Region(step.region);
    if (!Wanted(step)) continue;
    // The ROM pointer is set from the new image's directory; its length is not.
    RegionPair srcSpan{src.data, dst.length};
    if (!RangeInImage(img, dst.data, dst.length) || !RangeInImage(rom, src.data, dst.length)) continue;
    if (step.region == kRegionInvertEeprom && !SameLeadingText(dst, srcSpan)) continue;
    CopyArea(img, dst.data, rom, src.data, dst.length);
  }
}

}  // namespace

int MergeKeptRegions(BiosImage& newImage, BiosImage& currentRom) {
  switch (LayoutOf(currentRom.flagWord)) {
    case ImageLayout::kLindar: MergeLindar(newImage, currentRom); break;
    case ImageLayout::kQuorvel: MergeQuorvel(newImage, currentRom); break;
    case ImageLayout::kTarvex: MergeTarvex(newImage, currentRom); break;
  }
  return 1;
}

int MergeKeptRegions() { return MergeKeptRegions(NewImage(), CurrentRomImage()); }

}  // namespace brim
