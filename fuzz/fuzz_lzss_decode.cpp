// The compressed-image decoder and verify on arbitrary bytes; the decoder
// must also give back whatever the encoder made of the input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "crisis_app/compressor.h"
#include "crisis_app/image_header.h"
#include "crisis_app/lzss_decoder.h"

namespace {
// Small enough that a stream of long matches cannot exhaust memory.
constexpr size_t kMaxOut = 256 << 10;
// Verifying codes the image again, which is slow under the fuzzer's
// instrumentation; larger images are verified against the input instead.
constexpr size_t kMaxRecoded = 16 << 10;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  crisis::LzssDecodeStatus st = crisis::DecodeLzssChecked(data, size, out, kMaxOut);
  if (out.size() > kMaxOut) __builtin_trap();
  if (st == crisis::LzssDecodeStatus::Ok) {
    std::vector<uint8_t> again;
    if (!crisis::DecodeLzss(data, size, again) || again != out) __builtin_trap();
  }

  crisis::ImageHeaderLayout h = crisis::ParseImageHeader(data, size);
  if (h.headerSize > size) __builtin_trap();

  std::vector<uint8_t> packed(data, data + size), image;
  std::string error;
  bool decoded = crisis::DecompressBytes(packed, image, error, kMaxOut);
  if (decoded && image.size() > kMaxOut) __builtin_trap();
  if (decoded) {
    // The input is its own image's encoding: it must verify against itself.
    if (!crisis::VerifyCompressed(image, packed, error, &packed)) __builtin_trap();
    if (image.size() <= kMaxRecoded) crisis::VerifyCompressed(image, packed, error);
  }

  // Round trip of the input taken as an image.
  std::vector<uint8_t> raw(data, data + size);
  std::vector<uint8_t> encoded = crisis::CompressBytes(raw);
  std::vector<uint8_t> back;
  if (!crisis::DecompressBytes(encoded, back, error, kMaxOut) || back != raw) __builtin_trap();
  if (!crisis::VerifyCompressed(raw, encoded, error, &encoded)) __builtin_trap();
  return 0;
}
