// CDisk: a medium Tavrin writes below the file system, by 512-byte sector
// numbers, on the NT path (the raw device with a lock around each transfer)
// or the 9x path (INT 13h services). CFloppyDisk and CUSBKeyDisk say how
// boot sector, files and format reach their medium.
#pragma once
#include <cstdint>
#include <string>

#include "platform/disk_drives.h"
#include "platform/disk_ioctl.h"

namespace tavrin {

class CDisk {
 public:
  CDisk(const std::string& name, int bFixedDisk);
  virtual ~CDisk();
  CDisk(const CDisk&) = delete;
  CDisk& operator=(const CDisk&) = delete;

  virtual void Format();
  virtual bool CopyFileToDisk(const std::string& file) = 0;
  virtual bool CheckMedia();
  virtual bool WriteBootSector(const std::string& file) = 0;
  // INT 13h through vwin32 on drive A:, one sector per call.
  virtual bool ReadSectorsBios(uint32_t lba, void* buffer, uint32_t count);
  virtual bool WriteSectorsBios(uint32_t lba, const void* buffer, uint32_t count);

  bool ReadSectors(uint32_t lba, void* buffer, uint32_t count);
  bool WriteSectors(uint32_t lba, const void* buffer, uint32_t count);
  bool ReadSectorsNT(uint32_t lba, void* buffer, uint32_t count);
  // Virtual so that a test can stand between the build and the device.
  virtual bool WriteSectorsNT(uint32_t lba, const void* buffer, uint32_t count);
  bool GetGeometry(plat::DISK_GEOMETRY* geometry);

  // The medium's real number of sectors (not the geometry's rounded view).
  bool GetMediumSectors(uint64_t* sectors);
  // Shows why the medium must not be written, and returns false, when it must not.
  bool CheckWritable();
  // Shows the message for a refusal; true only for none.
  bool ShowRefusal(plat::DiskRefusal refusal);

  const std::string& Name() const { return m_strName; }
  int IsNT() const { return m_bNT; }
  int FixedLayout() const { return m_bFixedDisk; }

 protected:
  void ResetDrive();
  // The device path of the NT path: "\\.\A:" for the floppy, the name itself otherwise.
  std::string DevicePath() const;

  int m_bNT;
  int m_bFixedDisk;
  std::string m_strName;

 private:
  bool TransferNT(uint32_t lba, void* buffer, uint32_t count, bool write);
  bool TransferFloppyBios(uint32_t lba, void* buffer, bool write);
};

}  // namespace tavrin
