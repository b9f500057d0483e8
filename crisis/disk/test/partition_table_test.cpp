// The "Fixed" layout's partition table: a usable table is kept (its FAT entry
// retyped 0x04), anything else gets a new master boot record from
// crismbr.bin; hostile tables never crash and never aim the boot sector at
// sector 0 or past the medium.
#include <cstring>

#include "disk/disk_messages.h"
#include "disk/partition_table.h"
#include "disk/usb_key_disk.h"
#include "disk_test_support.h"
#include "platform/le_bytes.h"

namespace tavrin_test {
namespace {

using tavrin::CUSBKeyDisk;

constexpr uint64_t kSectors = 4 * 16065 + 63;

class PartitionTableTest : public DiskTest {
 protected:
  void SetUp() override {
    DiskTest::SetUp();
    img_ = MakeImage("key.img", kSectors);
    plat::AttachDiskImage(img_, plat::DiskKind::Removable);
    WriteBootFiles();
  }

  // Sector 0 with some boot code, one entry and the signature.
  std::vector<uint8_t> Mbr(uint8_t status, uint8_t type, uint32_t first, uint32_t count) {
    std::vector<uint8_t> s = Pattern(512, 9);
    std::memset(s.data() + 446, 0, 64);
    uint8_t* e = s.data() + 446;
    e[0] = status;
    e[4] = type;
    plat::PutLe32(e, 16, 8, first);
    plat::PutLe32(e, 16, 12, count);
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
  }

  void WriteSector(uint64_t sector, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(img_.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fseek(f, static_cast<long>(sector * 512), SEEK_SET);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }

  void ExpectNewTable() {
    std::vector<uint8_t> mbr = ReadImage(img_, 0, 1);
    std::vector<uint8_t> sample = ReadLocal(Path("crismbr.bin"));
    EXPECT_EQ(std::memcmp(mbr.data(), sample.data(), 446), 0);
    const uint8_t entry[8] = {0x80, 0x01, 0x01, 0x00, 0x04, 0xFE, 0x3F, 0x03};
    EXPECT_EQ(std::memcmp(mbr.data() + 446, entry, 8), 0);
    EXPECT_EQ(plat::Le32(mbr.data(), 512, 454), 63u);
    EXPECT_EQ(ReadImage(img_, 63, 1)[510], 0x55);  // the boot sector went to the new partition
  }

  std::string img_;
};

TEST_F(PartitionTableTest, ValidTableWithFat32EntryIsKeptAndRetyped) {
  // A FAT16 file system at sector 2048 made by mkfs.fat, listed as type 0x0C.
  std::string out;
  ASSERT_EQ(Run("mkfs.fat -F 16 -a -R 1 -h 2048 --offset=2048 '" + img_ + "' 29990", &out), 0) << out;
  std::vector<uint8_t> mbr = Mbr(0x80, 0x0C, 2048, 60000);
  WriteSector(0, mbr);
  std::vector<uint8_t> oldBoot = ReadImage(img_, 2048, 1);

  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 1);
  ASSERT_TRUE(key.WriteBootSector("crisboot.bin"));
  EXPECT_TRUE(boxes.boxes.empty());

  std::vector<uint8_t> after = ReadImage(img_, 0, 1);
  mbr[446 + 4] = 0x04;
  EXPECT_EQ(after, mbr);  // only the type byte changed
  std::vector<uint8_t> boot = ReadImage(img_, 2048, 1);
  EXPECT_EQ(std::memcmp(boot.data() + 11, oldBoot.data() + 11, 51), 0);  // its own parameters
  EXPECT_EQ(key.bootParams().HiddenSectors(), 2048u);

  WriteFile("bios.rom", Pattern(300000, 1));
  ASSERT_TRUE(key.CopyFileToDisk("bios.rom"));
  EXPECT_EQ(Fsck(img_, 2048, &out), 0) << out;
  EXPECT_EQ(Mtype(img_, 2048 * 512, "bios.rom"), Pattern(300000, 1));
}

TEST_F(PartitionTableTest, ActiveEntryOfType06GetsNewMasterBootRecord) {
  WriteSector(0, Mbr(0x80, 0x06, 2048, 60000));
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 1);
  ASSERT_TRUE(key.WriteBootSector("crisboot.bin"));
  ExpectNewTable();
}

TEST_F(PartitionTableTest, HostileTablesAreReplacedWithoutCrash) {
  const struct {
    uint8_t status, type;
    uint32_t first;
  } cases[] = {{0x80, 0x0C, 0}, {0x80, 0x04, 0xFFFFFFFFu}, {0x80, 0x01, static_cast<uint32_t>(kSectors)},
               {0x7F, 0x04, 63}, {0x80, 0xEE, 63}};
  for (const auto& c : cases) {
    WriteSector(0, Mbr(c.status, c.type, c.first, 0xFFFFFFFFu));
    plat::ScriptedMessageBox boxes;
    CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 1);
    ASSERT_TRUE(key.WriteBootSector("crisboot.bin"));
    ExpectNewTable();
  }
}

