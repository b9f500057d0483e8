#include "imagegen/layouts.h"

#include <cstring>

#include "imagegen/image_writer.h"

namespace imagegen {

namespace {

uint16_t AreaLengthOffset(const std::string& tag) {
  return (tag == "A!42" || tag == "A!43") ? 9 : 4;
}

void WriteDirectory(ImageWriter& w, uint32_t at, int lengthField, const std::vector<Entry>& entries) {
  w.Text(at, "W!DA");
  uint32_t length = lengthField >= 0 ? static_cast<uint32_t>(lengthField)
                                     : static_cast<uint32_t>(8 + 12 * entries.size());
  w.U16(at + 4, static_cast<uint16_t>(length));
  w.U16(at + 6, 1);
  for (size_t i = 0; i < entries.size(); ++i) {
    size_t e = at + 8 + 12 * i;
    w.Text(e, entries[i].tag.substr(0, 4));
    w.U32(e + 4, entries[i].where);
    w.U32(e + 8, entries[i].length);
  }
}

void FillDirectoryAreas(ImageWriter& w, uint32_t base, const std::vector<Entry>& entries, uint32_t seed) {
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    if (!e.fillArea || e.where < base) continue;
    w.Pattern(e.where - base, e.length, seed * 100 + static_cast<uint32_t>(i));
  }
}

uint8_t Sum8(const Bytes& b, size_t from, size_t to) {  // [from, to]
  uint8_t s = 0;
  for (size_t i = from; i <= to && i < b.size(); ++i) s = static_cast<uint8_t>(s + b[i]);
  return s;
}

}  // namespace

Bytes BuildTarvex(const TarvexSpec& spec) {
  ImageWriter w(spec.size);
  for (size_t i = 0; i < spec.smAnchors.size(); ++i) {
    w.Pattern(spec.smAnchors[i], 0x800, spec.seed * 1000 + 500 + static_cast<uint32_t>(i));
    w.Text(spec.smAnchors[i], "_SM_");
  }
  for (size_t i = 0; i < spec.areas.size(); ++i) {
    const TaggedArea& a = spec.areas[i];
    w.Pattern(a.offset, a.length, spec.seed * 1000 + static_cast<uint32_t>(i));
    w.Text(a.offset, a.tag);
    w.U16(a.offset + AreaLengthOffset(a.tag), static_cast<uint16_t>(a.length));
  }
  for (uint32_t bank : spec.fSegmentBanks) w.Text(size_t{bank} * kBank + 8, "A!F0");
  size_t fb = spec.fSegmentBanks.empty() ? 0 : size_t{spec.fSegmentBanks.back()} * kBank;
  if (spec.moduleIndex) {
    for (size_t i = 0; i < spec.moduleEntries.size(); ++i) {
      const Entry& e = spec.moduleEntries[i];
      if (e.fillArea) w.Pattern(e.where, e.length, spec.seed * 1000 + 700 + static_cast<uint32_t>(i));
    }
    size_t mi = fb + spec.moduleIndexAt;
    w.Text(mi, "A!MI");
    w.Fill(mi + 4, 3, 0);
    w.U16(mi + 7, static_cast<uint16_t>(12 * spec.moduleEntries.size()));
    for (size_t i = 0; i < spec.moduleEntries.size(); ++i) {
      size_t e = mi + 9 + 12 * i;
      w.Text(e, spec.moduleEntries[i].tag.substr(0, 4));
      w.U32(e + 4, spec.moduleEntries[i].where);
      w.U32(e + 8, spec.moduleEntries[i].length);
    }
  }
  w.U16(fb + 0x34, static_cast<uint16_t>(spec.identityLink));
  w.U16(fb + spec.identityLink + 1, static_cast<uint16_t>(spec.identityBlock));
  size_t block = fb + spec.identityBlock;
  w.Fill(block, 20, 0);
  w.CString(block, spec.serial.substr(0, 2));
  w.Text(block + 3, spec.modelCode.substr(0, 2));
  w.Text(block + 13, spec.release.substr(0, 6));
  w.CString(fb + 0xE005, spec.version);
  w.Text(fb + 0xFFF5, spec.date.substr(0, 8));
  for (uint32_t p : spec.flashModules) w.Text(p, "A!FR");
  for (uint32_t p : spec.bootBlockTags) w.Text(p, "A!B0");
  Bytes out = std::move(w.bytes());
  if (spec.zeroByteSum && !out.empty()) {
    out.back() = 0;
    out.back() = static_cast<uint8_t>(-Sum8(out, 0, out.size() - 1));
  }
  return out;
}

