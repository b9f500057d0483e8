// A flash chip behind a programmer, as the request handler needs it. The
// real one is libflashrom's; tests use an in-memory chip.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace frd {

// Inclusive byte range of the chip, as libflashrom's layout regions are.
struct ChipSpan {
  uint32_t first = 0;
  uint32_t last = 0;
};

class FlashChip {
 public:
  virtual ~FlashChip() = default;

  // Opens the programmer and probes the chip (no-op while open). False with
  // *error naming what failed.
  virtual bool Open(std::string* error) = 0;
  // Only meaningful while open.
  virtual uint64_t Size() const = 0;
  virtual std::string Name() const = 0;
  // The whole chip into buffer (size bytes, equal to Size()).
  virtual bool Read(uint8_t* buffer, size_t size, std::string* error) = 0;
  // Writes the spans of image (size bytes) and verifies them afterwards;
  // blocks that already hold the right bytes are neither erased nor written.
  virtual bool Write(const uint8_t* image, size_t size, const std::vector<ChipSpan>& spans,
                     std::string* error) = 0;
  // Ends the programmer session; programmers that keep the chip elsewhere
  // (the dummy's chip file) store it here. No-op when not open.
  virtual bool Close(std::string* error) = 0;
};

}  // namespace frd
