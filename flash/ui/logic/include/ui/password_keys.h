// The password edit's key rules: which keys are refused, and the code each
// accepted character records for the firmware's password check.
#pragma once
#include <cstdint>
#include <string>

namespace brim {

// How typed characters become codes: by the current ROM image's layout and,
// for the Quorvel layout, the machine's brand.
enum class PasswordCoding {
  kScanCodes,      // Tarvex and Lindar layouts
  kVemoScanCodes,  // Quorvel layout on a Vemo machine: keypad folded onto the main keys
  kCharacters,     // Quorvel layout otherwise: lower-case characters
};

enum class KeyResult {
  kPass,     // to the edit's own handling
  kBeep,     // refused with the exclamation beep
  kSwallow,  // refused silently
};

constexpr int kMaxPasswordKeys = 8;

class PasswordKeys {
 public:
  explicit PasswordKeys(PasswordCoding coding) : coding_(coding) {}

  // Virtual-key codes of key-down and key-up messages.
  KeyResult OnKeyDown(int virtualKey) const;
  KeyResult OnKeyUp(int virtualKey) const;
  // A character with the scan code of its key; kPass when the edit shows it
  // (or, for backspace, deletes its last character).
  KeyResult OnChar(int character, uint8_t scanCode);

  int Count() const { return count_; }
  bool Changed() const { return changed_; }
  // The recorded codes, Count() bytes.
  std::string Codes() const { return std::string(reinterpret_cast<const char*>(codes_), count_); }

 private:
  bool CodeFor(int character, uint8_t scanCode, uint8_t& code) const;
  PasswordCoding coding_;
  bool changed_ = false;
  int count_ = 0;
  uint8_t codes_[kMaxPasswordKeys + 1] = {};
};

// The virtual key of a set-1 scan code on a US keyboard (0 when none).
int VirtualKeyOfScanCode(uint8_t scanCode);

// Set-1 scan code of a Linux input key code (X11 hardware keycode less 8):
// the keypad's '/' is the extended 0x35; other codes keep their low byte.
uint8_t ScanCodeOfInputKey(int inputKeyCode);

}  // namespace brim
