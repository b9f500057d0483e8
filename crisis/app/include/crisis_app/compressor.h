// The compressed BIOS image that goes onto a crisis disk: header records,
// then the LZSS stream of the whole image.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "crisis_app/byte_stream.h"
#include "crisis_app/checked_file.h"

namespace crisis {

// Compresses the file `input` into `output`. False when either file can't
// be opened, the input is not a regular file of at most kMaxImageBytes, or
// any read, write, flush or close fails; `output` then holds what it held
// before (the result is written under a temporary name and renamed).
bool CompressImage(const std::string& input, const std::string& output);
// The same, saying why in `error` ("NAME: reason"); with `encoded`, also
// keeps the bytes written.
bool CompressImage(const std::string& input, const std::string& output, std::string* error,
                   std::vector<uint8_t>* encoded = nullptr);

// Header and stream of `in` into `out`; false when `in` could not be read
// whole or `out` not written (their Error() says which).
bool CompressStream(ByteSource& in, ByteSink& out);

// Stream of the whole input from its current position.
void LzssEncode(ByteSource& in, ByteSink& out);

// Header and stream for an image held in memory.
std::vector<uint8_t> CompressBytes(const std::vector<uint8_t>& image);

// Decodes a compressed file's contents. Fails when the stream ends inside an
// item, when more than maxImage bytes would come out, or when the header
// records do not match the decoded image (bytes past its end as zeros); on
// failure `error` says why.
bool DecompressBytes(const std::vector<uint8_t>& compressed, std::vector<uint8_t>& image,
                     std::string& error, size_t maxImage = kMaxImageBytes);

// Whether `compressed` is exactly what compressing `image` gives and decodes
// back to it. `encoding`, when given, is taken as that compression instead
// of coding the image again.
bool VerifyCompressed(const std::vector<uint8_t>& image, const std::vector<uint8_t>& compressed,
                      std::string& error, const std::vector<uint8_t>* encoding = nullptr);

}  // namespace crisis
