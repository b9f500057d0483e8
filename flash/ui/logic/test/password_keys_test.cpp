// Password edit: recorded codes by layout and brand, refused keys, backspace.
#include <gtest/gtest.h>

#include "ui/password_keys.h"

namespace brim {
namespace {

constexpr uint8_t kScanA = 0x1E;

TEST(PasswordKeys, NineCharactersRecordEight) {
  PasswordKeys keys(PasswordCoding::kScanCodes);
  const char typed[] = "123456789";
  for (int i = 0; i < 8; ++i) EXPECT_EQ(keys.OnChar(typed[i], static_cast<uint8_t>(0x02 + i)), KeyResult::kPass);
  EXPECT_EQ(keys.OnChar('9', 0x0A), KeyResult::kSwallow) << "the ninth shows nothing";
  EXPECT_EQ(keys.Count(), 8);
  EXPECT_EQ(keys.Codes(), std::string("\x02\x03\x04\x05\x06\x07\x08\x09", 8));
}

TEST(PasswordKeys, BackspaceRules) {
  PasswordKeys keys(PasswordCoding::kScanCodes);
  EXPECT_EQ(keys.OnChar(8, 0x0E), KeyResult::kSwallow) << "nothing recorded: swallowed";
  EXPECT_EQ(keys.Count(), 0);
  keys.OnChar('a', kScanA);
  keys.OnChar('s', 0x1F);
  keys.OnChar('d', 0x20);
  EXPECT_EQ(keys.OnChar(8, 0x0E), KeyResult::kPass);
  EXPECT_EQ(keys.OnChar(8, 0x0E), KeyResult::kPass);
  EXPECT_EQ(keys.Count(), 1);
  EXPECT_EQ(keys.Codes(), std::string(1, kScanA));
  EXPECT_TRUE(keys.Changed());

  // With eight recorded, backspace still deletes one.
  PasswordKeys full(PasswordCoding::kCharacters);
  for (int i = 0; i < 8; ++i) full.OnChar('x', 0x2D);
  EXPECT_EQ(full.OnChar(8, 0x0E), KeyResult::kPass);
  EXPECT_EQ(full.Count(), 7);
}

TEST(PasswordKeys, LetterCodesByLayoutAndBrand) {
  PasswordKeys tarvex(PasswordCoding::kScanCodes);
  tarvex.OnChar('a', kScanA);
  tarvex.OnChar('A', kScanA);
  EXPECT_EQ(tarvex.Codes(), "\x1E\x1E");

  PasswordKeys quorvel(PasswordCoding::kCharacters);
  quorvel.OnChar('a', kScanA);
  quorvel.OnChar('A', kScanA);
  EXPECT_EQ(quorvel.Codes(), "\x61\x61");

  PasswordKeys vemo(PasswordCoding::kVemoScanCodes);
  vemo.OnChar('A', kScanA);
  EXPECT_EQ(vemo.Codes(), "\x1E");
}

TEST(PasswordKeys, VemoKeypadSevenRecordsMainKeyboardSeven) {
  PasswordKeys vemo(PasswordCoding::kVemoScanCodes);
  EXPECT_EQ(vemo.OnChar('7', 0x47), KeyResult::kPass);
  EXPECT_EQ(vemo.OnChar('7', 0x08), KeyResult::kPass);
  EXPECT_EQ(vemo.Codes(), "\x08\x08");
  vemo.OnChar('.', 0x53);
  vemo.OnChar('/', 0x35);  // the extended keypad '/' keeps its code
  EXPECT_EQ(vemo.Codes(), std::string("\x08\x08\x34\x35", 4));
  // Without the brand the keypad digit is recorded as the character.
  PasswordKeys plain(PasswordCoding::kCharacters);
  plain.OnChar('7', 0x47);
  EXPECT_EQ(plain.Codes(), "7");
}

TEST(PasswordKeys, PunctuationAcceptedOnlyWhereTheCodingAllows) {
  PasswordKeys tarvex(PasswordCoding::kScanCodes);
  EXPECT_EQ(tarvex.OnChar('-', 0x0C), KeyResult::kSwallow);
  EXPECT_EQ(tarvex.OnChar(' ', 0x39), KeyResult::kSwallow);
  PasswordKeys vemo(PasswordCoding::kVemoScanCodes);
  EXPECT_EQ(vemo.OnChar('-', 0x0C), KeyResult::kPass);
  EXPECT_EQ(vemo.OnChar(' ', 0x39), KeyResult::kPass);
  PasswordKeys quorvel(PasswordCoding::kCharacters);
  EXPECT_EQ(quorvel.OnChar(';', 0x27), KeyResult::kPass);
  EXPECT_EQ(quorvel.OnChar('-', 0x0C), KeyResult::kSwallow);
  EXPECT_EQ(quorvel.Codes(), ";");
}

TEST(PasswordKeys, CaretAndLockKeysBeepDownAndVanishUp) {
  PasswordKeys keys(PasswordCoding::kScanCodes);
  for (int vk : {16, 17, 19, 20, 33, 34, 35, 36, 37, 38, 39, 40, 44, 45, 144, 145}) {
    EXPECT_EQ(keys.OnKeyDown(vk), KeyResult::kBeep) << vk;
    EXPECT_EQ(keys.OnKeyUp(vk), KeyResult::kSwallow) << vk;
  }
  for (int vk : {8, 13, 32, 41, 46, 0x41, 143, 146}) {
    EXPECT_EQ(keys.OnKeyDown(vk), KeyResult::kPass) << vk;
    EXPECT_EQ(keys.OnKeyUp(vk), KeyResult::kPass) << vk;
  }
  EXPECT_EQ(keys.Count(), 0);
}

TEST(PasswordKeys, InputKeyCodesBecomeSetOneScanCodes) {
  EXPECT_EQ(ScanCodeOfInputKey(30), kScanA);  // KEY_A
  EXPECT_EQ(ScanCodeOfInputKey(71), 0x47);    // KEY_KP7
  EXPECT_EQ(ScanCodeOfInputKey(98), 0x35);    // KEY_KPSLASH
  EXPECT_EQ(VirtualKeyOfScanCode(0x47), 36);
  EXPECT_EQ(VirtualKeyOfScanCode(0x32), 'M');
  EXPECT_EQ(VirtualKeyOfScanCode(0x0B), '0');
  EXPECT_EQ(VirtualKeyOfScanCode(0xFF), 0);
}

}  // namespace
}  // namespace brim
