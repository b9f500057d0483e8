// What a flash backend provides: its chip's description, reads, programming
// and the file its machine lock lives in. The request handler does the rest:
// decoding, checks against the caller's memory, the firmware functions, the
// extension requests.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "driver_protocol/requests.h"

namespace drv {

// Inclusive byte range of the ROM.
struct ChipSpan {
  uint32_t first = 0;
  uint32_t last = 0;
};

// Answers that need no chip.
struct FixedAnswers {
  uint32_t fSegmentMapping = 0;
  // A 9x window on 0xF0000-0xFFFFF shows the ROM's top block.
  bool shadowsFSegment = false;
  uint32_t wsbi = 0x0100;
  uint32_t brand = 0x564D;
  bool hasPassword = false;
  std::vector<uint8_t> password;  // scan codes
  bool supported = true;          // the support check's answer
  // Older firmware knows the 32-bit size only when CL cannot hold it.
  bool wideSizeAlways = true;
  // The firmware runs the image's flash module: programming needs its tag
  // and a lock-bit table.
  bool runsFlashModule = false;
};

// The chip as it is now.
struct ChipDescription {
  uint32_t size = 0;  // whole 64 KiB blocks, 1 to kMaxBlocks
  uint32_t base = 0;  // physical address of ROM byte 0
  uint32_t flag = 0;
  std::string romType;
  uint32_t firmwareRomValue = 0;
  uint32_t lockBitBlock0 = 0;  // block i's lock bits lie i blocks further
  uint32_t mappedRom = 0;      // EBX of a ROM read; 0: the address read
  uint64_t bootBlockOffset = 0;
  uint32_t bootBlockSize = kBlock;
  std::string source;          // the file that describes the machine, for messages
};

// Where a long request stands; read by the progress request from another thread.
class Progress {
 public:
  void Start(uint32_t phase, uint32_t total) {
    done_ = 0;
    total_ = total;
    phase_ = phase;
  }
  void Add(uint32_t bytes) { done_ += bytes; }
  uint32_t phase() const { return phase_; }
  uint32_t done() const { return done_; }
  uint32_t total() const { return total_; }

 private:
  std::atomic<uint32_t> phase_{kPhaseIdle}, done_{0}, total_{0};
};

struct ProgramJob {
  uint32_t size = 0;                // the ROM's size; the image is as long
  std::vector<ChipSpan> spans;      // what to write: all but a kept boot block
  uint32_t optionBits = 0;          // ECX of the request
  bool loadDefaults = false;        // ECX bit 1
  // Copies image bytes [offset, offset + length) from the caller.
  std::function<bool(uint32_t offset, uint32_t length, uint8_t* to)> readImage;
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Called before every request but the message and progress requests: a
  // Win32 error refuses the request with *why as the driver message.
  virtual uint32_t Prepare(std::string* why) { (void)why; return 0; }
  // Every firmware function is answered as unsupported (with *why as the
  // driver message) while this is false.
  virtual bool Available(std::string* why) { (void)why; return true; }
  virtual FixedAnswers Fixed() = 0;
  // AH 0 with the description, or an error AH and *why.
  virtual uint8_t Describe(ChipDescription* d, std::string* why) = 0;
  // ROM bytes [offset, offset + length) into `to`, progress as they come.
  virtual bool Read(uint32_t offset, uint32_t length, uint8_t* to, Progress& progress,
                    std::string* why) = 0;
  // The same bytes handed to `take` in order, at most `room` at a time
  // through `piece` (room bytes), so no ROM-sized copy is needed. A false
  // from `take` ends the read (false, *why untouched). A backend whose
  // reads are sessions of their own overrides it with one session.
  using PieceTaker = std::function<bool(uint32_t done, const uint8_t* bytes, uint32_t n)>;
  virtual bool ReadPieces(uint32_t offset, uint32_t length, uint8_t* piece, uint32_t room,
                          const PieceTaker& take, Progress& progress, std::string* why) {
    for (uint32_t done = 0; done < length;) {
      const uint32_t n = length - done < room ? length - done : room;
      if (!Read(offset + done, n, piece, progress, why) || !take(done, piece, n)) return false;
      done += n;
    }
    return true;
  }
  // True when the spans were written, *ah the answer (0 unless a failure
  // says otherwise), progress per piece written.
  virtual bool Program(const ProgramJob& job, Progress& progress, uint8_t* ah,
                       std::string* why) = 0;
  // The lock file that holds this machine across processes ("" when none can be named).
  virtual std::string HoldFile() = 0;

  // Fault injection: an AH for the named firmware function, a Win32 error
  // for a request code (0: none).
  virtual uint8_t InjectedAh(const char* function) { (void)function; return 0; }
  virtual uint32_t InjectedSystemError(uint32_t code) { (void)code; return 0; }
  // Failures are also written to standard error after this prefix, when set.
  virtual std::string LogPrefix() const { return ""; }
};

}  // namespace drv
