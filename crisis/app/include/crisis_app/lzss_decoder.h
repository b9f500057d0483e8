// Decoder of the LZSS stream, the counterpart of LzssEncoder, so a
// compressed image can be checked on the build machine.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace crisis {

// The stream has no length and no end marker; what the decoder can still
// tell apart:
enum class LzssDecodeStatus {
  Ok,
  // The stream ends where a flag bit promises a literal or a match's bytes.
  CutInsideItem,
  // A flag byte with no item after it, which the coder never writes.
  EmptyGroup,
  // More than the caller's limit would come out.
  TooLarge,
};

// Appends the decoded bytes to out, at most maxOut of them.
LzssDecodeStatus DecodeLzssChecked(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                                   size_t maxOut);

// True when DecodeLzssChecked without a limit gives Ok.
bool DecodeLzss(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

}  // namespace crisis
