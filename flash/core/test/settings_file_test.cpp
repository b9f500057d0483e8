#include "core/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "core/settings_word.h"
#include "platform/ini_profile.h"
#include "temp_dir.h"

namespace brim {
namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  void Write(const std::string& text) { std::ofstream(ini()) << text; }
  std::string ini() const { return dir / "setting.ini"; }
  FlashSettings Read(FlashSettings s) {
    ReadSettingsFile(s, ini());
    return s;
  }
  static FlashSettings Defaults() {
    FlashSettings s;
    SetStartupDefaults(s);
    return s;
  }
  plat::TempDir dir;
};

TEST_F(SettingsFileTest, FlagTakesOnlyExactOneOrZero) {
  Write("[KEEP_DATA]\nKEEPDMIDATA=yes\nKEEPNVS=1\n");
  FlashSettings s = Read(Defaults());
  EXPECT_EQ(s.keepDmiData, 1);
  EXPECT_EQ(s.keepNvs, 1);
  Write("[KEEP_DATA]\nKEEPDMIDATA=0\n");
  EXPECT_EQ(Read(Defaults()).keepDmiData, 0);
}

TEST_F(SettingsFileTest, ShutdownWinsOverRebootInEitherOrder) {
  for (const char* text : {"[FUNCTION]\nREBOOT=1\nSHUTDOWN=1\n", "[FUNCTION]\nSHUTDOWN=1\nREBOOT=1\n"}) {
    Write(text);
    FlashSettings s = Read(Defaults());
    EXPECT_EQ(s.shutdownAfterFlash, 1) << text;
    EXPECT_EQ(s.rebootAfterFlash, 0) << text;
  }
  Write("[FUNCTION]\nREBOOT=1\nSHUTDOWN=0\n");
  FlashSettings s = Read(Defaults());
  EXPECT_EQ(s.rebootAfterFlash, 1);
  EXPECT_EQ(s.shutdownAfterFlash, 0);
}

TEST_F(SettingsFileTest, CommandLineOptionsSkipKeepAndFunctionGroups) {
  Write("[KEEP_DATA]\nKEEPDMIDATA=0\nKEEPNVS=1\n[FUNCTION]\nREBOOT=1\n[VERIFY_FUNCTION]\nVERIFYSIZE=1\n");
  FlashSettings s = Defaults();
  s.commandLineOptions = 1;
  s = Read(s);
  EXPECT_EQ(s.keepDmiData, 1);
  EXPECT_EQ(s.keepNvs, 0);
  EXPECT_EQ(s.rebootAfterFlash, 0);
  EXPECT_EQ(s.verifySize, 1);
}

TEST_F(SettingsFileTest, ForceSkipsVerifyGroup) {
  Write("[VERIFY_FUNCTION]\nVERIFYSIZE=1\nVerifyPOWER=1\n[KEEP_DATA]\nKEEPKBC=1\n");
  FlashSettings s = Defaults();
  s.forceNoVerify = 1;
  s = Read(s);
  EXPECT_EQ(s.verifySize, 0);
  EXPECT_EQ(s.verifyPower, 0);
  EXPECT_EQ(s.keepKbc, 1);
}

TEST_F(SettingsFileTest, InternetValuesAndPolling) {
  Write("[INTERNET_FUNCTION]\nPOLLINGTIME=0\nFTPSERVER=0\nFTPFILE=bios.bin\n");
  FlashSettings s = Read(Defaults());
  EXPECT_EQ(s.pollingTime, 5);
  EXPECT_EQ(s.ftpServerGiven, 0);
  EXPECT_EQ(s.ftpFileGiven, 1);
  EXPECT_EQ(s.ftpFileName, "bios.bin");
  Write("[INTERNET_FUNCTION]\nPOLLINGTIME=12abc\n");
  EXPECT_EQ(Read(Defaults()).pollingTime, 12);
}

TEST_F(SettingsFileTest, ValueIsCutTo79Characters) {
  Write("[INTERNET_FUNCTION]\nFTPSERVER=" + std::string(100, 's') + "\n");
  FlashSettings s = Read(Defaults());
  EXPECT_EQ(s.ftpServer, std::string(79, 's'));
}

