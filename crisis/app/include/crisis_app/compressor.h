// The compressed BIOS image that goes onto a crisis disk: header records,
// then the LZSS stream of the whole image.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "crisis_app/byte_stream.h"

namespace crisis {

// Compresses the file `input` into `output` (created or truncated). False
// only when either file can't be opened.
bool CompressImage(const std::string& input, const std::string& output);

// Stream of the whole input from its current position.
void LzssEncode(ByteSource& in, ByteSink& out);

// Header and stream for an image held in memory.
std::vector<uint8_t> CompressBytes(const std::vector<uint8_t>& image);

// Decodes a compressed file's contents. The header records must match the
// decoded image (bytes past its end as zeros); on failure `error` says why.
bool DecompressBytes(const std::vector<uint8_t>& compressed, std::vector<uint8_t>& image,
                     std::string& error);

}  // namespace crisis
