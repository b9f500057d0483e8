// Answers the driver requests of requests.h from a Backend: decodes the
// blocks, checks every address and length against the caller's memory before
// anything is touched, runs the firmware functions and the extension
// requests. One request at a time, except the progress and message requests,
// which are answered at once.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "driver_protocol/backend.h"
#include "driver_protocol/machine_hold.h"
#include "platform/driver_module.h"

namespace drv {

class RequestHandler {
 public:
  explicit RequestHandler(std::unique_ptr<Backend> backend);
  ~RequestHandler();  // withdraws the windows it handed out
  RequestHandler(const RequestHandler&) = delete;
  RequestHandler& operator=(const RequestHandler&) = delete;

  // Win32 error (0 = success) as DeviceIoControl would give it.
  uint32_t Handle(uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                  uint32_t outSize, uint32_t* bytesReturned, const FlashDriverMemory& memory);

  Backend& backend() { return *backend_; }
  std::string message() const;
  bool holding() const { return hold_.held(); }

  // Spans a programming run writes: the ROM, less a kept boot block.
  static std::vector<ChipSpan> SpansToWrite(uint32_t size, uint64_t bootOffset, uint32_t bootSize,
                                            bool writeBootBlock);

 private:
  struct Registers {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0, esi = 0, edi = 0;
    bool failed = false;
  };
  uint32_t Answer(uint32_t code, std::vector<uint8_t>& b, const FlashDriverMemory& mem);
  void Dispatch(Registers& r, const FlashDriverMemory& mem);
  void RomInfo(Registers& r, const FlashDriverMemory& mem);
  void CheckPassword(Registers& r, const FlashDriverMemory& mem);
  bool ReadRom(uint32_t physical, uint32_t length, uint32_t buffer, const FlashDriverMemory& mem,
               uint32_t* ebx);
  bool Program(uint32_t ecx, bool lengthGiven, uint32_t length, uint32_t imageAddress,
               uint32_t moduleAddress, uint32_t lockBitAddress, const FlashDriverMemory& mem,
               uint8_t* ah);
  void HoldRequest(Registers& r);
  uint32_t MapMemory(uint32_t physical, uint32_t length, const FlashDriverMemory& mem);
  bool Describe(ChipDescription* d, uint8_t* ah);
  bool Fault(const char* function, Registers& r);
  bool Fail(const std::string& text);
  void SetMessage(const std::string& text);
  // Holds the machine for one request unless this process already holds it.
  bool HoldForRequest(MachineHold* temporary, uint8_t* ah);

  std::unique_ptr<Backend> backend_;
  std::mutex requestLock_;          // one request at a time
  mutable std::mutex messageLock_;  // the message is read beside a running request
  std::string message_;
  Progress progress_;
  MachineHold hold_;
  // The window the 9x mapping request handed out last and the copy behind it.
  uint32_t mapped_ = 0;
  std::vector<uint8_t> mappedBytes_;
  const FlashDriverMemory* mapper_ = nullptr;
  void Unmap();
};

// The module entry point's own checks, then the handler: a module exports
// FlashDriverRequest and calls this with its one handler.
uint32_t EnterDriver(RequestHandler& handler, uint32_t code, const void* in, uint32_t inSize,
                     void* out, uint32_t outSize, uint32_t* bytesReturned,
                     const FlashDriverMemory* memory);

}  // namespace drv
