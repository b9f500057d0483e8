// Header of a compressed BIOS image: copies of the identification records
// found in the image, so the DOS flash program can check the machine before
// it decodes anything.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "crisis_app/byte_stream.h"

namespace crisis {

constexpr size_t kBcpVpdRecordSize = 34;
constexpr size_t kVpdRecordSize = 47;
constexpr char kCompressedMarker[] = "$COMPIBM";  // 8 bytes on disk, no terminator
constexpr size_t kCompressedMarkerSize = 8;
constexpr size_t kSignatureBlockSize = 4096;

extern const uint8_t kBcpVpdSignature[6];  // "BCPVPD"
extern const uint8_t kVpdSignature[5];     // AA 55 "VPD"

// File position of the first signature, searched in 4096-byte blocks that
// overlap by the signature's length; a block that cannot be read whole ends
// the search. -1 when not found.
int64_t FindSignature(ByteSource& in, const uint8_t* sig, size_t sigLen);

// Writes the header and leaves `in` at its start; false when it can't go
// back there.
bool WriteImageHeader(ByteSource& in, ByteSink& out);

// What a compressed file starts with; headerSize is 0 when it is not one.
struct ImageHeaderLayout {
  bool hasBcpVpd = false;
  bool hasVpd = false;
  size_t headerSize = 0;
};
ImageHeaderLayout ParseImageHeader(const uint8_t* data, size_t size);

}  // namespace crisis
