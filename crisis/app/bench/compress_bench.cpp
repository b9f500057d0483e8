// CompressImage throughput on BIOS-like and random inputs, in MB/s.
// Usage: compress_bench [REPEATS]
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "crisis_app/compressor.h"
#include "platform/file_system.h"

namespace {

using Bytes = std::vector<uint8_t>;

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

Bytes Random(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes img(size);
  for (auto& b : img) b = static_cast<uint8_t>(rng());
  return img;
}

// Hash of the compressed file, so a faster coder can be checked against the
// figures of an older one on the benchmark's own inputs.
uint64_t Fnv1a(const std::string& path) {
  std::vector<uint8_t> data;
  uint64_t h = 1469598103934665603ull;
  if (!plat::ReadWholeFile(path, data)) return 0;
  for (uint8_t c : data) h = (h ^ c) * 1099511628211ull;
  return h;
}

void Run(const char* name, const Bytes& img, int repeats, const std::string& dir) {
  const std::string in = dir + "/in.bin", out = dir + "/out.qzw";
  plat::WriteWholeFile(in, img.data(), img.size());
  double best = 1e30;
  for (int i = 0; i < repeats; ++i) {
    // CPU time of this process: the machine is shared, wall time is not ours alone.
    std::clock_t t0 = std::clock();
    if (!crisis::CompressImage(in, out)) {
      std::fprintf(stderr, "compression failed\n");
      std::exit(1);
    }
    double s = static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC;
    if (s < best) best = s;
  }
  int64_t outSize = plat::FileSize(out);
  std::printf("%-22s %9zu bytes -> %9lld bytes  %8.1f MB/s CPU time (best of %d)  fnv1a %016llx\n", name,
              img.size(), static_cast<long long>(outSize), img.size() / best / 1e6, repeats,
              static_cast<unsigned long long>(Fnv1a(out)));
}

}  // namespace

int main(int argc, char** argv) {
  int repeats = argc > 1 ? std::atoi(argv[1]) : 3;
  if (repeats < 1) repeats = 1;
  char tmpl[] = "/tmp/compress-bench-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const std::string dir = tmpl;
  Run("BIOS-like 1 MiB", BiosLike(1 << 20, 1), repeats, dir);
  Run("BIOS-like 16 MiB", BiosLike(16 << 20, 2), repeats, dir);
  Run("random 16 MiB", Random(16 << 20, 3), repeats, dir);
  if (argc > 2) {  // the parts of the BIOS-like mix alone
    Run("0xFF 16 MiB", Bytes(16 << 20, 0xFF), repeats, dir);
    Bytes code = BiosLike(64 << 20, 5), onlyCode;
    for (uint8_t b : code) if (b != 0xFF && b != 0x00) onlyCode.push_back(b);
    onlyCode.resize(std::min<size_t>(onlyCode.size(), 16 << 20));
    Run("mixed without runs", onlyCode, repeats, dir);
  }
  plat::DeleteFile(dir + "/in.bin");
  plat::DeleteFile(dir + "/out.qzw");
  rmdir(tmpl);
  return 0;
}
