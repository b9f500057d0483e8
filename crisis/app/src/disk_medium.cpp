#include "crisis_app/disk_medium.h"

#include "crisis_app/tavrin_dlg.h"
#include "disk/drive_list.h"
#include "disk/floppy_disk.h"
#include "disk/usb_key_disk.h"
#include "platform/dialog_controls.h"
#include "platform/disk_drives.h"

namespace crisis {

namespace {

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