Bytes BuildLindar(const LindarSpec& spec) {
  ImageWriter w(spec.size);
  FillDirectoryAreas(w, spec.base, spec.directory, spec.seed);
  w.Text(spec.identityAt, "A!ID");
  size_t at = size_t{spec.identityAt} + 16;
  for (const std::string& t : spec.texts) {
    w.CString(at, t);
    at += t.size() + 1;
  }
  WriteDirectory(w, spec.directoryAt, spec.directoryLength, spec.directory);
  for (uint32_t p : spec.flashModules) w.Text(p, "A!FR");
  const CompressedChecksumSpec& c = spec.checksum;
  if (c.present) {
    w.Text(c.lh5At, "-lh5-");
    w.Text(c.bs1At, "*BS1");
    w.U8(size_t{c.bs1At} + 5, c.bootType);
    w.U8(size_t{c.bs1At} + 6, c.flags);
    w.Text(c.bbssAt, "*BBSS*");
  }
  Bytes out = std::move(w.bytes());
  if (c.present) {
    size_t start = c.lh5At & 0xF0000u;
    size_t k = c.bbssAt & 0xF0000u;
    size_t e = k + 0xFFFD;
    if (c.bootType == 5) {
      e = k + 0xBFFD;
      if (c.flags & 1) e -= 0x2000;
      if (c.flags & 2) e -= 0x2000;
    }
    if (e + 1 < out.size() && e >= start) {
      uint8_t sum = Sum8(out, start, e);
      out[e + 1] = c.correct ? sum : static_cast<uint8_t>(sum + 1);
    }
  }
  return out;
}

Bytes BuildQuorvel(const QuorvelSpec& spec) {
  ImageWriter w(spec.size);
  FillDirectoryAreas(w, spec.base, spec.directory, spec.seed);
  for (size_t i = 0; i < spec.invertEepromTags.size(); ++i) {
    w.Pattern(spec.invertEepromTags[i], 256, spec.seed * 1000 + static_cast<uint32_t>(i));
    w.Text(spec.invertEepromTags[i], "A!KA");
  }
  if (spec.develAt >= 0) {
    w.Text(static_cast<size_t>(spec.develAt), "DEVEL");
    w.Text(static_cast<size_t>(spec.develAt) + 5, spec.develModel.substr(0, 3));
  }
  if (spec.bcpsysAt >= 0) {
    size_t b = static_cast<size_t>(spec.bcpsysAt);
    w.Text(b, "BCPSYS");
    w.CString(b + 15, spec.date.substr(0, 8));
    w.CString(b + 24, spec.buildTime.substr(0, 8));
  }
  if (spec.identityAt >= 0) {
    size_t id = static_cast<size_t>(spec.identityAt);
    w.Fill(id, 48, 0);
    w.Text(id, "A!ID");
    w.U8(id + 8, spec.bootBlockByte);
    w.CString(id + 16, spec.serial.substr(0, 4));
    w.Text(id + 21, spec.identityModel.substr(0, 3));
    w.CString(id + 32, spec.version.substr(0, 15));
  }
  WriteDirectory(w, spec.directoryAt, spec.directoryLength, spec.directory);
  for (uint32_t p : spec.flashModules) w.Text(p, "A!FR");
  return std::move(w.bytes());
}

Bytes BuildPackage(const Bytes& image, const std::string& settings, const std::string& model,
                   bool withSettings) {
  Bytes out;
  std::string head = model;
  head.resize(8, ' ');
  head += "\r\n";
  if (withSettings) {
    std::string s = settings;
    s.resize(34, '0');
    head += "W!SH" + s;
  }
  out.assign(head.begin(), head.end());
  out.insert(out.end(), image.begin(), image.end());
  return out;
}

QuorvelSpec ReferenceImageSpec() {
  QuorvelSpec spec;  // the defaults describe the reference image
  spec.develModel = "HLB";
  spec.identityModel = "HLB";
  spec.serial = "HB01";
  spec.version = "V1.20";
  return spec;
}

namespace {
Bytes WithReferenceModule(Bytes image) {
  ImageWriter module(kReferenceFlashModuleSize, 0);
  module.Pattern(0, kReferenceFlashModuleSize, 77);
  module.Text(0, "A!FR");
  image.insert(image.end(), module.bytes().begin(), module.bytes().end());
  return image;
}
}  // namespace

Bytes BuildReferenceImage() { return WithReferenceModule(BuildQuorvel(ReferenceImageSpec())); }

Bytes BuildReferenceUpdate() {
  QuorvelSpec spec = ReferenceImageSpec();
  spec.date = "11/30/07";
  spec.buildTime = "09:15:00";
  spec.version = "V1.21";
  spec.seed = 4;
  return WithReferenceModule(BuildQuorvel(spec));
}

Bytes BuildReferencePackage() { return BuildPackage(BuildReferenceImage()); }

Bytes BuildExecutable(const Bytes& package, uint32_t programSize) {
  ImageWriter w(programSize, 0);
  w.Pattern(0, programSize, 4242);
  w.Text(0, "\x7f" "ELF");
  Bytes out = std::move(w.bytes());
  // The program part must never look like a package header.
  for (size_t i = 0; i + 4 <= out.size(); ++i)
    if (std::memcmp(&out[i], "HOLB", 4) == 0) out[i] = 'h';
  out.insert(out.end(), package.begin(), package.end());
  return out;
}

}  // namespace imagegen
