#include "image/region_merge.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/flash_settings.h"
#include "core/settings_word.h"
#include "image/image_layout.h"
#include "image/region_locator.h"

namespace brim {

namespace {

constexpr uint32_t kQuorvelInvertEepromAddress = 0xFFF90000;

struct MergeStep {
  RegionId region;
  uint32_t keepBit;
};

const char kNoSuchArea[] = "the new image has no such area";
const char kOutside[] = "the area does not lie wholly inside both images";
const char kTagsDiffer[] = "the leading tags of the two areas differ";
const char kRomAreaNotLocated[] = "the area was not located in the current BIOS";

constexpr MergeStep kTarvexSteps[] = {
    {kRegionDmi, kKeepDmiData},         {kRegionPassword, kKeepPassword},
    {kRegionScPassword, kKeepScPassword}, {kRegionBuCode, kKeepBuCodeData},
    {kRegionInvertEeprom, kKeepInvertEeprom}, {kRegionMasterLogo, kKeepMasterLogo},
    {kRegionSlaveLogo, kKeepSlaveLogo}};
constexpr MergeStep kLindarSteps[] = {{kRegionDmi, kKeepDmiData}, {kRegionEscd, kKeepEscdData}};
constexpr MergeStep kQuorvelSteps[] = {
    {kRegionMasterLogo, kKeepMasterLogo}, {kRegionSlaveLogo, kKeepSlaveLogo},
    {kRegionBootBlock, kKeepBootBlock},   {kRegionEscd, kKeepEscdData},
    {kRegionKbc, kKeepKbc},               {kRegionCharger, kKeepChargerEeprom},
    {kRegionNvs, kKeepNvs},               {kRegionBbvl, kKeepBbvl},
    {kRegionNs591, kKeepNs591Kbc},        {kRegionPanel, kKeepPanelTable},
    {kRegionFingerprint, kKeepFingerprint}, {kRegionPassword, kKeepPassword},
    {kRegionScPassword, kKeepScPassword}, {kRegionThermal, kKeepThermalTable},
    {kRegionInvertEeprom, kKeepInvertEeprom}};
// Every box of the Keep Data page with an area (the boot block is the driver's).
constexpr MergeStep kEveryKeepBox[] = {
    {kRegionBbvl, kKeepBbvl},           {kRegionBuCode, kKeepBuCodeData},
    {kRegionDmi, kKeepDmiData},         {kRegionCharger, kKeepChargerEeprom},
    {kRegionEscd, kKeepEscdData},       {kRegionFingerprint, kKeepFingerprint},
    {kRegionInvertEeprom, kKeepInvertEeprom}, {kRegionKbc, kKeepKbc},
    {kRegionMasterLogo, kKeepMasterLogo}, {kRegionNs591, kKeepNs591Kbc},
    {kRegionNvs, kKeepNvs},             {kRegionPanel, kKeepPanelTable},
    {kRegionPassword, kKeepPassword},   {kRegionScPassword, kKeepScPassword},
    {kRegionSlaveLogo, kKeepSlaveLogo}, {kRegionThermal, kKeepThermalTable},
    {kRegionPowerEvent, kPowerEventBox}};

bool KeepOn(const MergeStep& step) { return (Settings().settingsWord & step.keepBit) != 0; }

bool Wanted(const MergeStep& step) {
  return KeepOn(step) && (ImageStatus() & PresenceBitOf(step.region));
}

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", v);
  return text;
}

std::string LengthsDiffer(uint32_t current, uint32_t next) {
  return "the lengths differ (current BIOS " + Hex(current) + ", new image " + Hex(next) + ")";
}

void Note(std::vector<UnkeptArea>* unkept, RegionId id, const std::string& why) {
  if (unkept) unkept->push_back({AreaName(id), why});
}

bool Has(const BiosImage& image, const RegionPair& pair) {
  return pair.data && RangeInImage(image, pair.data, pair.length);
}

// Copies only when both ranges lie wholly inside their images.
bool CopyArea(BiosImage& to, uint8_t* dst, const BiosImage& from, const uint8_t* src, uint32_t length) {
  if (!RangeInImage(to, dst, length) || !RangeInImage(from, src, length)) return false;
  std::memmove(dst, src, length);
  return true;
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

void MergeTarvex(BiosImage& img, const BiosImage& rom, std::vector<UnkeptArea>* unkept) {
  for (const MergeStep& step : kTarvexSteps) {
    const RegionPair& dst = img.Region(step.region);
    const RegionPair& src = rom.Region(step.region);
    const bool report = KeepOn(step) && Has(rom, src);
    if (!Wanted(step) || !dst.data) {
      if (report) Note(unkept, step.region, kNoSuchArea);
      continue;
    }
    if (dst.length != src.length) {
      if (report) Note(unkept, step.region, LengthsDiffer(src.length, dst.length));
      continue;
    }
    if (!RangeInImage(img, dst.data, dst.length) || !RangeInImage(rom, src.data, src.length)) {
      if (report) Note(unkept, step.region, kOutside);
      continue;
    }
    if (!SameLeadingText(dst, src)) {
      if (report) Note(unkept, step.region, kTagsDiffer);
      continue;
    }
    CopyArea(img, dst.data, rom, src.data, dst.length);
  }
}

void MergeLindarArea(BiosImage& img, const BiosImage& rom, const MergeStep& step, const RegionPair& src,
                     std::vector<UnkeptArea>* unkept) {
  const RegionPair& dst = img.Region(step.region);
  const bool report = KeepOn(step) && Has(rom, src);
  if (!Wanted(step) || !dst.data) {
    if (report) Note(unkept, step.region, kNoSuchArea);
    return;
  }
  if (dst.length != src.length) {
    if (report) Note(unkept, step.region, LengthsDiffer(src.length, dst.length));
    return;
  }
  if (!CopyArea(img, dst.data, rom, src.data, dst.length) && report) Note(unkept, step.region, kOutside);
}

void MergeLindar(BiosImage& img, BiosImage& rom, std::vector<UnkeptArea>* unkept) {
  const RegionPair& dmi = img.Region(kRegionDmi);
  RegionPair& romDmi = rom.Region(kRegionDmi);
  if (Wanted({kRegionDmi, kKeepDmiData}) && dmi.length == romDmi.length) {
    if (std::string(rom.versionText) == "P 03" && IdentityText(rom) == "865G") {
      // These boards keep their DMI data where the new image has its area.
      int64_t at = OffsetInImage(img, dmi.data);
      if (at >= 0 && RangeInImage(rom, rom.bytes + at, 0)) romDmi.data = rom.bytes + at;
    }
  }
  MergeLindarArea(img, rom, {kRegionDmi, kKeepDmiData}, romDmi, unkept);
  MergeLindarArea(img, rom, {kRegionEscd, kKeepEscdData}, rom.Region(kRegionEscd), unkept);
}

// Where the current ROM's own directory (or fixed place) has an area.
bool RomAreaOf(const BiosImage& rom, const std::vector<ListedArea>& listed, RegionId id, ListedArea* out) {
  if (id == kRegionInvertEeprom) {
    const uint32_t at = kQuorvelInvertEepromAddress - rom.baseAddress;
    if (!rom.bytes || at > rom.size || rom.size - at < 4 || std::memcmp(rom.bytes + at, "A!KA", 4) != 0)
      return false;
    *out = {id, at, 256};
    return true;
  }
  for (const ListedArea& a : listed)
    if (a.region == id) {
      *out = a;
      return true;
    }
  return false;
}

void MergeQuorvel(BiosImage& img, const BiosImage& rom, std::vector<UnkeptArea>* unkept) {
  std::vector<ListedArea> listed;
  if (unkept) listed = QuorvelDirectoryAreas(rom, rom.baseAddress);
  for (const MergeStep& step : kQuorvelSteps) {
    const RegionPair& dst = img.Region(step.region);
    const RegionPair& src = rom.Region(step.region);
    ListedArea own{};
    const bool report = unkept && KeepOn(step) && step.region != kRegionBootBlock &&
                        RomAreaOf(rom, listed, step.region, &own);
    if (!Wanted(step) || !dst.data) {
      if (report) Note(unkept, step.region, kNoSuchArea);
      continue;
    }
    if (!src.data) {
      if (report) Note(unkept, step.region, kRomAreaNotLocated);
      continue;
    }
    // The ROM pointer is set from the new image's directory; its length is not.
    RegionPair srcSpan{src.data, dst.length};
    if (!RangeInImage(img, dst.data, dst.length) || !RangeInImage(rom, src.data, dst.length)) {
      if (report) Note(unkept, step.region, kOutside);
      continue;
    }
    if (step.region == kRegionInvertEeprom && !SameLeadingText(dst, srcSpan)) {
      if (report) Note(unkept, step.region, kTagsDiffer);
      continue;
    }
    CopyArea(img, dst.data, rom, src.data, dst.length);
    const int64_t at = OffsetInImage(img, dst.data);
    if (report && (at != int64_t{own.position} || dst.length != own.length))
      Note(unkept, step.region,
           "the new image places it at " + Hex(static_cast<uint32_t>(at)) + " (" + Hex(dst.length) +
               " bytes), the current BIOS at " + Hex(own.position) + " (" + Hex(own.length) +
               " bytes); the bytes at the new place were carried over");
  }
}

template <size_t N>
bool HasRule(const MergeStep (&steps)[N], RegionId id) {
  for (const MergeStep& s : steps)
    if (s.region == id) return true;
  return false;
}

// A box the page offered (its area was found) for which this kind of BIOS has
// no carry-over rule would otherwise be dropped without a word.
void NoteBoxesWithoutRule(ImageLayout layout, std::vector<UnkeptArea>* unkept) {
  for (const MergeStep& box : kEveryKeepBox) {
    if (!KeepOn(box) || !(ImageStatus() & PresenceBitOf(box.region))) continue;
    const bool rule = layout == ImageLayout::kLindar    ? HasRule(kLindarSteps, box.region)
                      : layout == ImageLayout::kQuorvel ? HasRule(kQuorvelSteps, box.region)
                                                        : HasRule(kTarvexSteps, box.region);
    if (!rule)
      Note(unkept, box.region, std::string("brimlet carries no such area over for a ") + LayoutName(layout) + " BIOS");
  }
}

}  // namespace

const char* AreaName(RegionId id) {
  static const char* const kNames[kRegionCount] = {
      "BU code (BUA!)",           "boot block",
      "DMI data",                 "ESCD",
      "password area (A!PS)",     "smart-card password (A!SC)",
      "inverter EEPROM (A!KA)",   "master logo (A!42)",
      "slave logo (A!43)",        "keyboard controller (A!KB)",
      "charger EEPROM (A!KC)",    "NVS (A!KN)",
      "BBVL+ firmware (A!MP)",    "NS591 parameters (A!NS)",
      "panel table (A!PA)",       "fingerprint (A!PF)",
      "thermal table (A!TH)",     "power event (A!PE)"};
  return id < kRegionCount ? kNames[id] : "unknown area";
}

int MergeKeptRegions(BiosImage& newImage, BiosImage& currentRom, std::vector<UnkeptArea>* unkept) {
  const ImageLayout layout = LayoutOf(currentRom.flagWord);
  switch (layout) {
    case ImageLayout::kLindar: MergeLindar(newImage, currentRom, unkept); break;
    case ImageLayout::kQuorvel: MergeQuorvel(newImage, currentRom, unkept); break;
    case ImageLayout::kTarvex: MergeTarvex(newImage, currentRom, unkept); break;
  }
  if (unkept) NoteBoxesWithoutRule(layout, unkept);
  return 1;
}

int MergeKeptRegions() { return MergeKeptRegions(NewImage(), CurrentRomImage()); }

}  // namespace brim
