// The layout a USB key gets: boot parameters from the geometry, the partition
// entry of the "Fixed" layout, and where boot sector, FATs, root directory
// and cluster 2 land in both layouts.
#include <cstring>

#include "disk/boot_params.h"
#include "disk/partition_table.h"
#include "disk/usb_key_disk.h"
#include "disk_test_support.h"
#include "platform/le_bytes.h"

namespace tavrin_test {
namespace {

using tavrin::BootParams;
using tavrin::CUSBKeyDisk;

plat::DISK_GEOMETRY Geometry(uint64_t cylinders, uint32_t heads = 255, uint32_t sectors = 63) {
  plat::DISK_GEOMETRY g{};
  g.Cylinders = cylinders;
  g.MediaType = plat::MEDIA_REMOVABLE;
  g.TracksPerCylinder = heads;
  g.SectorsPerTrack = sectors;
  g.BytesPerSector = 512;
  return g;
}

TEST(BootParamsTest, MillionSectorKeyGetsSixteenSectorClusters) {
  // 1,000,000 / 16065 = 62 cylinders: total 996,030, half 498,015.
  BootParams p = tavrin::MakeBootParams(Geometry(1000000 / 16065));
  EXPECT_EQ(p.BytesPerSector(), 512);
  EXPECT_EQ(p.SectorsPerCluster(), 16);
  EXPECT_EQ(p.ReservedSectors(), 1);
  EXPECT_EQ(p.NumberOfFats(), 2);
  EXPECT_EQ(p.RootEntries(), 224);
  EXPECT_EQ(p.TotalSectors16(), 0);
  EXPECT_EQ(p.TotalSectors32(), 996030u);
  EXPECT_EQ(p.Media(), 0xF8);
  EXPECT_EQ(p.SectorsPerFat(), 255);
  EXPECT_EQ(p.SectorsPerTrack(), 63);
  EXPECT_EQ(p.Heads(), 255);
  EXPECT_EQ(p.HiddenSectors(), 63u);
  EXPECT_EQ(p.bytes()[36 - 11], 0);
  EXPECT_EQ(p.bytes()[38 - 11], 0x29);
  for (int i = 39; i < 43; ++i) EXPECT_EQ(p.bytes()[i - 11], 0) << "offset " << i;
  EXPECT_EQ(std::memcmp(p.bytes().data() + 43 - 11, "NO NAME    ", 11), 0);
  EXPECT_EQ(std::memcmp(p.bytes().data() + 54 - 11, "FAT16   ", 8), 0);
  EXPECT_EQ(p.FatAreaSectors(), 510u);
  EXPECT_EQ(p.RootSectors(), 14u);
}

TEST(BootParamsTest, ClusterSizeBoundaries) {
  EXPECT_EQ(tavrin::SectorsPerClusterForHalf(64001 / 2), 1);  // total 64,001
  EXPECT_EQ(tavrin::SectorsPerClusterForHalf(64002 / 2), 2);  // total 64,002
  EXPECT_EQ(tavrin::SectorsPerClusterForHalf(64000), 2);
  EXPECT_EQ(tavrin::SectorsPerClusterForHalf(64001), 4);
  EXPECT_EQ(tavrin::SectorsPerClusterForHalf(255000), 8);
  EXPECT_EQ(tavrin::SectorsPerClusterForHalf(511000), 16);
  EXPECT_EQ(tavrin::SectorsPerClusterForHalf(511001), 32);
  EXPECT_EQ(tavrin::SectorsPerClusterForHalf(1022999), 32);
  EXPECT_EQ(tavrin::SectorsPerClusterForHalf(1023000), 64);
  EXPECT_EQ(tavrin::SectorsPerClusterForHalf(2046999), 64);
  EXPECT_EQ(tavrin::SectorsPerClusterForHalf(2047000), 128);
  EXPECT_EQ(tavrin::SectorsPerClusterForHalf(4094999), 128);
  EXPECT_EQ(tavrin::SectorsPerClusterForHalf(4095000), 1);
}

TEST(BootParamsTest, TotalsOf64001And64002Sectors) {
  // 1 head and 1 sector per track make the cylinder count the total; an odd
  // count of 64,003 loses its last cylinder: 64,002 and 2 sectors per cluster.
  BootParams odd = tavrin::MakeBootParams(Geometry(64003, 1, 1));
  EXPECT_EQ(odd.TotalSectors16(), 64002);
  EXPECT_EQ(odd.SectorsPerCluster(), 2);
  BootParams even = tavrin::MakeBootParams(Geometry(64001, 1, 1));
  EXPECT_EQ(even.TotalSectors16(), 64000);
  EXPECT_EQ(even.TotalSectors32(), 0u);
  EXPECT_EQ(even.SectorsPerCluster(), 1);
  // 65,536 no longer fits the 16-bit field.
  BootParams big = tavrin::MakeBootParams(Geometry(65536, 1, 1));
  EXPECT_EQ(big.TotalSectors16(), 0);
  EXPECT_EQ(big.TotalSectors32(), 65536u);
}

TEST(BootParamsTest, OddCylinderIsDroppedSoTheVolumeEndsInsideTheMedium) {
  BootParams p = tavrin::MakeBootParams(Geometry(61));
  EXPECT_EQ(p.TotalSectors32(), 60u * 255 * 63);
  tavrin::PartitionEntry e = tavrin::MakePartitionEntry(Geometry(61));
  EXPECT_EQ(e[7], 59);  // end cylinder = 60 - 1
  EXPECT_EQ(tavrin::EntrySectorCount(e), (255u * 60 - 1) * 63);
}

TEST(PartitionEntryTest, MillionSectorKeyEntryBytes) {
  tavrin::PartitionEntry e = tavrin::MakePartitionEntry(Geometry(62));
  const uint8_t expected[8] = {0x80, 0x01, 0x01, 0x00, 0x04, 0xFE, 0x3F, 0x3D};
  EXPECT_EQ(std::memcmp(e.data(), expected, 8), 0);
  EXPECT_EQ(tavrin::EntryFirstSector(e), 63u);
  EXPECT_EQ(tavrin::EntrySectorCount(e), 995967u);
}

class UsbKeyLayoutTest : public DiskTest {
 protected:
  // A 1,000,000-sector key prepared in the 9x personality.
  std::string PrepareMillionSectorKey(int fixed) {
    plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
    std::string img = MakeImage("key.img", 1000000);
    plat::AttachDiskImage(img, plat::DiskKind::Removable);
    WriteBootFiles();
    plat::ScriptedMessageBox boxes;
    CUSBKeyDisk key("128", fixed);
    EXPECT_TRUE(key.WriteBootSector("crisboot.bin"));
    EXPECT_TRUE(boxes.boxes.empty());
    return img;
  }

