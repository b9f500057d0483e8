// The INI reader and writer on arbitrary file contents: every lookup stays
// inside the caller's buffer, and a value written is the value read back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/ini_profile.h"

namespace {

// Sections and keys of the files the programs read: setting.ini,
// machine.ini, flashrom.ini and a desktop entry; tavrin.ini holds bare lines.
const char* const kNames[][2] = {
    {"EXECUTE_MODULE", "EXECUTEFROMNEWBIOS"}, {"SETTING", "KEEPDMI"},  {"FTP", "SERVER"},
    {"MACHINE", "BASE"},    {"MACHINE", "FLAG"},    {"MACHINE", "PASSWORD"},
    {"FAULTS", "AHERROR"},  {"FAULTS", "HOLDUNTIL"}, {"FLASHROM", "PROGRAMMER"},
    {"FLASHROM", "CHIP"},   {"FLASHROM", "BOOTBLOCK"}, {"Desktop Entry", "Exec"},
    {"STATE", "PROGRAMRUNS"}, {"", ""}, {"S", "K"}, {"s", "k"},
};
constexpr size_t kNameCount = sizeof kNames / sizeof kNames[0];

// A name the writer and the reader agree on whatever it is made of: no
// blanks at its ends, nothing that makes a header or splits a line.
std::string SafeName(const uint8_t* data, size_t size, size_t at, size_t len) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.-";
  std::string s;
  for (size_t i = 0; i < len && at + i < size; ++i) s += kAlphabet[data[at + i] % (sizeof kAlphabet - 1)];
  return s.empty() ? "X" : s;
}

void CheckLookup(const std::string& section, const std::string& key, uint32_t size,
                 const std::string& path) {
  std::vector<char> buf(size + 1, '\x7F');
  uint32_t n = plat::GetPrivateProfileString(section, key, "default", buf.data(), size, path);
  if (size == 0) {
    if (n != 0 || buf[0] != '\x7F') __builtin_trap();
    return;
  }
  if (n > size - 1 || buf[n] != '\0' || std::strlen(buf.data()) != n) __builtin_trap();
  if (buf[size] != '\x7F') __builtin_trap();  // nothing past the caller's buffer
  std::string whole = plat::GetProfileString(section, key, "default", 4096, path);
  if (whole.compare(0, n, buf.data(), n) != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Byte 0: buffer size; 1: which name; 2-13: a name and value to write;
  // the rest: the file.
  if (size < 14) return 0;
  const uint32_t bufSize = data[0];
  const auto& name = kNames[data[1] % kNameCount];
  const std::string path = fuzz::PutFile("profile.ini", data + 14, size - 14);

  CheckLookup(name[0], name[1], bufSize, path);
  CheckLookup(name[0], name[1], 260, path);

  const std::string section = SafeName(data, size, 2, 3), key = SafeName(data, size, 5, 3);
  const std::string value = SafeName(data, size, 8, 6);
  if (!plat::WritePrivateProfileString(section, key, value, path)) __builtin_trap();
  if (plat::GetProfileString(section, key, "", 260, path) != value) __builtin_trap();
  // The reader of the file as its owner named it finds the same.
  if (!plat::WritePrivateProfileString(name[0], name[1], value, path)) __builtin_trap();
  if (plat::GetProfileString(name[0], name[1], "", 260, path) != value) __builtin_trap();
  if (plat::GetProfileString(section, key, "", 260, path) != value) __builtin_trap();
  return 0;
}
