// Whole builds onto image files through the real disk classes, checked
// afterwards with dosfstools and mtools.
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "crisis_app/compressor.h"
#include "crisis_app/disk_medium.h"
#include "crisis_app/tavrin_dlg.h"
#include "crisis_samples/boot_sectors.h"
#include "disk/usb_key_disk.h"
#include "dialog_fixture.h"
#include "file_limit.h"
#include "run_command.h"

namespace test {
namespace {

using namespace crisis;

using plat::RunCommand;

// A stand-in device: the real medium, with one byte of its image file
// flipped after the build's writes and before it is read back.
class FlippingMedium : public CrisisMedium {
 public:
  FlippingMedium(std::unique_ptr<CrisisMedium> inner, std::string image,
                 std::function<uint64_t(const std::string&)> where)
      : inner_(std::move(inner)), image_(std::move(image)), where_(std::move(where)) {}
  bool CheckMedia() override { return inner_->CheckMedia(); }
  void Format() override { inner_->Format(); }
  bool WriteBootSector(const std::string& f) override { return inner_->WriteBootSector(f); }
  bool CopyFileToDisk(const std::string& f) override { return inner_->CopyFileToDisk(f); }
  bool IsUsbKey() const override { return inner_->IsUsbKey(); }
  void EjectMedia() override { inner_->EjectMedia(); }
  std::unique_ptr<MediumReadBack> OpenReadBack(std::string* error) override {
    uint64_t at = where_(image_);
    std::FILE* f = std::fopen(image_.c_str(), "r+b");
    EXPECT_NE(f, nullptr);
    if (f) {
      EXPECT_EQ(fseeko(f, static_cast<off_t>(at), SEEK_SET), 0);
      int c = std::fgetc(f);
      EXPECT_EQ(fseeko(f, static_cast<off_t>(at), SEEK_SET), 0);
      std::fputc(c ^ 0x01, f);
      EXPECT_EQ(std::fclose(f), 0);
    }
    return inner_->OpenReadBack(error);
  }

 private:
  std::unique_ptr<CrisisMedium> inner_;
  std::string image_;
  std::function<uint64_t(const std::string&)> where_;
};

class FlippingMediaFactory : public MediumFactory {
 public:
  std::unique_ptr<CrisisMedium> Create(const std::string& drive, bool fixedDisk) override {
    auto inner = real.Create(drive, fixedDisk);
    if (!inner) return nullptr;
    return std::make_unique<FlippingMedium>(std::move(inner), image, where);
  }
  DiskMediumFactory real;
  std::string image;
  std::function<uint64_t(const std::string&)> where;
};

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// Offsets in a FAT image without a partition table, from its boot sector.
uint64_t Le16At(const std::string& img, size_t at) {
  return static_cast<uint8_t>(img[at]) | static_cast<uint64_t>(static_cast<uint8_t>(img[at + 1])) << 8;
}
uint64_t FatOffset(const std::string& img, unsigned copy) {
  return (Le16At(img, 14) + copy * Le16At(img, 22)) * 512;
}
uint64_t RootOffset(const std::string& img) {
  return (Le16At(img, 14) + static_cast<uint8_t>(img[16]) * Le16At(img, 22)) * 512;
}

// A key whose writes to one sector carry one flipped byte, every time.
class FlippingKey : public tavrin::CUSBKeyDisk {
 public:
  FlippingKey(const std::string& name, int fixed, std::function<uint32_t(const tavrin::BootParams&)> sector,
              uint32_t byte)
      : CUSBKeyDisk(name, fixed), sector_(std::move(sector)), byte_(byte) {}
  bool WriteSectorsNT(uint32_t lba, const void* buffer, uint32_t count) override {
    const uint32_t target = sector_(bootParams());
    if (target < lba || target - lba >= count) return CUSBKeyDisk::WriteSectorsNT(lba, buffer, count);
    std::vector<uint8_t> bytes(static_cast<const uint8_t*>(buffer),
                               static_cast<const uint8_t*>(buffer) + size_t{count} * 512);
    bytes[size_t{target - lba} * 512 + byte_] ^= 0x01;
    return CUSBKeyDisk::WriteSectorsNT(lba, bytes.data(), count);
  }

