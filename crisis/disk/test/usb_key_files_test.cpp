// Files added to a prepared USB key: cluster chains, directory entries, and
// the whole key read back by fsck.fat and mtools; media and files that do
// not fit are refused before anything is written.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "disk/directory_entry.h"
#include "disk/disk_messages.h"
#include "disk/usb_key_disk.h"
#include "disk_test_support.h"
#include "platform/le_bytes.h"

namespace tavrin_test {
namespace {

using tavrin::CUSBKeyDisk;

constexpr uint64_t kCylinder = 16065;  // sectors of one 255 x 63 cylinder

class UsbKeyFilesTest : public DiskTest {
 protected:
  std::string AttachKey(uint64_t sectors) {
    std::string img = MakeImage("key.img", sectors);
    plat::AttachDiskImage(img, plat::DiskKind::Removable);
    WriteBootFiles();
    return img;
  }

  uint16_t FatEntry(const std::string& img, uint32_t b, uint32_t index) {
    std::vector<uint8_t> fat = ReadImage(img, b + 1, 255);
    return plat::Le16(fat.data(), fat.size(), 2 * index);
  }

  std::vector<uint8_t> RootEntry(const std::string& img, uint32_t rootSector, int slot) {
    std::vector<uint8_t> root = ReadImage(img, rootSector, 14);
    return std::vector<uint8_t>(root.begin() + slot * 32, root.begin() + slot * 32 + 32);
  }
};

// The five files of a raw-image crisis disk, in copy order.
struct DiskFile {
  const char* name;
  size_t size;
};
const DiskFile kCrisisFiles[] = {
    {"minidos.sys", 64 * 1024 + 17}, {"kavlo.exe", 150 * 1024}, {"vgabios.exe", 40 * 1024 + 1},
    {"platform.bin", 1}, {"bios.rom", 1024 * 1024}, {"autoexec.bat", 30}, {"empty.txt", 0}};

void CheckWholeKey(UsbKeyFilesTest* t, const std::string& img, int fixed, uint64_t fsStart) {
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", fixed);
  ASSERT_TRUE(key.WriteBootSector("crisboot.bin"));
  uint8_t seed = 1;
  for (const DiskFile& f : kCrisisFiles) {
    t->WriteFile(f.name, UsbKeyFilesTest::Pattern(f.size, seed++));
    ASSERT_TRUE(key.CopyFileToDisk(f.name)) << f.name;
  }
  EXPECT_TRUE(boxes.boxes.empty());

  std::string out;
  EXPECT_EQ(t->Fsck(img, fsStart, &out), 0) << out;
  EXPECT_EQ(out.find("FAT12"), std::string::npos) << out;
  seed = 1;
  for (const DiskFile& f : kCrisisFiles) {
    std::vector<uint8_t> back = t->Mtype(img, fsStart * 512, f.name);
    EXPECT_EQ(back, UsbKeyFilesTest::Pattern(f.size, seed++)) << f.name;
  }
  UsbKeyFilesTest::Run("mdir -i '" + img + "@@" + std::to_string(fsStart * 512) + "' ::", &out);
  EXPECT_NE(out.find("AUTOEXEC BAT"), std::string::npos) << out;
  EXPECT_NE(out.find("MINIDOS  SYS"), std::string::npos) << out;
}

TEST_F(UsbKeyFilesTest, RemovableKeyPassesFsckAndMtoolsReadsEveryFile) {
  std::string img = AttachKey(4 * kCylinder);  // 31 MiB: 2 sectors per cluster, FAT16
  CheckWholeKey(this, img, 0, 0);
}

TEST_F(UsbKeyFilesTest, FixedKeyPassesFsckAndMtoolsReadsEveryFile) {
  // One track more than 4 cylinders, so the file system the layout describes
  // (4 cylinders from sector 63) lies inside the medium.
  std::string img = AttachKey(4 * kCylinder + 63);
  CheckWholeKey(this, img, 1, 63);
}

class ClusterChainTest : public UsbKeyFilesTest {
 protected:
  void SetUp() override {
    UsbKeyFilesTest::SetUp();
    img_ = AttachKey(1000000);  // 16 sectors per cluster: 8,192-byte clusters
    key_ = std::make_unique<CUSBKeyDisk>("\\\\.\\PhysicalDrive0", 0);
    ASSERT_TRUE(key_->WriteBootSector("crisboot.bin"));
  }
  std::string img_;
  std::unique_ptr<CUSBKeyDisk> key_;
  plat::ScriptedMessageBox boxes_;
};

TEST_F(ClusterChainTest, FilesOf1And8192And8193BytesTakeOneOneAndTwoClusters) {
  WriteFile("one.bin", Pattern(1, 1));
  WriteFile("full.bin", Pattern(8192, 2));
  WriteFile("over.bin", Pattern(8193, 3));
  WriteFile("next.bin", Pattern(10, 4));
  for (const char* n : {"one.bin", "full.bin", "over.bin", "next.bin"}) ASSERT_TRUE(key_->CopyFileToDisk(n));

  EXPECT_EQ(FatEntry(img_, 0, 0), 0xFFF8);
  EXPECT_EQ(FatEntry(img_, 0, 1), 0xFFFF);
  EXPECT_EQ(FatEntry(img_, 0, 2), 0xFFFF);  // one.bin
  EXPECT_EQ(FatEntry(img_, 0, 3), 0xFFFF);  // full.bin
  EXPECT_EQ(FatEntry(img_, 0, 4), 5);       // over.bin
  EXPECT_EQ(FatEntry(img_, 0, 5), 0xFFFF);
  EXPECT_EQ(FatEntry(img_, 0, 6), 0xFFFF);  // next.bin
  EXPECT_EQ(FatEntry(img_, 0, 7), 0);
  // The second FAT is the same.
  std::vector<uint8_t> fat1 = ReadImage(img_, 1, 255), fat2 = ReadImage(img_, 256, 255);
  EXPECT_EQ(fat1, fat2);

  const uint16_t firstClusters[] = {2, 3, 4, 6};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(plat::Le16(RootEntry(img_, 511, i).data(), 32, 26), firstClusters[i]);
  // Cluster c starts at sector 525 + (c - 2) x 16.
  std::vector<uint8_t> c4 = ReadImage(img_, 525 + 2 * 16, 17);
  EXPECT_TRUE(std::equal(c4.begin(), c4.begin() + 8193, Pattern(8193, 3).begin()));
  std::vector<uint8_t> c6 = ReadImage(img_, 525 + 4 * 16, 1);
  EXPECT_TRUE(std::equal(c6.begin(), c6.begin() + 10, Pattern(10, 4).begin()));
}

TEST_F(ClusterChainTest, DirectoryEntryCarriesUpperCaseNameAndFatTimes) {
  WriteFile("autoexec.bat", Pattern(30, 5));
  struct timespec times[2];
  std::tm when{};
  when.tm_year = 2004 - 1900;
  when.tm_mon = 6;
  when.tm_mday = 15;
  when.tm_hour = 13;
  when.tm_min = 45;
  when.tm_sec = 31;
  when.tm_isdst = -1;
  times[0].tv_sec = times[1].tv_sec = std::mktime(&when);
  times[0].tv_nsec = times[1].tv_nsec = 0;
  ASSERT_EQ(utimensat(AT_FDCWD, Path("autoexec.bat").c_str(), times, 0), 0);

  ASSERT_TRUE(key_->CopyFileToDisk("autoexec.bat"));
  std::vector<uint8_t> e = RootEntry(img_, 511, 0);
  EXPECT_EQ(std::string(e.begin(), e.begin() + 11), "AUTOEXECBAT");
  EXPECT_EQ(e[11], 0x20);
  EXPECT_EQ(e[12], 0);
  EXPECT_EQ(e[13], 0);
  const uint16_t time = 13 * 2048 + 45 * 32 + 31 / 2, date = (2004 - 1980) * 512 + 7 * 32 + 15;
  EXPECT_EQ(plat::Le16(e.data(), 32, 22), time);
  EXPECT_EQ(plat::Le16(e.data(), 32, 24), date);
  EXPECT_EQ(plat::Le16(e.data(), 32, 20), 0);
  EXPECT_EQ(plat::Le32(e.data(), 32, 28), 30u);
}

TEST(ShortNameTest, SplitsAtFirstDotAndCutsParts) {
  char n[11];
  ASSERT_TRUE(tavrin::ShortName("autoexec.bat", n));
  EXPECT_EQ(std::string(n, 11), "AUTOEXECBAT");
  ASSERT_TRUE(tavrin::ShortName("verylongname.tar.gz", n));
  EXPECT_EQ(std::string(n, 11), "VERYLONGTAR");
  ASSERT_TRUE(tavrin::ShortName("a.b", n));
  EXPECT_EQ(std::string(n, 11), "A       B  ");
  EXPECT_FALSE(tavrin::ShortName("nodot", n));
  EXPECT_FALSE(tavrin::ShortName(".hidden", n));
  EXPECT_FALSE(tavrin::ShortName("dir/file.bin", n));
  EXPECT_FALSE(tavrin::ShortName("dir\\file.bin", n));
}

TEST_F(ClusterChainTest, EmptyFileTakesNoClusterAndChangesNoFatEntry) {
  WriteFile("one.bin", Pattern(1, 1));
  WriteFile("empty.txt", {});
  ASSERT_TRUE(key_->CopyFileToDisk("one.bin"));
  std::vector<uint8_t> fatBefore = ReadImage(img_, 1, 255);
  ASSERT_TRUE(key_->CopyFileToDisk("empty.txt"));
  EXPECT_EQ(ReadImage(img_, 1, 255), fatBefore);
  std::vector<uint8_t> e = RootEntry(img_, 511, 1);
  EXPECT_EQ(std::string(e.begin(), e.begin() + 11), "EMPTY   TXT");
  EXPECT_EQ(plat::Le32(e.data(), 32, 28), 0u);
  EXPECT_EQ(plat::Le16(e.data(), 32, 26), 0);  // owns no cluster

  // The next file still starts right after one.bin.
  WriteFile("two.bin", Pattern(5, 2));
  ASSERT_TRUE(key_->CopyFileToDisk("two.bin"));
  EXPECT_EQ(plat::Le16(RootEntry(img_, 511, 2).data(), 32, 26), 3);
  EXPECT_EQ(FatEntry(img_, 0, 3), 0xFFFF);
}

TEST_F(UsbKeyFilesTest, NamesWithoutDotOrWithFolderAreRefused) {
  std::string img = AttachKey(4 * kCylinder);
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  ASSERT_TRUE(key.WriteBootSector("crisboot.bin"));
  WriteFile("nodot", Pattern(10, 1));
  ASSERT_EQ(mkdir(Path("sub").c_str(), 0755), 0);
  WriteFile("sub/file.bin", Pattern(10, 1));
  std::vector<uint8_t> before = ReadImage(img, 0, 600);
  EXPECT_FALSE(key.CopyFileToDisk("nodot"));
  EXPECT_FALSE(key.CopyFileToDisk("sub/file.bin"));
  EXPECT_EQ(ReadImage(img, 0, 600), before);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].text, tavrin::BadFileNameMessage("NODOT"));
  EXPECT_EQ(boxes.boxes[0].caption, "Tavrin");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_ICONERROR);
}

