// The flashrom driver's request handler on an in-memory chip, with the
// caller's memory taken from the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "flashrom_driver/chip_firmware.h"
#include "flashrom_driver/flash_chip.h"
#include "flashrom_driver/flashrom_config.h"
#include "fuzz_driver_memory.h"
#include "fuzz_support.h"

namespace {

constexpr size_t kBlock = 84;

class MemoryChip : public frd::FlashChip {
 public:
  // Contents made once per size: filling them per input took most of the time.
  MemoryChip(size_t size, uint8_t faults) : bytes_(Contents(size)), faults_(faults) {}
  bool Open(std::string* error) override {
    if (faults_ & 1) {
      *error = "programmer gone";
      return false;
    }
    open_ = true;
    return true;
  }
  uint64_t Size() const override { return bytes_.size(); }
  std::string Name() const override { return "MEM25Q"; }
  bool Read(uint32_t offset, uint8_t* buffer, size_t length, std::string* error) override {
    // The driver must never ask for bytes outside the chip.
    if (!open_ || offset > bytes_.size() || length > bytes_.size() - offset) __builtin_trap();
    if (faults_ & 2) {
      *error = "read failed";
      return false;
    }
    std::memcpy(buffer, bytes_.data() + offset, length);
    return true;
  }
  bool Write(size_t size, const std::vector<frd::ChipSpan>& spans, const ImageSource& image,
             const Written& written, std::string* error) override {
    if (!open_ || size != bytes_.size()) __builtin_trap();
    for (const frd::ChipSpan& s : spans) {
      if (s.first > s.last || s.last >= bytes_.size()) __builtin_trap();
      if (!image(s.first, s.last - s.first + 1, &bytes_[s.first])) {
        *error = "the image could not be read from the caller";
        return false;
      }
      written(s.last - s.first + 1);
    }
    if (faults_ & 4) {
      *error = "verify failed";
      return false;
    }
    return true;
  }
  bool Close(std::string*) override {
    open_ = false;
    return true;
  }

 private:
  static const std::vector<uint8_t>& Contents(size_t size) {
    static std::map<size_t, std::vector<uint8_t>> made;
    std::vector<uint8_t>& bytes = made[size];
    if (bytes.size() != size) {
      bytes.resize(size);
      for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 13 + i / frd::kBlock);
    }
    return bytes;
  }

  std::vector<uint8_t> bytes_;
  uint8_t faults_;
  bool open_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Byte 0: request; 1: chip size and faults; 2: configuration; 3-86: the
  // request block; the rest: the caller's memory at fuzz::kWindowAddress.
  if (size < 3 + kBlock) return 0;
  // The hold request's lock file stays in the scratch folder.
  static const bool lockDir = ::setenv("BIOS_TOOLS_FLASHROM_LOCK_DIR", fuzz::ScratchDir().c_str(), 1) == 0;
  (void)lockDir;
  const uint32_t code = fuzz::kRequestCodes[data[0] % (sizeof fuzz::kRequestCodes / 4)];
  const size_t chipSize = size_t{frd::kBlock} << (data[1] & 3);
  frd::FlashromConfig config;
  config.path = "/fuzz/flashrom.ini";
  config.programmer = "dummy";
  config.flag = (data[2] & 1) ? 0x08 : 0x10;
  if (data[2] & 2) {
    config.bootBlockGiven = true;
    config.bootBlockOffset = static_cast<uint32_t>(data[2] >> 4) * frd::kBlock;
  }
  config.bootBlockSize = (data[2] & 4) ? frd::kBlock / 2 : frd::kBlock;
  config.ignoreLoadDefaults = (data[2] & 8) != 0;
  fuzz::CallerMemory memory(data + 3 + kBlock, size - 3 - kBlock);
  std::vector<uint8_t> in(data + 3, data + 3 + kBlock), out(kBlock, 0xCC);
  uint32_t returned = 0xFFFFFFFFu;
  {
    frd::ChipFirmware firmware(&config, std::make_unique<MemoryChip>(chipSize, data[1] >> 2), "");
    firmware.Handle(code, in.data(), kBlock, out.data(), kBlock, &returned, memory.api());
    if (returned > kBlock) __builtin_trap();
    firmware.Handle(code, in.data(), kBlock, out.data(), kBlock, &returned, memory.api());
    if (returned > kBlock) __builtin_trap();
  }
  if (memory.OpenMaps() != 0) __builtin_trap();
  return 0;
}