 private:
  std::function<uint32_t(const tavrin::BootParams&)> sector_;
  uint32_t byte_;
};

class FlippingKeyFactory : public MediumFactory {
 public:
  std::unique_ptr<CrisisMedium> Create(const std::string& drive, bool fixedDisk) override {
    return MakeDiskMedium(std::make_unique<FlippingKey>(drive, fixedDisk ? 1 : 0, sector, byte));
  }
  std::function<uint32_t(const tavrin::BootParams&)> sector;
  uint32_t byte = 0;
};

// The diskette's formatter, with one byte of what it writes flipped.
class FlippingFormatter {
 public:
  FlippingFormatter(const TempDir& dir, uint64_t offset) {
    std::string real;
    for (const char* d : {"/usr/sbin/", "/sbin/", "/usr/bin/", "/bin/"})
      if (real.empty() && ::access((std::string(d) + "mkfs.fat").c_str(), X_OK) == 0) real = std::string(d) + "mkfs.fat";
    EXPECT_FALSE(real.empty()) << "mkfs.fat is missing";
    const std::string at = std::to_string(offset);
    dir.Write("mkfs.fat", "#!/bin/sh\n'" + real + R"sh(' "$@" || exit $?
for img; do :; done
old=$(od -An -tu1 -j )sh" + at + R"sh( -N1 "$img")
printf "$(printf '\\%03o' $((old ^ 1)))" | dd of="$img" bs=1 seek=)sh" + at + R"sh( conv=notrunc status=none
)sh");
    EXPECT_EQ(::chmod(dir.Path("mkfs.fat").c_str(), 0755), 0);
    const char* path = std::getenv("PATH");
    oldPath_ = path ? path : "/usr/bin:/bin";
    ::setenv("PATH", (dir.path() + ":" + oldPath_).c_str(), 1);
  }
  ~FlippingFormatter() { ::setenv("PATH", oldPath_.c_str(), 1); }

 private:
  std::string oldPath_;
};

class RealDiskBuildTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    ASSERT_TRUE(crisis_samples::WriteSampleBootFiles(work.path()));
    work.Write("minidos.sys", std::string(3000, 'M'));
    work.Write("KAVLO16.EXE", std::string(9000, 'K'));
    work.Write("vgabios.exe", std::string(700, 'V'));
    image.assign(70000, '\xFF');
    for (size_t i = 0; i < image.size(); i += 13) image[i] = static_cast<char>(i >> 3);
    work.Write("bios.qzw", image);
  }
  std::string MakeImage(const std::string& name, uint64_t bytes) {
    std::string p = disks.Path(name);
    std::FILE* f = std::fopen(p.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
      EXPECT_EQ(::ftruncate(fileno(f), static_cast<off_t>(bytes)), 0);
      std::fclose(f);
    }
    return p;
  }
  int BuildOn(int mode) {
    dlg = std::make_unique<CTavrinDlg>(controls, view, realMedia, realDrives);
    EXPECT_TRUE(dlg->OnInitDialog());
    controls.SetCheck(IDC_COMPRESS, true);
    return dlg->CreateCrisisDisk(mode);
  }
  std::string Expected() const {
    std::vector<uint8_t> c = CompressBytes(std::vector<uint8_t>(image.begin(), image.end()));
    return std::string(c.begin(), c.end());
  }

  TempDir disks;
  std::string image;
  DiskMediumFactory realMedia;
  SystemDriveSource realDrives;
};