TEST_F(UsbKeyFilesTest, MissingFileFailsWithoutMessage) {
  AttachKey(4 * kCylinder);
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  ASSERT_TRUE(key.WriteBootSector("crisboot.bin"));
  EXPECT_FALSE(key.CopyFileToDisk("absent.bin"));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(UsbKeyFilesTest, Entry225IsRefusedWhenRootDirectoryIsFull) {
  std::string img = AttachKey(4 * kCylinder);
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  ASSERT_TRUE(key.WriteBootSector("crisboot.bin"));
  for (int i = 0; i < 224; ++i) {
    std::string name = "f" + std::to_string(i) + ".txt";
    WriteFile(name, {});
    ASSERT_TRUE(key.CopyFileToDisk(name)) << name;
  }
  WriteFile("last.txt", Pattern(3, 1));
  std::vector<uint8_t> before = ReadImage(img, 0, 600);
  EXPECT_FALSE(key.CopyFileToDisk("last.txt"));
  EXPECT_EQ(ReadImage(img, 0, 600), before);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, tavrin::RootFullMessage("LAST.TXT"));
}

TEST_F(UsbKeyFilesTest, FileLargerThanTheFreeSpaceIsRefused) {
  std::string img = AttachKey(4 * kCylinder);  // about 31 MiB of clusters
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  ASSERT_TRUE(key.WriteBootSector("crisboot.bin"));
  WriteFile("huge.bin", Pattern(40 * 1024 * 1024, 1));
  std::vector<uint8_t> before = ReadImage(img, 0, 600);
  EXPECT_FALSE(key.CopyFileToDisk("huge.bin"));
  EXPECT_EQ(ReadImage(img, 0, 600), before);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, tavrin::NoRoomMessage("HUGE.BIN"));
}

