// The platform's disks: image files attached as drives, block devices seen
// through a stand-in sysfs, the refusals that keep unsafe media from being
// written, and the emulated 9x disk devices.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/disk_drives.h"
#include "platform/disk_hold.h"
#include "platform/disk_ioctl.h"
#include "platform/le_bytes.h"
#include "platform/os_personality.h"
#include "platform/virtual_memory.h"

namespace {

class DiskDrivesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/disk-drives-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    for (const char* v : {"BIOS_TOOLS_DISK_IMAGES", "BIOS_TOOLS_REAL_DISKS", "BIOS_TOOLS_SYSFS_ROOT",
                          "BIOS_TOOLS_DEV_ROOT"})
      unsetenv(v);
    plat::DetachDiskImages();
    plat::SetPlatformId(plat::VER_PLATFORM_WIN32_NT);
    plat::EnsureDiskDevices();
  }
  void TearDown() override {
    for (const char* v : {"BIOS_TOOLS_DISK_IMAGES", "BIOS_TOOLS_REAL_DISKS", "BIOS_TOOLS_SYSFS_ROOT",
                          "BIOS_TOOLS_DEV_ROOT"})
      unsetenv(v);
    plat::DetachDiskImages();
    plat::SetPlatformId(0);
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }

  std::string Image(const std::string& name, uint64_t bytes) {
    std::string p = dir_ + "/" + name;
    std::FILE* f = std::fopen(p.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    EXPECT_EQ(ftruncate(fileno(f), static_cast<off_t>(bytes)), 0);
    std::fclose(f);
    return p;
  }

  void Text(const std::string& path, const std::string& text) {
    std::system(("mkdir -p \"$(dirname '" + path + "')\"").c_str());
    std::ofstream(path) << text << "\n";
  }

  // A stand-in sysfs entry and its device node (a regular file).
  void FakeBlock(const std::string& name, uint64_t sectors, const std::string& removable,
                 const std::string& devNumber, const std::string& ro = "0") {
    std::string sys = dir_ + "/sys/block/" + name;
    Text(sys + "/size", std::to_string(sectors));
    Text(sys + "/removable", removable);
    Text(sys + "/ro", ro);
    Text(sys + "/dev", devNumber);
    std::system(("mkdir -p '" + dir_ + "/dev'").c_str());
    Image("dev/" + name, sectors * 512);
  }

  std::string dir_;
};

TEST_F(DiskDrivesTest, EnvironmentAttachesFloppyKeysAndFixedDisks) {
  std::string floppy = Image("f.img", 1474560), key = Image("k.img", 1 << 24), disk = Image("d.img", 1 << 24);
  setenv("BIOS_TOOLS_DISK_IMAGES", ("A=" + floppy + ":" + key + ":fixed=" + disk).c_str(), 1);
  plat::DiskDrive d;
  ASSERT_TRUE(plat::FindFloppyDrive(&d));
  EXPECT_EQ(d.path, floppy);
  EXPECT_EQ(d.geometry.Cylinders, 80u);
  EXPECT_EQ(d.geometry.TracksPerCylinder, 2u);
  EXPECT_EQ(d.geometry.SectorsPerTrack, 18u);
  EXPECT_EQ(plat::PhysicalDriveCount(), 2u);
  ASSERT_TRUE(plat::FindPhysicalDrive(0, &d));
  EXPECT_TRUE(d.removable);
  EXPECT_EQ(d.geometry.MediaType, plat::MEDIA_REMOVABLE);
  EXPECT_EQ(d.geometry.Cylinders, (1u << 24) / 512 / 16065);
  ASSERT_TRUE(plat::FindPhysicalDrive(1, &d));
  EXPECT_FALSE(d.removable);
  EXPECT_EQ(d.geometry.MediaType, plat::MEDIA_FIXED);
  ASSERT_TRUE(plat::FindNamedDrive("129", &d));
  EXPECT_EQ(d.path, disk);
  EXPECT_EQ(plat::CheckDiskWritable("\\\\.\\PhysicalDrive1"), plat::DiskRefusal::NotRemovable);
  EXPECT_EQ(plat::CheckDiskWritable("\\\\.\\PhysicalDrive2"), plat::DiskRefusal::Missing);

  EXPECT_EQ(plat::GetLogicalDrives(), 1u);
  EXPECT_EQ(plat::GetDriveType("A:"), plat::DRIVE_REMOVABLE);
  EXPECT_EQ(plat::GetDriveType("a:\\"), plat::DRIVE_REMOVABLE);
  EXPECT_EQ(plat::GetDriveType("C:\\"), plat::DRIVE_NO_ROOT_DIR);
  uint32_t spc = 0, bps = 0, freeC = 0, total = 0;
  EXPECT_FALSE(plat::GetDiskFreeSpace("C:\\", &spc, &bps, &freeC, &total));

  // Attached images replace the environment's list.
  plat::AttachDiskImage(key, plat::DiskKind::Removable);
  EXPECT_FALSE(plat::FindFloppyDrive(&d));
  EXPECT_EQ(plat::PhysicalDriveCount(), 1u);
}

