// Saving the ROM into a file and loading it back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "image/image_loader.h"
#include "image/load_host.h"
#include "image/save_rom.h"
#include "image_test_support.h"
#include "imagegen/layouts.h"
#include "scripted_message_box.h"

namespace brim {
namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class NamedFileHost : public LoadHost {
 public:
  bool ChooseImageFile(std::string& path) override {
    ++asked;
    path = name;
    return !cancel;
  }
  void SaveDialogData() override {}
  void NewImageLoaded() override { ++loaded; }
  std::string name;
  bool cancel = false;
  int asked = 0, loaded = 0;
};

class SaveRom : public ImageTest {
 protected:
  void SetUp() override {
    ImageTest::SetUp();
    previousHost_ = SetLoadHost(&host);
    rom = imagegen::BuildTarvex(imagegen::TarvexSpec{});
    Adopt(CurrentRomImage(), rom, 0, 0xFFF00000);
  }
  void TearDown() override {
    SetLoadHost(previousHost_);
    ImageTest::TearDown();
  }
  TempDir dir;
  NamedFileHost host;
  plat::ScriptedMessageBox boxes;
  std::vector<uint8_t> rom;

 private:
  LoadHost* previousHost_ = nullptr;
};

TEST_F(SaveRom, OneMebibyteRomSavedAndLoadedBack) {
  ASSERT_EQ(rom.size(), 1048576u);
  host.name = dir.File("saved.rom");
  SaveRomToFile();
  EXPECT_EQ(ReadBytes(host.name), rom);
  EXPECT_EQ(CurrentRomImage().size, 1048576u) << "saving does not change the ROM size";
  EXPECT_EQ(list.appended, std::vector<std::string>{"Save BIOS file OK !!!"});
  EXPECT_TRUE(boxes.boxes.empty());

  LoadNewImage();
  const BiosImage& image = NewImage();
  ASSERT_EQ(image.size, rom.size());
  EXPECT_TRUE(std::equal(image.bytes, image.bytes + image.size, rom.begin()));
  EXPECT_EQ(host.loaded, 1);
}

TEST_F(SaveRom, ReplacesLongerExistingFile) {
  host.name = dir.Write("old.rom", std::vector<uint8_t>(3 * 1048576, 0xEE));
  SaveRomToFile();
  EXPECT_EQ(ReadBytes(host.name), rom);
}

TEST_F(SaveRom, CancelledDialogWritesNothing) {
  host.name = dir.File("never.rom");
  host.cancel = true;
  SaveRomToFile();
  EXPECT_FALSE(std::filesystem::exists(host.name));
  EXPECT_TRUE(list.appended.empty());
}

TEST_F(SaveRom, UnreadRomIsSilentlySkipped) {
  FreeImageBuffer(CurrentRomImage());
  host.name = dir.File("none.rom");
  SaveRomToFile();
  EXPECT_EQ(host.asked, 1);
  EXPECT_FALSE(std::filesystem::exists(host.name));
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(list.appended.empty());
}

TEST_F(SaveRom, SizeBeyondBufferIsNotWritten) {
  CurrentRomImage().size = static_cast<uint32_t>(rom.size() + 1);
  EXPECT_FALSE(WriteRomFile(dir.File("over.rom")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("over.rom")));
}

TEST_F(SaveRom, UnopenableFileReported) {
  host.name = dir.File("no/such/folder/x.rom");
  SaveRomToFile();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  const std::string named = dir.File("no/such/folder/x.rom") + ": No such file or directory";
  EXPECT_EQ(boxes.boxes[0].text, "Could not open file.\n" + named);
  EXPECT_EQ(boxes.boxes[0].caption, "Brimlet Error");
  EXPECT_EQ(Settings().errorCode, kErrOpenImage);
  EXPECT_EQ(list.appended, std::vector<std::string>{"Could not open file " + named});
}

TEST_F(SaveRom, ShortWriteReported) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  // A name in the test folder that leads to a device refusing every byte.
  std::filesystem::create_symlink("/dev/full", dir.File("full.rom"));
  EXPECT_FALSE(WriteRomFile(dir.File("full.rom")));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  const std::string named = dir.File("full.rom") + ": No space left on device";
  EXPECT_EQ(boxes.boxes[0].text, "Write File Error !\n" + named);
  EXPECT_EQ(list.appended, std::vector<std::string>{"Write File Error !! " + named});
}

}  // namespace
}  // namespace brim
