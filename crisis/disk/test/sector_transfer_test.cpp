// How sectors reach the medium: CHS arithmetic of the 9x floppy path, the
// 4-sector requests of the 9x USB path, geometry both ways, the NT path's
// 4 GiB reach, and the floppy's medium check.
#include <cstring>
#include <memory>
#include <vector>

#include "disk/disk_messages.h"
#include "disk/floppy_disk.h"
#include "disk/usb_key_disk.h"
#include "disk_test_support.h"
#include "platform/device.h"
#include "platform/file_system.h"
#include "platform/disk_ioctl.h"
#include "platform/le_bytes.h"
#include "platform/virtual_memory.h"

namespace tavrin_test {
namespace {

using tavrin::CFloppyDisk;
using tavrin::CUSBKeyDisk;

// Records what reaches the 9x devices; answers every request with success.
struct Recorder {
  std::vector<plat::DIOC_REGISTERS> int13;
  std::vector<std::pair<uint32_t, plat::Int13ExtRequest>> ext;
  bool fail = false;
  uint16_t paramsSizeWord = 0;
};

class RecordingDevice : public plat::Device {
 public:
  RecordingDevice(Recorder* r, bool vwin32) : r_(r), vwin32_(vwin32) {}
  bool IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                 uint32_t* bytesReturned, uint32_t*) override {
    if (vwin32_) {
      if (inSize != plat::kDiocRegistersSize || outSize != plat::kDiocRegistersSize) return false;
      plat::DIOC_REGISTERS regs = plat::DecodeRegisters(static_cast<const uint8_t*>(in));
      if (code == plat::VWIN32_DIOC_DOS_INT13) r_->int13.push_back(regs);
      if (r_->fail) regs.reg_Flags |= plat::kCarryFlag;
      plat::EncodeRegisters(regs, static_cast<uint8_t*>(out));
      *bytesReturned = plat::kDiocRegistersSize;
      return true;
    }
    if (inSize != plat::kInt13ExtRequestSize) return false;
    plat::Int13ExtRequest q = plat::DecodeInt13ExtRequest(static_cast<const uint8_t*>(in));
    r_->ext.push_back({code, q});
    if (code == plat::INT13EXT_GET_PARAMS || code == plat::INT13EXT_EJECT) {
      const uint8_t* block = plat::ResolveFlatAddress(q.address, plat::kDriveParamsSize);
      r_->paramsSizeWord = block ? plat::Le16(block, plat::kDriveParamsSize, 0) : 0;
    }
    return !r_->fail;
  }