TEST_F(DiskDrivesTest, DeviceNeverTransfersPastTheMedium) {
  std::string key = Image("k.img", 64 * 512);
  plat::AttachDiskImage(key, plat::DiskKind::Removable);
  uint32_t err = 0;
  auto dev = plat::OpenDevice("\\\\.\\physicaldrive0", plat::GENERIC_READ | plat::GENERIC_WRITE, &err);
  ASSERT_NE(dev, nullptr);
  std::vector<uint8_t> buf(1024, 0x5A);
  uint32_t done = 0;
  ASSERT_TRUE(dev->Seek(63 * 512, &err));
  EXPECT_FALSE(dev->Write(buf.data(), 1024, &done, &err));
  EXPECT_EQ(err, plat::ERROR_SECTOR_NOT_FOUND);
  EXPECT_FALSE(dev->Seek(65 * 512, &err));
  EXPECT_TRUE(dev->Write(buf.data(), 512, &done, &err));
  dev.reset();
  struct stat st;
  ASSERT_EQ(stat(key.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 64 * 512);

  uint8_t length[8];
  uint32_t returned = 0;
  dev = plat::OpenDevice("\\\\.\\PhysicalDrive0", plat::GENERIC_READ, &err);
  ASSERT_NE(dev, nullptr);
  ASSERT_TRUE(dev->IoControl(plat::IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, length, 8, &returned, &err));
  EXPECT_EQ(plat::Le64(length, 8, 0), 64u * 512);
  EXPECT_FALSE(dev->Write(buf.data(), 512, &done, &err));  // opened for reading only
}

TEST_F(DiskDrivesTest, HeldImageIsProbedButNeverOpenedForWriting) {
  std::string key = Image("k.img", 1 << 20);
  plat::AttachDiskImage(key, plat::DiskKind::Removable);
  int fd = open(key.c_str(), O_RDONLY);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  uint32_t err = 0;
  EXPECT_NE(plat::OpenDevice("\\\\.\\PhysicalDrive0", plat::GENERIC_READ, &err), nullptr);
  EXPECT_EQ(plat::OpenDevice("\\\\.\\PhysicalDrive0", plat::GENERIC_READ | plat::GENERIC_WRITE, &err), nullptr);
  EXPECT_EQ(err, plat::ERROR_SHARING_VIOLATION);
  plat::DiskRefusal refusal = plat::DiskRefusal::None;
  EXPECT_EQ(plat::DiskHold::Acquire("\\\\.\\PhysicalDrive0", &refusal), nullptr);
  EXPECT_EQ(refusal, plat::DiskRefusal::InUse);
  close(fd);
  EXPECT_NE(plat::OpenDevice("\\\\.\\PhysicalDrive0", plat::GENERIC_READ | plat::GENERIC_WRITE, &err), nullptr);
}

TEST_F(DiskDrivesTest, HoldKeepsOtherOpensOutUntilReleased) {
  std::string key = Image("k.img", 1 << 20);
  plat::AttachDiskImage(key, plat::DiskKind::Removable);
  plat::DiskRefusal refusal = plat::DiskRefusal::InUse;
  std::unique_ptr<plat::DiskHold> hold = plat::DiskHold::Acquire("\\\\.\\PhysicalDrive0", &refusal);
  ASSERT_NE(hold, nullptr);
  EXPECT_EQ(refusal, plat::DiskRefusal::None);
  EXPECT_EQ(plat::DiskHold::Acquire("\\\\.\\PhysicalDrive0", &refusal), nullptr);  // one build at a time
  // This process writes through its hold; another open description can't lock.
  uint32_t err = 0;
  auto dev = plat::OpenDevice("\\\\.\\PhysicalDrive0", plat::GENERIC_READ | plat::GENERIC_WRITE, &err);
  ASSERT_NE(dev, nullptr);
  uint8_t sector[512] = {1, 2, 3};
  uint32_t done = 0;
  EXPECT_TRUE(dev->Write(sector, 512, &done, &err));
  dev.reset();
  int fd = open(key.c_str(), O_RDONLY);
  EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);
  hold.reset();
  EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  close(fd);
}

