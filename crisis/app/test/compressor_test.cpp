#include "crisis_app/compressor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "crisis_app/image_header.h"
#include "crisis_app/lzss_decoder.h"
#include "temp_dir.h"

namespace crisis {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Marker() { return Bytes(kCompressedMarker, kCompressedMarker + kCompressedMarkerSize); }

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

void Put(Bytes& img, size_t at, const uint8_t* sig, size_t n) { std::memcpy(&img[at], sig, n); }

// An image whose bytes are their offsets' low bits, so records are recognisable.
Bytes Patterned(size_t size) {
  Bytes img(size);
  for (size_t i = 0; i < size; ++i) img[i] = static_cast<uint8_t>((i * 7 + 3) & 0x7F);
  return img;
}

TEST(CompressorVectors, EmptyInputIsMarkerOnly) { EXPECT_EQ(CompressBytes({}), Marker()); }

TEST(CompressorVectors, EighteenSpacesAreOneMatchIntoTheFill) {
  EXPECT_EQ(CompressBytes(Bytes(18, 0x20)), Concat(Marker(), {0x00, 0xDC, 0xFF}));
}

TEST(CompressorVectors, ThreeDistinctBytesAreLiterals) {
  EXPECT_EQ(CompressBytes({0x01, 0x02, 0x03}), Concat(Marker(), {0x07, 0x01, 0x02, 0x03}));
}

TEST(CompressorVectors, RepeatedAbcIsThreeLiteralsAndAnOverlappingMatch) {
  const std::string s = "abcabcabcabc";
  EXPECT_EQ(CompressBytes(Bytes(s.begin(), s.end())),
            Concat(Marker(), {0x07, 0x61, 0x62, 0x63, 0xEE, 0xF6}));
}

TEST(CompressorVectors, NineLiteralsMakeTwoGroups) {
  Bytes in = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(CompressBytes(in), Concat(Marker(), {0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0x01, 9}));
}

TEST(CompressorHeader, BothSignaturesGiveBothRecordsAndNoMarker) {
  Bytes img = Patterned(8192);
  Put(img, 100, kBcpVpdSignature, 6);
  Put(img, 300, kVpdSignature, 5);
  Bytes out = CompressBytes(img);
  ASSERT_GT(out.size(), 81u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 34), Bytes(img.begin() + 100, img.begin() + 134));
  EXPECT_EQ(Bytes(out.begin() + 34, out.begin() + 81), Bytes(img.begin() + 300, img.begin() + 347));
  Bytes decoded;
  ASSERT_TRUE(DecodeLzss(out.data() + 81, out.size() - 81, decoded));
  EXPECT_EQ(decoded, img);
}

TEST(CompressorHeader, BcpVpdAloneHasNoMarker) {
  Bytes img = Patterned(4096);
  Put(img, 10, kBcpVpdSignature, 6);
  Bytes out = CompressBytes(img);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 34), Bytes(img.begin() + 10, img.begin() + 44));
  Bytes decoded;
  ASSERT_TRUE(DecodeLzss(out.data() + 34, out.size() - 34, decoded));
  EXPECT_EQ(decoded, img);
}

TEST(CompressorHeader, OnlyVpdGivesRecordThenMarker) {
  Bytes img = Patterned(4096);
  Put(img, 2000, kVpdSignature, 5);
  Bytes out = CompressBytes(img);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 47), Bytes(img.begin() + 2000, img.begin() + 2047));
  EXPECT_EQ(Bytes(out.begin() + 47, out.begin() + 55), Marker());
}

TEST(CompressorHeader, FirstOccurrenceWins) {
  Bytes img = Patterned(8192);
  Put(img, 5000, kBcpVpdSignature, 6);
  Put(img, 700, kBcpVpdSignature, 6);
  img[706] = 0xEE;
  Bytes out = CompressBytes(img);
  EXPECT_EQ(out[6], 0xEE);
}