TEST_F(RealDiskBuildTest, MiniDosUsbKeyPassesFsckAndHoldsTheFiles) {
  plat::ScriptedMessageBox boxes;
  std::string key = MakeImage("key.img", 64ull << 20);
  plat::AttachDiskImage(key, plat::DiskKind::Removable);
  boxes.Answer(plat::IDOK).Answer(plat::IDOK).Answer(plat::IDNO);
  EXPECT_EQ(BuildOn(kModeMiniDos), plat::IDNO) << ::testing::PrintToString(boxes.Texts());
  EXPECT_EQ(controls.ItemText(IDC_DRIVE, 0).rfind("Removable Disk 0 (", 0), 0u);

  std::string out;
  EXPECT_EQ(RunCommand("fsck.fat -n '" + key + "'", &out), 0) << out;
  ASSERT_EQ(RunCommand("mdir -b -i '" + key + "' ::", &out), 0) << out;
  for (const char* name : {"MINIDOS.SYS", "KAVLO16.EXE", "VGABIOS.EXE", "BIOS.QZW"})
    EXPECT_NE(plat::ToUpper(out).find(name), std::string::npos) << name << " in " << out;
  ASSERT_EQ(RunCommand("mtype -i '" + key + "' ::BIOS.QZW > '" + disks.Path("qzw") + "'"), 0);
  EXPECT_EQ(disks.Read("qzw"), Expected());
  EXPECT_EQ(work.Read("bios.qzw"), image);
  EXPECT_FALSE(work.Exists("BIOS.BAK"));
}

