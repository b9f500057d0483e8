// BIOS texts are single-byte: every byte reaches the display, the label stays.
#include "app/bios_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/terminal_ui.h"
#include "image/bios_image.h"

namespace brim {
namespace {

TEST(BiosText, EachByteBecomesItsLatin1Character) {
  EXPECT_EQ(BiosTextToUtf8("R1.07"), "R1.07");
  EXPECT_EQ(BiosTextToUtf8("XYZHB\xA9" "01"), "XYZHB\u00A9" "01");
  EXPECT_EQ(BiosTextToUtf8("V1.2\xFF" "3"), "V1.2\u00FF" "3");
  // Bytes that are not UTF-8 on their own, and a run that would pass for UTF-8.
  EXPECT_EQ(BiosTextToUtf8("\xC3\xA9"), "\u00C3\u00A9");
  EXPECT_EQ(BiosTextToUtf8(std::string("\xA0\xBF\xC0\xDF", 4)), "\u00A0\u00BF\u00C0\u00DF");
  // Controls would draw nothing or steer a terminal: each is one '?'.
  EXPECT_EQ(BiosTextToUtf8("a\x1B[2Jb\x7F\x85\x9B" "c\t"), "a?[2Jb???c?");
  EXPECT_EQ(BiosTextToUtf8(""), "");
}

TEST(BiosText, TerminalShowsRomTextsWholeWithTheirLabels) {
  BiosImage& rom = CurrentRomImage();
  rom = BiosImage{};
  rom.flagWord = 0;  // Tarvex: version and serial come from the image
  std::strcpy(rom.versionText, "V1.2\xFF" "3");
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  {
    TerminalUi ui(out);
    ui.ShowRomInfo();
  }
  std::rewind(out);
  std::string text;
  char buf[512];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, out)) > 0) text.append(buf, n);
  std::fclose(out);
  rom = BiosImage{};
  EXPECT_NE(text.find(" BIOS Version      :  V1.2\u00FF" "3\n"), std::string::npos) << text;
  EXPECT_EQ(text.find('\xFF'), std::string::npos) << "no raw byte reaches the terminal";
}

}  // namespace
}  // namespace brim
