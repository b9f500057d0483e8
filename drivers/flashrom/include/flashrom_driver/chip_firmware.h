// The flashrom driver's firmware: the request handler of the driver protocol
// over a ChipBackend. Each request that touches the chip opens the
// programmer and closes it again, so the chip is never held between
// requests and a programmer that keeps its chip in a file (the dummy) has
// stored it when the answer comes back; a read always reads the chip.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "driver_protocol/request_handler.h"
#include "driver_protocol/requests.h"
#include "flashrom_driver/flash_chip.h"
#include "flashrom_driver/flashrom_config.h"
#include "platform/driver_module.h"

namespace frd {

// The chip through a programmer as a flash backend. Without a configuration
// (config null) every request is answered as unsupported; `reason` says why.
class ChipBackend : public drv::Backend {
 public:
  ChipBackend(const FlashromConfig* config, std::unique_ptr<FlashChip> chip, std::string reason);
  ~ChipBackend() override;

  bool Available(std::string* why) override;
  // One lock file per programmer, in /run/lock (BIOS_TOOLS_FLASHROM_LOCK_DIR).
  std::string HoldFile() override;
  std::string LogPrefix() const override { return "flashrom driver"; }
  // The size answers reuse the last probe's geometry.
  uint8_t Describe(drv::ChipDescription* d, std::string* why) override;
  drv::FixedAnswers Fixed() override;
  // Every read probes and reads the chip in a session of its own.
  bool Read(uint32_t offset, uint32_t length, uint8_t* to, drv::Progress& progress,
            std::string* why) override;
  // All pieces in one session.
  bool ReadPieces(uint32_t offset, uint32_t length, uint8_t* piece, uint32_t room,
                  const PieceTaker& take, drv::Progress& progress, std::string* why) override;
  bool Program(const drv::ProgramJob& job, drv::Progress& progress, uint8_t* ah,
               std::string* why) override;

 private:
  struct Geometry {
    uint32_t size = 0;
    std::string name;
  };
  // Opens the chip and checks its size; closes it again on failure.
  bool Probe(Geometry* g, std::string* why);
  bool CloseChip(std::string* why);

  FlashromConfig config_;
  bool supported_;
  std::unique_ptr<FlashChip> chip_;
  std::string reason_;
  Geometry known_;  // the last probe's, so the size answers need no session
  bool knownValid_ = false;
};

class ChipFirmware {
 public:
  ChipFirmware(const FlashromConfig* config, std::unique_ptr<FlashChip> chip, std::string reason);

  // Win32 error (0 = success) as the driver's DeviceIoControl would give it.
  uint32_t Handle(uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                  uint32_t outSize, uint32_t* bytesReturned, const FlashDriverMemory& memory) {
    return handler_.Handle(code, in, inSize, out, outSize, bytesReturned, memory);
  }
  drv::RequestHandler& handler() { return handler_; }
  bool supported() const { return supported_; }
  // The last failure's text ("" when the last chip request went well).
  std::string message() const { return handler_.message(); }

 private:
  bool supported_;
  drv::RequestHandler handler_;
};

// Base address of a chip of `size` bytes: it ends at 4 GiB.
inline uint32_t BaseOf(uint32_t size) { return static_cast<uint32_t>(0x100000000ull - size); }

}  // namespace frd
