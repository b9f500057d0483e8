#include "crisis_app/disk_verify.h"

#include <algorithm>
#include <cstring>

#include "crisis_app/checked_file.h"
#include "crisis_app/compressor.h"
#include "disk/directory_entry.h"
#include "platform/le_bytes.h"

namespace crisis {

namespace {

constexpr uint64_t kSector = 512;
constexpr uint64_t kLargestRead = 1 << 20;

std::string Num(uint64_t v) { return std::to_string(v); }

// Where things lie, from the boot sector's parameters.
struct FatLayout {
  uint64_t start = 0;  // boot sector
  uint32_t sectorsPerCluster = 0, fats = 0, sectorsPerFat = 0, rootEntries = 0;
  uint64_t fatStart = 0, rootStart = 0, rootSectors = 0, dataStart = 0, end = 0;
  uint32_t clusters = 0;  // data clusters, numbered from 2
  bool fat12 = false;

  uint64_t ClusterBytes() const { return uint64_t{sectorsPerCluster} * kSector; }
  uint32_t EndOfChain() const { return fat12 ? 0xFF8 : 0xFFF8; }

  std::string Describe(uint64_t sector) const {
    if (sector < start) return "partition table area";
    if (sector == start) return "boot sector";
    if (sector < fatStart) return "reserved sectors";
    if (sector < rootStart) return "FAT " + Num((sector - fatStart) / sectorsPerFat + 1);
    if (sector < dataStart) return "root directory";
    return "data area";
  }
};

bool ParseBootSector(const uint8_t* b, uint64_t start, uint64_t mediumSectors, FatLayout* l,
                     std::string* error) {
  const size_t n = kSector;
  uint32_t bps = plat::Le16(b, n, 11);
  l->start = start;
  l->sectorsPerCluster = b[13];
  uint32_t reserved = plat::Le16(b, n, 14);
  l->fats = b[16];
  l->rootEntries = plat::Le16(b, n, 17);
  uint32_t total = plat::Le16(b, n, 19) ? plat::Le16(b, n, 19) : plat::Le32(b, n, 32);
  l->sectorsPerFat = plat::Le16(b, n, 22);
  const uint32_t spc = l->sectorsPerCluster;
  if (bps != kSector || spc == 0 || (spc & (spc - 1)) != 0 || reserved == 0 || l->fats == 0 ||
      l->fats > 4 || l->sectorsPerFat == 0 || l->rootEntries == 0 || total == 0) {
    *error = "the boot sector holds no FAT file system the crisis disk can use";
    return false;
  }
  l->fatStart = start + reserved;
  l->rootStart = l->fatStart + uint64_t{l->fats} * l->sectorsPerFat;
  l->rootSectors = (uint64_t{l->rootEntries} * 32 + kSector - 1) / kSector;
  l->dataStart = l->rootStart + l->rootSectors;
  l->end = start + total;
  // The key layout may claim up to a cylinder past the medium's end (its
  // cylinder count is rounded up to even); what the files use is checked
  // against the medium as it is read.
  if (l->dataStart >= l->end || l->dataStart > mediumSectors) {
    *error = "the boot sector describes a file system that does not fit the medium";
    return false;
  }
  l->clusters = static_cast<uint32_t>((l->end - l->dataStart) / spc);
  if (l->clusters >= 65525) {
    *error = "the boot sector describes a file system that is not FAT12 or FAT16";
    return false;
  }
  l->fat12 = l->clusters < 4085;
  // Every cluster needs its FAT entry.
  uint64_t entryBits = l->fat12 ? 12 : 16;
  if ((uint64_t{l->clusters} + 2) * entryBits > uint64_t{l->sectorsPerFat} * kSector * 8) {
    *error = "the boot sector's FAT is too short for its clusters";
    return false;
  }
  return true;
}

class Verifier {
 public:
  Verifier(MediumReadBack& m, std::string* error) : m_(m), error_(error) {}

  bool ReadSectors(uint64_t first, uint64_t count, std::vector<uint8_t>& out) {
    out.resize(count * kSector);
    // Sectors already read back and found equal to what was written are
    // not read a second time.
    if (compared_ && FromWritten(first, count, out)) return true;
    for (uint64_t done = 0; done < out.size();) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(kLargestRead, out.size() - done));
      if (!m_.Read(first * kSector + done, out.data() + done, n, error_)) return false;
      done += n;
    }
    return true;
  }

