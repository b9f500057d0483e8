#include "crisis_app/disk_medium.h"

#include "crisis_app/tavrin_dlg.h"
#include "disk/drive_list.h"
#include "disk/floppy_disk.h"
#include "disk/usb_key_disk.h"
#include "platform/dialog_controls.h"
#include "platform/disk_drives.h"
#include "platform/disk_read_back.h"

namespace crisis {

namespace {

class DiskReadBackMedium : public MediumReadBack {
 public:
  DiskReadBackMedium(const tavrin::CDisk& disk, uint64_t start) : written_(disk.WrittenSectors()), start_(start) {}
  bool Open(const std::string& name, std::string* error) { return reader_.Open(name, error); }
  uint64_t Size() const override { return reader_.Size(); }
  bool Read(uint64_t offset, void* buf, size_t size, std::string* error) override {
    return reader_.Read(offset, buf, size, error);
  }
  const SectorMap& WrittenSectors() const override { return written_; }
  uint64_t FileSystemStart() const override { return start_; }
  bool Direct() const override { return reader_.Direct(); }

 private:
  plat::DiskReadBack reader_;
  const SectorMap& written_;
  uint64_t start_;
};

class DiskMedium : public CrisisMedium {
 public:
  explicit DiskMedium(std::unique_ptr<tavrin::CDisk> disk) : disk_(std::move(disk)) {}
  bool CheckMedia() override { return disk_->CheckMedia(); }
  void Format() override { disk_->Format(); }
  bool WriteBootSector(const std::string& file) override { return disk_->WriteBootSector(file); }
  bool CopyFileToDisk(const std::string& file) override { return disk_->CopyFileToDisk(file); }
  bool CheckRoom(const std::vector<uint64_t>& fileSizes) override {
    auto* key = dynamic_cast<tavrin::CUSBKeyDisk*>(disk_.get());
    return !key || key->CheckRoom(fileSizes);
  }
  bool IsUsbKey() const override { return dynamic_cast<tavrin::CUSBKeyDisk*>(disk_.get()) != nullptr; }
  void EjectMedia() override {
    if (auto* key = dynamic_cast<tavrin::CUSBKeyDisk*>(disk_.get())) key->EjectMedia();
  }
  std::unique_ptr<MediumReadBack> OpenReadBack(std::string* error) override {
    // A key's file system starts where its boot parameters say (after the
    // first track in the "Fixed" layout); the floppy's at sector 0.
    auto* key = dynamic_cast<tavrin::CUSBKeyDisk*>(disk_.get());
    auto medium = std::make_unique<DiskReadBackMedium>(*disk_, key ? key->bootParams().HiddenSectors() : 0);
    if (!medium->Open(disk_->Name(), error)) return nullptr;
    return medium;
  }

 private:
  std::unique_ptr<tavrin::CDisk> disk_;
};

}  // namespace

std::unique_ptr<CrisisMedium> DiskMediumFactory::Create(const std::string& drive, bool fixedDisk) {
  plat::EnsureDiskDevices();
  if (drive.empty()) return nullptr;
  if (drive == "A:") return std::make_unique<DiskMedium>(std::make_unique<tavrin::CFloppyDisk>(drive));
  auto key = std::make_unique<tavrin::CUSBKeyDisk>(drive, fixedDisk ? 1 : 0);
  if (!key->HasSectorBuffer()) return nullptr;
  return std::make_unique<DiskMedium>(std::move(key));
}

std::vector<DriveEntry> SystemDriveSource::ListDrives() {
  // The drive list fills a combo box; a scratch one gives its names and texts.
  plat::FakeDialogControls scratch;
  tavrin::DriveList list;
  tavrin::DriveOptions options;
  std::vector<DriveEntry> entries;
  if (!list.FillDriveList(scratch, CTavrinDlg::GetPlatformId(), options)) return entries;
  for (int i = 0; i < list.m_nDriveCount; ++i)
    entries.push_back({list.m_strDrives[i], scratch.ItemText(tavrin::IDC_DRIVE, i)});
  return entries;
}

}  // namespace crisis