TEST_F(PartitionTableTest, ReusedPartitionWithoutFatLayoutGetsNewParameters) {
  // Type 0x0B (FAT32) whose boot sector is garbage: its sizes can't be used.
  WriteSector(0, Mbr(0x80, 0x0B, 4096, 50000));
  WriteSector(4096, Pattern(512, 3));
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 1);
  ASSERT_TRUE(key.WriteBootSector("crisboot.bin"));
  EXPECT_EQ(key.bootParams().HiddenSectors(), 4096u);
  EXPECT_EQ(key.bootParams().TotalSectors(), 50000u);
  WriteFile("minidos.sys", Pattern(70000, 4));
  ASSERT_TRUE(key.CopyFileToDisk("minidos.sys"));
  std::string out;
  EXPECT_EQ(Fsck(img_, 4096, &out), 0) << out;
  EXPECT_EQ(Mtype(img_, 4096 * 512, "minidos.sys"), Pattern(70000, 4));
}

TEST_F(PartitionTableTest, ReusedFat12PartitionGetsFat16Parameters) {
  // 16-bit FAT entries written into a FAT12 volume would wreck it.
  std::string out;
  ASSERT_EQ(Run("mkfs.fat -F 12 -a -R 1 -h 2048 --offset=2048 '" + img_ + "' 30000", &out), 0) << out;
  WriteSector(0, Mbr(0x80, 0x01, 2048, 60000));
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 1);
  ASSERT_TRUE(key.WriteBootSector("crisboot.bin"));
  EXPECT_EQ(key.bootParams().SectorsPerFat(), 255);
  EXPECT_EQ(key.bootParams().TotalSectors(), 60000u);
  EXPECT_EQ(key.bootParams().HiddenSectors(), 2048u);
  EXPECT_EQ(ReadImage(img_, 0, 1)[446 + 4], 0x04);
  WriteFile("a.bin", Pattern(5000, 1));
  ASSERT_TRUE(key.CopyFileToDisk("a.bin"));
  EXPECT_EQ(Mtype(img_, 2048 * 512, "a.bin"), Pattern(5000, 1));
  EXPECT_EQ(Fsck(img_, 2048, &out), 0) << out;
}

TEST_F(PartitionTableTest, MissingMbrFileFailsWithBothMessages) {
  ASSERT_EQ(std::remove(Path("crismbr.bin").c_str()), 0);
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 1);
  EXPECT_FALSE(key.WriteBootSector("crisboot.bin"));
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].text,
            "Error, the file crismbr.bin doesn't exist in the current directory, please try again!");
  EXPECT_EQ(boxes.boxes[0].flags, plat::MB_ICONERROR);
  EXPECT_EQ(boxes.boxes[1].text, "Can't init the partion table of the disk!");
  EXPECT_EQ(boxes.boxes[1].flags, plat::MB_OK);
  EXPECT_EQ(boxes.boxes[1].caption, "Tavrin");
}

TEST(FindReusableEntryTest, UnsignedOrUnknownTablesAreNotReused) {
  uint8_t s[512] = {};
  s[446] = 0x80;
  s[446 + 4] = 0x04;
  plat::PutLe32(s, 512, 446 + 8, 63);
  EXPECT_EQ(tavrin::FindReusableEntry(s, 100000), -1);  // no signature
  s[510] = 0x55;
  s[511] = 0xAA;
  EXPECT_EQ(tavrin::FindReusableEntry(s, 100000), 0);
  s[462 + 4] = 0x83;  // a Linux entry makes the table unknown
  EXPECT_EQ(tavrin::FindReusableEntry(s, 100000), -1);
  s[462 + 4] = 0x00;
  s[446] = 0x00;  // nothing active
  EXPECT_EQ(tavrin::FindReusableEntry(s, 100000), -1);
}

}  // namespace
}  // namespace tavrin_test
