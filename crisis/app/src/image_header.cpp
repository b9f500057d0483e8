#include "crisis_app/image_header.h"

#include <cstring>

namespace crisis {

const uint8_t kBcpVpdSignature[6] = {'B', 'C', 'P', 'V', 'P', 'D'};
const uint8_t kVpdSignature[5] = {0xAA, 0x55, 'V', 'P', 'D'};

int64_t FindSignature(ByteSource& in, const uint8_t* sig, size_t sigLen) {
  uint8_t block[kSignatureBlockSize];
  uint64_t start = 0;
  for (;;) {
    if (!in.Seek(start) || in.Read(block, sizeof block) != sizeof block) return -1;
    // Offsets 0 .. 4096 - len - 1; the next block starts right after the last one tried.
    const size_t lastOffset = sizeof block - sigLen - 1;
    const uint8_t* p = block;
    const uint8_t* end = block + lastOffset + 1;
    while (p < end) {
      p = static_cast<const uint8_t*>(std::memchr(p, sig[0], static_cast<size_t>(end - p)));
      if (!p) break;
      if (std::memcmp(p, sig, sigLen) == 0) return static_cast<int64_t>(start + (p - block));
      ++p;
    }
    start += sizeof block - sigLen;
  }
}

namespace {

// Copies size bytes from pos; bytes past the image's end are written as zeros.
void CopyRecord(ByteSource& in, ByteSink& out, uint64_t pos, size_t size) {
  uint8_t rec[kVpdRecordSize > kBcpVpdRecordSize ? kVpdRecordSize : kBcpVpdRecordSize] = {};
  size_t got = 0;
  if (in.Seek(pos)) {
    while (got < size) {
      size_t n = in.Read(rec + got, size - got);
      if (n == 0) break;
      got += n;
    }
  }
  out.Write(rec, size);
}

}  // namespace

bool WriteImageHeader(ByteSource& in, ByteSink& out) {
  int64_t bcp = FindSignature(in, kBcpVpdSignature, sizeof kBcpVpdSignature);
  if (bcp >= 0) CopyRecord(in, out, static_cast<uint64_t>(bcp), kBcpVpdRecordSize);
  int64_t vpd = FindSignature(in, kVpdSignature, sizeof kVpdSignature);
  if (vpd >= 0) CopyRecord(in, out, static_cast<uint64_t>(vpd), kVpdRecordSize);
  if (bcp < 0)
    out.Write(reinterpret_cast<const uint8_t*>(kCompressedMarker), kCompressedMarkerSize);
  return in.Seek(0);
}

namespace {
bool StartsWith(const uint8_t* data, size_t size, size_t at, const uint8_t* what, size_t n) {
  return at <= size && size - at >= n && std::memcmp(data + at, what, n) == 0;
}
}  // namespace

ImageHeaderLayout ParseImageHeader(const uint8_t* data, size_t size) {
  ImageHeaderLayout h;
  const auto* marker = reinterpret_cast<const uint8_t*>(kCompressedMarker);
  size_t at = 0;
  if (StartsWith(data, size, 0, kBcpVpdSignature, sizeof kBcpVpdSignature) &&
      size >= kBcpVpdRecordSize) {
    h.hasBcpVpd = true;
    at = kBcpVpdRecordSize;
    // The stream's first item can't start AA 55 56: a match then points into
    // 0xF00-0xFFF, so these bytes here are the VPD record.
    if (StartsWith(data, size, at, kVpdSignature, sizeof kVpdSignature) &&
        size - at >= kVpdRecordSize) {
      h.hasVpd = true;
      at += kVpdRecordSize;
    }
    h.headerSize = at;
    return h;
  }
  if (StartsWith(data, size, 0, kVpdSignature, sizeof kVpdSignature) && size >= kVpdRecordSize) {
    h.hasVpd = true;
    at = kVpdRecordSize;
  }
  if (!StartsWith(data, size, at, marker, kCompressedMarkerSize)) return ImageHeaderLayout{};
  h.headerSize = at + kCompressedMarkerSize;
  return h;
}

}  // namespace crisis
