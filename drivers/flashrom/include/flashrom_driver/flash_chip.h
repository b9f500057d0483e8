// A flash chip behind a programmer, as the flashrom backend needs it. The
// real one is libflashrom's; tests use an in-memory chip.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "driver_protocol/backend.h"

namespace frd {

using drv::ChipSpan;

class FlashChip {
 public:
  // Told the bytes of each piece once it is written.
  using Written = std::function<void(uint32_t bytes)>;
  virtual ~FlashChip() = default;

  // Opens the programmer and probes the chip (no-op while open). False with
  // *error naming what failed.
  virtual bool Open(std::string* error) = 0;
  // Only meaningful while open.
  virtual uint64_t Size() const = 0;
  virtual std::string Name() const = 0;
  // Chip bytes [offset, offset + length) into buffer, read from the chip
  // and from no other part of it.
  virtual bool Read(uint32_t offset, uint8_t* buffer, size_t length, std::string* error) = 0;
  // Copies image bytes [offset, offset + length) from the caller into `to`.
  using ImageSource = std::function<bool(uint32_t offset, uint32_t length, uint8_t* to)>;
  // Writes the spans of an image of `size` bytes (the chip's) in pieces,
  // each taken from `image` when its turn comes, telling each; blocks that
  // already hold the right bytes need not be written. No verify: the caller
  // reads the chip back.
  virtual bool Write(size_t size, const std::vector<ChipSpan>& spans, const ImageSource& image,
                     const Written& written, std::string* error) = 0;
  // Ends the programmer session; programmers that keep the chip elsewhere
  // (the dummy's chip file) store it here. No-op when not open.
  virtual bool Close(std::string* error) = 0;
};

}  // namespace frd
