#include "image/region_locator.h"

#include <algorithm>
#include <cstring>

#include "byte_reader.h"
#include "core/flash_settings.h"
#include "image/image_layout.h"

namespace brim {

namespace {

constexpr size_t kStep = 16;
constexpr uint32_t kBankSize = 0x10000;
constexpr uint32_t kSmDmiLength = 0x800;
constexpr uint32_t kQuorvelInvertEepromAddress = 0xFFF90000;
constexpr uint32_t kQuorvelInvertEepromLength = 256;

// The area a Quorvel directory entry's tag names; kRegionCount for none.
RegionId QuorvelDirectoryRegion(uint32_t tag) {
  switch (tag) {
    case TagWord("A!PS"): return kRegionPassword;
    case TagWord("A!SC"): return kRegionScPassword;
    case TagWord("A!ES"): return kRegionEscd;
    case TagWord("A!KB"): return kRegionKbc;
    case TagWord("A!KC"): return kRegionCharger;
    case TagWord("A!KN"): return kRegionNvs;
    case TagWord("A!MP"): return kRegionBbvl;
    case TagWord("A!NS"): return kRegionNs591;
    case TagWord("A!PA"): return kRegionPanel;
    case TagWord("A!PF"): return kRegionFingerprint;
    case TagWord("A!TH"): return kRegionThermal;
    case TagWord("A!42"): return kRegionMasterLogo;
    case TagWord("A!43"): return kRegionSlaveLogo;
    case TagWord("A!PE"): return kRegionPowerEvent;
    default: return kRegionCount;
  }
}

// Sets a pair when [offset, offset + length) lies in the image; a pair that
// would reach beyond it counts as not found.
bool SetPair(BiosImage& image, RegionId id, size_t offset, uint32_t length) {
  ByteReader r(image.bytes, image.size);
  if (!r.Has(offset, length)) return false;
  image.Region(id) = RegionPair{image.bytes + offset, length};
  ImageStatus() |= PresenceBitOf(id);
  return true;
}

void ClearCommon(BiosImage& image, bool clearBootBlockSeen) {
  image.versionText[0] = 0;
  image.dateText[0] = 0;
  image.flashRomType[0] = 0;
  image.identityBlock = nullptr;
  image.Region(kRegionBuCode).data = nullptr;
  image.Region(kRegionDmi) = RegionPair{};
  image.Region(kRegionPassword).data = nullptr;
  image.Region(kRegionScPassword) = RegionPair{};
  image.releaseNumber = 0;
  if (clearBootBlockSeen) image.bootBlockTagSeen = 0;
  // Pointers kept from an earlier, longer image must not reach past this one.
  if (!RangeInImage(image, image.flashModule, 4)) image.flashModule = nullptr;
  for (RegionPair& pair : image.regions)
    if (pair.data && !RangeInImage(image, pair.data, pair.length)) pair = RegionPair{};
  // Identity fields of an earlier image must not pass for this one's.
  std::memset(image.modelCode, 0, sizeof image.modelCode);
  image.buildTimeText[0] = 0;
  image.buildTimeNumber = 0;
}

// ---- Tarvex ----

// Length field of a tagged Tarvex area, relative to its tag.
size_t TarvexLengthOffset(RegionId id) {
  return (id == kRegionMasterLogo || id == kRegionSlaveLogo) ? 9 : 4;
}

void ReadTarvexModuleIndex(BiosImage& image, const ByteReader& r, size_t at) {
  uint16_t listLength = 0;
  if (!r.U16(at + 7, listLength)) return;
  for (size_t e = 0; e + 12 <= listLength; e += 12) {
    size_t entry = at + 9 + e;
    uint32_t offset = 0, length = 0;
    if (!r.Has(entry, 12)) return;
    r.U32(entry + 4, offset);
    r.U32(entry + 8, length);
    switch (r.Word4(entry)) {
      case TagWord("DMA!"): SetPair(image, kRegionDmi, offset, length); break;
      case TagWord("BUA!"): SetPair(image, kRegionBuCode, offset, length); break;
      default: break;
    }
  }
}

void ReadTarvexIdentity(BiosImage& image, const ByteReader& r) {
  size_t bank = size_t{image.fSegmentBank} * kBankSize;
  uint16_t link = 0, blockOffset = 0;
  if (r.U16(bank + 0x34, link) && r.U16(bank + link + 1, blockOffset)) {
    size_t block = bank + blockOffset;
    if (r.Has(block, 5)) {
      image.identityBlock = image.bytes + block;
      image.modelCode[0] = static_cast<char>(image.bytes[block + 3]);
      image.modelCode[1] = static_cast<char>(image.bytes[block + 4]);
      std::string digits;
      for (size_t i = 0; i < 6 && r.Has(block + 13 + i, 1); ++i)
        digits.push_back(static_cast<char>(image.bytes[block + 13 + i]));
      image.releaseNumber = LeadingNumber(digits);
    }
  }
  if (r.Has(bank + 0xE005, 1) && image.bytes[bank + 0xE005] == 'V')
    CopyText(image.versionText, r.CString(bank + 0xE005));
  if (r.Has(bank + 0xFFF5, 8)) {
    std::memcpy(image.dateText, image.bytes + bank + 0xFFF5, 8);
    image.dateText[8] = 0;
  }
}

void LocateTarvex(BiosImage& image) {
  ClearCommon(image, true);
  ByteReader r(image.bytes, image.size);
  for (size_t bank = 0; r.Has(bank * kBankSize, kBankSize); ++bank)
    if (r.Tag4(bank * kBankSize + 8, "A!F0")) image.fSegmentBank = static_cast<uint32_t>(bank);

  constexpr uint32_t kModuleIndexTag = TagWord("A!MI");
  bool moduleIndex = false;
  size_t bankStart = size_t{image.fSegmentBank} * kBankSize;
  const size_t bankEnd = std::min(bankStart + kBankSize, r.WordEnd());
  for (size_t p = bankStart; p < bankEnd; p += kStep) {
    if (r.Word4(p) == kModuleIndexTag) {
      moduleIndex = true;
      ReadTarvexModuleIndex(image, r, p);
      break;
    }
  }

  image.flashModule = nullptr;
  // A tagged area: its length field follows the tag.
  auto tagged = [&](size_t p, RegionId id) {
    uint16_t length = 0;
    if (r.U16(p + TarvexLengthOffset(id), length)) SetPair(image, id, p, length);
  };
  for (size_t p = 0, end = r.WordEnd(); p < end; p += kStep) {
    switch (r.Word4(p)) {
      case TagWord("A!FR"): image.flashModule = image.bytes + p; break;
      case TagWord("A!B0"): image.bootBlockTagSeen = 1; break;
      case TagWord("_SM_"):
        if (!moduleIndex) SetPair(image, kRegionDmi, p, kSmDmiLength);
        break;
      case TagWord("A!PS"): tagged(p, kRegionPassword); break;
      case TagWord("A!SC"): tagged(p, kRegionScPassword); break;
      case TagWord("A!KA"): tagged(p, kRegionInvertEeprom); break;
      case TagWord("A!42"): tagged(p, kRegionMasterLogo); break;
      case TagWord("A!43"): tagged(p, kRegionSlaveLogo); break;
      default: break;
    }
  }
  ReadTarvexIdentity(image, r);
}

// ---- Lindar ----

void ReadLindarIdentity(BiosImage& image, const ByteReader& r, size_t tag) {
  size_t block = tag + 16;
  if (!r.Has(block, 1)) return;
  image.identityBlock = image.bytes + block;
  if (r.Has(block, 5)) {
    image.modelCode[0] = static_cast<char>(image.bytes[block + 3]);
    image.modelCode[1] = static_cast<char>(image.bytes[block + 4]);
  }
  std::string texts[5];
  size_t at = block;
  for (std::string& t : texts) {
    bool terminated = false;
    t = r.CString(at, &terminated);
    if (!terminated) break;  // the rest would lie beyond the image
    at += t.size() + 1;
  }
  CopyText(image.versionText, texts[2] + " " + texts[3]);
  const std::string& d = texts[4];
  if (d.size() >= 6) {
    CopyText(image.dateText, d.substr(0, 2) + "/" + d.substr(2, 2) + "/" + d.substr(4, 2));
    image.releaseNumber = LeadingNumber(d.substr(4, 2) + d.substr(0, 4) + d.substr(4, 2));
  } else {
    image.releaseNumber = LeadingNumber(d);
  }
}

// Entry count of a directory; a partial last entry counts.
size_t DirectoryEntries(uint16_t length) { return length < 8 ? 0 : (length - 8u + 11u) / 12u; }

struct DirectoryEntry {
  uint32_t tag, address, length;
};

// The entries of the directory tagged at `at` that the image holds whole, up
// to the first that runs past its end. One bound covers them all: a listed
// directory can run to thousands of entries.
template <class Visit>
void ForEachDirectoryEntry(const ByteReader& r, size_t at, Visit visit) {
  uint16_t length = 0;
  if (!r.U16(at + 4, length)) return;
  const size_t first = at + 8;
  if (!r.Has(first, 0)) return;
  const size_t count = std::min(DirectoryEntries(length), (r.size() - first) / 12);
  const uint8_t* e = r.data() + first;
  for (size_t i = 0; i < count; ++i, e += 12)
    visit(DirectoryEntry{ByteReader::Le32(e), ByteReader::Le32(e + 4), ByteReader::Le32(e + 8)});
}

void ReadLindarDirectory(BiosImage& image, const ByteReader& r, size_t at, uint32_t base) {
  ForEachDirectoryEntry(r, at, [&](const DirectoryEntry& e) {
    const uint32_t position = e.address - base;
    switch (e.tag) {
      case TagWord("A!B0"): image.bootBlockTagSeen = 1; break;
      case TagWord("A!DM"): SetPair(image, kRegionDmi, position, e.length); break;
      case TagWord("A!NV"): SetPair(image, kRegionEscd, position, e.length); break;
      default: break;
    }
  });
}

void LocateLindar(BiosImage& image, uint32_t base) {
  ClearCommon(image, true);
  ByteReader r(image.bytes, image.size);
  for (size_t p = 0, end = r.WordEnd(); p < end; p += kStep) {
    switch (r.Word4(p)) {
      case TagWord("A!FR"): image.flashModule = image.bytes + p; break;
      case TagWord("A!ID"):
        ReadLindarIdentity(image, r, p);
        p += kStep;
        break;
      case TagWord("W!DA"): ReadLindarDirectory(image, r, p, base); break;
      default: break;
    }
  }
}

// ---- Quorvel ----

void ReadQuorvelIdentity(BiosImage& image, const ByteReader& r, size_t tag) {
  uint8_t bootByte = 0;
  if (r.U8(tag + 8, bootByte)) {
    image.bootBlockByte = bootByte;
    if (bootByte) image.bootBlockTagSeen = 1;
  }
  if (r.Has(tag + 16, 1)) image.identityBlock = image.bytes + tag + 16;
  if (r.Has(tag + 21, 3)) {
    std::memcpy(image.modelCode, image.bytes + tag + 21, 3);
    image.modelCode[3] = 0;
  }
  if (r.Has(tag + 32, 1)) CopyText(image.versionText, r.CString(tag + 32));
}

void ReadQuorvelDirectory(BiosImage& image, BiosImage& rom, const ByteReader& r, size_t at) {
  const ByteReader romBytes(rom.bytes, rom.size);
  ForEachDirectoryEntry(r, at, [&](const DirectoryEntry& e) {
    const uint32_t position = e.address - rom.baseAddress;
    const RegionId id = QuorvelDirectoryRegion(e.tag);
    if (id == kRegionCount) return;
    SetPair(image, id, position, e.length);
    if (romBytes.Has(position, e.length)) rom.Region(id).data = rom.bytes + position;
  });
}

void LocateQuorvel(BiosImage& image, BiosImage& rom) {
  ClearCommon(image, false);
  ByteReader r(image.bytes, image.size);
  size_t devel = r.Find("DEVEL", 5);
  if (devel != ByteReader::npos && r.Has(devel + 5, 3)) {
    std::memcpy(image.modelCode, image.bytes + devel + 5, 3);
    image.modelCode[3] = 0;
  }
  size_t bcpsys = r.Find("BCPSYS", 6);
  if (bcpsys != ByteReader::npos) {
    if (r.Has(bcpsys + 15, 1)) CopyText(image.dateText, r.CString(bcpsys + 15));
    if (r.Has(bcpsys + 24, 1)) CopyText(image.buildTimeText, r.CString(bcpsys + 24));
    std::string d = image.dateText, t = image.buildTimeText;
    if (d.size() == 8) image.releaseNumber = LeadingNumber(d.substr(6, 2) + d.substr(0, 2) + d.substr(3, 2));
    if (t.size() == 8) image.buildTimeNumber = LeadingNumber(t.substr(0, 2) + t.substr(3, 2) + t.substr(6, 2));
  }
  if (!Settings().imageLoaded) return;
  image.bootBlockTagSeen = 1;
  for (size_t p = 0, end = r.WordEnd(); p < end; p += kStep) {
    switch (r.Word4(p)) {
      case TagWord("A!FR"): image.flashModule = image.bytes + p; break;
      case TagWord("A!ID"):
        ReadQuorvelIdentity(image, r, p);
        p += 2 * kStep;
        break;
      case TagWord("A!KA"):
        if (static_cast<uint32_t>(rom.baseAddress + p) == kQuorvelInvertEepromAddress)
          SetPair(image, kRegionInvertEeprom, p, kQuorvelInvertEepromLength);
        break;
      case TagWord("W!DA"): ReadQuorvelDirectory(image, rom, r, p); break;
      default: break;
    }
  }
}

}  // namespace

std::vector<ListedArea> QuorvelDirectoryAreas(const BiosImage& image, uint32_t base) {
  constexpr uint32_t kDirectoryTag = TagWord("W!DA");
  std::vector<ListedArea> areas;
  ByteReader r(image.bytes, image.size);
  for (size_t at = 0, end = r.WordEnd(); at < end; at += kStep) {
    if (r.Word4(at) != kDirectoryTag) continue;
    ForEachDirectoryEntry(r, at, [&](const DirectoryEntry& e) {
      const uint32_t position = e.address - base;
      const RegionId id = QuorvelDirectoryRegion(e.tag);
      if (id != kRegionCount && r.Has(position, e.length)) areas.push_back({id, position, e.length});
    });
  }
  return areas;
}

uint32_t PresenceBitOf(RegionId id) {
  static constexpr uint32_t kBits[kRegionCount] = {
      kPresentBuCode,     kPresentBootBlock,   kPresentDmi,      kPresentEscd,
      kPresentPassword,   kPresentScPassword,  kPresentInvertEeprom,
      kPresentMasterLogo, kPresentSlaveLogo,   kPresentKbc,      kPresentCharger,
      kPresentNvs,        kPresentBbvl,        kPresentNs591,    kPresentPanel,
      kPresentFingerprint, kPresentThermal,    kPresentPowerEvent};
  return id < kRegionCount ? kBits[id] : 0;
}

int LocateRegions(BiosImage& image, BiosImage& currentRom) {
  switch (LayoutOf(image.flagWord)) {
    case ImageLayout::kLindar: LocateLindar(image, currentRom.baseAddress); break;
    case ImageLayout::kQuorvel: LocateQuorvel(image, currentRom); break;
    case ImageLayout::kTarvex: LocateTarvex(image); break;
  }
  return 1;
}

int LocateRegions(BiosImage& image) { return LocateRegions(image, CurrentRomImage()); }

}  // namespace brim
