#include "ui/password_keys.h"

namespace brim {

namespace {

// Keys that would move the caret or change the edit's state without typing.
bool IsRefusedKey(int vk) {
  switch (vk) {
    case 16: case 17: case 19: case 20: case 44: case 45: case 144: case 145:
      return true;
    default:
      return vk >= 33 && vk <= 40;
  }
}

bool IsDigit(int vk) { return vk >= 0x30 && vk <= 0x39; }
bool IsLetter(int vk) { return vk >= 0x41 && vk <= 0x5A; }

bool VemoAccepts(int vk) {
  if ((vk >= 32 && vk <= 40) || IsDigit(vk) || IsLetter(vk)) return true;
  if ((vk >= 186 && vk <= 191) || (vk >= 219 && vk <= 222)) return true;
  switch (vk) {
    case 12: case 45: case 46: case 59: case 109: case 192:
      return true;
    default:
      return false;
  }
}

// The numeric keypad's codes replaced by those of the main keyboard's digits.
uint8_t FoldKeypad(uint8_t scan) {
  switch (scan) {
    case 0x47: return 0x08;
    case 0x48: return 0x09;
    case 0x49: return 0x0A;
    case 0x4A: return 0x0C;
    case 0x4B: return 0x05;
    case 0x4C: return 0x06;
    case 0x4D: return 0x07;
    case 0x4F: return 0x02;
    case 0x50: return 0x03;
    case 0x51: return 0x04;
    case 0x52: return 0x0B;
    case 0x53: return 0x34;
    default: return scan;
  }
}

}  // namespace

int VirtualKeyOfScanCode(uint8_t scan) {
  static const char* const kRows[] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
  static const uint8_t kRowStart[] = {0x02, 0x10, 0x1E, 0x2C};
  for (int r = 0; r < 4; ++r)
    for (int i = 0; kRows[r][i]; ++i)
      if (kRowStart[r] + i == scan) return kRows[r][i];
  switch (scan) {
    case 0x0C: return 189;  // -
    case 0x0D: return 187;  // =
    case 0x1A: return 219;  // [
    case 0x1B: return 221;  // ]
    case 0x27: return 186;  // ;
    case 0x28: return 222;  // '
    case 0x29: return 192;  // `
    case 0x2B: return 220;  // backslash
    case 0x33: return 188;  // ,
    case 0x34: return 190;  // .
    case 0x35: return 191;  // /
    case 0x37: return 106;  // keypad *
    case 0x39: return 32;   // space
    case 0x4A: return 109;  // keypad -
    case 0x4C: return 12;   // keypad 5 without Num Lock
    case 0x4E: return 107;  // keypad +
    case 0x47: return 36;   // keypad 7 (Home)
    case 0x48: return 38;
    case 0x49: return 33;
    case 0x4B: return 37;
    case 0x4D: return 39;
    case 0x4F: return 35;
    case 0x50: return 40;
    case 0x51: return 34;
    case 0x52: return 45;
    case 0x53: return 46;
    default: return 0;
  }
}

uint8_t ScanCodeOfInputKey(int inputKeyCode) {
  if (inputKeyCode == 98) return 0x35;  // KEY_KPSLASH
  return static_cast<uint8_t>(inputKeyCode & 0xFF);
}

KeyResult PasswordKeys::OnKeyDown(int vk) const { return IsRefusedKey(vk) ? KeyResult::kBeep : KeyResult::kPass; }

KeyResult PasswordKeys::OnKeyUp(int vk) const { return IsRefusedKey(vk) ? KeyResult::kSwallow : KeyResult::kPass; }

bool PasswordKeys::CodeFor(int ch, uint8_t scan, uint8_t& code) const {
  const int vk = VirtualKeyOfScanCode(scan);
  switch (coding_) {
    case PasswordCoding::kScanCodes:
      if (!IsDigit(vk) && !IsLetter(vk) && vk != 59) return false;
      code = scan;
      return true;
    case PasswordCoding::kVemoScanCodes:
      if (!VemoAccepts(vk)) return false;
      code = FoldKeypad(scan);
      return true;
    case PasswordCoding::kCharacters:
      if (ch >= 'A' && ch <= 'Z') ch += 'a' - 'A';
      if (!((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'z') || ch == ';')) return false;
      code = static_cast<uint8_t>(ch);
      return true;
  }
  return false;
}

KeyResult PasswordKeys::OnChar(int ch, uint8_t scan) {
  if (count_ > 0 && ch == 8) {
    --count_;
    changed_ = true;
    return KeyResult::kPass;
  }
  if (count_ >= kMaxPasswordKeys) return KeyResult::kSwallow;
  changed_ = true;
  uint8_t code = 0;
  if (!CodeFor(ch, scan, code)) return KeyResult::kSwallow;
  codes_[count_++] = code;
  return KeyResult::kPass;
}

}  // namespace brim
