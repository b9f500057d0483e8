// Whether the window's first paint has an image to load and flash.
#include "app/automatic_image.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/flash_settings.h"
#include "temp_dir.h"

namespace brim {
namespace {

class AutomaticImage : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings() = FlashSettings{};
    SetStartupDefaults(Settings());
    Settings().exeDir = dir.path() + "/";
    Settings().exeFileName = "brimlet";
  }
  void TearDown() override { Settings() = FlashSettings{}; }

  void WriteProgram(const std::string& bytes) {
    std::ofstream(dir / "brimlet", std::ios::binary) << bytes;
  }

  plat::TempDir dir;
};

TEST_F(AutomaticImage, ProgramFileWithoutPackageLeavesNothingToLoad) {
  WriteProgram(std::string(300000, 'H') + "HOLB RIKE" + "RIKEHOLB");
  EXPECT_TRUE(FileLacksPackage(dir / "brimlet"));
  EXPECT_FALSE(AutomaticImageAvailable());
}

TEST_F(AutomaticImage, PackageHeaderIsFoundAcrossTheReadChunks) {
  // The reads go in 1 MiB pieces: a header cut by a piece's end still counts.
  for (size_t before : {size_t{(1 << 20) - 3}, size_t{(1 << 20) - 8}, size_t{(1 << 20)}, size_t{3 << 20}}) {
    std::string head(before, 'H');
    WriteProgram(head + "HOLB" + "RIKE" + std::string(100, '\0'));
    EXPECT_FALSE(FileLacksPackage(dir / "brimlet")) << before;
    EXPECT_TRUE(AutomaticImageAvailable()) << before;
  }
}

TEST_F(AutomaticImage, NamedFilesAndUnreadableProgramsKeepTheAutomaticFlash) {
  WriteProgram("no package here");
  Settings().fileFromCommandLine = 1;
  Settings().commandLineFileName = "BIOS.BIN";
  EXPECT_TRUE(AutomaticImageAvailable()) << "/F: names the image";
  Settings().fileFromCommandLine = 0;
  Settings().commandLineFileName.clear();
  Settings().ftpFileGiven = 1;
  EXPECT_TRUE(AutomaticImageAvailable()) << "FTPFILE names the image";
  Settings().ftpFileGiven = 0;
  // The loader reports a program file it cannot open; the window does not hide that.
  EXPECT_FALSE(FileLacksPackage(dir / "missing"));
  Settings().exeFileName = "missing";
  EXPECT_TRUE(AutomaticImageAvailable());
}

}  // namespace
}  // namespace brim