  void ExpectFreshFatsAndRoot(const std::string& img, uint32_t b) {
    std::vector<uint8_t> fats = ReadImage(img, b + 1, 510);
    const uint8_t marker[4] = {0xF8, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(fats.data(), marker, 4), 0);
    EXPECT_EQ(std::memcmp(fats.data() + 255 * 512, marker, 4), 0);
    size_t nonZero = 0;
    for (size_t i = 0; i < fats.size(); ++i)
      if (fats[i] && !(i < 4 || (i >= 255 * 512 && i < 255 * 512 + 4))) ++nonZero;
    EXPECT_EQ(nonZero, 0u);
    std::vector<uint8_t> root = ReadImage(img, b + 511, 14);
    EXPECT_EQ(std::count(root.begin(), root.end(), 0), 14 * 512);
  }
};

TEST_F(UsbKeyLayoutTest, RemovableLayoutOfMillionSectorKey) {
  std::string img = PrepareMillionSectorKey(0);
  std::vector<uint8_t> boot = ReadImage(img, 0, 1);
  std::vector<uint8_t> sample = ReadLocal(Path("crisboot.bin"));
  // The boot code and signature are the file's; bytes 11 to 61 the parameters.
  EXPECT_EQ(std::memcmp(boot.data(), sample.data(), 11), 0);
  EXPECT_EQ(std::memcmp(boot.data() + 62, sample.data() + 62, 450), 0);
  EXPECT_EQ(plat::Le32(boot.data(), 512, 28), 0u);  // hidden sectors
  EXPECT_EQ(plat::Le32(boot.data(), 512, 32), 996030u);
  EXPECT_EQ(boot[13], 16);
  ExpectFreshFatsAndRoot(img, 0);

  // Cluster 2 is sector 525: the first file's data lands there.
  WriteFile("first.bin", Pattern(100, 1));
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("128", 0);
  key.WriteBootSector("crisboot.bin");
  ASSERT_TRUE(key.CopyFileToDisk("first.bin"));
  std::vector<uint8_t> data = ReadImage(img, 525, 1);
  EXPECT_EQ(std::memcmp(data.data(), Pattern(100, 1).data(), 100), 0);
}

TEST_F(UsbKeyLayoutTest, FixedLayoutOfMillionSectorKey) {
  std::string img = PrepareMillionSectorKey(1);
  std::vector<uint8_t> mbr = ReadImage(img, 0, 1);
  std::vector<uint8_t> sampleMbr = ReadLocal(Path("crismbr.bin"));
  const uint8_t entry[8] = {0x80, 0x01, 0x01, 0x00, 0x04, 0xFE, 0x3F, 0x3D};
  EXPECT_EQ(std::memcmp(mbr.data() + 446, entry, 8), 0);
  EXPECT_EQ(plat::Le32(mbr.data(), 512, 454), 63u);
  EXPECT_EQ(plat::Le32(mbr.data(), 512, 458), 995967u);
  EXPECT_EQ(std::memcmp(mbr.data(), sampleMbr.data(), 446), 0);
  EXPECT_EQ(std::memcmp(mbr.data() + 462, sampleMbr.data() + 462, 50), 0);
  EXPECT_EQ(mbr[510], 0x55);
  EXPECT_EQ(mbr[511], 0xAA);

  std::vector<uint8_t> boot = ReadImage(img, 63, 1);
  EXPECT_EQ(boot[510], 0x55);
  EXPECT_EQ(plat::Le32(boot.data(), 512, 28), 63u);  // hidden sectors of a new table
  EXPECT_EQ(plat::Le16(boot.data(), 512, 14), 1);
  ExpectFreshFatsAndRoot(img, 63);

  WriteFile("first.bin", Pattern(100, 2));
  plat::ScriptedMessageBox boxes;
  CUSBKeyDisk key("128", 1);
  key.WriteBootSector("crisboot.bin");
  ASSERT_TRUE(key.CopyFileToDisk("first.bin"));
  std::vector<uint8_t> data = ReadImage(img, 588, 1);
  EXPECT_EQ(std::memcmp(data.data(), Pattern(100, 2).data(), 100), 0);
}

}  // namespace
}  // namespace tavrin_test
