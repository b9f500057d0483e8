// The flash part of an emulated machine: its contents live in a file that
// is written block by block, as a real part is programmed. The file stays
// open while the part is in use.
#pragma once
#include <cstdint>
#include <string>

namespace emu {

class FlashRom {
 public:
  FlashRom() = default;
  ~FlashRom() { Close(); }
  FlashRom(const FlashRom&) = delete;
  FlashRom& operator=(const FlashRom&) = delete;

  // Opens path as a part of size bytes; false with *why naming the file and the reason.
  bool Open(const std::string& path, uint32_t size, std::string* why);
  void Close();
  bool open() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  uint32_t size() const { return size_; }
  // How often a file was opened, for tests that count the work of a run.
  uint32_t opens() const { return opens_; }

  // Reads [offset, offset + length) into out; false when the span leaves the part or the file fails.
  bool Read(uint32_t offset, uint32_t length, uint8_t* out, std::string* why) const;
  // Writes one span in place, so a cut-off run keeps what was written.
  bool Write(uint32_t offset, const uint8_t* data, uint32_t length, std::string* why);

 private:
  int fd_ = -1;
  std::string path_;
  uint32_t size_ = 0;
  uint32_t opens_ = 0;
};

}  // namespace emu