TEST_F(UsbKeyFilesTest, OddCylinderKeyNeverWritesPastTheMedium) {
  // 3 cylinders are laid out as 2: the file system ends inside the medium.
  std::string img = AttachKey(3 * kCylinder);
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  ASSERT_TRUE(key.WriteBootSector("crisboot.bin"));
  EXPECT_EQ(key.bootParams().TotalSectors(), 2 * kCylinder);
  WriteFile("fits.bin", Pattern(15 * 1024 * 1024, 1));
  EXPECT_TRUE(key.CopyFileToDisk("fits.bin"));
  WriteFile("beyond.bin", Pattern(1024 * 1024, 2));  // would end past 2 cylinders
  EXPECT_FALSE(key.CopyFileToDisk("beyond.bin"));
  struct stat st;
  ASSERT_EQ(stat(img.c_str(), &st), 0);
  EXPECT_EQ(static_cast<uint64_t>(st.st_size), 3 * kCylinder * 512);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, tavrin::NoRoomMessage("BEYOND.BIN"));
  std::string out;
  EXPECT_EQ(Fsck(img, 0, &out), 0) << out;
}

TEST_F(UsbKeyFilesTest, KeyTooSmallForTwoCylindersIsRefusedWithNoByteWritten) {
  // From 525 sectors (the old lower bound) to one sector short of two cylinders.
  for (uint64_t sectors : {uint64_t{525}, uint64_t{8192}, uint64_t{kCylinder}, uint64_t{2 * kCylinder - 1}}) {
    for (int fixed : {0, 1}) {
      SCOPED_TRACE(std::to_string(sectors) + (fixed ? " Fixed" : " Removable"));
      std::string img = Path("small.img");
      WriteFile("small.img", Pattern(static_cast<size_t>(sectors) * 512, 7));
      plat::DetachDiskImages();
      plat::AttachDiskImage(img, plat::DiskKind::Removable);
      WriteBootFiles();
      std::string before, after;
      ASSERT_EQ(Run("sha256sum < '" + img + "'", &before), 0);
      plat::ScriptedMessageBox boxes;
      CUSBKeyDisk key("\\\\.\\PhysicalDrive0", fixed);
      EXPECT_FALSE(key.WriteBootSector("crisboot.bin"));
      ASSERT_EQ(Run("sha256sum < '" + img + "'", &after), 0);
      EXPECT_EQ(after, before);
      ASSERT_EQ(boxes.boxes.size(), 1u);
      EXPECT_EQ(boxes.boxes[0].text, tavrin::TooSmallMessage("\\\\.\\PhysicalDrive0"));
    }
  }
}

