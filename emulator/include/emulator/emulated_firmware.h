// The firmware behind the flash driver: answers every driver request the
// way the flash utility expects its machine's BIOS to, from a MachineConfig
// and its FlashRom. Every address and length that comes with a request is
// checked against the caller's memory window before anything is touched; a
// request that does not check out is refused.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "emulator/machine_config.h"
#include "platform/driver_module.h"

namespace emu {

// Request codes the driver honours.
constexpr uint32_t kCallBios = 0x222000;
constexpr uint32_t kGetRomData = 0x222010;
constexpr uint32_t kProgramRom = 0x222014;
constexpr uint32_t kCheckSupport = 0x222018;
constexpr uint32_t kDriverMessage = 0x22201C;  // answered by the module, see flash_sys.cpp
constexpr uint32_t kVxdCallBios = 0x222400;
constexpr uint32_t kVxdMapMemory = 0x222404;
constexpr uint32_t kVxdProgramRom = 0x222408;

// EBX of the 32-bit ROM size request (EAX 0x9616), answered in ECX.
constexpr uint32_t kRomBlocksFunction = 2;
// EBX of the boot block request (EAX 0x9616): ECX = ROM offset, EDX = size.
constexpr uint32_t kBootBlockFunction = 3;

constexpr uint8_t kAhNotSupported = 0x86;
constexpr uint8_t kAhNoPassword = 0x01;
constexpr uint8_t kAhBadPassword = 0x02;
constexpr uint8_t kAhBadRequest = 0x03;
constexpr uint8_t kAhMachineBusy = 0x87;  // another process is programming this machine
constexpr uint32_t kMaxPasswordLength = 64;

class EmulatedFirmware {
 public:
  using SleepFn = std::function<void(uint32_t ms)>;
  explicit EmulatedFirmware(SleepFn sleep = nullptr);
  ~EmulatedFirmware();  // withdraws the windows it handed out
  EmulatedFirmware(const EmulatedFirmware&) = delete;
  EmulatedFirmware& operator=(const EmulatedFirmware&) = delete;

  // Win32 error (0 = success) as the driver's DeviceIoControl would give it.
  uint32_t Handle(const MachineConfig& machine, uint32_t code, const uint8_t* in, uint32_t inSize,
                  uint8_t* out, uint32_t outSize, uint32_t* bytesReturned,
                  const FlashDriverMemory& memory);

 private:
  struct Registers {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0, esi = 0, edi = 0;
    bool failed = false;  // status 0xFFFFFFFF / error flag
  };
  void Dispatch(const MachineConfig& m, Registers& r, const FlashDriverMemory& mem);
  void RomInfo(const MachineConfig& m, Registers& r, const FlashDriverMemory& mem);
  void CheckPassword(const MachineConfig& m, Registers& r, const FlashDriverMemory& mem);
  bool Program(const MachineConfig& m, uint32_t ecx, uint32_t imageAddress, uint32_t moduleAddress,
               uint32_t lockBitAddress, const FlashDriverMemory& mem, uint8_t* ah);
  bool Fault(const MachineConfig& m, const char* request, Registers& r) const;
  uint32_t MapMemory(const MachineConfig& m, uint32_t physical, uint32_t length,
                     const FlashDriverMemory& mem);

  SleepFn sleep_;
  // Windows onto ROM contents handed out by the 9x mapping request, by
  // physical address and length; the window address and the bytes.
  std::map<std::pair<uint32_t, uint32_t>, std::pair<uint32_t, std::vector<uint8_t>>> maps_;
  const FlashDriverMemory* mapper_ = nullptr;  // the accessor the windows were made with
};

// The state an emulated machine keeps beside its ROM ("state.ini"):
// whether the setup defaults are to be loaded, and the programming runs.
bool LoadDefaultsRequested(const std::string& folder);
uint32_t ProgrammingRuns(const std::string& folder);

}  // namespace emu
