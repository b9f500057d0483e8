#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "temp_dir.h"

namespace plat {
namespace {

TEST(FileSystem, BothSeparatorsAndCaseInsensitiveResolution) {
  TempDir dir;
  std::filesystem::create_directories(dir / "Images/Sub");
  std::ofstream(dir / "Images/Sub/Bios.Bin") << "x";
  const std::string expected = dir / "Images/Sub/Bios.Bin";
  EXPECT_EQ(ResolvePath(dir.path() + "\\IMAGES\\SUB\\BIOS.BIN"), expected);
  EXPECT_EQ(ResolvePath(dir.path() + "/images/sub/bios.bin"), expected);
  EXPECT_TRUE(FileExists(dir.path() + "\\images\\SUB\\bios.BIN"));
  EXPECT_EQ(FileSize(dir / "IMAGES/SUB/BIOS.BIN"), 1);
}

TEST(FileSystem, ExactNameWinsAndAmbiguousNameIsNotGuessed) {
  TempDir dir;
  std::ofstream(dir / "a.bin") << "1";
  std::ofstream(dir / "A.bin") << "22";
  EXPECT_EQ(FileSize(dir / "A.bin"), 2);
  EXPECT_EQ(FileSize(dir / "a.BIN"), -1);  // two candidates: no guess
}

TEST(FileSystem, TheNameAsWrittenFirstThenOneCaseInsensitiveMatchElseRefusal) {
  struct Case {
    std::vector<const char*> files;  // in the folder (and "Sub/" under it)
    const char* named;
    const char* used;                 // "" when refused
    std::vector<const char*> ambiguous;
  } cases[] = {
      {{"new.rom", "NEW.ROM"}, "new.rom", "new.rom", {}},
      {{"new.rom", "NEW.ROM"}, "NEW.ROM", "NEW.ROM", {}},
      {{"new.rom", "NEW.ROM"}, "New.Rom", "", {"NEW.ROM", "new.rom"}},
      {{"upd.rom", "Upd.rom"}, "UPD.ROM", "", {"Upd.rom", "upd.rom"}},
      {{"Upd.rom"}, "UPD.ROM", "Upd.rom", {}},
      {{"Sub/a.bin", "SUB/a.bin"}, "sub/a.bin", "", {"SUB", "Sub"}},
      {{"Sub/a.bin", "SUB/b.bin"}, "SUB/a.bin", "SUB/a.bin", {}},
      {{"Sub/x.bin", "Sub/X.BIN"}, "sub/X.bin", "", {"Sub/X.BIN", "Sub/x.bin"}},
      {{"other.rom"}, "new.rom", "new.rom", {}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    for (const char* f : c.files) {
      std::filesystem::create_directories(std::filesystem::path(dir / f).parent_path());
      std::ofstream(dir / f) << f;
    }
    const ResolvedPath r = ResolvePathChecked(dir.path() + "/" + c.named);
    std::vector<std::string> ambiguous;
    for (const char* a : c.ambiguous) ambiguous.push_back(dir / a);
    EXPECT_EQ(r.ambiguous, ambiguous) << c.named;
    if (*c.used) {
      EXPECT_EQ(r.path, dir / c.used) << c.named;
      if (std::filesystem::exists(r.path)) {
        std::ifstream in(r.path);
        std::string content;
        std::getline(in, content);
        EXPECT_EQ(r.path, dir / content) << "the file used is the one resolved";
      }
    }
  }
}

TEST(FileSystem, MissingFileKeepsWrittenNameSoItCanBeCreated) {
  TempDir dir;
  std::filesystem::create_directories(dir / "Out");
  EXPECT_EQ(ResolvePath(dir.path() + "\\OUT\\new.txt"), dir / "Out/new.txt");
  ASSERT_TRUE(WriteWholeFile(dir.path() + "\\OUT\\new.txt", "abc", 3));
  std::vector<uint8_t> back;
  ASSERT_TRUE(ReadWholeFile(dir / "out/NEW.TXT", back));
  EXPECT_EQ(std::string(back.begin(), back.end()), "abc");
}

TEST(FileSystem, CopyRenameDelete) {
  TempDir dir;
  std::ofstream(dir / "src") << "data";
  EXPECT_TRUE(CopyFile(dir / "SRC", dir / "dst", true));
  EXPECT_FALSE(CopyFile(dir / "src", dir / "dst", true));
  EXPECT_TRUE(RenameFile(dir / "dst", dir / "moved"));
  EXPECT_EQ(FileSize(dir / "moved"), 4);
  EXPECT_TRUE(DeleteFile(dir / "MOVED"));
  EXPECT_FALSE(FileExists(dir / "moved"));
  EXPECT_FALSE(CopyFile(dir / "nothing", dir / "x", false));
}

TEST(FileSystem, PathPieces) {
  EXPECT_EQ(DirectoryOf("C:\\A\\B.EXE"), "C:\\A\\");
  EXPECT_EQ(DirectoryOf("/opt/brimlet/brimlet"), "/opt/brimlet/");
  EXPECT_EQ(DirectoryOf("brimlet"), "");
  EXPECT_EQ(BaseName("/a\\b/c.bin"), "c.bin");
  EXPECT_EQ(ToUpper("new bios.bin"), "NEW BIOS.BIN");
  EXPECT_TRUE(EqualsNoCase("VerifyPOWER", "VERIFYPOWER"));
  EXPECT_FALSE(EqualsNoCase("KEEPNVS", "KEEPNV"));
}

}  // namespace
}  // namespace plat
