// The coder's fast paths (word compares, the run shortcut, two or four
// descents at once) against the plain coder. Every stream must be the same,
// byte for byte.
#include "crisis_app/lzss_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "crisis_app/byte_stream.h"
#include "crisis_app/lzss_decoder.h"
#include "lzss_plain_coder.h"

namespace crisis {
namespace {

using Bytes = std::vector<uint8_t>;

struct Coders {
  std::unique_ptr<PlainCoder> plain = std::make_unique<PlainCoder>();
  std::unique_ptr<LzssEncoder> fast = std::make_unique<LzssEncoder>();

  Bytes Fast(const Bytes& in, bool runShortcut, bool pairedSteps = true) {
    fast->SetRunShortcut(runShortcut);
    fast->SetPairedSteps(pairedSteps);
    Bytes out;
    MemorySource src(in);
    MemorySink dst(out);
    fast->Encode(src, dst);
    return out;
  }

  // Every setting of the fast coder against the plain one; the stream must
  // also decode to the input.
  void ExpectSame(const Bytes& in, const char* what, size_t n) {
    const Bytes expected = plain->Encode(in);
    ASSERT_EQ(Fast(in, true), expected) << what << " " << n << ", " << in.size() << " bytes";
    ASSERT_EQ(Fast(in, false), expected) << what << " " << n << " (no run shortcut)";
    ASSERT_EQ(Fast(in, true, false), expected) << what << " " << n << " (single steps)";
    ASSERT_EQ(Fast(in, false, false), expected) << what << " " << n << " (single steps, no run shortcut)";
    Bytes back;
    ASSERT_TRUE(DecodeLzss(expected.data(), expected.size(), back));
    ASSERT_EQ(back, in) << what << " " << n;
  }
};

// Runs of one byte (long and short, including the 0x20 of the initial fill),
// stretches over a few symbols, copies of earlier data and random bytes.
Bytes RunHeavy(std::mt19937& rng, size_t size) {
  Bytes img;
  static const uint8_t runBytes[] = {0xFF, 0x00, 0x20, 0xFF, 0x00, 0x41};
  while (img.size() < size) {
    const unsigned kind = rng() % 6;
    const size_t n = kind == 0 ? 1 + rng() % 9000 : 1 + rng() % 70;
    switch (kind) {
      case 0:
      case 1: img.insert(img.end(), n, runBytes[rng() % sizeof runBytes]); break;
      case 2:
        for (size_t i = 0; i < n; ++i) img.push_back(static_cast<uint8_t>(rng() % 3));
        break;
      case 3:
        if (img.size() > 40) {
          const size_t from = img.size() - 1 - rng() % std::min<size_t>(img.size() - 1, 5000);
          for (size_t i = 0; i < n; ++i) img.push_back(img[from + i % (img.size() - from)]);
        }
        break;
      case 4:  // a run broken by one byte, which the run's string tree must notice
        img.insert(img.end(), 17 + rng() % 3, 0xFF);
        img.push_back(static_cast<uint8_t>(rng()));
        break;
      default:
        for (size_t i = 0; i < n; ++i) img.push_back(static_cast<uint8_t>(rng()));
    }
  }
  img.resize(size);
  return img;
}

// Every kind of input at sizes around the look-ahead, the ring and the read
// buffer (64 KiB): runs (a run's node moves once per match, as far as the run
// and the buffer reach), runs cut short near the match length, random bytes
// (all literals, the steps taken four at a time), random bytes with copies
// (a batch of steps meets whole-string matches, near and as far back as the
// strings the batch removes), few symbols (literals whose strings often
// share their second byte, so batches pause), the two in turn, periodic
// bytes (many candidates as long as the best, so the tree's tie rule
// decides) and words.
TEST(LzssSpeedPaths, EveryKindOfInputAtEdgeSizes) {
  Coders c;
  std::mt19937 rng(61);
  Bytes pattern(4095);
  for (auto& x : pattern) x = static_cast<uint8_t>(rng() % 4);
  static const char* const words[] = {"the ", "rom ", "image ", "is ", "read ", "back\n", "then ", "written "};
  const struct {
    const char* name;
    std::function<uint8_t(size_t)> byte;
  } kinds[] = {
      {"run of 0x00", [](size_t) { return uint8_t{0x00}; }},
      {"run of the fill byte", [](size_t) { return kLzssFill; }},
      {"run of 0xFF", [](size_t) { return uint8_t{0xFF}; }},
      {"random", [&](size_t) { return static_cast<uint8_t>(rng()); }},
      {"random with copies", [&, seen = Bytes()](size_t i) mutable {
         if (i == 0) seen.clear();
         seen.push_back(i >= 2000 && i % 97 < 30 ? seen[i - 1999] : static_cast<uint8_t>(rng()));
         return seen.back();
       }},
      {"random, stretches repeated from the ring's far end", [&, seen = Bytes()](size_t i) mutable {
         // The oldest strings, removed during a batch, match the new ones.
         if (i == 0) seen.clear();
         const size_t stretch = i / 300, back = 4076 + stretch / 2 % 3;
         seen.push_back(stretch % 2 && i >= back ? seen[i - back] : static_cast<uint8_t>(rng()));
         return seen.back();
       }},
      {"40 symbols", [&](size_t) { return static_cast<uint8_t>(rng() % 40 * 5); }},
      {"random and 40 symbols in turn",
       [&](size_t i) { return static_cast<uint8_t>(i / 5000 % 2 ? rng() % 40 : rng()); }},
      {"0xFF then 0x00", [&](size_t i) { return uint8_t(i < 30000 ? 0xFF : 0x00); }},
      {"runs of 18 cut by a byte", [&](size_t i) { return uint8_t(i % 19 == 18 ? rng() : 0xFF); }},
      {"runs of 40 cut by a byte", [&](size_t i) { return uint8_t(i % 41 == 40 ? 0x00 : 0xFF); }},
      {"period 3", [&](size_t i) { return pattern[i % 3]; }},
      {"period 19", [&](size_t i) { return pattern[i % 19]; }},
      {"period 4095", [&](size_t i) { return pattern[i % 4095]; }},
      {"words", [&, w = std::string()](size_t) mutable {
         if (w.empty()) w = words[rng() % 8];
         const uint8_t b = static_cast<uint8_t>(w[0]);
         w.erase(0, 1);
         return b;
       }},
  };
  const size_t sizes[] = {1,    2,    3,    17,   18,   19,    35,    36,    37,    4077,  4078,
                          4079, 4095, 4096, 4097, 4114, 12000, 65535, 65536, 65537, 140000};
  for (const auto& kind : kinds) {
    for (size_t size : sizes) {
      Bytes img(size);
      for (size_t i = 0; i < size; ++i) img[i] = kind.byte(i);
      c.ExpectSame(img, kind.name, size);
    }
  }
}

TEST(LzssSpeedPaths, RunHeavyInputs) {
  Coders c;
  std::mt19937 rng(1234);
  for (size_t n = 0; n < 300; ++n) {
    const size_t size = n % 10 == 0 ? rng() % 60000 : rng() % 9000;
    c.ExpectSame(RunHeavy(rng, size), "run-heavy input", n);
  }
}

TEST(LzssSpeedPaths, RandomisedInputsOverSmallAlphabets) {
  // Few symbols make deep trees, many equal words and full 18-byte matches.
  Coders c;
  std::mt19937 rng(99);
  for (size_t n = 0; n < 300; ++n) {
    const unsigned symbols = 1 + rng() % (n % 3 == 0 ? 256 : 5);
    Bytes img(rng() % 20000);
    for (auto& x : img) x = static_cast<uint8_t>(rng() % symbols * 0x3B);
    c.ExpectSame(img, "small alphabet", n);
  }
}

// A source that hands out a few bytes per read, as a pipe might.
class TrickleSource : public ByteSource {
 public:
  explicit TrickleSource(const Bytes& data) : data_(data) {}
  bool Seek(uint64_t) override { return false; }
  size_t Read(uint8_t* buf, size_t n) override {
    size_t take = std::min({n, data_.size() - pos_, size_t{1} + pos_ % 7});
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(pos_), take, buf);
    pos_ += take;
    return take;
  }

 private:
  const Bytes& data_;
  size_t pos_ = 0;
};

TEST(LzssSpeedPaths, ShortReadsGiveTheSameStream) {
  Coders c;
  std::mt19937 rng(77);
  for (size_t n = 0; n < 20; ++n) {
    const Bytes img = RunHeavy(rng, rng() % 20000);
    Bytes out;
    TrickleSource src(img);
    MemorySink dst(out);
    c.fast->Encode(src, dst);
    ASSERT_EQ(out, c.plain->Encode(img)) << "input " << n;
  }
}

TEST(LzssSpeedPaths, CoderIsReusable) {
  // Runs leave state behind (the run nodes): a second image must not see it.
  Coders c;
  std::mt19937 rng(5);
  const Bytes first = RunHeavy(rng, 30000), second = RunHeavy(rng, 30000);
  const Bytes expected = c.plain->Encode(second);
  c.Fast(first, true);
  EXPECT_EQ(c.Fast(second, true), expected);
}

}  // namespace
}  // namespace crisis
