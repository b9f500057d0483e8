// The drive combo box: which media are listed on each platform, their entry
// texts and names, and what selecting one enables.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <memory>

#include "disk/disk_messages.h"
#include "disk/drive_list.h"
#include "disk_test_support.h"
#include "platform/device.h"
#include "platform/disk_ioctl.h"
#include "platform/file_system.h"
#include "platform/le_bytes.h"
#include "platform/virtual_memory.h"

namespace tavrin_test {
namespace {

using tavrin::DriveList;
using tavrin::DriveOptions;
using tavrin::IDC_DRIVE;

// A physical drive that reports a fixed geometry and nothing else.
class GeometryDevice : public plat::Device {
 public:
  explicit GeometryDevice(plat::DISK_GEOMETRY g) : g_(g) {}
  bool IoControl(uint32_t code, const void*, uint32_t, void* out, uint32_t outSize, uint32_t* returned,
                 uint32_t*) override {
    if (code != plat::IOCTL_DISK_GET_DRIVE_GEOMETRY || outSize < plat::kDiskGeometrySize) return false;
    plat::EncodeDiskGeometry(g_, static_cast<uint8_t*>(out));
    *returned = plat::kDiskGeometrySize;
    return true;
  }

 private:
  plat::DISK_GEOMETRY g_;
};

class DriveListTest : public DiskTest {
 protected:
  void TearDown() override {
    plat::RegisterDeviceProvider("0fake", nullptr);
    DiskTest::TearDown();
  }

  std::vector<std::string> Entries() const {
    std::vector<std::string> v;
    for (int i = 0; i < controls_.ItemCount(IDC_DRIVE); ++i) v.push_back(controls_.ItemText(IDC_DRIVE, i));
    return v;
  }

  plat::FakeDialogControls controls_;
  DriveOptions options_;
  DriveList list_;
};

TEST(SizeTextTest, MegabytesUpTo1000ThenGigabytes) {
  EXPECT_EQ(tavrin::SizeText(976.5625), "(976.6Mb)");
  EXPECT_EQ(tavrin::SizeText(1000.0), "(1000.0Mb)");
  EXPECT_EQ(tavrin::SizeText(4112640000.0 / 1048576.0), "(3.8Gb)");
}

TEST_F(DriveListTest, NtListsFloppyThenRemovableKeysAndSkipsFixedDisks) {
  plat::AttachDiskImage(MakeImage("floppy.img", 2880), plat::DiskKind::Floppy);
  plat::AttachDiskImage(MakeImage("system.img", 100000), plat::DiskKind::Fixed);
  // 1,024,000 sectors: 63 cylinders, shown as 64.
  plat::AttachDiskImage(MakeImage("key.img", 1024000), plat::DiskKind::Removable);
  plat::AttachDiskImage(MakeImage("big.img", 2 * 1048576), plat::DiskKind::Removable);
  ASSERT_TRUE(list_.FillDriveList(controls_, 2, options_));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"Floppy Driver A (1.44Mb)", "Removable Disk 0 (502.0Mb)",
                                                 "Removable Disk 1 (1.0Gb)"}));
  ASSERT_EQ(list_.m_nDriveCount, 3);
  EXPECT_EQ(list_.m_strDrives[0], "A:");
  EXPECT_EQ(list_.m_strDrives[1], "\\\\.\\PhysicalDrive1");
  EXPECT_EQ(list_.m_strDrives[2], "\\\\.\\PhysicalDrive2");
  EXPECT_EQ(controls_.Selection(IDC_DRIVE), 0);
}

TEST_F(DriveListTest, NtKeyOf500CylindersShowsAs3Point8Gb) {
  plat::RegisterDeviceProvider("0fake", [](const std::string& path, uint32_t, bool* known,
                                           uint32_t*) -> std::unique_ptr<plat::Device> {
    if (!plat::EqualsNoCase(path, "\\\\.\\PhysicalDrive3")) return nullptr;
    *known = true;
    return std::make_unique<GeometryDevice>(plat::DISK_GEOMETRY{500, plat::MEDIA_REMOVABLE, 255, 63, 512});
  });
  ASSERT_TRUE(list_.FillDriveList(controls_, 2, options_));
  EXPECT_EQ(Entries(), std::vector<std::string>{"Removable Disk 0 (3.8Gb)"});
  EXPECT_EQ(list_.m_strDrives[0], "\\\\.\\PhysicalDrive3");
}

TEST_F(DriveListTest, HeldOrReadOnlyKeysAreListedSoTheirRefusalCanBeShown) {
  std::string held = MakeImage("held.img", 100000);
  std::string ro = MakeImage("ro.img", 100000);
  ASSERT_EQ(chmod(ro.c_str(), 0444), 0);
  plat::AttachDiskImage(held, plat::DiskKind::Removable);
  plat::AttachDiskImage(ro, plat::DiskKind::Removable);
  plat::AttachDiskImage(MakeImage("ok.img", 100000), plat::DiskKind::Removable);
  int fd = open(held.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  ASSERT_TRUE(list_.FillDriveList(controls_, 2, options_));
  EXPECT_EQ(list_.m_nDriveCount, 3);
  EXPECT_EQ(Entries()[1], "Removable Disk 1 (47.1Mb)");
  close(fd);
}

TEST_F(DriveListTest, NinexListsByBiosDriveNumber) {
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  plat::AttachDiskImage(MakeImage("floppy.img", 2880), plat::DiskKind::Floppy);
  plat::AttachDiskImage(MakeImage("fixed.img", 100000), plat::DiskKind::Fixed);        // drive 128
  plat::AttachDiskImage(MakeImage("key.img", 2000000), plat::DiskKind::Removable);     // drive 129
  ASSERT_TRUE(list_.FillDriveList(controls_, 1, options_));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"Floppy Driver A (1.44Mb)", "Removable Disk 0 (976.6Mb)"}));
  EXPECT_EQ(list_.m_strDrives[0], "A:");
  EXPECT_EQ(list_.m_strDrives[1], "129");
}

