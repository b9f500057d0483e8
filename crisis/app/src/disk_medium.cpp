#include "crisis_app/disk_medium.h"

#include <algorithm>

#include "crisis_app/checked_file.h"
#include "crisis_app/tavrin_dlg.h"
#include "disk/drive_list.h"
#include "disk/floppy_disk.h"
#include "disk/sector_buffer.h"
#include "disk/usb_key_disk.h"
#include "platform/dialog_controls.h"
#include "platform/disk_drives.h"
#include "platform/disk_read_back.h"

namespace crisis {

namespace {

class DiskReadBackMedium : public MediumReadBack {
 public:
  explicit DiskReadBackMedium(MediumLayout layout) : layout_(std::move(layout)) {}
  bool Open(const std::string& name, std::string* error) { return reader_.Open(name, error); }
  uint64_t Size() const override { return reader_.Size(); }
  bool Read(uint64_t offset, void* buf, size_t size, std::string* error) override {
    return reader_.Read(offset, buf, size, error);
  }
  const MediumLayout& Layout() const override { return layout_; }
  bool Direct() const override { return reader_.Direct(); }

 private:
  plat::DiskReadBack reader_;
  MediumLayout layout_;
};

// What the build laid out: for a key its planned layout (with a new table,
// crismbr.bin and the planned entry), for the floppy the format's.
bool PlannedLayout(tavrin::CDisk& disk, MediumLayout* out, std::string* error) {
  auto* key = dynamic_cast<tavrin::CUSBKeyDisk*>(&disk);
  if (!key) {
    out->params = tavrin::FloppyBootParams();
    out->byTools = true;
    return true;
  }
  const tavrin::KeyLayout& plan = key->layout();
  out->params = plan.params;
  out->fsStart = plan.params.HiddenSectors();
  if (!key->FixedLayout()) return true;
  if (!plan.newTable) {
    out->mbr.assign(plan.keptMbr.begin(), plan.keptMbr.end());
    return true;
  }
  if (!ReadInputFile("crismbr.bin", 0xFFFFFFFFull, out->mbr, error)) return false;
  out->mbr.resize(tavrin::kSectorSize);  // a short file left the rest of the sector zero
  std::copy(plan.entry.begin(), plan.entry.end(), out->mbr.begin() + tavrin::kPartitionTableOffset);
  return true;
}

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
    MediumLayout layout;
    if (!PlannedLayout(*disk_, &layout, error)) return nullptr;
    auto medium = std::make_unique<DiskReadBackMedium>(std::move(layout));
    if (!medium->Open(disk_->Name(), error)) return nullptr;
    return medium;
  }

 private:
  std::unique_ptr<tavrin::CDisk> disk_;
};

}  // namespace

std::unique_ptr<CrisisMedium> MakeDiskMedium(std::unique_ptr<tavrin::CDisk> disk) {
  return std::make_unique<DiskMedium>(std::move(disk));
}

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