  // Each sector the build wrote, against the medium, in runs of neighbours.
  bool CompareWritten(const FatLayout* layout) {
    const auto& w = m_.WrittenSectors();
    std::vector<uint8_t> got;
    for (auto it = w.begin(); it != w.end();) {
      auto end = it;
      uint64_t n = 0;
      while (end != w.end() && end->first == it->first + n && n < kLargestRead / kSector) {
        ++end;
        ++n;
      }
      if ((uint64_t{it->first} + n) * kSector > m_.Size()) {
        *error_ = "sector " + Num(it->first) + " was written past the end of the medium";
        return false;
      }
      if (!ReadSectors(it->first, n, got)) return false;
      uint64_t k = 0;
      for (auto j = it; j != end; ++j, ++k) {
        const uint8_t* on = got.data() + k * kSector;
        if (std::memcmp(on, j->second.data(), kSector) != 0) {
          size_t byte = std::mismatch(on, on + kSector, j->second.data()).first - on;
          *error_ = "sector " + Num(j->first) + (layout ? " (" + layout->Describe(j->first) + ")" : "") +
                    " differs from what was written, at byte " + Num(byte);
          return false;
        }
      }
      it = end;
    }
    compared_ = true;
    return true;
  }

  bool Check(const std::vector<ExpectedFile>& files, const std::vector<uint8_t>& bootCode) {
    const uint64_t mediumSectors = m_.Size() / kSector;
    std::vector<uint8_t> boot;
    if (m_.FileSystemStart() >= mediumSectors) {
      *error_ = "the file system starts past the end of the medium";
      return false;
    }
    if (!ReadSectors(m_.FileSystemStart(), 1, boot)) return false;
    FatLayout l;
    std::string bootError;
    bool parsed = ParseBootSector(boot.data(), m_.FileSystemStart(), mediumSectors, &l, &bootError);
    // The sectors first: their message says exactly where the medium went wrong.
    if (!CompareWritten(parsed ? &l : nullptr)) return false;
    // Also when its write went wrong unnoticed and so was never recorded.
    if (!bootCode.empty()) {
      std::vector<uint8_t> code(bootCode);
      code.resize(kSector);
      for (size_t i = 0; i < kSector; ++i) {
        if (i >= 11 && i <= 61) continue;
        if (boot[i] != code[i]) {
          *error_ = "the boot sector differs from the boot sector file at byte " + Num(i);
          return false;
        }
      }
    }
    if (!parsed) {
      *error_ = bootError;
      return false;
    }

    std::vector<uint8_t> fat, copy;
    if (!ReadSectors(l.fatStart, l.sectorsPerFat, fat)) return false;
    for (uint32_t k = 1; k < l.fats; ++k) {
      if (!ReadSectors(l.fatStart + uint64_t{k} * l.sectorsPerFat, l.sectorsPerFat, copy)) return false;
      if (copy != fat) {
        size_t byte = std::mismatch(fat.begin(), fat.end(), copy.begin()).first - fat.begin();
        *error_ = "FAT " + Num(k + 1) + " differs from FAT 1 at byte " + Num(byte);
        return false;
      }
    }
    std::vector<uint8_t> root;
    if (!ReadSectors(l.rootStart, l.rootSectors, root)) return false;

    for (const ExpectedFile& f : files)
      if (!CheckFile(l, fat, root, f)) return false;
    return true;
  }

 private:
  uint32_t FatEntry(const FatLayout& l, const std::vector<uint8_t>& fat, uint32_t c) const {
    if (l.fat12) {
      uint32_t v = plat::Le16(fat.data(), fat.size(), c + c / 2);
      return c & 1 ? v >> 4 : v & 0xFFF;
    }
    return plat::Le16(fat.data(), fat.size(), uint64_t{c} * 2);
  }

  const uint8_t* FindEntry(const std::vector<uint8_t>& root, const char name[11]) const {
    for (size_t at = 0; at + 32 <= root.size(); at += 32) {
      const uint8_t* e = root.data() + at;
      if (e[0] == 0x00) break;  // no entries after this one
      if (e[0] == 0xE5 || (e[11] & 0x0F) == 0x0F || (e[11] & 0x18) != 0) continue;  // deleted, long name, label, folder
      if (std::memcmp(e, name, 11) == 0) return e;
    }
    return nullptr;
  }