TEST_F(DiskDrivesTest, FixedMarkHoldsUnderAnyName) {
  std::string disk = Image("d.img", 1 << 24);
  setenv("BIOS_TOOLS_DISK_IMAGES", ("fixed=" + disk).c_str(), 1);
  std::system(("ln -s '" + disk + "' '" + dir_ + "/alias.img'").c_str());
  plat::AttachDiskImage(dir_ + "/alias.img", plat::DiskKind::Removable);
  plat::DiskDrive d;
  ASSERT_TRUE(plat::FindPhysicalDrive(0, &d));
  EXPECT_FALSE(d.removable);
  EXPECT_EQ(plat::CheckDriveWritable(d), plat::DiskRefusal::NotRemovable);
  // Two attachments of one file: the fixed mark wins over the removable one.
  plat::DetachDiskImages();
  plat::AttachDiskImage(disk, plat::DiskKind::Fixed);
  plat::AttachDiskImage(dir_ + "/alias.img", plat::DiskKind::Removable);
  ASSERT_TRUE(plat::FindNamedDrive("\\\\.\\PhysicalDrive1", &d));
  EXPECT_EQ(d.path, dir_ + "/alias.img");
  EXPECT_FALSE(d.removable);
}

TEST_F(DiskDrivesTest, SysfsSaysWhichBlockDevicesAreRemovable) {
  setenv("BIOS_TOOLS_REAL_DISKS", "1", 1);
  setenv("BIOS_TOOLS_SYSFS_ROOT", (dir_ + "/sys").c_str(), 1);
  setenv("BIOS_TOOLS_DEV_ROOT", (dir_ + "/dev").c_str(), 1);
  FakeBlock("sda", 100000, "0", "4000:0");   // an internal disk
  FakeBlock("sdb", 200000, "1", "4000:16");  // a card reader / key
  FakeBlock("sdc", 200000, "1", "4000:32", "1");
  FakeBlock("loop0", 1000, "0", "7:0");     // never listed
  // A disk whose sysfs path runs through a USB bus counts as removable.
  Text(dir_ + "/sys/devices/pci0/usb1/1-1/host6/block/sdd/size", "300000");
  Text(dir_ + "/sys/devices/pci0/usb1/1-1/host6/block/sdd/removable", "0");
  Text(dir_ + "/sys/devices/pci0/usb1/1-1/host6/block/sdd/ro", "0");
  Text(dir_ + "/sys/devices/pci0/usb1/1-1/host6/block/sdd/dev", "4000:48");
  ASSERT_EQ(symlink((dir_ + "/sys/devices/pci0/usb1/1-1/host6/block/sdd").c_str(),
                    (dir_ + "/sys/block/sdd").c_str()), 0);
  Image("dev/sdd", 300000 * 512ull);
  // A disk carrying the root file system.
  struct stat root;
  ASSERT_EQ(stat("/", &root), 0);
  FakeBlock("sde", 100000, "1", std::to_string(major(root.st_dev)) + ":" + std::to_string(minor(root.st_dev)));

  ASSERT_EQ(plat::PhysicalDriveCount(), 5u);
  plat::DiskDrive d;
  ASSERT_TRUE(plat::FindPhysicalDrive(0, &d));
  EXPECT_EQ(d.sysName, "sda");
  EXPECT_EQ(plat::CheckDriveWritable(d), plat::DiskRefusal::NotRemovable);
  ASSERT_TRUE(plat::FindPhysicalDrive(1, &d));
  EXPECT_EQ(d.sizeBytes, 200000u * 512);
  EXPECT_EQ(plat::CheckDriveWritable(d), plat::DiskRefusal::None);
  ASSERT_TRUE(plat::FindPhysicalDrive(2, &d));
  EXPECT_EQ(plat::CheckDriveWritable(d), plat::DiskRefusal::ReadOnly);
  ASSERT_TRUE(plat::FindPhysicalDrive(3, &d));
  EXPECT_EQ(d.sysName, "sdd");
  EXPECT_TRUE(d.removable);
  ASSERT_TRUE(plat::FindPhysicalDrive(4, &d));
  EXPECT_EQ(plat::CheckDriveWritable(d), plat::DiskRefusal::SystemDisk);

  uint32_t err = 0;
  EXPECT_EQ(plat::OpenDevice("\\\\.\\PhysicalDrive4", plat::GENERIC_READ, &err), nullptr);
  EXPECT_EQ(plat::OpenDevice("\\\\.\\PhysicalDrive0", plat::GENERIC_READ | plat::GENERIC_WRITE, &err), nullptr);
  EXPECT_EQ(err, plat::ERROR_ACCESS_DENIED);
  auto dev = plat::OpenDevice("\\\\.\\PhysicalDrive0", plat::GENERIC_READ, &err);
  ASSERT_NE(dev, nullptr);
  uint8_t g[plat::kDiskGeometrySize];
  uint32_t returned = 0;
  ASSERT_TRUE(dev->IoControl(plat::IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, g, sizeof g, &returned, &err));
  EXPECT_EQ(plat::DecodeDiskGeometry(g).MediaType, plat::MEDIA_FIXED);
}

