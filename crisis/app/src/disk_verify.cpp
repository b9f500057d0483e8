#include "crisis_app/disk_verify.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "crisis_app/checked_file.h"
#include "crisis_app/compressor.h"
#include "platform/le_bytes.h"

namespace crisis {

namespace {

constexpr uint64_t kSector = 512;
constexpr uint64_t kLargestRead = 1 << 20;

std::string Num(uint64_t v) { return std::to_string(v); }

std::string Hex(uint8_t v) {
  char s[8];
  std::snprintf(s, sizeof s, "0x%02X", v);
  return s;
}

// Where things lie, from the parameters the build gave the file system.
struct FatLayout {
  uint32_t sectorsPerCluster = 0, fats = 0, sectorsPerFat = 0, rootEntries = 0;
  uint64_t fatStart = 0, rootStart = 0, rootSectors = 0, dataStart = 0;
  uint32_t clusters = 0;  // data clusters, numbered from 2
  bool fat12 = false;
  uint8_t media = 0;

  uint64_t ClusterBytes() const { return uint64_t{sectorsPerCluster} * kSector; }
};

bool PlanFat(const MediumLayout& m, FatLayout* l, std::string* error) {
  const tavrin::BootParams& p = m.params;
  const uint32_t spc = p.SectorsPerCluster();
  if (!p.Plausible() || p.ReservedSectors() == 0) {
    *error = "the build's file system parameters are not a FAT layout";
    return false;
  }
  l->sectorsPerCluster = spc;
  l->fats = p.NumberOfFats();
  l->sectorsPerFat = p.SectorsPerFat();
  l->rootEntries = p.RootEntries();
  l->media = p.Media();
  l->fatStart = m.fsStart + p.ReservedSectors();
  l->rootStart = l->fatStart + uint64_t{l->fats} * l->sectorsPerFat;
  l->rootSectors = p.RootSectors();
  l->dataStart = l->rootStart + l->rootSectors;
  const uint64_t end = m.fsStart + p.TotalSectors();
  if (l->dataStart >= end) {
    *error = "the build's file system parameters leave no data area";
    return false;
  }
  l->clusters = static_cast<uint32_t>(std::min<uint64_t>((end - l->dataStart) / spc, 0xFFFFFFFFull));
  l->fat12 = l->clusters < 4085;
  const uint64_t entryBits = l->fat12 ? 12 : 16;
  if (l->clusters >= 65525 || (uint64_t{l->clusters} + 2) * entryBits > uint64_t{l->sectorsPerFat} * kSector * 8) {
    *error = "the build's file system parameters give a FAT too short for its clusters";
    return false;
  }
  return true;
}

void PutFatEntry(const FatLayout& l, std::vector<uint8_t>& fat, uint32_t c, uint32_t v) {
  if (!l.fat12) {
    plat::PutLe16(fat.data(), fat.size(), uint64_t{c} * 2, static_cast<uint16_t>(v));
    return;
  }
  const size_t at = c + c / 2;
  uint32_t old = plat::Le16(fat.data(), fat.size(), at);
  uint32_t now = c & 1 ? (old & 0x000F) | (v << 4) : (old & 0xF000) | (v & 0xFFF);
  plat::PutLe16(fat.data(), fat.size(), at, static_cast<uint16_t>(now));
}

// Case bits mtools sets in byte 12 for a name it keeps short: base and
// extension each all lower case.
uint8_t LowerCaseFlags(const std::string& name) {
  const size_t dot = name.find('.');
  auto lower = [](const std::string& part) {
    bool any = false;
    for (char ch : part) {
      if (ch >= 'A' && ch <= 'Z') return false;
      any = any || (ch >= 'a' && ch <= 'z');
    }
    return any;
  };
  uint8_t flags = 0;
  if (lower(name.substr(0, dot))) flags |= 0x08;
  if (dot != std::string::npos && lower(name.substr(dot + 1))) flags |= 0x10;
  return flags;
}

// Bytes the medium must hold over a run of sectors, with those that can't be
// known in advance left out, and what each byte is for the message.
struct Expected {
  uint64_t first = 0;  // sector
  std::string area;    // "FAT 1", "root directory", ...
  std::vector<uint8_t> bytes;
  std::vector<bool> skip;  // empty: every byte counts
  std::function<std::string(uint64_t byte)> what;  // by byte offset in `bytes`
};

class Verifier {
 public:
  Verifier(MediumReadBack& m, std::string* error) : m_(m), error_(error) {}