// INT13EXT.VXD answering only for BIOS drive 1, a floppy-type drive of 5,000 sectors.
class FloppyRangeDevice : public plat::Device {
 public:
  bool IoControl(uint32_t code, const void* in, uint32_t inSize, void*, uint32_t, uint32_t*, uint32_t*) override {
    if (code != plat::INT13EXT_GET_PARAMS || inSize != plat::kInt13ExtRequestSize) return false;
    plat::Int13ExtRequest q = plat::DecodeInt13ExtRequest(static_cast<const uint8_t*>(in));
    uint8_t* block = plat::ResolveFlatAddress(q.address, plat::kDriveParamsSize);
    if (q.drive != 1 || !block) return false;
    plat::PutLe64(block, plat::kDriveParamsSize, plat::kDriveParamsTotalOffset, 5000);
    return true;
  }
};

TEST_F(DriveListTest, NinexFloppyRangeDriveOf1Point44MbOrMoreIsRemovableDisk) {
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  plat::RegisterDeviceProvider("0fake", [](const std::string& path, uint32_t, bool* known,
                                           uint32_t*) -> std::unique_ptr<plat::Device> {
    if (!plat::EqualsNoCase(path, "\\\\.\\INT13EXT.VXD")) return nullptr;
    *known = true;
    return std::make_unique<FloppyRangeDevice>();
  });
  ASSERT_TRUE(list_.FillDriveList(controls_, 1, options_));
  EXPECT_EQ(Entries(), std::vector<std::string>{"Removable Disk 0 (2.4Mb)"});
  EXPECT_EQ(list_.m_strDrives[0], "1");
}

TEST_F(DriveListTest, NinexWithoutInt13ExtSaysSoAndListsNothing) {
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  plat::RegisterDeviceProvider("0fake", [](const std::string& path, uint32_t, bool* known,
                                           uint32_t* err) -> std::unique_ptr<plat::Device> {
    if (!plat::EqualsNoCase(path, "\\\\.\\INT13EXT.VXD")) return nullptr;
    *known = true;
    *err = plat::ERROR_FILE_NOT_FOUND;
    return nullptr;
  });
  plat::AttachDiskImage(MakeImage("floppy.img", 2880), plat::DiskKind::Floppy);
  plat::ScriptedMessageBox boxes;
  EXPECT_FALSE(list_.FillDriveList(controls_, 1, options_));
  EXPECT_EQ(controls_.ItemCount(IDC_DRIVE), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            "Error loading INT13EXT.VXD, please check if this file exist \n\n\t\t\t\t\t\t\t\t\tin the current director! ");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_OK);
}

TEST_F(DriveListTest, NoMediumAtAll) {
  EXPECT_FALSE(list_.FillDriveList(controls_, 2, options_));
  EXPECT_EQ(controls_.ItemCount(IDC_DRIVE), 0);
  EXPECT_EQ(list_.m_nDriveCount, 0);
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  DriveList nine;
  EXPECT_FALSE(nine.FillDriveList(controls_, 1, options_));
}

TEST_F(DriveListTest, SelectingFloppyOrKeyFitsTheOptions) {
  plat::AttachDiskImage(MakeImage("floppy.img", 2880), plat::DiskKind::Floppy);
  plat::AttachDiskImage(MakeImage("key.img", 100000), plat::DiskKind::Removable);
  options_.m_nDiskFormat = 1;
  options_.m_nMode = 1;
  ASSERT_TRUE(list_.FillDriveList(controls_, 2, options_));
  // The floppy is selected first.
  EXPECT_EQ(options_.m_nDiskFormat, 0);
  EXPECT_EQ(options_.m_nMode, 1);
  EXPECT_TRUE(controls_.IsChecked(tavrin::IDC_REMOVABLE));
  EXPECT_TRUE(controls_.IsChecked(tavrin::IDC_FULLDOS));
  EXPECT_FALSE(controls_.IsEnabled(tavrin::IDC_REMOVABLE));
  EXPECT_FALSE(controls_.IsEnabled(tavrin::IDC_FIXED));
  EXPECT_TRUE(controls_.IsEnabled(tavrin::IDC_FULLDOS));
  EXPECT_TRUE(controls_.IsEnabled(tavrin::IDC_FORMAT_ONLY));

  controls_.Select(IDC_DRIVE, 1);
  options_.m_nDiskFormat = 1;
  int updates = 0;
  options_.updateData = [&] { ++updates; };
  list_.OnSelectDrive(controls_, options_);
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(options_.m_nMode, 0);
  EXPECT_EQ(options_.m_nDiskFormat, 1);  // the key keeps its layout choice
  EXPECT_TRUE(controls_.IsEnabled(tavrin::IDC_REMOVABLE));
  EXPECT_TRUE(controls_.IsEnabled(tavrin::IDC_FIXED));
  EXPECT_FALSE(controls_.IsEnabled(tavrin::IDC_FULLDOS));
  EXPECT_FALSE(controls_.IsEnabled(tavrin::IDC_FORMAT_ONLY));

  DriveList empty;
  options_.m_nMode = 2;
  empty.OnSelectDrive(controls_, options_);
  EXPECT_EQ(options_.m_nMode, 2);
  EXPECT_EQ(updates, 1);
}

}  // namespace
}  // namespace tavrin_test