  bool CheckFile(const FatLayout& l, const std::vector<uint8_t>& fat, const std::vector<uint8_t>& root,
                 const ExpectedFile& f) {
    char name[11];
    if (!tavrin::ShortName(f.name, name)) {
      *error_ = f.name + " has no DOS name";
      return false;
    }
    const uint8_t* e = FindEntry(root, name);
    if (!e) {
      *error_ = f.name + " is missing from the root directory";
      return false;
    }
    const uint64_t size = plat::Le32(e, 32, 28);
    if (size != f.bytes.size()) {
      *error_ = f.name + " holds " + Num(size) + " bytes on the medium instead of " + Num(f.bytes.size());
      return false;
    }
    // Follow the chain; each run of neighbouring clusters is read at once.
    std::vector<uint8_t> got;
    got.reserve(f.bytes.size());
    const uint64_t need = (size + l.ClusterBytes() - 1) / l.ClusterBytes();
    uint32_t c = plat::Le16(e, 32, 26);
    if (need == 0 && c != 0) {
      *error_ = f.name + " is empty yet owns cluster " + Num(c);
      return false;
    }
    std::vector<uint8_t> run;
    for (uint64_t k = 0; k < need;) {
      uint64_t first = c, n = 0;
      for (;;) {
        if (c < 2 || c > l.clusters + 1) {
          *error_ = f.name + ": its cluster chain is broken at its cluster " + Num(k + n + 1);
          return false;
        }
        ++n;
        uint32_t next = FatEntry(l, fat, c);
        if (k + n == need) {
          if (next < l.EndOfChain()) {
            *error_ = f.name + ": its cluster chain goes on past the file's end";
            return false;
          }
          break;
        }
        if (next != c + 1 || n * l.ClusterBytes() >= kLargestRead) {
          c = next;
          break;
        }
        c = next;
      }
      if (!ReadSectors(l.dataStart + (first - 2) * l.sectorsPerCluster, n * l.sectorsPerCluster, run))
        return false;
      got.insert(got.end(), run.begin(), run.end());
      k += n;
    }
    got.resize(static_cast<size_t>(size));
    if (got != f.bytes) {
      size_t byte = std::mismatch(got.begin(), got.end(), f.bytes.begin()).first - got.begin();
      *error_ = f.name + " differs from what was written, at byte " + Num(byte);
      return false;
    }
    if (f.compressed) {
      std::string why;
      if (!VerifyCompressed(f.image, got, why, &f.bytes)) {
        *error_ = f.name + " read back from the medium " + why;
        return false;
      }
    }
    return true;
  }

  bool FromWritten(uint64_t first, uint64_t count, std::vector<uint8_t>& out) const {
    const auto& w = m_.WrittenSectors();
    if (first + count > 0xFFFFFFFFull) return false;
    auto it = w.find(static_cast<uint32_t>(first));
    for (uint64_t k = 0; k < count; ++k, ++it) {
      if (it == w.end() || it->first != first + k) return false;
      std::memcpy(out.data() + k * kSector, it->second.data(), kSector);
    }
    return true;
  }

  MediumReadBack& m_;
  std::string* error_;
  bool compared_ = false;
};

}  // namespace

bool VerifyCrisisDisk(MediumReadBack& medium, const std::vector<ExpectedFile>& files,
                      const std::vector<uint8_t>& bootCode, std::string* error) {
  Verifier v(medium, error);
  return v.Check(files, bootCode);
}

bool VerifyBuiltDisk(CrisisMedium& medium, const std::vector<std::string>& copied,
                     const std::string& autoexecText, const std::vector<uint8_t>* encoded,
                     const std::string& imageFile, const std::string& bootFile, std::string* error) {
  std::vector<uint8_t> bootCode;
  if (!bootFile.empty()) {
    if (!ReadInputFile(bootFile, 0xFFFFFFFFull, bootCode, error)) return false;
    bootCode.resize(kSector);  // a short file left the rest of the sector zero
  }
  std::vector<ExpectedFile> files;
  for (const std::string& name : copied) {
    ExpectedFile f;
    f.name = name;
    if (name == "autoexec.bat") {
      f.bytes.assign(autoexecText.begin(), autoexecText.end());
    } else if (encoded && name == "bios.qzw") {
      f.bytes = *encoded;
      f.compressed = true;
      if (!ReadInputFile(imageFile, kMaxImageBytes, f.image, error)) return false;
    } else if (!ReadInputFile(name, 0xFFFFFFFFull, f.bytes, error)) {  // a FAT file's largest size
      return false;
    }
    files.push_back(std::move(f));
  }
  std::unique_ptr<MediumReadBack> back = medium.OpenReadBack(error);
  if (!back) return false;
  return VerifyCrisisDisk(*back, files, bootCode, error);
}

}  // namespace crisis