 private:
  Recorder* r_;
  bool vwin32_;
};

class NinexPathTest : public DiskTest {
 protected:
  void SetUp() override {
    DiskTest::SetUp();
    plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
    plat::RegisterDeviceProvider("0recorder", [this](const std::string& path, uint32_t, bool* known,
                                                     uint32_t*) -> std::unique_ptr<plat::Device> {
      if (plat::EqualsNoCase(path, "\\\\.\\vwin32")) {
        *known = true;
        return std::make_unique<RecordingDevice>(&rec_, true);
      }
      if (plat::EqualsNoCase(path, "\\\\.\\INT13EXT.VXD")) {
        *known = true;
        return std::make_unique<RecordingDevice>(&rec_, false);
      }
      return nullptr;
    });
  }
  void TearDown() override {
    plat::RegisterDeviceProvider("0recorder", nullptr);
    DiskTest::TearDown();
  }
  Recorder rec_;
};

TEST_F(NinexPathTest, FloppySectors40And18InChs) {
  CFloppyDisk floppy("A:");
  ASSERT_EQ(floppy.IsNT(), 0);
  uint8_t buf[512];
  ASSERT_TRUE(floppy.ReadSectors(40, buf, 1));
  ASSERT_TRUE(floppy.WriteSectors(18, buf, 1));
  // Each transfer is a reset (function 00h) and then the transfer itself.
  ASSERT_EQ(rec_.int13.size(), 4u);
  EXPECT_EQ(rec_.int13[0].reg_EAX, 0x0000u);
  EXPECT_EQ(rec_.int13[0].reg_EDX, 0x0000u);
  EXPECT_EQ(rec_.int13[1].reg_EAX, 0x0201u);
  EXPECT_EQ(rec_.int13[1].reg_ECX, 0x0105u);  // cylinder 1, sector 5
  EXPECT_EQ(rec_.int13[1].reg_EDX, 0x0000u);  // head 0, drive A:
  EXPECT_NE(rec_.int13[1].reg_EBX, 0u);       // flat address of the buffer
  EXPECT_EQ(rec_.int13[3].reg_EAX, 0x0301u);
  EXPECT_EQ(rec_.int13[3].reg_ECX, 0x0001u);  // cylinder 0, sector 1
  EXPECT_EQ(rec_.int13[3].reg_EDX, 0x0100u);  // head 1
}

TEST_F(NinexPathTest, CarryFlagFailsTheTransfer) {
  CFloppyDisk floppy("A:");
  rec_.fail = true;
  uint8_t buf[512];
  EXPECT_FALSE(floppy.ReadSectors(0, buf, 1));
}

TEST_F(NinexPathTest, UsbTransfersGoInRequestsOfFourSectors) {
  CUSBKeyDisk key("129", 0);
  std::vector<uint8_t> buf(10 * 512);
  ASSERT_TRUE(key.WriteSectors(100, buf.data(), 10));
  ASSERT_EQ(rec_.ext.size(), 3u);
  const uint32_t lbas[] = {100, 104, 108};
  const uint16_t counts[] = {4, 4, 2};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(rec_.ext[i].first, plat::INT13EXT_WRITE);
    EXPECT_EQ(rec_.ext[i].second.drive, 129);
    EXPECT_EQ(rec_.ext[i].second.lba, lbas[i]);
    EXPECT_EQ(rec_.ext[i].second.count, counts[i]);
    EXPECT_EQ(rec_.ext[i].second.write, 1);
  }
  rec_.ext.clear();
  ASSERT_TRUE(key.ReadSectors(7, buf.data(), 8));
  ASSERT_EQ(rec_.ext.size(), 2u);
  EXPECT_EQ(rec_.ext[1].second.lba, 11u);
  EXPECT_EQ(rec_.ext[1].second.write, 0);
  rec_.ext.clear();
  ASSERT_TRUE(key.ReadSectors(7, buf.data(), 3));
  ASSERT_EQ(rec_.ext.size(), 1u);
  EXPECT_EQ(rec_.ext[0].first, plat::INT13EXT_READ);
  EXPECT_EQ(rec_.ext[0].second.count, 3);
}

TEST_F(NinexPathTest, FailedRequestStopsTheTransfer) {
  CUSBKeyDisk key("128", 0);
  std::vector<uint8_t> buf(10 * 512);
  rec_.fail = true;
  EXPECT_FALSE(key.WriteSectors(0, buf.data(), 10));
  EXPECT_EQ(rec_.ext.size(), 1u);
}

TEST_F(NinexPathTest, EjectSendsRequest5ForTheDrive) {
  CUSBKeyDisk key("130", 0);
  key.EjectMedia();
  ASSERT_EQ(rec_.ext.size(), 1u);
  EXPECT_EQ(rec_.ext[0].first, plat::INT13EXT_EJECT);
  EXPECT_EQ(rec_.ext[0].second.drive, 130);
  EXPECT_EQ(rec_.paramsSizeWord, 30);
  // A name that is no BIOS drive number reaches no drive at all.
  CUSBKeyDisk bad("300", 0);
  bad.EjectMedia();
  uint8_t buf[512];
  EXPECT_FALSE(bad.ReadSectors(0, buf, 1));
  EXPECT_EQ(rec_.ext.size(), 1u);
}

class NinexGeometryTest : public DiskTest {};

TEST_F(NinexGeometryTest, KeyOf7880544SectorsHas490Cylinders) {
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  plat::AttachDiskImage(MakeImage("key.img", 7880544), plat::DiskKind::Removable);
  CUSBKeyDisk key("128", 0);
  plat::DISK_GEOMETRY g{};
  ASSERT_TRUE(key.GetGeometry(&g));
  EXPECT_EQ(g.Cylinders, 490u);
  EXPECT_EQ(g.TracksPerCylinder, 255u);
  EXPECT_EQ(g.SectorsPerTrack, 63u);
  EXPECT_EQ(g.BytesPerSector, 512u);
  EXPECT_EQ(g.MediaType, plat::MEDIA_REMOVABLE);
}

