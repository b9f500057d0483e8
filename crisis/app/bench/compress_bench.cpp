// The LZSS coder against the plain 1989 coder the tests take as the truth,
// on BIOS-like data, text, random bytes and erased flash, 8 MiB each.
// Usage: compress_bench [REPEATS [FILE...]]   (FILEs are measured as well)
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "crisis_app/byte_stream.h"
#include "crisis_app/lzss_encoder.h"
#include "lzss_plain_coder.h"
#include "platform/file_system.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kSize = 8 << 20;

// Erased-flash runs of 0xFF, zero padding, code (stretches of an instruction
// pool repeated with small changes, as modules share routines and tables) and
// random stretches (already compressed modules): about 30/15/40/15 by bytes.
Bytes BiosLike(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes pool(64 * 1024);
  for (size_t i = 0; i < pool.size();) {  // instructions of 1 to 6 bytes from a small opcode set
    static const uint8_t ops[] = {0x55, 0x8B, 0x89, 0xE8, 0xC3, 0x74, 0x75, 0xEB, 0x50, 0x5D, 0x83, 0x0F};
    pool[i++] = ops[rng() % sizeof ops];
    for (size_t k = rng() % 6; k > 0 && i < pool.size(); --k) pool[i++] = static_cast<uint8_t>(rng() % 32);
  }
  Bytes img;
  img.reserve(size);
  while (img.size() < size) {
    size_t n = 512 + rng() % 16384;
    unsigned kind = rng() % 20;
    if (kind < 6) {
      img.insert(img.end(), n, 0xFF);
    } else if (kind < 9) {
      img.insert(img.end(), n, 0x00);
    } else if (kind < 17) {
      for (size_t done = 0; done < n;) {
        size_t from = rng() % pool.size(), len = 16 + rng() % 256;
        for (size_t k = 0; k < len && from + k < pool.size(); ++k, ++done)
          img.push_back(rng() % 64 == 0 ? static_cast<uint8_t>(rng()) : pool[from + k]);
      }
    } else {
      for (size_t i = 0; i < n; ++i) img.push_back(static_cast<uint8_t>(rng()));
    }
  }
  img.resize(size);
  return img;
}

// Prose-like text: 4,000 words of 1 to 4 syllables drawn with Zipf's law,
// sentences of 4 to 22 words with commas, lines broken at 72 columns and a
// blank line between paragraphs (help files and the release notes a disk
// carries look like this to the coder).
Bytes Text(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  static const char* const syllables[] = {"the", "an", "re", "in", "er", "on", "at", "en", "es", "or", "te",
                                          "ti", "is", "it", "al", "ar", "st", "to", "nt", "ng", "se", "ha",
                                          "ou", "of", "le", "sa", "ve", "co", "me", "de", "hi", "ri", "ro",
                                          "ic", "ne", "ea", "ra", "ce", "li", "ch", "ll", "be", "ma", "si",
                                          "om", "ur", "ca", "el", "ta", "la", "ns", "di", "fo", "ho", "pe"};
  std::vector<std::string> words(4000);
  for (auto& w : words) {
    for (size_t k = 1 + rng() % 4 - (rng() % 3 == 0); k > 0 || w.empty(); k = k ? k - 1 : 0)
      w += syllables[rng() % (sizeof syllables / sizeof *syllables)];
  }
  std::vector<double> weight(words.size());
  for (size_t i = 0; i < weight.size(); ++i) weight[i] = 1.0 / static_cast<double>(i + 1);
  std::discrete_distribution<size_t> pick(weight.begin(), weight.end());
  Bytes text;
  text.reserve(size + 200);
  size_t column = 0;
  auto put = [&](const std::string& s) {
    if (column + s.size() > 72) {
      text.push_back('\n');
      column = 0;
    } else if (column) {
      text.push_back(' ');
      ++column;
    }
    text.insert(text.end(), s.begin(), s.end());
    column += s.size();
  };
  while (text.size() < size) {
    for (unsigned sentence = 2 + rng() % 6; sentence > 0; --sentence) {
      const unsigned n = 4 + rng() % 19;
      for (unsigned i = 0; i < n; ++i) {
        std::string w = words[pick(rng)];
        if (i == 0) w[0] = static_cast<char>(w[0] - 'a' + 'A');
        if (i + 1 == n) w += '.';
        else if (rng() % 9 == 0) w += ',';
        put(w);
      }
    }
    text.insert(text.end(), {'\n', '\n'});
    column = 0;
  }
  text.resize(size);
  return text;
}

Bytes Random(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes img(size);
  for (auto& b : img) b = static_cast<uint8_t>(rng());
  return img;
}

uint64_t Fnv1a(const Bytes& data) {
  uint64_t h = 1469598103934665603ull;
  for (uint8_t c : data) h = (h ^ c) * 1099511628211ull;
  return h;
}

// CPU time of this process: the machine is shared, wall time is not ours alone.
template <typename F>
double Seconds(F&& run) {
  const std::clock_t t0 = std::clock();
  run();
  return static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The two coders in turn, REPEATS times each; the streams must agree.
bool Compare(const char* name, const Bytes& in, int repeats) {
  auto coder = std::make_unique<crisis::LzssEncoder>();
  auto plain = std::make_unique<crisis::PlainCoder>();
  Bytes fastOut, plainOut;
  std::vector<double> fast, reference;
  for (int i = 0; i < repeats; ++i) {
    reference.push_back(Seconds([&] { plainOut = plain->Encode(in); }));
    fast.push_back(Seconds([&] {
      fastOut.clear();
      crisis::MemorySource src(in);
      crisis::MemorySink dst(fastOut);
      coder->Encode(src, dst);
    }));
  }
  const double mb = static_cast<double>(in.size()) / 1e6;
  const double fastBest = *std::min_element(fast.begin(), fast.end());
  const double refBest = *std::min_element(reference.begin(), reference.end());
  std::printf("%-10s %9zu -> %9zu  coder %7.1f MB/s (median %7.1f)  reference %7.1f MB/s (median %7.1f)"
              "  ratio %.2f (median %.2f)  fnv1a %016llx%s\n",
              name, in.size(), fastOut.size(), mb / fastBest, mb / Median(fast), mb / refBest,
              mb / Median(reference), refBest / fastBest, Median(reference) / Median(fast),
              static_cast<unsigned long long>(Fnv1a(fastOut)), fastOut == plainOut ? "" : "  STREAMS DIFFER");
  std::fflush(stdout);
  return fastOut == plainOut;
}

}  // namespace

int main(int argc, char** argv) {
  int repeats = argc > 1 ? std::atoi(argv[1]) : 5;
  if (repeats < 1) repeats = 1;
  std::vector<Bytes> files(static_cast<size_t>(std::max(argc - 2, 0)));
  for (int i = 2; i < argc; ++i) {  // read first, so a bad name fails at once
    errno = 0;
    if (!plat::ReadWholeFile(argv[i], files[static_cast<size_t>(i - 2)])) {
      std::fprintf(stderr, "%s: cannot be read: %s\n", argv[i], errno ? std::strerror(errno) : "read error");
      return 1;
    }
  }
  bool same = Compare("BIOS-like", BiosLike(kSize, 2), repeats);
  same = Compare("text", Text(kSize, 4), repeats) && same;
  same = Compare("random", Random(kSize, 3), repeats) && same;
  same = Compare("0xFF", Bytes(kSize, 0xFF), repeats) && same;
  for (int i = 2; i < argc; ++i) same = Compare(argv[i], files[static_cast<size_t>(i - 2)], repeats) && same;
  return same ? 0 : 1;
}
