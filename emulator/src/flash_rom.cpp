#include "emulator/flash_rom.h"

#include <cstdio>

namespace emu {

namespace {
bool Inside(uint64_t offset, uint64_t length, uint64_t size) {
  return offset <= size && length <= size - offset;
}
}  // namespace

bool FlashRom::Read(uint32_t offset, uint32_t length, std::vector<uint8_t>* out) const {
  if (!Inside(offset, length, size_)) return false;
  std::FILE* f = std::fopen(path_.c_str(), "rb");
  if (!f) return false;
  out->assign(length, 0);
  bool ok = std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0 &&
            std::fread(out->data(), 1, length, f) == length;
  std::fclose(f);
  return ok;
}

bool FlashRom::Write(uint32_t offset, const uint8_t* data, uint32_t length) {
  if (!Inside(offset, length, size_)) return false;
  std::FILE* f = std::fopen(path_.c_str(), "r+b");
  if (!f) return false;
  bool ok = std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0 &&
            std::fwrite(data, 1, length, f) == length && std::fflush(f) == 0;
  return std::fclose(f) == 0 && ok;
}

}  // namespace emu