TEST_F(UsbKeyFilesTest, KeyWhoseHalfReaches4095000IsRefusedUntouched) {
  std::string img = AttachKey(8190000 + 2 * kCylinder);  // sparse, about 4 GiB
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  EXPECT_FALSE(key.WriteBootSector("crisboot.bin"));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, tavrin::TooLargeMessage("\\\\.\\PhysicalDrive0"));
  std::vector<uint8_t> start = ReadImage(img, 0, 8);
  EXPECT_EQ(std::count(start.begin(), start.end(), 0), 8 * 512);
}

TEST_F(UsbKeyFilesTest, CopyBeforePreparationIsRefused) {
  AttachKey(4 * kCylinder);
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  WriteFile("a.bin", Pattern(3, 1));
  EXPECT_FALSE(key.CopyFileToDisk("a.bin"));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, tavrin::NotPreparedMessage("\\\\.\\PhysicalDrive0"));
}

TEST_F(UsbKeyFilesTest, MemoryFaultIsReportedAsFailure) {
  AttachKey(4 * kCylinder);
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  ASSERT_TRUE(key.WriteBootSector("crisboot.bin"));
  WriteFile("a.bin", Pattern(3, 1));
  plat::FailVirtualAllocAfter(0);
  EXPECT_FALSE(key.CopyFileToDisk("a.bin"));
  plat::FailVirtualAllocAfter(-1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Error, Memory Access fault!");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_ICONERROR);
  int code = 0;
  EXPECT_TRUE(plat::QuitRequested(&code));
  EXPECT_EQ(code, -1);
}

TEST_F(UsbKeyFilesTest, ConstructorWithoutMemoryAsksToQuit) {
  AttachKey(4 * kCylinder);
  plat::ScriptedMessageBox boxes;
  plat::FailVirtualAllocAfter(0);
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  plat::FailVirtualAllocAfter(-1);
  EXPECT_FALSE(key.HasSectorBuffer());
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Error, There isn't enough memory, Please try it again!");
  int code = 0;
  EXPECT_TRUE(plat::QuitRequested(&code));
  EXPECT_EQ(code, -1);
}

TEST_F(UsbKeyFilesTest, MissingBootFileIsReportedAndKeyUntouched) {
  std::string img = MakeImage("key.img", 4 * kCylinder);
  plat::AttachDiskImage(img, plat::DiskKind::Removable);
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  EXPECT_FALSE(key.WriteBootSector("crisboot.bin"));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            "Error, the file crisboot.bin doesn't exist in the current directory,  please check the file and try again!");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_ICONERROR);
  std::vector<uint8_t> start = ReadImage(img, 0, 1);
  EXPECT_EQ(std::count(start.begin(), start.end(), 0), 512);
}