TEST_F(DiskDrivesTest, NinexDevicesExistOnlyInThe9xPersonality) {
  uint32_t err = 0;
  EXPECT_EQ(plat::OpenDevice("\\\\.\\vwin32", 0, &err), nullptr);
  EXPECT_EQ(plat::OpenDevice("\\\\.\\INT13EXT.VXD", 0, &err), nullptr);
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_NE(plat::OpenDevice("\\\\.\\vwin32", 0, &err), nullptr);
  EXPECT_NE(plat::OpenDevice("\\\\.\\int13ext.vxd", 0, &err), nullptr);
}

TEST_F(DiskDrivesTest, Int13ExtAnswersDriveParameters) {
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  plat::AttachDiskImage(Image("f.img", 1474560), plat::DiskKind::Floppy);
  plat::AttachDiskImage(Image("k.img", 2000000ull * 512), plat::DiskKind::Removable);
  uint32_t err = 0, returned = 0;
  auto dev = plat::OpenDevice("\\\\.\\INT13EXT.VXD", 0, &err);
  ASSERT_NE(dev, nullptr);
  uint8_t* block = static_cast<uint8_t*>(plat::VirtualAlloc(plat::kDriveParamsSize));
  ASSERT_NE(block, nullptr);
  plat::PutLe16(block, plat::kDriveParamsSize, 0, 30);
  uint8_t req[plat::kInt13ExtRequestSize];
  plat::EncodeInt13ExtRequest({0x80, 0, 0, plat::FlatAddress(block), 0}, req);
  ASSERT_TRUE(dev->IoControl(plat::INT13EXT_GET_PARAMS, req, sizeof req, nullptr, 0, &returned, &err));
  EXPECT_EQ(plat::Le16(block, 30, 2) & plat::kDriveParamsRemovable, plat::kDriveParamsRemovable);
  EXPECT_EQ(plat::Le64(block, 30, 16), 2000000u);
  EXPECT_EQ(plat::Le16(block, 30, 24), 512);
  plat::EncodeInt13ExtRequest({0x00, 0, 0, plat::FlatAddress(block), 0}, req);
  ASSERT_TRUE(dev->IoControl(plat::INT13EXT_GET_PARAMS, req, sizeof req, nullptr, 0, &returned, &err));
  EXPECT_EQ(plat::Le64(block, 30, 16), 2880u);
  plat::EncodeInt13ExtRequest({0x82, 0, 0, plat::FlatAddress(block), 0}, req);
  EXPECT_FALSE(dev->IoControl(plat::INT13EXT_GET_PARAMS, req, sizeof req, nullptr, 0, &returned, &err));
  // A buffer address outside any block is refused, not followed.
  plat::EncodeInt13ExtRequest({0x80, 0, 4, 0x10, 0}, req);
  EXPECT_FALSE(dev->IoControl(plat::INT13EXT_READ, req, sizeof req, nullptr, 0, &returned, &err));
  plat::EncodeInt13ExtRequest({0x80, 0, 4, plat::FlatAddress(block), 0}, req);  // 2048 bytes into a 4 KiB page
  EXPECT_TRUE(dev->IoControl(plat::INT13EXT_READ, req, sizeof req, nullptr, 0, &returned, &err));
  plat::EncodeInt13ExtRequest({0x80, 0, 9, plat::FlatAddress(block), 0}, req);  // 4608 bytes: too many
  EXPECT_FALSE(dev->IoControl(plat::INT13EXT_READ, req, sizeof req, nullptr, 0, &returned, &err));
  plat::VirtualFree(block);
}