TEST_F(SettingsFileTest, ValueEqualToMissingMarkerCountsAsMissing) {
  Write("[INTERNET_FUNCTION]\nFTPFILE=Get didn't work\n");
  EXPECT_EQ(Read(Defaults()).ftpFileGiven, 0);
}

TEST_F(SettingsFileTest, NamesMatchWithoutRegardToCase) {
  Write("[verify_function]\nverifypassword=1\nVERIFYPOWER=1\n[configuration]\nforcereadini=1\n");
  FlashSettings s = Read(Defaults());
  EXPECT_EQ(s.verifyPassword, 1);
  EXPECT_EQ(s.verifyPower, 1);
  EXPECT_EQ(s.forceReadIni, 1);
}

TEST_F(SettingsFileTest, MissingOrMalformedFileKeepsDefaults) {
  const FlashSettings d = Defaults();
  auto same = [&](const FlashSettings& s) {
    return s.keepDmiData == 1 && s.keepBootBlock == 1 && s.pollingTime == 5 && s.keepNvs == 0 &&
           s.verifySize == 0 && s.rebootAfterFlash == 0 && s.showLogo == 0;
  };
  EXPECT_TRUE(same(Read(d))) << "no file";

  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 131 + 7) & 0xFF);
  Write(junk);
  EXPECT_TRUE(same(Read(d))) << "binary junk";

  Write("[KEEP_DATA]\nKEEPNVS" + std::string(1 << 20, 'x') + "\n=1\n");
  EXPECT_TRUE(same(Read(d))) << "huge line";

  Write("KEEPNVS=1\nREBOOT=1\n");
  EXPECT_TRUE(same(Read(d))) << "keys without sections";
}

TEST_F(SettingsFileTest, WriteThenReadRoundTripsEveryBit) {
  const std::string exe = dir / "brimlet";
  // Every keep bit, every verify bit and the after-flash bits (SHUTDOWN off so REBOOT survives).
  const uint32_t word = kKeepAllBits | 0x3F | kReboot | kLoadDefaultCmos | kExecuteFromNewBios;
  WriteSettingsFile(word, exe);

  std::ifstream in(ini());
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t ones = 0;
  for (size_t p = text.find("=1"); p != std::string::npos; p = text.find("=1", p + 1)) ++ones;
  EXPECT_EQ(ones, 17u + 6u + 1u + 1u + 1u);
  EXPECT_NE(text.find("VERIFYPASSWORD=1"), std::string::npos);
  EXPECT_NE(text.find("SHUTDOWN=0"), std::string::npos);

  FlashSettings s;  // all zero: every flag must come from the file
  ReadSettingsFile(s, ini());
  s.settingsWord = 0;
  BuildSettingsWord(s);
  EXPECT_EQ(s.settingsWord, word);
}

TEST_F(SettingsFileTest, WriterKeepsForeignLinesAndReplacesInPlace) {
  Write("; engineer's note\n[CONFIGURATION]\nROMSIZE=16\n[KEEP_DATA]\nKEEPNVS=1\n");
  WriteSettingsFile(0, dir / "brimlet");
  std::ifstream in(ini());
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("; engineer's note"), 0u);
  EXPECT_NE(text.find("ROMSIZE=16"), std::string::npos);
  EXPECT_NE(text.find("KEEPNVS=0"), std::string::npos);
  EXPECT_EQ(text.find("KEEPNVS=1"), std::string::npos);
}

TEST_F(SettingsFileTest, UnwritableTargetIsSilentlyLost) {
  // A folder where the file should be: neither the writer nor the reader may fail loudly.
  ASSERT_EQ(::mkdir(ini().c_str(), 0755), 0);
  WriteSettingsFile(kKeepAllBits, dir / "brimlet");
  FlashSettings s = Read(Defaults());
  EXPECT_EQ(s.keepNvs, 0);
  EXPECT_EQ(s.keepDmiData, 1);
}

TEST(Atoi32, FollowsAtoiAndWrapsTo32Bits) {
  EXPECT_EQ(Atoi32("16"), 16);
  EXPECT_EQ(Atoi32("  -5x"), -5);
  EXPECT_EQ(Atoi32("abc"), 0);
  EXPECT_EQ(static_cast<uint32_t>(Atoi32("4293918720")), 0xFFF00000u);
  EXPECT_EQ(static_cast<uint32_t>(Atoi32("-1048576")), 0xFFF00000u);
}

}  // namespace
}  // namespace brim
