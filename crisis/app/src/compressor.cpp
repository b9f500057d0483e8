#include "crisis_app/compressor.h"

#include <cstring>
#include <memory>

#include "crisis_app/image_header.h"
#include "crisis_app/lzss_decoder.h"
#include "crisis_app/lzss_encoder.h"
#include "platform/file_system.h"

namespace crisis {

void LzssEncode(ByteSource& in, ByteSink& out) {
  // The coder's tables are ~120 KiB: too big for the stack, allocated once per image.
  auto encoder = std::make_unique<LzssEncoder>();
  encoder->Encode(in, out);
}

bool CompressImage(const std::string& input, const std::string& output) {
  std::FILE* in = plat::OpenFile(input, "rb");
  if (!in) return false;
  std::FILE* out = plat::OpenFile(output, "wb");
  if (!out) {
    std::fclose(in);
    return false;
  }
  FileSource src(in);
  FileSink dst(out);
  WriteImageHeader(src, dst);
  LzssEncode(src, dst);
  std::fclose(in);
  std::fclose(out);
  return true;
}

std::vector<uint8_t> CompressBytes(const std::vector<uint8_t>& image) {
  std::vector<uint8_t> out;
  MemorySource src(image);
  MemorySink dst(out);
  WriteImageHeader(src, dst);
  LzssEncode(src, dst);
  return out;
}

namespace {

bool RecordMatches(const std::vector<uint8_t>& image, const uint8_t* sig, size_t sigLen,
                   const uint8_t* record, size_t recordSize) {
  MemorySource src(image);
  int64_t at = FindSignature(src, sig, sigLen);
  if (at < 0) return false;
  for (size_t i = 0; i < recordSize; ++i) {
    size_t pos = static_cast<size_t>(at) + i;
    uint8_t expected = pos < image.size() ? image[pos] : 0;
    if (record[i] != expected) return false;
  }
  return true;
}

}  // namespace

bool DecompressBytes(const std::vector<uint8_t>& compressed, std::vector<uint8_t>& image,
                     std::string& error) {
  image.clear();
  ImageHeaderLayout h = ParseImageHeader(compressed.data(), compressed.size());
  if (h.headerSize == 0) {
    error = "not a compressed image (no header records and no $COMPIBM marker)";
    return false;
  }
  if (!DecodeLzss(compressed.data() + h.headerSize, compressed.size() - h.headerSize, image)) {
    error = "the compressed stream is truncated";
    return false;
  }
  // The header must be the one the image itself gives, or the DOS side
  // would check the machine against the wrong records.
  MemorySource src(image);
  const bool imageHasBcp = FindSignature(src, kBcpVpdSignature, sizeof kBcpVpdSignature) >= 0;
  const bool imageHasVpd = FindSignature(src, kVpdSignature, sizeof kVpdSignature) >= 0;
  if (imageHasBcp != h.hasBcpVpd || imageHasVpd != h.hasVpd) {
    error = "the header records do not match the decoded image";
    return false;
  }
  size_t at = 0;
  if (h.hasBcpVpd) {
    if (!RecordMatches(image, kBcpVpdSignature, sizeof kBcpVpdSignature, compressed.data(),
                       kBcpVpdRecordSize)) {
      error = "the BCPVPD record differs from the decoded image";
      return false;
    }
    at += kBcpVpdRecordSize;
  }
  if (h.hasVpd &&
      !RecordMatches(image, kVpdSignature, sizeof kVpdSignature, compressed.data() + at,
                     kVpdRecordSize)) {
    error = "the VPD record differs from the decoded image";
    return false;
  }
  return true;
}

}  // namespace crisis