TEST_F(DiskDrivesTest, Vwin32RefusesWrappedCylindersAndOtherDrives) {
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  std::string floppy = Image("f.img", 1474560);
  plat::AttachDiskImage(floppy, plat::DiskKind::Floppy);
  uint32_t err = 0, returned = 0;
  auto dev = plat::OpenDevice("\\\\.\\vwin32", 0, &err);
  ASSERT_NE(dev, nullptr);
  uint8_t* buf = static_cast<uint8_t*>(plat::VirtualAlloc(512));
  auto call = [&](uint32_t eax, uint32_t ecx, uint32_t edx) {
    plat::DIOC_REGISTERS r{plat::FlatAddress(buf), edx, ecx, eax, 0, 0, 0};
    uint8_t in[28], out[28];
    plat::EncodeRegisters(r, in);
    EXPECT_TRUE(dev->IoControl(plat::VWIN32_DIOC_DOS_INT13, in, 28, out, 28, &returned, &err));
    return plat::DecodeRegisters(out);
  };
  EXPECT_EQ(call(0x0201, 0x0105, 0x0000).reg_Flags & 1, 0u);
  EXPECT_EQ(call(0x0201, 0x5001, 0x0000).reg_Flags & 1, 1u);  // cylinder 80: off the diskette
  EXPECT_EQ(call(0x0201, 0x0113, 0x0000).reg_Flags & 1, 1u);  // sector 19
  EXPECT_EQ(call(0x0201, 0x0101, 0x0001).reg_Flags & 1, 1u);  // drive B:
  plat::VirtualFree(buf);
}

TEST(VirtualMemoryTest, BlocksAreAlignedAndFlatAddressesBounded) {
  uint8_t* a = static_cast<uint8_t*>(plat::VirtualAlloc(512));
  uint8_t* b = static_cast<uint8_t*>(plat::VirtualAlloc(3 * 4096));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 4096, 0u);
  uint32_t fa = plat::FlatAddress(a), fb = plat::FlatAddress(b + 100);
  EXPECT_NE(fa, 0u);
  EXPECT_EQ(plat::ResolveFlatAddress(fb, 10), b + 100);
  EXPECT_EQ(plat::ResolveFlatAddress(fa, 4096), a);
  EXPECT_EQ(plat::ResolveFlatAddress(fa, 4097), nullptr);
  EXPECT_EQ(plat::ResolveFlatAddress(fa + 4096, 1), nullptr);  // the guard page
  int local = 0;
  EXPECT_EQ(plat::FlatAddress(&local), 0u);
  plat::VirtualFree(a);
  EXPECT_EQ(plat::ResolveFlatAddress(fa, 1), nullptr);
  plat::FailVirtualAllocAfter(1);
  void* c = plat::VirtualAlloc(10);
  EXPECT_NE(c, nullptr);
  EXPECT_EQ(plat::VirtualAlloc(10), nullptr);
  plat::FailVirtualAllocAfter(-1);
  plat::VirtualFree(b);
  plat::VirtualFree(c);
}

TEST(RequestRecordTest, Int13ExtRequestBytes) {
  uint8_t out[12];
  plat::EncodeInt13ExtRequest({0x81, 0x01020304, 0x0506, 0x0708090A, 1}, out);
  const uint8_t expected[12] = {0x81, 0x04, 0x03, 0x02, 0x01, 0x06, 0x05, 0x0A, 0x09, 0x08, 0x07, 0x01};
  EXPECT_EQ(std::vector<uint8_t>(out, out + 12), std::vector<uint8_t>(expected, expected + 12));
  uint8_t g[24];
  plat::EncodeDiskGeometry({0x100000002ull, 11, 255, 63, 512}, g);
  EXPECT_EQ(plat::Le32(g, 24, 0), 2u);
  EXPECT_EQ(plat::Le32(g, 24, 4), 1u);
  EXPECT_EQ(plat::Le32(g, 24, 8), 11u);
  EXPECT_EQ(plat::Le32(g, 24, 20), 512u);
}

TEST(LeBytesTest, OutOfBoundsFieldsAreRefused) {
  uint8_t b[4] = {1, 2, 3, 4};
  uint64_t v = 0;
  EXPECT_TRUE(plat::ReadLe(b, 4, 0, 4, &v));
  EXPECT_EQ(v, 0x04030201u);
  EXPECT_FALSE(plat::ReadLe(b, 4, 1, 4, &v));
  EXPECT_FALSE(plat::ReadLe(b, 4, 5, 1, &v));
  EXPECT_FALSE(plat::ReadLe(b, 4, SIZE_MAX, 2, &v));
  EXPECT_EQ(plat::Le32(b, 4, 2), 0u);
  EXPECT_FALSE(plat::WriteLe(b, 4, 3, 2, 0));
}

}  // namespace