class UnsafeMediumTest : public UsbKeyFilesTest {};

TEST_F(UnsafeMediumTest, ReadOnlyImageIsNeverWritten) {
  std::string img = AttachKey(4 * kCylinder);
  ASSERT_EQ(chmod(img.c_str(), 0444), 0);
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  EXPECT_FALSE(key.WriteBootSector("crisboot.bin"));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, tavrin::ReadOnlyMessage("\\\\.\\PhysicalDrive0"));
  std::vector<uint8_t> start = ReadImage(img, 0, 1);
  EXPECT_EQ(std::count(start.begin(), start.end(), 0), 512);
}

TEST_F(UnsafeMediumTest, HeldImageIsNeverWritten) {
  std::string img = AttachKey(4 * kCylinder);
  int fd = open(img.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);  // another program holds the medium
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 1);
  EXPECT_FALSE(key.WriteBootSector("crisboot.bin"));
  close(fd);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, tavrin::InUseMessage("\\\\.\\PhysicalDrive0"));
  std::vector<uint8_t> start = ReadImage(img, 0, 1);
  EXPECT_EQ(std::count(start.begin(), start.end(), 0), 512);
}

TEST_F(UnsafeMediumTest, OneBuildHoldsTheKeyFromItsCheckToItsEject) {
  std::string img = AttachKey(4 * kCylinder);
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk first("\\\\.\\PhysicalDrive0", 0), second("\\\\.\\PhysicalDrive0", 0);
  ASSERT_TRUE(first.CheckMedia());
  EXPECT_FALSE(second.CheckMedia());
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, tavrin::InUseMessage("\\\\.\\PhysicalDrive0"));
  // Between the transfers of the first build nobody else gets the key.
  ASSERT_TRUE(first.WriteBootSector("crisboot.bin"));
  int fd = open(img.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);
  WriteFile("a.bin", Pattern(3000, 1));
  ASSERT_TRUE(first.CopyFileToDisk("a.bin"));
  EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);
  first.EjectMedia();
  EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  close(fd);
  EXPECT_TRUE(second.CheckMedia());
}

TEST_F(UnsafeMediumTest, KeyThatShrankStopsTheCopyWithAMessageNamingTheSector) {
  std::string img = AttachKey(4 * kCylinder);
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  ASSERT_TRUE(key.WriteBootSector("crisboot.bin"));
  ASSERT_EQ(truncate(img.c_str(), 100 * 512), 0);  // the key shrank: its second FAT is gone
  WriteFile("a.bin", Pattern(3000, 1));
  EXPECT_FALSE(key.CopyFileToDisk("a.bin"));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  const uint32_t fat2 = 1 + key.bootParams().SectorsPerFat();
  ASSERT_GT(fat2, 100u);
  EXPECT_EQ(boxes.boxes[0].text, tavrin::WriteFailedMessage("\\\\.\\PhysicalDrive0", fat2));
  struct stat st;
  ASSERT_EQ(stat(img.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 100 * 512);
}

TEST_F(UnsafeMediumTest, FixedDiskIsNeverWritten) {
  std::string img = MakeImage("disk.img", 4 * kCylinder);
  plat::AttachDiskImage(img, plat::DiskKind::Fixed);
  WriteBootFiles();
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 0);
  EXPECT_FALSE(key.WriteBootSector("crisboot.bin"));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, tavrin::NotRemovableMessage("\\\\.\\PhysicalDrive0"));
  // Even a raw write is refused by the device.
  std::vector<uint8_t> sector(512, 0xAB);
  EXPECT_FALSE(key.WriteSectors(0, sector.data(), 1));
  std::vector<uint8_t> start = ReadImage(img, 0, 1);
  EXPECT_EQ(std::count(start.begin(), start.end(), 0), 512);
}

}  // namespace
}  // namespace tavrin_test