TEST_F(RealDiskBuildTest, OneFlippedByteOnTheKeyFailsTheVerify) {
  const std::string compressed = Expected();
  struct Case {
    const char* what;
    std::function<uint64_t(const std::string&)> where;
  } cases[] = {
      {"BIOS.QZW's bytes", [&](const std::string& p) { return ReadAll(p).find(compressed) + 1000; }},
      {"the boot code", [](const std::string&) { return 100; }},
      {"FAT 2", [](const std::string& p) { return FatOffset(ReadAll(p), 1) + 5; }},
      {"a directory entry's date", [](const std::string& p) { return RootOffset(ReadAll(p)) + 32 + 24; }},
      {"the free root slots", [](const std::string& p) { return RootOffset(ReadAll(p)) + 32 * 40; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    plat::ScriptedMessageBox boxes;
    plat::DetachDiskImages();
    std::string key = MakeImage("key.img", 64ull << 20);
    plat::AttachDiskImage(key, plat::DiskKind::Removable);
    FlippingMediaFactory flipping;
    flipping.image = key;
    flipping.where = c.where;
    dlg = std::make_unique<CTavrinDlg>(controls, view, flipping, realDrives);
    ASSERT_TRUE(dlg->OnInitDialog());
    controls.SetCheck(IDC_COMPRESS, true);
    boxes.Answer(plat::IDOK);
    EXPECT_EQ(dlg->CreateCrisisDisk(kModeMiniDos), kBuildFailed);
    ASSERT_FALSE(boxes.Texts().empty());
    const std::string text = boxes.Texts().back();
    EXPECT_EQ(text.rfind("The crisis disk could not be verified", 0), 0u) << text;
    for (const std::string& t : boxes.Texts()) EXPECT_EQ(t.find("Successfully"), std::string::npos) << t;
    EXPECT_EQ(work.Read("bios.qzw"), image);
    EXPECT_FALSE(work.Exists("BIOS.BAK"));
  }
}

TEST_F(RealDiskBuildTest, OneFlippedByteOnTheFloppyFailsTheVerify) {
  plat::ScriptedMessageBox boxes;
  std::string floppy = MakeImage("floppy.img", 1474560);
  plat::AttachDiskImage(floppy, plat::DiskKind::Floppy);
  const std::string kavlo(9000, 'K');
  FlippingMediaFactory flipping;
  flipping.image = floppy;
  // The floppy's files are written by mtools: only the file system check sees them.
  flipping.where = [&](const std::string& p) { return ReadAll(p).find(kavlo) + 4321; };
  dlg = std::make_unique<CTavrinDlg>(controls, view, flipping, realDrives);
  ASSERT_TRUE(dlg->OnInitDialog());
  boxes.Answer(plat::IDOK).Answer(plat::IDOK);
  EXPECT_EQ(dlg->CreateCrisisDisk(kModeMiniDos), kBuildFailed);
  ASSERT_FALSE(boxes.Texts().empty());
  EXPECT_NE(boxes.Texts().back().find("(kavlo16.exe, its byte 4321)"), std::string::npos)
      << boxes.Texts().back();
  for (const std::string& t : boxes.Texts()) EXPECT_EQ(t.find("Successfully"), std::string::npos) << t;

  // A boot sector that never reached the medium whole.
  plat::ScriptedMessageBox again;
  flipping.where = [](const std::string&) { return 100; };
  dlg = std::make_unique<CTavrinDlg>(controls, view, flipping, realDrives);
  ASSERT_TRUE(dlg->OnInitDialog());
  again.Answer(plat::IDOK).Answer(plat::IDOK);
  EXPECT_EQ(dlg->CreateCrisisDisk(kModeMiniDos), kBuildFailed);
  ASSERT_FALSE(again.Texts().empty());
  EXPECT_NE(again.Texts().back().find("sector 0 (boot sector) differs at byte 100"), std::string::npos)
      << again.Texts().back();
}

TEST_F(RealDiskBuildTest, KeyWhoseLayoutClaimsACylinderMoreStillVerifies) {
  // 9 cylinders of 255 x 63 and a bit: the layout counts 10, past the end.
  plat::ScriptedMessageBox boxes;
  std::string key = MakeImage("key.img", 9ull * 255 * 63 * 512 + 1024 * 1024);
  plat::AttachDiskImage(key, plat::DiskKind::Removable);
  boxes.Answer(plat::IDOK).Answer(plat::IDOK).Answer(plat::IDNO);
  EXPECT_EQ(BuildOn(kModeMiniDos), plat::IDNO) << ::testing::PrintToString(boxes.Texts());
}

TEST_F(RealDiskBuildTest, KeyThatRefusesWritesFailsTheBuild) {
  // The image file can't grow past a point (EFBIG), as a worn-out key stops
  // taking writes: once inside the FATs, once at the first file's data.
  std::string key = disks.Path("key.img");
  uint64_t dataStart = 0;
  {
    plat::ScriptedMessageBox boxes;
    MakeImage("key.img", 64ull << 20);
    plat::AttachDiskImage(key, plat::DiskKind::Removable);
    boxes.Answer(plat::IDOK).Answer(plat::IDOK).Answer(plat::IDNO);
    ASSERT_EQ(BuildOn(kModeMiniDos), plat::IDNO);
    std::string img = ReadAll(key);
    dataStart = RootOffset(img) + (Le16At(img, 17) * 32 + 511) / 512 * 512;
  }
  struct Case {
    uint64_t limit;
    const char* message;
  } cases[] = {{4096, "Error, sector 1 of the disk "},
               {dataStart + 1024, " Failed to copy minidos.sys file."}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    plat::ScriptedMessageBox boxes;
    MakeImage("key.img", 64ull << 20);
    dlg = std::make_unique<CTavrinDlg>(controls, view, realMedia, realDrives);
    ASSERT_TRUE(dlg->OnInitDialog());
    controls.SetCheck(IDC_COMPRESS, true);
    boxes.Answer(plat::IDOK);
    {
      FileSizeLimit worn(c.limit);
      EXPECT_EQ(dlg->CreateCrisisDisk(kModeMiniDos), kBuildFailed);
    }
    ASSERT_FALSE(boxes.Texts().empty());
    EXPECT_EQ(boxes.Texts().back().rfind(c.message, 0), 0u) << boxes.Texts().back();
    for (const std::string& t : boxes.Texts()) EXPECT_EQ(t.find("Successfully"), std::string::npos) << t;
    EXPECT_EQ(work.Read("bios.qzw"), image);
    EXPECT_FALSE(work.Exists("BIOS.BAK"));
  }
}

TEST_F(RealDiskBuildTest, FixedLayoutKeyHasItsFileSystemInThePartition) {
  plat::ScriptedMessageBox boxes;
  std::string key = MakeImage("key.img", 64ull << 20);
  plat::AttachDiskImage(key, plat::DiskKind::Removable);
  dlg = std::make_unique<CTavrinDlg>(controls, view, realMedia, realDrives);
  ASSERT_TRUE(dlg->OnInitDialog());
  controls.SetCheck(IDC_REMOVABLE, false);
  controls.SetCheck(IDC_FIXED, true);
  boxes.Answer(plat::IDOK).Answer(plat::IDOK).Answer(plat::IDNO);
  EXPECT_EQ(dlg->CreateCrisisDisk(kModeMiniDos), plat::IDNO);
  std::string out;
  ASSERT_EQ(RunCommand("mdir -b -i '" + key + "@@32256' ::", &out), 0) << out;
  EXPECT_NE(out.find("MINIDOS.SYS"), std::string::npos) << out;
}

TEST_F(RealDiskBuildTest, MiniDosFloppyIsFormattedAndPassesFsck) {
  plat::ScriptedMessageBox boxes;
  std::string floppy = MakeImage("floppy.img", 1474560);
  plat::AttachDiskImage(floppy, plat::DiskKind::Floppy);
  work.Write("bios.qzw", std::string(20000, 'Q'));
  image.assign(20000, 'Q');
  boxes.Answer(plat::IDOK).Answer(plat::IDOK).Answer(plat::IDNO);
  EXPECT_EQ(BuildOn(kModeMiniDos), plat::IDNO) << ::testing::PrintToString(boxes.Texts());
  EXPECT_EQ(controls.ItemText(IDC_DRIVE, 0), "Floppy Driver A (1.44Mb)");
  std::string out;
  EXPECT_EQ(RunCommand("fsck.fat -n '" + floppy + "'", &out), 0) << out;
  ASSERT_EQ(RunCommand("mdir -b -i '" + floppy + "' ::", &out), 0) << out;
  for (const char* name : {"MINIDOS.SYS", "KAVLO16.EXE", "VGABIOS.EXE", "BIOS.QZW"})
    EXPECT_NE(plat::ToUpper(out).find(name), std::string::npos) << name << " in " << out;
  EXPECT_EQ(plat::ToUpper(out).find("AUTOEXEC"), std::string::npos);
  ASSERT_EQ(RunCommand("mtype -i '" + floppy + "' ::BIOS.QZW > '" + disks.Path("qzw") + "'"), 0);
  EXPECT_EQ(disks.Read("qzw"), Expected());
}

TEST_F(RealDiskBuildTest, FullDosFloppyStartsTheFlashProgram) {
  plat::ScriptedMessageBox boxes;
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  std::string floppy = MakeImage("floppy.img", 1474560);
  plat::AttachDiskImage(floppy, plat::DiskKind::Floppy);
  dlg = std::make_unique<CTavrinDlg>(controls, view, realMedia, realDrives);
  ASSERT_TRUE(dlg->OnInitDialog()) << ::testing::PrintToString(boxes.Texts());
  boxes.Answer(plat::IDOK).Answer(plat::IDOK).Answer(plat::IDNO);
  EXPECT_EQ(dlg->CreateCrisisDisk(kModeFullDos), plat::IDNO) << ::testing::PrintToString(boxes.Texts());
  std::string out;
  ASSERT_EQ(RunCommand("mtype -i '" + floppy + "' ::AUTOEXEC.BAT", &out), 0) << out;
  EXPECT_EQ(out, "kavlo16.exe\r\n");
  ASSERT_EQ(RunCommand("mdir -b -i '" + floppy + "' ::", &out), 0) << out;
  EXPECT_EQ(plat::ToUpper(out).find("MINIDOS"), std::string::npos) << out;
  EXPECT_FALSE(work.Exists("AUTOEXEC.BAT"));
}

TEST_F(RealDiskBuildTest, ByteFlippedOnItsWayToTheKeyFailsTheVerifyNamingTheSector) {
  auto fat1 = [](const tavrin::BootParams& p) { return p.HiddenSectors() + 1; };
  auto root = [](const tavrin::BootParams& p) { return p.HiddenSectors() + 1 + p.FatAreaSectors(); };
  struct Case {
    const char* what;
    bool fixed;
    std::function<uint32_t(const tavrin::BootParams&)> sector;
    uint32_t byte;
    std::string message;  // after "sector N ("
  } cases[] = {
      {"a chain in FAT 1", false, fat1, 5, "FAT 1, the chain of minidos.sys) differs at byte 5: expected 0x00, read 0x01"},
      // Written with the first file, before the last file's chain takes it.
      {"where a later chain goes", false, fat1, 31, "FAT 1, the chain of bios.qzw) differs at byte 31: expected 0x00, read 0x01"},
      {"a free entry of FAT 1", false, fat1, 400, "FAT 1, a free entry) differs at byte 400: expected 0x00, read 0x01"},
      {"a directory entry", false, root, 32 + 26, "root directory, the entry of kavlo16.exe) differs at byte 58"},
      {"an empty root slot", false, root, 32 * 10, "root directory, an empty slot) differs at byte 320: expected 0x00, read 0x01"},
      {"the partition table", true, [](const tavrin::BootParams&) { return 0u; }, 446 + 4,
       "master boot record) differs at byte 450: expected 0x04, read 0x05"},
      {"FAT 1 in the partition", true, fat1, 4, "FAT 1, the chain of minidos.sys) differs at byte 4: expected 0x03, read 0x02"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    plat::ScriptedMessageBox boxes;
    plat::DetachDiskImages();
    std::string key = MakeImage("key.img", 64ull << 20);
    plat::AttachDiskImage(key, plat::DiskKind::Removable);
    FlippingKeyFactory flipping;
    flipping.sector = c.sector;
    flipping.byte = c.byte;
    dlg = std::make_unique<CTavrinDlg>(controls, view, flipping, realDrives);
    ASSERT_TRUE(dlg->OnInitDialog());
    controls.SetCheck(IDC_COMPRESS, true);
    controls.SetCheck(IDC_REMOVABLE, !c.fixed);
    controls.SetCheck(IDC_FIXED, c.fixed);
    boxes.Answer(plat::IDOK);
    EXPECT_EQ(dlg->CreateCrisisDisk(kModeMiniDos), kBuildFailed);
    ASSERT_FALSE(boxes.Texts().empty());
    const std::string text = boxes.Texts().back();
    EXPECT_EQ(text.rfind("The crisis disk could not be verified", 0), 0u) << text;
    tavrin::BootParams params;
    std::string img = ReadAll(key);
    params.CopyFromSector(reinterpret_cast<const uint8_t*>(img.data()) + (c.fixed ? 63 * 512 : 0));
    const std::string sector = "sector " + std::to_string(c.sector(params)) + " (";
    EXPECT_NE(text.find(sector + c.message), std::string::npos) << text;
    for (const std::string& t : boxes.Texts()) {
      EXPECT_EQ(t.find("Successfully"), std::string::npos) << t;
      EXPECT_EQ(t.find("enough room"), std::string::npos) << t;
    }
    EXPECT_EQ(work.Read("bios.qzw"), image);
  }
}

TEST_F(RealDiskBuildTest, ByteFlippedByTheFloppyFormatterFailsTheVerifyNamingTheSector) {
  struct Case {
    const char* what;
    uint64_t offset;
    std::string message;
  } cases[] = {
      {"a free entry of FAT 1", 512 + 300, "sector 1 (FAT 1, a free entry) differs at byte 300: expected 0x00, read 0x01"},
      // mcopy writes the FAT sectors it changes to both copies; this one it leaves.
      {"a free entry of FAT 2", 14 * 512 + 7, "sector 14 (FAT 2, a free entry) differs at byte 7: expected 0x00, read 0x01"},
      {"an empty root slot", 19 * 512 + 32 * 10,
       "sector 19 (root directory, an empty slot) differs at byte 320: expected 0x00, read 0x01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    plat::ScriptedMessageBox boxes;
    plat::DetachDiskImages();
    std::string floppy = MakeImage("floppy.img", 1474560);
    plat::AttachDiskImage(floppy, plat::DiskKind::Floppy);
    TempDir tools;
    FlippingFormatter formatter(tools, c.offset);
    boxes.Answer(plat::IDOK).Answer(plat::IDOK);
    EXPECT_EQ(BuildOn(kModeMiniDos), kBuildFailed);
    ASSERT_FALSE(boxes.Texts().empty());
    const std::string text = boxes.Texts().back();
    EXPECT_EQ(text.rfind("The crisis disk could not be verified", 0), 0u) << text;
    EXPECT_NE(text.find(c.message), std::string::npos) << text;
    for (const std::string& t : boxes.Texts()) EXPECT_EQ(t.find("Successfully"), std::string::npos) << t;
  }
}

}  // namespace
}  // namespace test
