// The compressor and decoder under faults: failed reads and writes, full
// folders, inputs that are not images, and damaged compressed files.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "crisis_app/checked_file.h"
#include "crisis_app/compressor.h"
#include "crisis_app/image_header.h"
#include "crisis_app/lzss_decoder.h"
#include "crisis_app/scratch_files.h"
#include "file_limit.h"
#include "temp_dir.h"

namespace crisis {
namespace {

using Bytes = std::vector<uint8_t>;

// Erased runs, repeated code-like stretches and noise, as in a BIOS image.
Bytes BiosLike(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes img;
  while (img.size() < size) {
    size_t n = 1 + rng() % 400;
    switch (rng() % 4) {
      case 0: img.insert(img.end(), n, 0xFF); break;
      case 1:
        for (size_t i = 0; i < n; ++i) img.push_back(static_cast<uint8_t>(rng()));
        break;
      default:
        if (img.size() > 64) {
          size_t from = rng() % (img.size() - 32);
          for (size_t i = 0; i < n; ++i) img.push_back(img[from + i % 32]);
        } else {
          img.insert(img.end(), n, 0x20);
        }
    }
  }
  img.resize(size);
  return img;
}

std::vector<std::string> Listing(const test::TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Hands out an image and then fails with EIO, as a bad sector would.
class FailingSource : public MemorySource {
 public:
  FailingSource(const Bytes& b, size_t failAt) : MemorySource(b), left_(failAt) {}
  size_t Read(uint8_t* buf, size_t n) override {
    if (error_) return 0;
    if (left_ == 0) {
      error_ = EIO;
      return 0;
    }
    size_t got = MemorySource::Read(buf, std::min(n, left_));
    left_ -= got;
    return got;
  }
  int Error() const override { return error_; }

 private:
  size_t left_;
  int error_ = 0;
};

TEST(CompressorFaults, ReadErrorInTheMiddleOfTheImageFailsTheStream) {
  Bytes img = BiosLike(1 << 20, 7);
  Bytes out;
  MemorySink sink(out);
  FailingSource src(img, 512 * 1024);
  EXPECT_FALSE(CompressStream(src, sink));
  EXPECT_EQ(src.Error(), EIO);

  // A file that fails its first read (a folder) is told apart from an empty image.
  test::TempDir dir;
  std::FILE* folder = std::fopen(dir.path().c_str(), "rb");
  ASSERT_NE(folder, nullptr);
  FileSource fromFolder(folder);
  Bytes none;
  MemorySink noneSink(none);
  EXPECT_FALSE(CompressStream(fromFolder, noneSink));
  EXPECT_EQ(fromFolder.Error(), EISDIR);
  std::fclose(folder);

  // The same image read whole gives the stream CompressBytes gives.
  Bytes whole;
  MemorySink wholeSink(whole);
  MemorySource ok(img);
  EXPECT_TRUE(CompressStream(ok, wholeSink));
  EXPECT_EQ(whole, CompressBytes(img));
}

TEST(CompressorFaults, OutputThatFillsUpFailsAndLeavesTheOldFile) {
  test::TempDir dir;
  Bytes img = BiosLike(1 << 20, 3);
  dir.Write("BIOS.BAK", std::string(img.begin(), img.end()));
  dir.Write("BIOS.QZW", "OLD");
  std::string error;
  std::vector<uint8_t> kept;
  {
    test::FileSizeLimit full(100000);
    EXPECT_FALSE(CompressImage(dir.Path("BIOS.BAK"), dir.Path("BIOS.QZW"), &error, &kept));
  }
  EXPECT_NE(error.find("BIOS.QZW: File too large"), std::string::npos) << error;
  EXPECT_EQ(dir.Read("BIOS.QZW"), "OLD");
  EXPECT_TRUE(kept.empty());
  EXPECT_EQ(Listing(dir), (std::vector<std::string>{"BIOS.BAK", "BIOS.QZW"})) << "no temporary file left";

  error.clear();
  EXPECT_FALSE(CompressImage(dir.Path("BIOS.BAK"), "/dev/full", &error));
  EXPECT_EQ(error, "/dev/full: No space left on device");

  ASSERT_TRUE(CompressImage(dir.Path("BIOS.BAK"), dir.Path("BIOS.QZW"), &error, &kept));
  EXPECT_EQ(kept, CompressBytes(img));
  EXPECT_EQ(dir.Read("BIOS.QZW"), std::string(kept.begin(), kept.end()));
}

TEST(CompressorFaults, InputsThatAreNoImageFileAreRefused) {
  test::TempDir dir;
  std::string error;
  ASSERT_EQ(::mkdir(dir.Path("folder").c_str(), 0755), 0);
  EXPECT_FALSE(CompressImage(dir.Path("folder"), dir.Path("out.qzw"), &error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  EXPECT_FALSE(CompressImage("/dev/zero", dir.Path("out.qzw"), &error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  // A pipe nobody writes to is refused at once, not waited on.
  ASSERT_EQ(::mkfifo(dir.Path("pipe").c_str(), 0600), 0);
  Bytes bytes;
  EXPECT_FALSE(ReadInputFile(dir.Path("pipe"), kMaxImageBytes, bytes, &error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  // Above the bound, by its size alone (the file is sparse).
  {
    std::FILE* f = std::fopen(dir.Path("huge.rom").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(::ftruncate(fileno(f), static_cast<off_t>(kMaxImageBytes + 1)), 0);
    std::fclose(f);
  }
  EXPECT_FALSE(CompressImage(dir.Path("huge.rom"), dir.Path("out.qzw"), &error));
  EXPECT_NE(error.find("larger than"), std::string::npos) << error;
  EXPECT_FALSE(dir.Exists("out.qzw"));
}

// Item boundaries of a stream, told apart by walking it: where a cut leaves
// a promised item short, and where it ends the stream cleanly.
enum class Cut { Clean, InsideItem };
std::vector<Cut> CutKinds(const Bytes& stream, size_t from) {
  std::vector<Cut> kinds(stream.size() + 1, Cut::InsideItem);
  kinds[from] = Cut::Clean;
  size_t at = from;
  while (at < stream.size()) {
    uint8_t flags = stream[at++];
    for (int bit = 0; bit < 8 && at < stream.size(); ++bit) {
      at += flags & (1u << bit) ? 1 : 2;
      // Ending here is clean only when the flag byte promises no literal after.
      bool rest = bit == 7 || (flags >> (bit + 1)) == 0;
      if (at <= stream.size()) kinds[at] = rest ? Cut::Clean : Cut::InsideItem;
    }
  }
  return kinds;
}

TEST(CompressorFaults, EveryStreamCutInsideAnItemIsRefused) {
  Bytes img = BiosLike(6000, 11);
  Bytes full = CompressBytes(img);
  const size_t header = ParseImageHeader(full.data(), full.size()).headerSize;
  ASSERT_EQ(header, kCompressedMarkerSize);
  std::vector<Cut> kinds = CutKinds(full, header);
  int refused = 0, clean = 0;
  for (size_t n = header; n < full.size(); ++n) {
    Bytes cut(full.begin(), full.begin() + static_cast<long>(n));
    Bytes back;
    std::string error;
    bool ok = DecompressBytes(cut, back, error);
    if (kinds[n] == Cut::InsideItem) {
      EXPECT_FALSE(ok) << "cut at " << n;
      ++refused;
    } else if (ok) {
      // A cut at an item boundary can't be told from a shorter image: it is
      // at least a true beginning of the image.
      ASSERT_LE(back.size(), img.size());
      EXPECT_TRUE(std::equal(back.begin(), back.end(), img.begin())) << "cut at " << n;
      ++clean;
    }
  }
  EXPECT_GT(refused, clean) << "most cuts fall inside an item";
  EXPECT_GT(clean, 0);
}

TEST(CompressorFaults, DecodingStopsAtTheImageBound) {
  // 18 spaces per two stream bytes: a short stream that decodes far past 1000 bytes.
  Bytes stream(kCompressedMarker, kCompressedMarker + kCompressedMarkerSize);
  for (int g = 0; g < 20; ++g) {
    stream.push_back(0x00);
    for (int i = 0; i < 8; ++i) stream.insert(stream.end(), {0xDC, 0xFF});
  }
  Bytes back;
  std::string error;
  EXPECT_FALSE(DecompressBytes(stream, back, error, 1000));
  EXPECT_NE(error.find("more than 1000"), std::string::npos) << error;
  EXPECT_LE(back.size(), 1000u);
  EXPECT_TRUE(DecompressBytes(stream, back, error));
  EXPECT_EQ(back.size(), 20u * 8 * 18);
}

TEST(CompressorFaults, VerifyCatchesTwoHundredDamagedStreams) {
  Bytes img = BiosLike(16 * 1024, 5);
  Bytes good = CompressBytes(img);
  std::string error;
  ASSERT_TRUE(VerifyCompressed(img, good, error)) << error;
  std::mt19937 rng(2026);
  for (int n = 0; n < 200; ++n) {
    Bytes bad = good;
    size_t at = rng() % bad.size();
    switch (n % 5) {
      case 0: bad[at] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;  // one bit
      case 1: bad[at] = static_cast<uint8_t>(bad[at] + 1 + rng() % 255); break;  // one byte
      case 2: bad.resize(at); break;  // cut anywhere
      case 3: bad.erase(bad.begin() + static_cast<long>(at)); break;
      default: bad.push_back(static_cast<uint8_t>(rng())); break;  // junk after the end
    }
    EXPECT_FALSE(VerifyCompressed(img, bad, error)) << "damage " << n;
    EXPECT_FALSE(error.empty());
  }
  // Another image's stream, and the image's stream against another image.
  Bytes other = BiosLike(16 * 1024, 6);
  EXPECT_FALSE(VerifyCompressed(img, CompressBytes(other), error));
  EXPECT_FALSE(VerifyCompressed(other, good, error));
}

TEST(ScratchFilesFaults, FullFolderKeepsTheUsersFileAndSaysWhy) {
  test::TempDir dir;
  dir.Write("vgabios.exe", "USER-VGA");
  dir.Write("project.vga", std::string(300000, 'P'));
  ScratchFiles scratch;
  {
    test::FileSizeLimit full(1000);
    EXPECT_FALSE(scratch.Bring(dir.Path("project.vga"), dir.Path("vgabios.exe")));
  }
  EXPECT_NE(scratch.Error().find("vgabios.exe: File too large"), std::string::npos) << scratch.Error();
  EXPECT_TRUE(scratch.Restore());
  EXPECT_EQ(dir.Read("vgabios.exe"), "USER-VGA");
  EXPECT_EQ(Listing(dir), (std::vector<std::string>{"project.vga", "vgabios.exe"}));
  // A missing source is no failure of the folder.
  ScratchFiles quiet;
  EXPECT_FALSE(quiet.Bring(dir.Path("none.bin"), dir.Path("x.bin")));
  EXPECT_EQ(quiet.Error(), "");
}

}  // namespace
}  // namespace crisis