TEST_F(NinexGeometryTest, EmulatedDevicesMoveRealSectors) {
  // Through the emulated vwin32 and INT13EXT.VXD onto image files.
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  std::string floppyImg = MakeImage("floppy.img", 2880);
  std::string keyImg = MakeImage("key.img", 20000);
  plat::AttachDiskImage(floppyImg, plat::DiskKind::Floppy);
  plat::AttachDiskImage(keyImg, plat::DiskKind::Removable);
  std::vector<uint8_t> data = Pattern(512, 1);
  CFloppyDisk floppy("A:");
  ASSERT_TRUE(floppy.WriteSectors(40, data.data(), 1));
  EXPECT_EQ(ReadImage(floppyImg, 40, 1), data);
  std::vector<uint8_t> back(512);
  ASSERT_TRUE(floppy.ReadSectors(40, back.data(), 1));
  EXPECT_EQ(back, data);
  EXPECT_FALSE(floppy.ReadSectors(2880, back.data(), 1));  // past the diskette

  std::vector<uint8_t> many = Pattern(10 * 512, 2);
  CUSBKeyDisk key("128", 0);
  ASSERT_TRUE(key.WriteSectors(19990, many.data(), 10));
  EXPECT_EQ(ReadImage(keyImg, 19990, 10), many);
  EXPECT_FALSE(key.WriteSectors(19995, many.data(), 10));  // would end past the medium
  CUSBKeyDisk absent("200", 0);
  EXPECT_FALSE(absent.ReadSectors(0, back.data(), 1));
}

class NtPathTest : public DiskTest {};

TEST_F(NtPathTest, SectorsFrom8388608OnCannotBeReached) {
  std::string img = MakeImage("key.img", 8388608 + 16);
  plat::AttachDiskImage(img, plat::DiskKind::Removable);
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  ASSERT_EQ(key.IsNT(), 1);
  std::vector<uint8_t> buf = Pattern(512, 3);
  EXPECT_TRUE(key.WriteSectors(8388607, buf.data(), 1));
  EXPECT_FALSE(key.WriteSectors(8388608, buf.data(), 1));
  EXPECT_FALSE(key.WriteSectors(8388607, buf.data(), 2));
  // Nothing wrapped round onto the first sectors.
  std::vector<uint8_t> start = ReadImage(img, 0, 2);
  EXPECT_EQ(std::count(start.begin(), start.end(), 0), 1024);
}

TEST_F(NtPathTest, GeometryOfImagesAndMissingDrive) {
  plat::AttachDiskImage(MakeImage("key.img", 4 * 16065 + 100), plat::DiskKind::Removable);
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  plat::DISK_GEOMETRY g{};
  ASSERT_TRUE(key.GetGeometry(&g));
  EXPECT_EQ(g.Cylinders, 4u);
  EXPECT_EQ(g.MediaType, plat::MEDIA_REMOVABLE);
  CUSBKeyDisk missing("\\\\.\\PhysicalDrive7", 0);
  EXPECT_FALSE(missing.GetGeometry(&g));
  uint8_t buf[512];
  EXPECT_FALSE(missing.ReadSectors(0, buf, 1));
}

TEST_F(NtPathTest, FloppyWithoutDisketteTriesThreeTimesThenSaysSo) {
  plat::ScriptedMessageBox boxes;
  CFloppyDisk floppy("A:");
  EXPECT_FALSE(floppy.CheckMedia());
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            " There is no floppy in drive A:, insert a floppy and press Start Button again.\t");
  EXPECT_EQ(boxes.boxes[0].caption, "Tavrin");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_ICONERROR);
}

TEST_F(NinexPathTest, FloppyCheckMediaReadsUpToThreeTimes) {
  plat::ScriptedMessageBox boxes;
  CFloppyDisk floppy("A:");
  rec_.fail = true;
  EXPECT_FALSE(floppy.CheckMedia());
  // Three attempts, each a reset and a read.
  EXPECT_EQ(rec_.int13.size(), 6u);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  rec_.fail = false;
  rec_.int13.clear();
  EXPECT_TRUE(floppy.CheckMedia());
  EXPECT_EQ(rec_.int13.size(), 2u);
}

}  // namespace
}  // namespace tavrin_test
