// Decoder of the LZSS stream, the counterpart of LzssEncoder, so a
// compressed image can be checked on the build machine.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace crisis {

// Appends the decoded bytes to out. False when the stream ends inside an
// item or with a group that has no item.
bool DecodeLzss(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

}  // namespace crisis
