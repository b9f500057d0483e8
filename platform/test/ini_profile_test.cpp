#include "platform/ini_profile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "temp_dir.h"

namespace plat {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class IniTest : public ::testing::Test {
 protected:
  std::string path() const { return dir / "a.ini"; }
  void Put(const std::string& text) { std::ofstream(path(), std::ios::binary) << text; }
  TempDir dir;
};

TEST_F(IniTest, MissingKeySectionOrFileGivesDefault) {
  EXPECT_EQ(GetProfileString("S", "K", "dflt", 80, path()), "dflt");
  Put("[S]\nOTHER=1\n");
  EXPECT_EQ(GetProfileString("S", "K", "dflt", 80, path()), "dflt");
  EXPECT_EQ(GetProfileString("T", "OTHER", "dflt", 80, path()), "dflt");
}

TEST_F(IniTest, NamesMatchWithoutCaseAndValuesAreTrimmed) {
  Put("[Section]\r\n  Key  =  some value  \r\n");
  EXPECT_EQ(GetProfileString("SECTION", "key", "", 80, path()), "some value");
}

TEST_F(IniTest, FirstMatchingSectionAndKeyWin) {
  Put("[S]\nK=1\nK=2\n[S]\nK=3\n");
  EXPECT_EQ(GetProfileString("S", "K", "", 80, path()), "1");
}

TEST_F(IniTest, ValueIsCutToBufferLessOne) {
  Put("[S]\nK=abcdefgh\n");
  char buf[4];
  EXPECT_EQ(GetPrivateProfileString("S", "K", "", buf, sizeof buf, path()), 3u);
  EXPECT_STREQ(buf, "abc");
  EXPECT_EQ(GetProfileString("S", "MISSING", "defaulttext", 5, path()), "defa");
  EXPECT_EQ(GetPrivateProfileString("S", "K", "", buf, 0, path()), 0u);
}

TEST_F(IniTest, WriteCreatesFileSectionAndKey) {
  ASSERT_TRUE(WritePrivateProfileString("S", "K", "1", path()));
  ASSERT_TRUE(WritePrivateProfileString("S", "L", "2", path()));
  ASSERT_TRUE(WritePrivateProfileString("T", "K", "3", path()));
  EXPECT_EQ(Slurp(path()), "[S]\r\nK=1\r\nL=2\r\n\r\n[T]\r\nK=3\r\n");
}

TEST_F(IniTest, WriteReplacesInPlaceAndKeepsUnknownLines) {
  Put("; comment\n[s]\nk=old\nstray line\n[U]\nX=1\n");
  ASSERT_TRUE(WritePrivateProfileString("S", "K", "new", path()));
  ASSERT_TRUE(WritePrivateProfileString("S", "M", "added", path()));
  EXPECT_EQ(Slurp(path()), "; comment\n[s]\nK=new\nstray line\nM=added\n[U]\nX=1\n");
  EXPECT_EQ(GetProfileString("U", "X", "", 80, path()), "1");
}

TEST_F(IniTest, WriteIntoFolderThatCannotHoldFileFails) {
  EXPECT_FALSE(WritePrivateProfileString("S", "K", "1", dir / "missing/a.ini"));
}

TEST_F(IniTest, FileNameResolvedWithoutCase) {
  Put("[S]\nK=v\n");
  EXPECT_EQ(GetProfileString("S", "K", "", 80, dir / "A.INI"), "v");
}

}  // namespace
}  // namespace plat
