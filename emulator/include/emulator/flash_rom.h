// The flash part of an emulated machine: its contents live in a file that
// is written block by block, as a real part is programmed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace emu {

class FlashRom {
 public:
  FlashRom(std::string path, uint32_t size) : path_(std::move(path)), size_(size) {}

  uint32_t size() const { return size_; }
  // Reads [offset, offset + length); false when the span leaves the ROM or the file fails.
  bool Read(uint32_t offset, uint32_t length, std::vector<uint8_t>* out) const;
  // Writes one span in place and flushes it, so a cut-off run keeps what was written.
  bool Write(uint32_t offset, const uint8_t* data, uint32_t length);

 private:
  std::string path_;
  uint32_t size_;
};

}  // namespace emu
