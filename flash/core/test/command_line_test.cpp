#include "core/command_line.h"

#include <gtest/gtest.h>

namespace brim {
namespace {

FlashSettings Parse(std::string text) {
  FlashSettings s;
  SetStartupDefaults(s);
  ParseCommandLine(text, s);
  return s;
}

TEST(CommandLine, SpaceAfterCompleteOptionAcceptsNextOptionWithOrWithoutSlash) {
  for (const char* text : {"/kdmi /reb", "/kdmi reb"}) {
    FlashSettings s = Parse(text);
    EXPECT_EQ(s.keepDmiData, 1) << text;
    EXPECT_EQ(s.rebootAfterFlash, 1) << text;
    EXPECT_EQ(s.commandLineOptions, 1) << text;
  }
}

TEST(CommandLine, OptionAfterSilentNeedsItsOwnSlash) {
  FlashSettings withSlash = Parse("/silent /reb");
  EXPECT_EQ(withSlash.silentMode, 1);
  EXPECT_EQ(withSlash.rebootAfterFlash, 1);

  FlashSettings without = Parse("/silent reb");
  EXPECT_EQ(without.silentMode, 1);
  EXPECT_EQ(without.rebootAfterFlash, 0);
}

TEST(CommandLine, WrongLetterAbandonsOptionAndRepeatedLastLetterRepeats) {
  FlashSettings bad = Parse("/kbbx");
  EXPECT_EQ(bad.commandLineOptions, 0);
  FlashSettings kdmx = Parse("/cd /kdmx");
  EXPECT_EQ(kdmx.keepDmiData, 0) << "/kdmx must not set keepDmiData";

  FlashSettings twice = Parse("/cd /kdmii");
  EXPECT_EQ(twice.keepDmiData, 1);
  EXPECT_EQ(twice.clearDmi, 1);
  // The letter after a complete option that is not its last letter abandons it.
  FlashSettings abandoned = Parse("/kdmix reb");
  EXPECT_EQ(abandoned.rebootAfterFlash, 0);
}

TEST(CommandLine, ForceDoesNotFixKeepGroup) {
  FlashSettings force = Parse("/force");
  EXPECT_EQ(force.forceNoVerify, 1);
  EXPECT_EQ(force.commandLineOptions, 0);

  FlashSettings both = Parse("/force /kbbk");
  EXPECT_EQ(both.forceNoVerify, 1);
  EXPECT_EQ(both.keepBootBlock, 1);
  EXPECT_EQ(both.commandLineOptions, 1);

  // Letters after FORCE are ignored up to the next space.
  FlashSettings tail = Parse("/forcexyz reb");
  EXPECT_EQ(tail.forceNoVerify, 1);
  EXPECT_EQ(tail.rebootAfterFlash, 1);
}

TEST(CommandLine, FileNameKeepsInnerSpaceAndEndsBeforeNextOption) {
  FlashSettings s = Parse("/f:new bios.bin /silent");
  EXPECT_EQ(s.commandLineFileName, "NEW BIOS.BIN");
  EXPECT_EQ(s.commandLineFileAsWritten, "new bios.bin") << "the name of the file to open";
  EXPECT_EQ(s.silentMode, 1);
  EXPECT_EQ(s.fileFromCommandLine, 1);
  EXPECT_EQ(s.autoFlashPending, 1);
  EXPECT_EQ(s.commandLineOptions, 1);
  EXPECT_EQ(s.fileNameRelative, 1);
}

TEST(CommandLine, BackslashInFileNameClearsRelative) {
  FlashSettings s = Parse("/f:C:\\X.BIN");
  EXPECT_EQ(s.commandLineFileName, "C:\\X.BIN");
  EXPECT_EQ(s.fileNameRelative, 0);
}

TEST(CommandLine, SlashEndsFileName) {
  FlashSettings s = Parse("/f:a.Bin/reb");
  EXPECT_EQ(s.commandLineFileName, "A.BIN");
  EXPECT_EQ(s.commandLineFileAsWritten, "a.Bin");
  EXPECT_EQ(s.rebootAfterFlash, 1);
}

TEST(CommandLine, EmptyFileNameSetsNothing) {
  FlashSettings s = Parse("/f:");
  EXPECT_EQ(s.fileFromCommandLine, 0);
  EXPECT_EQ(s.commandLineOptions, 0);
}

// The field holds 259 characters; a longer name is marked for refusal.
TEST(CommandLine, OverlongFileNameIsMarked) {
  FlashSettings s = Parse("/f:" + std::string(400, 'a'));
  EXPECT_EQ(s.commandLineFileName.size(), kMaxPathChars);
  EXPECT_EQ(s.commandLineFileAsWritten, std::string(kMaxPathChars, 'a'));
  EXPECT_EQ(s.fileNameTooLong, 1);
  EXPECT_EQ(Parse("/f:" + std::string(kMaxPathChars, 'a')).fileNameTooLong, 0);
}

TEST(CommandLine, HelpDoesNotCountAsOption) {
  FlashSettings s = Parse("/? /kall");
  EXPECT_EQ(s.showHelp, 1);
  EXPECT_EQ(s.keepAll, 1);

  FlashSettings alone = Parse("/?");
  EXPECT_EQ(alone.commandLineOptions, 0);
}

TEST(CommandLine, EveryOptionSetsItsFields) {
  FlashSettings s = Parse("/kall /kbuc /kpsw /ldcmos /wb");
  EXPECT_EQ(s.keepAll, 1);
  EXPECT_EQ(s.keepBuCodeData, 1);
  EXPECT_EQ(s.keepPassword, 1);
  EXPECT_EQ(s.loadDefaultCmos, 1);
  EXPECT_EQ(s.writeBootBlock, 1);
  EXPECT_EQ(s.keepBootBlock, 0);
  // Letters after '/' that start no option are skipped without leaving the option start.
  FlashSettings skipped = Parse("/xyz kbuc");
  EXPECT_EQ(skipped.keepBuCodeData, 1);
}

TEST(CommandLine, TextIsUpperCasedInPlace) {
  std::string text = "/f:bios.bin";
  FlashSettings s;
  ParseCommandLine(text, s);
  EXPECT_EQ(text, "/F:BIOS.BIN");
}

TEST(JoinArguments, LinuxPathInFileOptionBecomesOneName) {
  const char* argv[] = {"brimlet", "/silent", "/f:/home/u/bios.bin"};
  std::string text = JoinArguments(3, argv);
  EXPECT_EQ(text, "/silent /f:\\home\\u\\bios.bin");
  FlashSettings s = Parse(text);
  EXPECT_EQ(s.silentMode, 1);
  EXPECT_EQ(s.commandLineFileName, "\\HOME\\U\\BIOS.BIN");
  EXPECT_EQ(s.commandLineFileAsWritten, "\\home\\u\\bios.bin");
  EXPECT_EQ(s.fileNameRelative, 0);
}

TEST(JoinArguments, RelativeFolderPathKeepsFollowingOption) {
  const char* argv[] = {"brimlet", "/f:images/bios.bin", "/reb"};
  FlashSettings s = Parse(JoinArguments(3, argv));
  EXPECT_EQ(s.commandLineFileName, "IMAGES\\BIOS.BIN");
  EXPECT_EQ(s.rebootAfterFlash, 1);
}

}  // namespace
}  // namespace brim
