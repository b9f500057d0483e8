// Which of the three layouts an image is in, guessed from the tags it holds,
// for brimlet-inspect without --flag.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace inspect {

struct LayoutGuess {
  uint32_t flagWord = 0;  // 0x08 Lindar, 0x10 Quorvel, 0 Tarvex
  std::string reason;     // the tags that decided, or why Tarvex was assumed
};

LayoutGuess DetectLayout(const uint8_t* data, size_t size);

}  // namespace inspect
