// A USB key laid out by Tavrin itself: in the "Removable" layout one FAT16
// file system over the whole medium, in the "Fixed" layout a master boot
// record with one FAT16 partition from the second track. Files are added
// end to end from cluster 2, each with a contiguous chain.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "disk/boot_params.h"
#include "disk/disk.h"
#include "disk/key_layout.h"
#include "disk/partition_table.h"
#include "platform/disk_hold.h"

namespace tavrin {

class CUSBKeyDisk : public CDisk {
 public:
  CUSBKeyDisk(const std::string& name, int bFixedDisk);
  ~CUSBKeyDisk() override;

  // Claims the key for this build (no other build may touch it until
  // EjectMedia or the object's end); false, after saying why, when the key
  // must not be written or another build holds it.
  bool CheckMedia() override;
  bool CopyFileToDisk(const std::string& file) override;
  bool WriteBootSector(const std::string& file) override;
  // Whether files of these sizes fit the planned layout (clusters and root
  // entries); false after the "too small" message.
  bool CheckRoom(const std::vector<uint64_t>& fileSizes);
  // INT13EXT.VXD transfers in requests of at most 4 sectors.
  bool ReadSectorsBios(uint32_t lba, void* buffer, uint32_t count) override;
  bool WriteSectorsBios(uint32_t lba, const void* buffer, uint32_t count) override;

  // Flushes the key and ends this build's claim on it.
  void EjectMedia();
  // Writes the partition table that WriteBootSector planned ("Fixed" layout).
  bool InitPartitionTable(PartitionEntry* entry);
  void BuildBootParams(BootParams* params);

  const BootParams& bootParams() const { return m_bootParams; }
  // The layout WriteBootSector planned (and laid out, once it succeeded).
  const KeyLayout& layout() const { return layout_; }
  bool HasSectorBuffer() const { return m_pSector != nullptr; }

 private:
  bool TransferBios(uint32_t lba, uint8_t* buffer, uint32_t count, bool write);
  bool PrepareMedium(std::FILE* bootFile, const std::string& fileName);
  bool AddFile(std::FILE* f, const std::string& file);

  bool PlanLayout();
  // Sector transfers of the layout and the files: a failure is told (which
  // disk, which sector) and stops the work.
  bool Get(uint32_t lba, void* buffer, uint32_t count);
  bool Put(uint32_t lba, const void* buffer, uint32_t count);

  uint8_t* m_pSector;
  BootParams m_bootParams;
  KeyLayout layout_;                      // planned by WriteBootSector before any write
  std::unique_ptr<plat::DiskHold> hold_;  // from the first check to the last write
  // FAT 1 and the root directory as this build wrote them, and where the
  // next file goes.
  std::vector<uint8_t> fat_, root_;
  uint32_t nextCluster_ = 2, usedSlots_ = 0;
};

}  // namespace tavrin
