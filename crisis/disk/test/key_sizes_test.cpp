// Keys of many sizes, odd and even cylinder counts, in both layouts: the
// volume stays inside the medium (and its partition), fsck.fat finds nothing
// to repair, and every file reads back byte for byte; a reused partition gets
// a FAT16 volume of its own size or a new table, never a FAT12-sized layout.
#include <sys/stat.h>

#include <cstring>

#include "disk/disk_messages.h"
#include "disk/key_layout.h"
#include "disk/partition_table.h"
#include "disk/usb_key_disk.h"
#include "disk_test_support.h"
#include "platform/le_bytes.h"

namespace tavrin_test {
namespace {

using tavrin::CUSBKeyDisk;

constexpr uint64_t kMiB = 2048;  // sectors

struct KeyFile {
  const char* name;
  size_t size;
};
const KeyFile kFiles[] = {{"minidos.sys", 64 * 1024 + 17}, {"kavlo.exe", 150 * 1024}, {"vgabios.exe", 1},
                          {"platform.bin", 40 * 1024}, {"bios.rom", 1024 * 1024}};

class KeySizesTest : public DiskTest {
 protected:
  // Builds a whole crisis key on an attached image and checks it from outside.
  void BuildAndCheck(const std::string& img, int fixed) {
    plat::ScriptedMessageBox boxes;
    uint64_t medium = 0;
    {
      CUSBKeyDisk key("\\\\.\\PhysicalDrive0", fixed);
      ASSERT_TRUE(key.GetMediumSectors(&medium));
      ASSERT_TRUE(key.WriteBootSector("crisboot.bin"));
      uint8_t seed = 1;
      for (const KeyFile& f : kFiles) {
        WriteFile(f.name, Pattern(f.size, seed++));
        ASSERT_TRUE(key.CopyFileToDisk(f.name)) << f.name;
      }
      const tavrin::BootParams& p = key.bootParams();
      EXPECT_TRUE(p.IsFat16());
      EXPECT_LE(p.HiddenSectors() + static_cast<uint64_t>(p.TotalSectors()), medium);
      if (fixed) {
        std::vector<uint8_t> mbr = ReadImage(img, 0, 1);
        uint32_t first = plat::Le32(mbr.data(), 512, 446 + 8), count = plat::Le32(mbr.data(), 512, 446 + 12);
        EXPECT_EQ(first, p.HiddenSectors());
        EXPECT_LE(p.TotalSectors(), count);
        EXPECT_LE(static_cast<uint64_t>(first) + count, medium);
      }
      key.EjectMedia();
    }
    EXPECT_TRUE(boxes.boxes.empty());
    std::vector<uint8_t> boot = ReadImage(img, 0, 1);
    uint64_t start = fixed ? plat::Le32(boot.data(), 512, 446 + 8) : 0;
    std::string out;
    EXPECT_EQ(Fsck(img, start, &out), 0) << out;
    uint8_t seed = 1;
    for (const KeyFile& f : kFiles) EXPECT_EQ(Mtype(img, start * 512, f.name), Pattern(f.size, seed++)) << f.name;
    std::remove((img + ".part").c_str());
  }
};

TEST_F(KeySizesTest, SpreadOfSizesInBothLayoutsPassesFsckAndReadsBack) {
  // Cylinders of 16,065 sectors: 2 (even), 3 (odd), 12, 65 (512 MiB, odd),
  // 127 (odd), 130 (1 GiB, even), 254 (even), 261 (2 GiB, odd).
  const uint64_t sizes[] = {16 * kMiB, 24 * kMiB, 100 * kMiB, 512 * kMiB,
                            1000 * kMiB, 1024 * kMiB, 2000 * kMiB, 2048 * kMiB};
  WriteBootFiles();
  for (uint64_t sectors : sizes) {
    for (int fixed : {0, 1}) {
      SCOPED_TRACE(std::to_string(sectors / kMiB) + " MiB, " + std::to_string(sectors / 16065) + " cylinders, " +
                   (fixed ? "Fixed" : "Removable"));
      plat::DetachDiskImages();
      std::string img = MakeImage("key.img", sectors);
      plat::AttachDiskImage(img, plat::DiskKind::Removable);
      BuildAndCheck(img, fixed);
      std::remove(img.c_str());
    }
  }
}

class ReusedPartitionTest : public KeySizesTest {
 protected:
  std::string Key(uint64_t sectors) {
    std::string img = MakeImage("key.img", sectors);
    plat::AttachDiskImage(img, plat::DiskKind::Removable);
    WriteBootFiles();
    return img;
  }
  void Table(const std::string& img, uint8_t type, uint32_t first, uint32_t count) {
    std::vector<uint8_t> s(512, 0);
    s[446] = 0x80;
    s[446 + 4] = type;
    plat::PutLe32(s.data(), 512, 446 + 8, first);
    plat::PutLe32(s.data(), 512, 446 + 12, count);
    s[510] = 0x55;
    s[511] = 0xAA;
    std::FILE* f = std::fopen(img.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fwrite(s.data(), 1, s.size(), f);
    std::fclose(f);
  }
};

TEST_F(ReusedPartitionTest, Fat32PartitionOfOneGigabyteKeyGetsFat16OfItsOwnSize) {
  // The case that used to give 3,191 clusters of 64 sectors: a FAT32 volume
  // of 204,800 sectors at sector 2048 of a 1 GiB key.
  std::string img = Key(1024 * kMiB);
  std::string out;
  ASSERT_EQ(Run("mkfs.fat -F 32 -h 2048 --offset=2048 '" + img + "' 102400", &out), 0) << out;
  Table(img, 0x0C, 2048, 204800);
  BuildAndCheck(img, 1);
  std::vector<uint8_t> mbr = ReadImage(img, 0, 1);
  EXPECT_EQ(mbr[446 + 4], 0x04);
  EXPECT_EQ(plat::Le32(mbr.data(), 512, 446 + 8), 2048u);  // the partition was kept
  std::vector<uint8_t> boot = ReadImage(img, 2048, 1);
  EXPECT_EQ(plat::Le32(boot.data(), 512, 32), 204800u);
  EXPECT_EQ(boot[13], 4);  // from 204,800 sectors, not from the whole key
}

TEST_F(ReusedPartitionTest, Fat16WhoseHiddenSectorsOrSizeDisagreeIsLaidOutAgain) {
  std::string img = Key(100 * kMiB);
  std::string out;
  // Hidden sectors 63 for a volume that starts at 2048.
  ASSERT_EQ(Run("mkfs.fat -F 16 -R 1 -h 63 --offset=2048 '" + img + "' 40000", &out), 0) << out;
  Table(img, 0x04, 2048, 80000);
  BuildAndCheck(img, 1);
  EXPECT_EQ(plat::Le32(ReadImage(img, 2048, 1).data(), 512, 28), 2048u);

  // A volume larger than its partition.
  img = Key(100 * kMiB);
  ASSERT_EQ(Run("mkfs.fat -F 16 -R 1 -h 2048 --offset=2048 '" + img + "' 60000", &out), 0) << out;
  Table(img, 0x06 - 2, 2048, 80000);
  BuildAndCheck(img, 1);
  EXPECT_EQ(plat::Le32(ReadImage(img, 2048, 1).data(), 512, 32), 80000u);
}

TEST_F(ReusedPartitionTest, PartitionTooSmallForFat16IsNotReused) {
  // 3,000 sectors hold fewer than 4,085 clusters: a new table replaces it.
  std::string img = Key(64 * kMiB);
  Table(img, 0x0C, 2048, 3000);
  BuildAndCheck(img, 1);
  std::vector<uint8_t> mbr = ReadImage(img, 0, 1);
  EXPECT_EQ(plat::Le32(mbr.data(), 512, 446 + 8), 63u);
}

TEST_F(ReusedPartitionTest, FilesLargerThanAReusedPartitionAreRefusedBeforeAnyWrite) {
  // A valid FAT16 partition of 12,000 sectors (about 5.8 MiB) on a 64 MiB key.
  std::string img = Key(64 * kMiB);
  std::string out;
  ASSERT_EQ(Run("mkfs.fat -F 16 -s 1 -R 1 -h 2048 --offset=2048 '" + img + "' 6000", &out), 0) << out;
  Table(img, 0x06 - 2, 2048, 12000);
  std::string before, after;
  ASSERT_EQ(Run("sha256sum < '" + img + "'", &before), 0);
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("\\\\.\\PhysicalDrive0", 1);
  ASSERT_TRUE(key.CheckMedia());
  EXPECT_TRUE(key.CheckRoom({64 * 1024, 5 * 1024 * 1024}));
  EXPECT_FALSE(key.CheckRoom({64 * 1024, 6 * 1024 * 1024}));
  ASSERT_EQ(Run("sha256sum < '" + img + "'", &after), 0);
  EXPECT_EQ(after, before);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, tavrin::TooSmallMessage("\\\\.\\PhysicalDrive0"));
  // More files than the root directory holds don't fit either.
  EXPECT_FALSE(key.CheckRoom(std::vector<uint64_t>(513, 1)));
}

TEST(KeyLayoutTest, PlanRefusesWhatNoFat16VolumeFits) {
  plat::DISK_GEOMETRY g{};
  g.TracksPerCylinder = 255;
  g.SectorsPerTrack = 63;
  tavrin::KeyLayout layout;
  g.Cylinders = 1;
  EXPECT_EQ(tavrin::PlanKeyLayout(g, 16065, false, nullptr, nullptr, &layout), tavrin::LayoutVerdict::TooSmall);
  // A geometry claiming more than the medium is cut to the medium.
  g.Cylinders = 4;
  ASSERT_EQ(tavrin::PlanKeyLayout(g, 2 * 16065 + 5, true, nullptr, nullptr, &layout), tavrin::LayoutVerdict::Ok);
  EXPECT_EQ(layout.cylinders, 2u);
  EXPECT_EQ(tavrin::EntrySectorCount(layout.entry), (2u * 255 - 1) * 63);
  EXPECT_EQ(layout.params.TotalSectors(), (2u * 255 - 1) * 63);
  g.Cylinders = 510;  // half of 8,193,150 reaches 4,095,000
  EXPECT_EQ(tavrin::PlanKeyLayout(g, 510 * 16065, false, nullptr, nullptr, &layout), tavrin::LayoutVerdict::TooLarge);
  g.TracksPerCylinder = 0;
  EXPECT_EQ(tavrin::PlanKeyLayout(g, 510 * 16065, false, nullptr, nullptr, &layout), tavrin::LayoutVerdict::TooSmall);
}

}  // namespace
}  // namespace tavrin_test
