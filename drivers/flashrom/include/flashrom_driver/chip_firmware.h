// The firmware side of the flash driver for a real chip: answers every
// request brimlet makes from the configuration and a FlashChip. Each request
// that touches the chip opens the programmer and closes it again, so the
// chip is never held between requests and a programmer that keeps its chip
// in a file (the dummy) has stored it when the answer comes back. The size
// answers reuse the last probe's geometry.
//
// Beyond the emulated machine's requests it answers two more:
//   - ROM size in blocks, 32 bits: CallBios EAX 0x9616, EBX 2 -> AH 0, ECX =
//     number of 64 KiB blocks (brimlet asks for it before the ROM
//     information, whose CL holds only 8 bits);
//   - the boot block: CallBios EAX 0x9616, EBX 3 -> AH 0, ECX = its ROM
//     offset, EDX = its size in bytes, as flashrom.ini configures them (the
//     caller checks that they lie inside the chip);
//   - the driver's last message: request 0x22201C with a BiosRegs block
//     whose buffer address and length name room for a NUL-terminated text.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "flashrom_driver/flash_chip.h"
#include "flashrom_driver/flashrom_config.h"
#include "platform/driver_module.h"

namespace frd {

constexpr uint32_t kCallBios = 0x222000;
constexpr uint32_t kGetRomData = 0x222010;
constexpr uint32_t kProgramRom = 0x222014;
constexpr uint32_t kCheckSupport = 0x222018;
constexpr uint32_t kDriverMessage = 0x22201C;
constexpr uint32_t kVxdCallBios = 0x222400;
constexpr uint32_t kVxdMapMemory = 0x222404;
constexpr uint32_t kVxdProgramRom = 0x222408;

constexpr uint32_t kRomBlocksFunction = 2;  // EBX of the 32-bit ROM size request
constexpr uint32_t kBootBlockFunction = 3;  // EBX of the boot block request

constexpr uint8_t kAhNoPassword = 0x01;
constexpr uint8_t kAhBadRequest = 0x03;
constexpr uint8_t kAhChipFailed = 0x05;
constexpr uint8_t kAhNotSupported = 0x86;

// Largest chip the module reports: 256 MiB (4096 blocks).
constexpr uint32_t kMaxBlocks = 4096;

class ChipFirmware {
 public:
  // Without a configuration (config null) every request is answered as
  // unsupported; `reason` says why.
  ChipFirmware(const FlashromConfig* config, std::unique_ptr<FlashChip> chip, std::string reason);
  ~ChipFirmware();
  ChipFirmware(const ChipFirmware&) = delete;
  ChipFirmware& operator=(const ChipFirmware&) = delete;

  // Win32 error (0 = success) as the driver's DeviceIoControl would give it.
  uint32_t Handle(uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                  uint32_t outSize, uint32_t* bytesReturned, const FlashDriverMemory& memory);

  bool supported() const { return supported_; }
  // The last failure's text ("" when the last chip request went well).
  const std::string& message() const { return message_; }

 private:
  struct Registers {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0, esi = 0, edi = 0;
    bool failed = false;
  };
  struct Geometry {
    uint32_t size = 0;
    uint32_t base = 0;
    std::string name;
  };
  void Dispatch(Registers& r, const FlashDriverMemory& mem);
  void RomInfo(Registers& r, const FlashDriverMemory& mem);
  bool Probe(Geometry* g);
  // The geometry of the last probe, probing when there was none: the size
  // answers need no session of their own, and every read and programming run
  // probes again, so a chip changed meanwhile is never used with a stale size.
  bool KnownGeometry(Geometry* g);
  bool ReadChip(std::vector<uint8_t>* contents, Geometry* g);
  bool ReadRange(uint32_t physical, uint32_t length, std::vector<uint8_t>* bytes);
  // Without lengthGiven (9x packets name none) the image is the chip's size.
  bool Program(uint32_t ecx, bool lengthGiven, uint32_t length, uint32_t imageAddress,
               const FlashDriverMemory& mem, uint8_t* ah);
  std::vector<ChipSpan> Spans(uint32_t size, bool writeBootBlock) const;
  // ROM offset of the configured boot block on a chip of `size` bytes.
  uint64_t BootBlockStart(uint32_t size) const;
  bool Fail(const std::string& text);
  bool CloseChip();
  uint32_t MapMemory(uint32_t physical, uint32_t length, const FlashDriverMemory& mem);

  FlashromConfig config_;
  bool supported_;
  std::unique_ptr<FlashChip> chip_;
  std::string message_;
  Geometry known_;
  bool knownValid_ = false;
  // Windows handed out by the 9x mapping request: (physical, length) -> (address, bytes).
  std::map<std::pair<uint32_t, uint32_t>, std::pair<uint32_t, std::vector<uint8_t>>> maps_;
  const FlashDriverMemory* mapper_ = nullptr;
};

// Base address of a chip of `size` bytes: it ends at 4 GiB.
inline uint32_t BaseOf(uint32_t size) { return static_cast<uint32_t>(0x100000000ull - size); }

}  // namespace frd
