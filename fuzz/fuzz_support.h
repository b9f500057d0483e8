// Helpers the harnesses share: a scratch folder of their own and a file
// holding the input, for code that only reads files.
#pragma once
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace fuzz {

// Created once per process, under TMPDIR (or /tmp); left behind on exit, as
// libFuzzer ends the process without unwinding.
inline const std::string& ScratchDir() {
  static const std::string dir = [] {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/bios-fuzz-XXXXXX";
    if (!::mkdtemp(tmpl.data())) __builtin_trap();
    return tmpl;
  }();
  return dir;
}

// Writes the bytes to name in the scratch folder; traps when it cannot,
// since every later check would test nothing.
inline std::string PutFile(const std::string& name, const uint8_t* data, size_t size) {
  std::string path = ScratchDir() + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) __builtin_trap();
  bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  if (std::fclose(f) != 0 || !ok) __builtin_trap();
  return path;
}

// Little-endian field of the input, 0 past its end.
inline uint32_t InputLe32(const uint8_t* data, size_t size, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i)
    if (at + i < size) v |= uint32_t{data[at + i]} << (8 * i);
  return v;
}

}  // namespace fuzz