TEST(CompressorHeader, SignatureAcrossBlockBorderIsFound) {
  Bytes img = Patterned(8192);
  Put(img, 4093, kBcpVpdSignature, 6);  // bytes 4093..4098 straddle the first block's end
  Bytes out = CompressBytes(img);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 34), Bytes(img.begin() + 4093, img.begin() + 4127));

  Bytes img2 = Patterned(8192);
  Put(img2, 4093, kVpdSignature, 5);
  Bytes out2 = CompressBytes(img2);
  EXPECT_EQ(Bytes(out2.begin(), out2.begin() + 47), Bytes(img2.begin() + 4093, img2.begin() + 4140));
}

TEST(CompressorHeader, SignatureAfterLastWholeBlockIsNotFound) {
  // Blocks start at 0 and 4090; one at 8180 can't be read whole, so the
  // search ends at 8179.
  Bytes img = Patterned(8192);
  Put(img, 8180, kBcpVpdSignature, 6);
  Put(img, 8185, kVpdSignature, 5);
  Bytes out = CompressBytes(img);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), Marker());

  Bytes img2 = Patterned(8192);
  Put(img2, 8179, kBcpVpdSignature, 6);
  EXPECT_EQ(CompressBytes(img2)[0], 'B');
}

TEST(CompressorHeader, ImageShorterThanOneBlockIsNotSearched) {
  Bytes img = Patterned(4095);
  Put(img, 0, kBcpVpdSignature, 6);
  Bytes out = CompressBytes(img);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), Marker());
}

TEST(CompressorHeader, RecordPastTheImageEndIsZeroFilled) {
  Bytes img = Patterned(4096);
  Put(img, 4080, kBcpVpdSignature, 6);  // 16 bytes left of a 34-byte record
  Bytes out = CompressBytes(img);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 16), Bytes(img.begin() + 4080, img.end()));
  EXPECT_EQ(Bytes(out.begin() + 16, out.begin() + 34), Bytes(18, 0));
  Bytes back;
  std::string error;
  ASSERT_TRUE(DecompressBytes(out, back, error)) << error;
  EXPECT_EQ(back, img);
}

// BIOS-like data: runs, repeated code-like stretches, random bytes.
Bytes RandomImage(std::mt19937& rng, size_t size) {
  Bytes img;
  img.reserve(size);
  std::uniform_int_distribution<int> kind(0, 4), byte(0, 255), len(1, 300);
  while (img.size() < size) {
    int n = len(rng);
    switch (kind(rng)) {
      case 0: img.insert(img.end(), static_cast<size_t>(n), byte(rng) < 128 ? 0xFF : 0x00); break;
      case 1:
        for (int i = 0; i < n; ++i) img.push_back(static_cast<uint8_t>(byte(rng)));
        break;
      case 2:
        if (img.size() > 20) {
          size_t from = static_cast<size_t>(rng() % (img.size() - 1));
          for (int i = 0; i < n; ++i) img.push_back(img[from + static_cast<size_t>(i) % (img.size() - from)]);
        }
        break;
      case 3:
        for (int i = 0; i < n; ++i) img.push_back(static_cast<uint8_t>(byte(rng) & 3));
        break;
      default: img.insert(img.end(), static_cast<size_t>(n % 40), 0x20); break;
    }
  }
  img.resize(size);
  return img;
}

TEST(CompressorRoundTrip, TenThousandRandomInputsDecodeByteForByte) {
  std::mt19937 rng(20261208);
  std::uniform_int_distribution<int> small(0, 64), mid(0, 6000);
  for (int n = 0; n < 10000; ++n) {
    size_t size = static_cast<size_t>(n % 4 == 0 ? mid(rng) : small(rng));
    Bytes img = RandomImage(rng, size);
    if (n % 97 == 0 && size > 200) Put(img, size / 3, kBcpVpdSignature, 6);
    if (n % 89 == 0 && size > 300) Put(img, size / 2, kVpdSignature, 5);
    Bytes out = CompressBytes(img);
    Bytes back;
    std::string error;
    ASSERT_TRUE(DecompressBytes(out, back, error)) << "input " << n << ": " << error;
    ASSERT_EQ(back, img) << "input " << n << " of " << size << " bytes";
  }
}

