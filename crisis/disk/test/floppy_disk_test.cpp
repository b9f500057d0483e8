// The floppy: formatted by mkfs.fat, boot sector from crisboot.bin, files by
// mcopy; fsck.fat and mtools read the diskette image back.
#include <sys/stat.h>


#include "disk/disk_messages.h"
#include "disk/floppy_disk.h"
#include "disk_test_support.h"
#include "platform/floppy_tools.h"

namespace tavrin_test {
namespace {

using tavrin::CFloppyDisk;

class FloppyDiskTest : public DiskTest {
 protected:
  void SetUp() override {
    DiskTest::SetUp();
    img_ = MakeImage("floppy.img", 2880);
    plat::AttachDiskImage(img_, plat::DiskKind::Floppy);
    WriteBootFiles();
  }
  void TearDown() override {
    plat::SetFormatDriveHandler(nullptr);
    DiskTest::TearDown();
  }
  std::string img_;
};

TEST_F(FloppyDiskTest, MinidosDisketteBuiltWithCrisbootPassesFsck) {
  plat::ScriptedMessageBox boxes;
  CFloppyDisk floppy("A:");
  floppy.Format();
  ASSERT_TRUE(floppy.CheckMedia());
  ASSERT_TRUE(floppy.WriteBootSector("crisboot.bin"));
  EXPECT_EQ(ReadImage(img_, 0, 1), ReadLocal(Path("crisboot.bin")));
  const struct {
    const char* name;
    size_t size;
  } files[] = {{"minidos.sys", 30000}, {"kavlo16.exe", 120000}, {"bios.qzw", 600000}, {"vgabios.exe", 0}};
  uint8_t seed = 1;
  for (const auto& f : files) {
    WriteFile(f.name, Pattern(f.size, seed++));
    ASSERT_TRUE(floppy.CopyFileToDisk(f.name)) << f.name;
  }
  // Copying again replaces the file.
  WriteFile("bios.qzw", Pattern(1000, 9));
  ASSERT_TRUE(floppy.CopyFileToDisk("bios.qzw"));
  EXPECT_TRUE(boxes.boxes.empty());

  std::string out;
  EXPECT_EQ(Fsck(img_, 0, &out), 0) << out;
  EXPECT_EQ(Mtype(img_, 0, "minidos.sys"), Pattern(30000, 1));
  EXPECT_EQ(Mtype(img_, 0, "kavlo16.exe"), Pattern(120000, 2));
  EXPECT_EQ(Mtype(img_, 0, "bios.qzw"), Pattern(1000, 9));
  EXPECT_EQ(Mtype(img_, 0, "vgabios.exe"), std::vector<uint8_t>{});
}

TEST_F(FloppyDiskTest, FormatAsksTheShellForDriveA) {
  std::vector<unsigned> calls;
  plat::SetFormatDriveHandler([&](unsigned drive, unsigned id, unsigned options) {
    calls = {drive, id, options};
    return 0ul;
  });
  CFloppyDisk floppy("A:");
  floppy.Format();
  EXPECT_EQ(calls, (std::vector<unsigned>{0, 0xFFFF, 0}));
}

TEST_F(FloppyDiskTest, FloppyImageHas80Cylinders2Heads18Sectors) {
  CFloppyDisk floppy("A:");
  plat::DISK_GEOMETRY g{};
  ASSERT_TRUE(floppy.GetGeometry(&g));
  EXPECT_EQ(g.Cylinders, 80u);
  EXPECT_EQ(g.TracksPerCylinder, 2u);
  EXPECT_EQ(g.SectorsPerTrack, 18u);
  EXPECT_EQ(g.BytesPerSector, 512u);
}

TEST_F(FloppyDiskTest, MissingBootFile) {
  plat::ScriptedMessageBox boxes;
  CFloppyDisk floppy("A:");
  EXPECT_FALSE(floppy.WriteBootSector("nothere.bin"));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text,
            "Error, the file nothere.bin doesn't exist in the current directory,  please check the file and try again!");
}

TEST_F(FloppyDiskTest, WriteProtectedDisketteIsNeverWritten) {
  ASSERT_EQ(chmod(img_.c_str(), 0444), 0);
  plat::ScriptedMessageBox boxes;
  CFloppyDisk floppy("A:");
  EXPECT_FALSE(floppy.CheckMedia());
  EXPECT_FALSE(floppy.WriteBootSector("crisboot.bin"));
  WriteFile("a.txt", Pattern(10, 1));
  EXPECT_FALSE(floppy.CopyFileToDisk("a.txt"));
  ASSERT_EQ(boxes.boxes.size(), 3u);
  for (const auto& b : boxes.boxes) EXPECT_EQ(b.text, tavrin::ReadOnlyMessage("A:"));
  std::vector<uint8_t> all = ReadImage(img_, 0, 2880);
  EXPECT_EQ(std::count(all.begin(), all.end(), 0), 2880 * 512);
}

}  // namespace
}  // namespace tavrin_test
