#include "core/linux_options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/usage_text.h"

namespace brim {
namespace {

LinuxOptionCheck Check(std::vector<const char*> args) {
  args.insert(args.begin(), "brimlet");
  return CheckLinuxOptions(static_cast<int>(args.size()), args.data());
}

TEST(LinuxOptions, HelpWinsWhereverItStandsEvenAfterSilent) {
  EXPECT_EQ(Check({"--help"}).option, LinuxOption::kHelp);
  EXPECT_EQ(Check({"-h"}).option, LinuxOption::kHelp);
  EXPECT_EQ(Check({"/silent", "--help"}).option, LinuxOption::kHelp);
  EXPECT_EQ(Check({"--bogus", "/f:x.rom", "-h"}).option, LinuxOption::kHelp);
  EXPECT_EQ(Check({"--version", "--help"}).option, LinuxOption::kHelp);
}

TEST(LinuxOptions, SlashOptionsAndNamesAreLeftToTheStateMachine) {
  EXPECT_EQ(Check({}).option, LinuxOption::kNone);
  EXPECT_EQ(Check({"/silent", "/f:new", "bios.bin", "/?"}).option, LinuxOption::kNone);
  EXPECT_EQ(Check({"/kdmi", "reb", "-"}).option, LinuxOption::kNone);
}

TEST(LinuxOptions, VersionAndUnknownOptions) {
  EXPECT_EQ(Check({"/silent", "--version"}).option, LinuxOption::kVersion);
  LinuxOptionCheck unknown = Check({"/silent", "--hlep"});
  EXPECT_EQ(unknown.option, LinuxOption::kUnknown);
  EXPECT_EQ(unknown.argument, "--hlep");
  EXPECT_EQ(Check({"-x", "--version"}).option, LinuxOption::kVersion);
}

TEST(LinuxOptions, RestoreNamesItsBackup) {
  const LinuxOptionCheck restore = Check({"--restore", "/b/QVL_x.rom"});
  EXPECT_EQ(restore.option, LinuxOption::kRestore);
  EXPECT_EQ(restore.argument, "/b/QVL_x.rom");
  EXPECT_EQ(Check({"--restore", "--help"}).option, LinuxOption::kHelp);
  EXPECT_EQ(Check({"--restore"}).option, LinuxOption::kMissingArgument);
  EXPECT_EQ(Check({"--restore", ""}).option, LinuxOption::kMissingArgument);
}

std::string Capture(const LinuxOptionCheck& c, int* status, bool toErr) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  *status = AnswerLinuxOption(c, out, err);
  std::FILE* f = toErr ? err : out;
  std::string text(4096, '\0');
  std::rewind(f);
  text.resize(std::fread(&text[0], 1, text.size(), f));
  std::fclose(out);
  std::fclose(err);
  return text;
}

TEST(LinuxOptions, HelpGoesToStdoutWithTheUsageTextUnchanged) {
  int status = -1;
  std::string help = Capture(Check({"--help"}), &status, false);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(help.compare(0, UsageText().size(), UsageText()), 0);
  EXPECT_NE(help.find("--version"), std::string::npos);
  std::string err = Capture(Check({"--nope"}), &status, true);
  EXPECT_EQ(status, 2);
  EXPECT_NE(err.find("unknown option '--nope'"), std::string::npos);
  EXPECT_NE(err.find("brimlet --help"), std::string::npos);
}

}  // namespace
}  // namespace brim
