#include "platform/ini_profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
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

struct LookupCase {
  const char* name;
  const char* text;
  const char* section;
  const char* key;
  const char* expected;
};

class IniLookupTest : public IniTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(IniLookupTest, FindsValue) {
  Put(GetParam().text);
  EXPECT_EQ(GetProfileString(GetParam().section, GetParam().key, "dflt", 80, path()),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ini, IniLookupTest,
    ::testing::Values(
        LookupCase{"KeyOnlyInRepeatedSection", "[S]\nA=1\n[T]\nK=2\n[s]\nK=3\n", "S", "K", "3"},
        LookupCase{"KeyBeforeAnyHeaderIgnored", "K=0\n[S]\nA=1\n", "S", "K", "dflt"},
        LookupCase{"HeaderWithTrailingText", "[ S ] ; note\nK=1\n", "S", "K", "1"},
        LookupCase{"UnclosedHeaderIsNotAHeader", "[S]\n[T\nK=1\n", "S", "K", "1"},
        LookupCase{"CarriageReturnsOnlyIsOneLine", "[S]\rK=1\r", "S", "K", "dflt"},
        LookupCase{"QuotesRemoved", "[S]\nK= \"a b\" \n", "S", "K", "a b"},
        LookupCase{"UnmatchedQuotesKept", "[S]\nK='a\"\n", "S", "K", "'a\""},
        LookupCase{"EmptyValueIsNotDefault", "[S]\nK=\n", "S", "K", ""},
        LookupCase{"EqualsInValueKept", "[S]\nK=a=b\n", "S", "K", "a=b"},
        LookupCase{"LastLineWithoutNewline", "[S]\nK=tail", "S", "K", "tail"},
        LookupCase{"EmptySectionName", "[]\nK=1\n", "", "K", "1"}),
    [](const ::testing::TestParamInfo<LookupCase>& info) { return info.param.name; });

TEST_F(IniTest, FileRewrittenWithSameSizeIsReadAgain) {
  for (const char* v : {"1", "2", "3"}) {
    Put(std::string("[S]\nK=") + v + "\n");
    EXPECT_EQ(GetProfileString("S", "K", "", 80, path()), v);
  }
}

TEST_F(IniTest, WriteThenReadAcrossFiles) {
  const std::string other = dir / "b.ini";
  ASSERT_TRUE(WritePrivateProfileString("S", "K", "a", path()));
  ASSERT_TRUE(WritePrivateProfileString("S", "K", "b", other));
  EXPECT_EQ(GetProfileString("S", "K", "", 80, path()), "a");
  EXPECT_EQ(GetProfileString("S", "K", "", 80, other), "b");
  ASSERT_TRUE(WritePrivateProfileString("S", "K", "c", path()));
  EXPECT_EQ(GetProfileString("S", "K", "", 80, path()), "c");
}

// A machine description of many lines, read the way its loader reads it:
// a couple of dozen keys, most of them missing. Time grows with the size,
// but only about linearly.
std::string MachineLikeText(size_t bytes) {
  std::string text = "[MACHINE]\r\nBASE=0xFFF00000\r\nFLAG=16\r\n";
  for (size_t i = 0; text.size() < bytes; ++i) {
    if (i % 64 == 0) text += "\r\n[SECTION" + std::to_string(i) + "]\r\n";
    text += "; comment " + std::to_string(i) + "\r\nKEY" + std::to_string(i) + " = value\r\n\r\n";
  }
  return text + "[FAULTS]\r\nAHERROR=1\r\n";
}

// CPU time of this thread: unlike the clock on the wall it does not grow
// while other programs hold the processor, so the ratio holds on a busy machine.
double ThreadSeconds() {
  timespec t{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) ADD_FAILURE() << "no thread clock";
  return t.tv_sec + t.tv_nsec / 1e9;
}

// Each round starts from another file, so the file is parsed afresh.
double SecondsToReadKeys(const std::string& path, const std::string& other) {
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(GetProfileString("S", "K", "", 32, other), "v");
    double start = ThreadSeconds();
    for (int i = 0; i < 24; ++i)
      EXPECT_EQ(GetProfileString("MACHINE", "MISSING" + std::to_string(i), "d", 32, path), "d");
    EXPECT_EQ(GetProfileString("FAULTS", "AHERROR", "", 32, path), "1");
    best = std::min(best, ThreadSeconds() - start);
  }
  return best;
}

TEST_F(IniTest, LargeFileReadsInTimeLinearInSize) {
  const std::string small = dir / "small.ini", large = dir / "large.ini", other = dir / "other.ini";
  std::ofstream(other, std::ios::binary) << "[S]\nK=v\n";
  std::ofstream(small, std::ios::binary) << MachineLikeText(30 << 10);
  std::ofstream(large, std::ios::binary) << MachineLikeText(3 << 20);
  double smallTime = SecondsToReadKeys(small, other);
  double largeTime = SecondsToReadKeys(large, other);
  RecordProperty("small_us", static_cast<int>(smallTime * 1e6));
  RecordProperty("large_us", static_cast<int>(largeTime * 1e6));
  // About 100 times the bytes; quadratic work would be about 10000 times,
  // and the bound leaves room for a loaded machine.
  EXPECT_LT(largeTime, 500 * smallTime) << "30 KiB: " << smallTime << " s, 3 MiB: " << largeTime << " s";
}

}  // namespace
}  // namespace plat