  bool Check(const std::vector<ExpectedFile>& files, const std::vector<uint8_t>& bootCode) {
    const MediumLayout& ml = m_.Layout();
    FatLayout l;
    if (!PlanFat(ml, &l, error_)) return false;

    // Each file's place: contiguous chains from cluster 2 in copy order, as
    // the key's own copy and mcopy on a fresh file system both lay them.
    std::vector<uint32_t> start(files.size(), 0);
    std::vector<uint64_t> count(files.size(), 0);
    uint64_t next = 2;
    for (size_t i = 0; i < files.size(); ++i) {
      count[i] = (files[i].bytes.size() + l.ClusterBytes() - 1) / l.ClusterBytes();
      if (count[i] == 0) continue;
      start[i] = static_cast<uint32_t>(next);
      next += count[i];
      if (next - 1 > uint64_t{l.clusters} + 1) {
        *error_ = "the files need more clusters than the file system has";
        return false;
      }
    }
    if (files.size() > l.rootEntries) {
      *error_ = "the files need more root directory entries than the file system has";
      return false;
    }

    if (!ml.mbr.empty()) {
      Expected e;
      e.first = 0;
      e.area = "master boot record";
      e.bytes = ml.mbr;
      e.bytes.resize(kSector);
      if (!Compare(e)) return false;
    }
    if (!CompareBootSector(ml, bootCode)) return false;

    Expected fat;
    fat.area = "FAT";
    fat.bytes.assign(uint64_t{l.sectorsPerFat} * kSector, 0);
    PutFatEntry(l, fat.bytes, 0, (l.fat12 ? 0xF00u : 0xFF00u) | l.media);
    PutFatEntry(l, fat.bytes, 1, l.fat12 ? 0xFFFu : 0xFFFFu);
    for (size_t i = 0; i < files.size(); ++i)
      for (uint64_t k = 0; k < count[i]; ++k)
        PutFatEntry(l, fat.bytes, static_cast<uint32_t>(start[i] + k),
                    k + 1 == count[i] ? (l.fat12 ? 0xFFFu : 0xFFFFu) : static_cast<uint32_t>(start[i] + k + 1));
    const bool fat12 = l.fat12;
    fat.what = [&, fat12](uint64_t byte) {
      const uint64_t entry = fat12 ? byte * 2 / 3 : byte / 2;
      if (entry < 2) return std::string("the media marker");
      for (size_t i = 0; i < files.size(); ++i)
        if (count[i] && entry >= start[i] && entry < start[i] + count[i]) return "the chain of " + files[i].name;
      return std::string("a free entry");
    };
    for (uint32_t k = 0; k < l.fats; ++k) {
      fat.first = l.fatStart + uint64_t{k} * l.sectorsPerFat;
      fat.area = "FAT " + Num(k + 1);
      if (!Compare(fat)) return false;
    }

    Expected root;
    root.first = l.rootStart;
    root.area = "root directory";
    root.bytes.assign(l.rootSectors * kSector, 0);
    for (size_t i = 0; i < files.size(); ++i) {
      char name[11];
      if (!tavrin::ShortName(files[i].name, name)) {
        *error_ = files[i].name + " has no DOS name";
        return false;
      }
      const tavrin::DirectoryEntry entry = tavrin::MakeDirectoryEntry(
          name, files[i].times, static_cast<uint16_t>(start[i]), static_cast<uint32_t>(files[i].bytes.size()));
      std::copy(entry.begin(), entry.end(), root.bytes.begin() + static_cast<long>(i * 32));
      // The tools stamp the copy with times of their own choosing; a file
      // whose times could not be taken can't be checked on its times either.
      if (ml.byTools) root.bytes[i * 32 + 12] = LowerCaseFlags(files[i].name);
      if (ml.byTools || !files[i].hasTimes) {
        if (root.skip.empty()) root.skip.assign(root.bytes.size(), false);
        for (size_t b : {13, 14, 15, 16, 17, 18, 19, 22, 23, 24, 25}) root.skip[i * 32 + b] = true;
      }
    }
    root.what = [&](uint64_t byte) {
      const uint64_t slot = byte / 32;
      return slot < files.size() ? "the entry of " + files[slot].name : std::string("an empty slot");
    };
    if (!Compare(root)) return false;

    for (size_t i = 0; i < files.size(); ++i)
      if (count[i] && !CheckData(l, files[i], start[i], count[i], ml.byTools)) return false;
    return true;
  }

 private:
  bool ReadSectors(uint64_t first, uint64_t count, std::vector<uint8_t>& out) {
    if (first + count > m_.Size() / kSector) {
      *error_ = "sector " + Num(first + count - 1) + " lies past the end of the medium";
      return false;
    }
    out.resize(count * kSector);
    for (uint64_t done = 0; done < out.size();) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(kLargestRead, out.size() - done));
      if (!m_.Read(first * kSector + done, out.data() + done, n, error_)) return false;
      done += n;
    }
    return true;
  }

