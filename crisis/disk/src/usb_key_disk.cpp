#include "disk/usb_key_disk.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "disk/directory_entry.h"
#include "disk/disk_messages.h"
#include "disk/int13ext.h"
#include "disk/sector_buffer.h"
#include "platform/device.h"
#include "platform/file_system.h"
#include "platform/le_bytes.h"
#include "platform/message_box.h"
#include "platform/quit_request.h"
#include "platform/virtual_memory.h"

namespace tavrin {

namespace {

// A buffer that could not be committed during the sector work.
struct MemoryFault {};

void Commit(const SectorBuffer& b) {
  if (!b.ok()) throw MemoryFault{};
}

constexpr uint32_t kChunkSectors = 4;  // INT13EXT.VXD requests carry at most 4 sectors

class FileCloser {
 public:
  explicit FileCloser(std::FILE* f) : f_(f) {}
  ~FileCloser() {
    if (f_) std::fclose(f_);
  }

 private:
  std::FILE* f_;
};

void ShowFault() {
  plat::MessageBox(kMemoryFault, kTitle, plat::MB_ICONERROR);
  plat::PostQuitMessage(-1);
}

// A sector transfer or a file read that failed while the key was laid out.
bool LayoutFailed(const std::string& what) {
  plat::MessageBox("Error, " + what + ", the removable disk is not usable. Please try again!", kTitle,
                   plat::MB_ICONERROR);
  return false;
}

}  // namespace

CUSBKeyDisk::CUSBKeyDisk(const std::string& name, int bFixedDisk) : CDisk(name, bFixedDisk), m_pSector(nullptr) {
  m_pSector = static_cast<uint8_t*>(plat::VirtualAlloc(kSectorSize));
  if (!m_pSector) {
    plat::MessageBox(kNoMemory, kTitle, plat::MB_ICONERROR);
    plat::PostQuitMessage(-1);
  }
}

CUSBKeyDisk::~CUSBKeyDisk() { plat::VirtualFree(m_pSector); }

bool CUSBKeyDisk::ReadSectorsBios(uint32_t lba, void* buffer, uint32_t count) {
  return TransferBios(lba, static_cast<uint8_t*>(buffer), count, false);
}

bool CUSBKeyDisk::WriteSectorsBios(uint32_t lba, const void* buffer, uint32_t count) {
  return TransferBios(lba, static_cast<uint8_t*>(const_cast<void*>(buffer)), count, true);
}

bool CUSBKeyDisk::TransferBios(uint32_t lba, uint8_t* buffer, uint32_t count, bool write) {
  int drive = BiosDriveNumber(m_strName);
  if (!buffer || drive < 0) return false;
  std::unique_ptr<plat::Device> dev = OpenInt13Ext("\\\\.\\int13ext.vxd");
  if (!dev) return false;
  // Buffers outside the flat-addressed blocks go through a bounce buffer.
  bool flat = plat::FlatAddress(buffer) != 0 &&
              (count == 0 || plat::FlatAddress(buffer + static_cast<size_t>(count) * kSectorSize - 1) ==
                                 plat::FlatAddress(buffer) + count * kSectorSize - 1);
  SectorBuffer bounce(flat ? 0 : kChunkSectors);
  if (!flat && !bounce.ok()) return false;

  auto request = [&](uint32_t first, uint32_t sectors, uint8_t* data) {
    uint8_t* io = data;
    if (!flat) {
      io = bounce.data();
      if (write) std::memcpy(io, data, sectors * kSectorSize);
    }
    bool ok = Int13ExtTransfer(*dev, drive, first, static_cast<uint16_t>(sectors), plat::FlatAddress(io), write);
    if (ok && !write && !flat) std::memcpy(data, io, sectors * kSectorSize);
    return ok;
  };

  // 32-bit counters: a 16-bit chunk count would silently drop sectors of a large transfer.
  uint32_t chunks = count / kChunkSectors;
  for (uint32_t i = 0; i < chunks; ++i) {
    if (!request(lba + kChunkSectors * i, kChunkSectors, buffer + static_cast<size_t>(2048) * i)) return false;
  }
  uint32_t rest = count - kChunkSectors * chunks;
  if (rest != 0) return request(lba + kChunkSectors * chunks, rest, buffer + static_cast<size_t>(2048) * chunks);
  return true;
}

bool CUSBKeyDisk::Get(uint32_t lba, void* buffer, uint32_t count) {
  if (ReadSectors(lba, buffer, count)) return true;
  plat::MessageBox(ReadFailedMessage(ShownDriveName(m_strName), lba), kTitle, plat::MB_ICONERROR);
  return false;
}

bool CUSBKeyDisk::Put(uint32_t lba, const void* buffer, uint32_t count) {
  if (WriteSectors(lba, buffer, count)) return true;
  plat::MessageBox(WriteFailedMessage(ShownDriveName(m_strName), lba), kTitle, plat::MB_ICONERROR);
  return false;
}

bool CUSBKeyDisk::CheckMedia() {
  if (hold_) return true;
  plat::DiskRefusal refusal = plat::DiskRefusal::None;
  hold_ = plat::DiskHold::Acquire(m_strName, &refusal);
  if (!hold_) return ShowRefusal(refusal == plat::DiskRefusal::None ? plat::DiskRefusal::InUse : refusal);
  // A key that can't take a crisis disk is refused now, not after the
  // questions that come before the first write.
  if (!m_pSector || PlanLayout()) return true;
  hold_.reset();
  return false;
}

void CUSBKeyDisk::EjectMedia() {
  if (!m_bNT) {
    Int13ExtEject(BiosDriveNumber(m_strName));
  } else {
    uint32_t err = 0, returned = 0;
    std::unique_ptr<plat::Device> dev =
        plat::OpenDevice(m_strName, plat::GENERIC_READ | plat::GENERIC_WRITE, &err);
    if (dev) dev->IoControl(plat::IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, nullptr, 0, &returned, &err);
  }
  hold_.reset();
}

void CUSBKeyDisk::BuildBootParams(BootParams* params) {
  plat::DISK_GEOMETRY g{};
  GetGeometry(&g);
  *params = MakeBootParams(g);
}

bool CUSBKeyDisk::PlanLayout() {
  const std::string shown = ShownDriveName(m_strName);
  plat::DISK_GEOMETRY g{};
  uint64_t medium = 0;
  if (!GetGeometry(&g) || !GetMediumSectors(&medium)) {
    plat::MessageBox(TooSmallMessage(shown), kTitle, plat::MB_ICONERROR);
    return false;
  }
  std::memset(m_pSector, 0, kSectorSize);
  bool haveMbr = m_bFixedDisk && ReadSectors(0, m_pSector, 1);
  SectorReader read = [this](uint32_t sector, uint8_t* buffer) { return ReadSectors(sector, buffer, 1); };
  switch (PlanKeyLayout(g, medium, m_bFixedDisk != 0, haveMbr ? m_pSector : nullptr, read, &layout_)) {
    case LayoutVerdict::Ok: return true;
    case LayoutVerdict::TooLarge:
      plat::MessageBox(TooLargeMessage(shown), kTitle, plat::MB_ICONERROR);
      return false;
    case LayoutVerdict::TooSmall: break;
  }
  plat::MessageBox(TooSmallMessage(shown), kTitle, plat::MB_ICONERROR);
  return false;
}

bool CUSBKeyDisk::CheckRoom(const std::vector<uint64_t>& fileSizes) {
  if (!m_pSector) return false;
  if (layout_.cylinders == 0 && !PlanLayout()) return false;
  const BootParams& p = layout_.params;
  const uint64_t clusterBytes = static_cast<uint64_t>(p.SectorsPerCluster()) * kSectorSize;
  const uint64_t clusters =
      (p.TotalSectors() - p.ReservedSectors() - p.FatAreaSectors() - p.RootSectors()) / p.SectorsPerCluster();
  uint64_t needed = 0;
  for (uint64_t size : fileSizes) needed += (size + clusterBytes - 1) / clusterBytes;
  if (needed <= clusters && fileSizes.size() <= p.RootEntries()) return true;
  plat::MessageBox(TooSmallMessage(ShownDriveName(m_strName)), kTitle, plat::MB_ICONERROR);
  return false;
}

bool CUSBKeyDisk::InitPartitionTable(PartitionEntry* entry) {
  if (!m_pSector) throw MemoryFault{};
  if (layout_.newTable) {
    std::FILE* f = plat::OpenFile("crismbr.bin", "rb");
    if (!f) {
      plat::MessageBox(kNoMbrFile, kTitle, plat::MB_ICONERROR);
      return false;
    }
    std::memset(m_pSector, 0, kSectorSize);
    size_t got = std::fread(m_pSector, 1, kSectorSize, f);
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    (void)got;  // a short file leaves the rest of the sector zero
    if (readError) return LayoutFailed("crismbr.bin can't be read");
    std::copy(layout_.entry.begin(), layout_.entry.end(), m_pSector + kPartitionTableOffset);
    if (!Put(0, m_pSector, 1)) return false;
  } else {
    if (!Get(0, m_pSector, 1)) return false;
    uint8_t* e = m_pSector + kPartitionTableOffset + layout_.reusedEntry * kPartitionEntrySize;
    if (e[4] != 0x04) {
      e[4] = 0x04;
      if (!Put(0, m_pSector, 1)) return false;
    }
  }
  *entry = layout_.entry;
  return true;
}

bool CUSBKeyDisk::WriteBootSector(const std::string& file) {
  std::FILE* f = plat::OpenFile(file, "rb");
  if (!f) {
    plat::MessageBox(MissingBootFileMessage(file), kTitle, plat::MB_ICONERROR);
    return false;
  }
  FileCloser closer(f);
  try {
    return PrepareMedium(f, file);
  } catch (const MemoryFault&) {
  } catch (const std::bad_alloc&) {
  }
  // A caught fault is a failure: the key is not usable.
  ShowFault();
  return false;
}

bool CUSBKeyDisk::PrepareMedium(std::FILE* bootFile, const std::string&) {
  SectorBuffer image(1);
  Commit(image);
  if (!m_pSector) throw MemoryFault{};
  size_t got = std::fread(image.data(), 1, kSectorSize, bootFile);
  (void)got;  // a short file leaves the rest of the sector zero
  if (std::ferror(bootFile)) return LayoutFailed("the boot sector file can't be read");

  // Every reason to refuse the key is found before its first sector changes:
  // the claim on it, its size, and in the "Fixed" layout the boot record file.
  if (!CheckMedia() || !CheckWritable() || !PlanLayout()) return false;
  if (layout_.newTable && !plat::FileExists("crismbr.bin")) {
    plat::MessageBox(kNoMbrFile, kTitle, plat::MB_ICONERROR);
    plat::MessageBox(kCantInitTable, kTitle, plat::MB_OK);
    return false;
  }

  m_bootParams = layout_.params;
  fat_.clear();
  root_.clear();
  const uint32_t b = m_bootParams.HiddenSectors();
  if (m_bFixedDisk) {
    PartitionEntry entry{};
    if (!InitPartitionTable(&entry)) {
      plat::MessageBox(kCantInitTable, kTitle, plat::MB_OK);
      return false;
    }
  }
  m_bootParams.CopyToSector(image.data());
  if (!Put(b, image.data(), 1)) return false;

  uint32_t fats = m_bootParams.FatAreaSectors(), root = m_bootParams.RootSectors();
  uint32_t spf = m_bootParams.SectorsPerFat();
  SectorBuffer buffer(std::max(fats, root));
  Commit(buffer);
  // The media marker starts every FAT copy (with two FATs: the start and the middle).
  static const uint8_t kMarker[4] = {0xF8, 0xFF, 0xFF, 0xFF};
  for (uint32_t k = 0; k < m_bootParams.NumberOfFats(); ++k)
    std::memcpy(buffer.data() + static_cast<size_t>(k) * spf * kSectorSize, kMarker, sizeof kMarker);
  if (!Put(b + 1, buffer.data(), fats)) return false;
  fat_.assign(buffer.data(), buffer.data() + static_cast<size_t>(spf) * kSectorSize);
  buffer.Zero();
  if (!Put(b + 1 + fats, buffer.data(), root)) return false;
  root_.assign(static_cast<size_t>(root) * kSectorSize, 0);
  nextCluster_ = 2;
  usedSlots_ = 0;
  return true;
}

bool CUSBKeyDisk::CopyFileToDisk(const std::string& file) {
  std::string upper = plat::ToUpper(file);
  std::FILE* f = plat::OpenFile(upper, "rb");
  if (!f) return false;
  FileCloser closer(f);
  try {
    return AddFile(f, upper);
  } catch (const MemoryFault&) {
  } catch (const std::bad_alloc&) {
  }
  ShowFault();
  return false;
}

bool CUSBKeyDisk::AddFile(std::FILE* f, const std::string& file) {
  char name[11];
  if (!ShortName(file, name)) {
    plat::MessageBox(BadFileNameMessage(file), kTitle, plat::MB_ICONERROR);
    return false;
  }
  const BootParams& p = m_bootParams;
  if (!p.Plausible()) {
    plat::MessageBox(NotPreparedMessage(ShownDriveName(m_strName)), kTitle, plat::MB_ICONERROR);
    return false;
  }
  if (!CheckWritable()) return false;

  if (std::fseek(f, 0, SEEK_END) != 0) return false;
  long length = std::ftell(f);
  if (length < 0 || std::fseek(f, 0, SEEK_SET) != 0) return false;
  uint64_t size = static_cast<uint64_t>(length);
  FileTimes times;
  if (!FileTimesOf(file, &times)) times.created = times.accessed = times.written = std::time(nullptr);

  const uint32_t b = p.HiddenSectors();
  const uint32_t spf = p.SectorsPerFat(), fats = p.FatAreaSectors(), rootSectors = p.RootSectors();
  const uint32_t spc = p.SectorsPerCluster();
  const uint64_t clusterBytes = static_cast<uint64_t>(spc) * kSectorSize;
  const uint64_t n = (size + clusterBytes - 1) / clusterBytes;
  const uint64_t dataStart = static_cast<uint64_t>(b) + 1 + fats + rootSectors;

  // The FAT and the root directory come from this build's own copy, not
  // from the medium: a sector that reads back damaged must not pass for a
  // full key; the verify after the last file names it.
  if (fat_.size() != static_cast<size_t>(spf) * kSectorSize || root_.size() != static_cast<size_t>(rootSectors) * kSectorSize) {
    plat::MessageBox(NotPreparedMessage(ShownDriveName(m_strName)), kTitle, plat::MB_ICONERROR);
    return false;
  }
  const uint32_t fatEntries = spf * (kSectorSize / 2);
  const uint64_t first = nextCluster_;
  const uint32_t slots = std::min<uint32_t>(p.RootEntries(), rootSectors * (kSectorSize / 32));
  const uint32_t slot = usedSlots_;

  // Refuse what would not fit before anything is written.
  if (slot >= slots) {
    plat::MessageBox(RootFullMessage(file), kTitle, plat::MB_ICONERROR);
    return false;
  }
  // The planned layout ends inside the medium; a medium that shrank since
  // fails its first write past the end, naming the sector.
  uint64_t fsEnd = static_cast<uint64_t>(b) + p.TotalSectors();
  uint64_t lastCluster = fsEnd > dataStart ? (fsEnd - dataStart) / spc + 1 : 0;  // highest valid cluster number
  uint64_t dataSector = dataStart + static_cast<uint64_t>(spc) * (first - 2);
  uint64_t dataSectors = n * spc;
  bool room = size <= 0xFFFFFFFFull && (n == 0 || (first + n - 1 < fatEntries && first + n - 1 <= lastCluster)) &&
              dataSector + dataSectors <= fsEnd && dataSector + dataSectors <= 0xFFFFFFFFull &&
              dataSectors * kSectorSize <= 0xFFFFFFFFull;
  if (!room) {
    plat::MessageBox(NoRoomMessage(file), kTitle, plat::MB_ICONERROR);
    return false;
  }

  // The chain, contiguous from the first free entry; an empty file takes none.
  // Only the FAT sectors the chain touches are written, in every copy.
  for (uint64_t i = 0; i < n; ++i)
    plat::PutLe16(fat_.data(), fat_.size(), 2 * (first + i), static_cast<uint16_t>(first + i + 1));
  if (n > 0) {
    plat::PutLe16(fat_.data(), fat_.size(), 2 * (first + n - 1), 0xFFFF);
    const uint32_t from = static_cast<uint32_t>(first * 2 / kSectorSize);
    const uint32_t to = static_cast<uint32_t>((first + n - 1) * 2 / kSectorSize);
    for (uint32_t k = 0; k < p.NumberOfFats(); ++k)
      if (!Put(b + 1 + k * spf + from, fat_.data() + static_cast<size_t>(from) * kSectorSize, to - from + 1))
        return false;
  }

  // An empty file owns no cluster: FAT readers take a nonzero start as a chain.
  uint16_t startCluster = n > 0 ? static_cast<uint16_t>(first) : 0;
  DirectoryEntry entry = MakeDirectoryEntry(name, times, startCluster, static_cast<uint32_t>(size));
  std::memcpy(root_.data() + static_cast<size_t>(slot) * 32, entry.data(), entry.size());
  const uint32_t entrySector = slot * 32 / kSectorSize;
  if (!Put(b + 1 + fats + entrySector, root_.data() + static_cast<size_t>(entrySector) * kSectorSize, 1))
    return false;
  nextCluster_ = static_cast<uint32_t>(first + n);
  usedSlots_ = slot + 1;

  if (n > 0) {
    SectorBuffer data(static_cast<size_t>(dataSectors));
    Commit(data);
    // A file that reads short (cut while copied, or a read error) is no copy.
    if (std::fread(data.data(), 1, static_cast<size_t>(size), f) != size) return false;
    if (!Put(static_cast<uint32_t>(dataSector), data.data(), static_cast<uint32_t>(dataSectors))) return false;
  }
  return true;
}

}  // namespace tavrin
