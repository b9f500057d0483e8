// The 16-bit byte sum of an image.
#pragma once
#include <cstddef>
#include <cstdint>

#include "image/bios_image.h"

namespace brim {

// Wrapping 16-bit sum of the bytes.
uint16_t ByteSum16(const uint8_t* data, size_t size);

// Stores the 16-bit sum of the image's first size bytes, zero-extended, into
// its checksum field. Returns 1.
int ComputeImageChecksum(BiosImage& image);

}  // namespace brim