  bool Differs(const Expected& e, uint64_t at, uint8_t got) {
    const uint64_t sector = e.first + at / kSector;
    *error_ = "sector " + Num(sector) + " (" + e.area + (e.what ? ", " + e.what(at) : std::string()) +
              ") differs at byte " + Num(at % kSector) + ": expected " + Hex(e.bytes[at]) + ", read " + Hex(got);
    return false;
  }

  bool Compare(const Expected& e) {
    std::vector<uint8_t> got;
    const uint64_t sectors = e.bytes.size() / kSector;
    for (uint64_t done = 0; done < sectors;) {
      const uint64_t n = std::min<uint64_t>(kLargestRead / kSector, sectors - done);
      if (!ReadSectors(e.first + done, n, got)) return false;
      for (uint64_t k = 0; k < got.size(); ++k) {
        const uint64_t at = done * kSector + k;
        if (got[k] != e.bytes[at] && (e.skip.empty() || !e.skip[at])) return Differs(e, at, got[k]);
      }
      done += n;
    }
    return true;
  }

  bool CompareBootSector(const MediumLayout& ml, const std::vector<uint8_t>& bootCode) {
    Expected e;
    e.first = ml.fsStart;
    e.area = "boot sector";
    e.bytes.assign(kSector, 0);
    if (!bootCode.empty()) {
      std::copy(bootCode.begin(), bootCode.begin() + static_cast<long>(std::min<size_t>(bootCode.size(), kSector)),
                e.bytes.begin());
      // The key's sector gets the build's parameters; the floppy's is the file, whole.
      if (!ml.byTools) ml.params.CopyToSector(e.bytes.data());
      return Compare(e);
    }
    // mkfs.fat's own: its parameters and signature; the rest (serial number,
    // code) is the tool's.
    ml.params.CopyToSector(e.bytes.data());
    e.bytes[510] = 0x55;
    e.bytes[511] = 0xAA;
    e.skip.assign(kSector, true);
    for (size_t b = 11; b < 36; ++b) e.skip[b] = false;
    e.skip[510] = e.skip[511] = false;
    return Compare(e);
  }

  // The file's bytes in its clusters; on the key the rest of the last
  // cluster is zero too (mcopy leaves there whatever the medium held).
  bool CheckData(const FatLayout& l, const ExpectedFile& f, uint32_t start, uint64_t count, bool byTools) {
    Expected e;
    e.first = l.dataStart + uint64_t{start - 2} * l.sectorsPerCluster;
    e.area = f.name;
    e.bytes = f.bytes;
    e.bytes.resize(count * l.ClusterBytes(), 0);
    const uint64_t size = f.bytes.size();
    if (byTools) {
      e.skip.assign(e.bytes.size(), false);
      std::fill(e.skip.begin() + static_cast<long>(size), e.skip.end(), true);
    }
    e.what = [size](uint64_t byte) {
      return byte < size ? "its byte " + Num(byte) : std::string("past its end");
    };
    if (!Compare(e)) return false;
    if (f.compressed) {
      std::string why;
      if (!VerifyCompressed(f.image, f.bytes, why, &f.bytes)) {
        *error_ = f.name + " read back from the medium " + why;
        return false;
      }
    }
    return true;
  }

  MediumReadBack& m_;
  std::string* error_;
};

}  // namespace

bool VerifyCrisisDisk(MediumReadBack& medium, const std::vector<ExpectedFile>& files,
                      const std::vector<uint8_t>& bootCode, std::string* error) {
  Verifier v(medium, error);
  return v.Check(files, bootCode);
}

bool VerifyBuiltDisk(CrisisMedium& medium, const std::vector<std::string>& copied,
                     const std::map<std::string, tavrin::FileTimes>& times, const std::string& autoexecText,
                     const std::vector<uint8_t>* encoded, const std::string& imageFile,
                     const std::string& bootFile, std::string* error) {
  std::vector<uint8_t> bootCode;
  if (!bootFile.empty()) {
    if (!ReadInputFile(bootFile, 0xFFFFFFFFull, bootCode, error)) return false;
    bootCode.resize(kSector);  // a short file left the rest of the sector zero
  }
  std::vector<ExpectedFile> files;
  for (const std::string& name : copied) {
    ExpectedFile f;
    f.name = name;
    auto t = times.find(name);
    if (t != times.end()) {
      f.times = t->second;
      f.hasTimes = true;
    }
    if (name == "autoexec.bat") {
      f.name = "AUTOEXEC.BAT";  // the name it is copied under
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
