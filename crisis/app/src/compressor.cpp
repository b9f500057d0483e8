#include "crisis_app/compressor.h"

#include <algorithm>
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

namespace {

// Keeps a copy of what reaches the file, for the build's read-back.
class KeepingSink : public ByteSink {
 public:
  KeepingSink(ByteSink& inner, std::vector<uint8_t>* kept) : inner_(inner), kept_(kept) {}
  void Write(const uint8_t* buf, size_t n) override {
    inner_.Write(buf, n);
    if (kept_) kept_->insert(kept_->end(), buf, buf + n);
  }
  int Error() const override { return inner_.Error(); }

 private:
  ByteSink& inner_;
  std::vector<uint8_t>* kept_;
};

}  // namespace

bool CompressStream(ByteSource& in, ByteSink& out) {
  // The coder reads and writes in 64 KiB blocks; failures are asked for once
  // at the end, so the loop itself carries no checks.
  bool rewound = WriteImageHeader(in, out);
  if (rewound) LzssEncode(in, out);
  return rewound && in.Error() == 0 && out.Error() == 0;
}

bool CompressImage(const std::string& input, const std::string& output) {
  std::string error;
  return CompressImage(input, output, &error);
}

bool CompressImage(const std::string& input, const std::string& output, std::string* error,
                   std::vector<uint8_t>* encoded) {
  if (encoded) encoded->clear();
  std::FILE* in = OpenInputFile(input, kMaxImageBytes, error);
  if (!in) return false;
  OutputFile out;
  if (!out.Open(output, error)) {
    std::fclose(in);
    return false;
  }
  FileSource src(in);
  FileSink file(out.get());
  KeepingSink dst(file, encoded);
  bool ok = CompressStream(src, dst);
  std::fclose(in);  // read-only: its close loses nothing
  if (!ok) {
    *error = src.Error() || dst.Error() == 0 ? IoError(input, src.Error()) : IoError(output, dst.Error());
    if (encoded) encoded->clear();
    return false;  // `out` is dropped: the temporary file goes, the name keeps its old file
  }
  if (!out.Commit(error)) {
    if (encoded) encoded->clear();
    return false;
  }
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
                     std::string& error, size_t maxImage) {
  image.clear();
  ImageHeaderLayout h = ParseImageHeader(compressed.data(), compressed.size());
  if (h.headerSize == 0) {
    error = "not a compressed image (no header records and no $COMPIBM marker)";
    return false;
  }
  // At most 18 bytes come of every two, and never more than the limit.
  image.reserve(static_cast<size_t>(std::min<uint64_t>(maxImage, uint64_t{compressed.size()} * 9)));
  switch (DecodeLzssChecked(compressed.data() + h.headerSize, compressed.size() - h.headerSize,
                            image, maxImage)) {
    case LzssDecodeStatus::Ok:
      break;
    case LzssDecodeStatus::CutInsideItem:
      error = "the compressed stream is cut off inside an item (after " +
              std::to_string(image.size()) + " decoded bytes)";
      return false;
    case LzssDecodeStatus::EmptyGroup:
      error = "the compressed stream ends with a flag byte and no item";
      return false;
    case LzssDecodeStatus::TooLarge:
      error = "the compressed stream decodes to more than " + std::to_string(maxImage) + " bytes";
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

bool VerifyCompressed(const std::vector<uint8_t>& image, const std::vector<uint8_t>& compressed,
                      std::string& error, const std::vector<uint8_t>* encoding) {
  std::vector<uint8_t> coded;
  if (!encoding) {
    coded = CompressBytes(image);
    encoding = &coded;
  }
  const std::vector<uint8_t>& want = *encoding;
  size_t common = std::min(want.size(), compressed.size());
  size_t at = std::mismatch(want.begin(), want.begin() + common, compressed.begin()).first - want.begin();
  if (at < common) {
    error = "differs from the compressed image at byte " + std::to_string(at);
    return false;
  }
  if (compressed.size() != want.size()) {
    error = "holds " + std::to_string(compressed.size()) + " bytes, the compressed image " +
            std::to_string(want.size());
    return false;
  }
  // Equal bytes decode alike; decoding still proves the coder and decoder agree.
  std::vector<uint8_t> back;
  std::string why;
  if (!DecompressBytes(compressed, back, why, std::max<size_t>(image.size(), 1))) {
    error = "does not decode: " + why;
    return false;
  }
  if (back != image) {
    error = "decodes to an image that differs from the original";
    return false;
  }
  return true;
}

}  // namespace crisis