TEST(CompressorRoundTrip, LargerThanTheRing) {
  std::mt19937 rng(7);
  Bytes img = RandomImage(rng, 300000);
  Bytes back;
  std::string error;
  ASSERT_TRUE(DecompressBytes(CompressBytes(img), back, error)) << error;
  EXPECT_EQ(back, img);
}

uint64_t Fnv1a(const Bytes& b) {
  uint64_t h = 1469598103934665603ull;
  for (uint8_t c : b) h = (h ^ c) * 1099511628211ull;
  return h;
}

// Pins the whole stream (match choice included) of a 1 MiB BIOS-like image,
// so a faster coder can't change what the DOS side receives.
TEST(CompressorGolden, BiosLikeImageStreamIsUnchanged) {
  std::mt19937 rng(1989);
  Bytes img = RandomImage(rng, 1 << 20);
  Bytes out = CompressBytes(img);
  EXPECT_EQ(out.size(), 555151u);
  EXPECT_EQ(Fnv1a(out), 8925809147279791265ull);
  // Coding the same image again gives the same bytes: no state leaks between runs.
  EXPECT_EQ(CompressBytes(img), out);
}

TEST(CompressorDecode, RejectsWhatIsNotACompressedImage) {
  Bytes back;
  std::string error;
  EXPECT_FALSE(DecompressBytes({'h', 'e', 'l', 'l', 'o'}, back, error));
  EXPECT_FALSE(error.empty());
  Bytes truncated = Concat(Marker(), {0x00, 0xDC});  // match without its second byte
  EXPECT_FALSE(DecompressBytes(truncated, back, error));
  Bytes lonelyFlag = Concat(Marker(), {0x07, 1, 2, 3, 0x01});
  EXPECT_FALSE(DecompressBytes(lonelyFlag, back, error));
}

TEST(CompressorDecode, ArbitraryBytesAfterAMarkerNeverOverrun) {
  // A damaged file must give an answer, not a crash: output is bounded by
  // 18 bytes per two input bytes.
  std::mt19937 rng(42);
  for (int n = 0; n < 2000; ++n) {
    Bytes junk = Marker();
    size_t len = rng() % 300;
    for (size_t i = 0; i < len; ++i) junk.push_back(static_cast<uint8_t>(rng()));
    Bytes back;
    std::string error;
    DecompressBytes(junk, back, error);
    EXPECT_LE(back.size(), 9 * len + 9);
  }
}

TEST(CompressorDecode, HeaderThatDisagreesWithTheImageIsRejected) {
  Bytes img = Patterned(4096);
  Put(img, 10, kBcpVpdSignature, 6);
  Bytes out = CompressBytes(img);
  out[20] ^= 0xFF;
  Bytes back;
  std::string error;
  EXPECT_FALSE(DecompressBytes(out, back, error));
}

TEST(CompressImageFiles, WritesHeaderAndStreamAndReportsOpenFailures) {
  test::TempDir dir;
  const std::string s = "abcabcabcabc";
  dir.Write("BIOS.BAK", s);
  ASSERT_TRUE(CompressImage(dir.Path("bios.bak"), dir.Path("BIOS.QZW")));
  EXPECT_EQ(dir.Read("BIOS.QZW"), std::string("$COMPIBM\x07" "abc\xEE\xF6", 14));

  EXPECT_FALSE(CompressImage(dir.Path("missing.bin"), dir.Path("out.qzw")));
  EXPECT_FALSE(dir.Exists("out.qzw"));
  EXPECT_FALSE(CompressImage(dir.Path("BIOS.BAK"), dir.Path("no/such/folder/out.qzw")));
}

}  // namespace
}  // namespace crisis
