#include "firmware/sha256.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace brim {

namespace {
constexpr uint32_t kRounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void PortableBlock(uint32_t* h_, const uint8_t* p) {
  uint32_t w[64];
  for (int i = 0; i < 16; ++i)
    w[i] = uint32_t(p[i * 4]) << 24 | uint32_t(p[i * 4 + 1]) << 16 | uint32_t(p[i * 4 + 2]) << 8 | p[i * 4 + 3];
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6], h = h_[7];
  for (int i = 0; i < 64; ++i) {
    const uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRounds[i] + w[i];
    const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  h_[0] += a, h_[1] += b, h_[2] += c, h_[3] += d, h_[4] += e, h_[5] += f, h_[6] += g, h_[7] += h;
}

#if defined(__x86_64__) || defined(__i386__)
bool CpuHasShaInstructions() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool ssse3 = c & (1u << 9), sse41 = c & (1u << 19);
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return ssse3 && sse41 && (b & (1u << 29));
}

// The state is kept as ABEF and CDGH halves, the order the instructions use.
__attribute__((target("sha,ssse3,sse4.1"))) void ShaInstructionBlocks(uint32_t* h, const uint8_t* data,
                                                                     size_t count) {
  const __m128i swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h));
  __m128i state1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + 4));
  t = _mm_shuffle_epi32(t, 0xB1);
  state1 = _mm_shuffle_epi32(state1, 0x1B);
  __m128i state0 = _mm_alignr_epi8(t, state1, 8);
  state1 = _mm_blend_epi16(state1, t, 0xF0);
  for (; count > 0; --count, data += 64) {
    const __m128i abef = state0, cdgh = state1;
    __m128i w[4];
#pragma GCC unroll 16
    for (int g = 0; g < 16; ++g) {
      __m128i& m = w[g % 4];
      if (g < 4) m = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)), swap);
      __m128i k = _mm_add_epi32(m, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRounds + 4 * g)));
      state1 = _mm_sha256rnds2_epu32(state1, state0, k);
      if (g >= 3 && g <= 14) {
        __m128i& next = w[(g + 1) % 4];
        next = _mm_add_epi32(next, _mm_alignr_epi8(m, w[(g + 3) % 4], 4));
        next = _mm_sha256msg2_epu32(next, m);
      }
      k = _mm_shuffle_epi32(k, 0x0E);
      state0 = _mm_sha256rnds2_epu32(state0, state1, k);
      if (g >= 1 && g <= 12) w[(g + 3) % 4] = _mm_sha256msg1_epu32(w[(g + 3) % 4], m);
    }
    state0 = _mm_add_epi32(state0, abef);
    state1 = _mm_add_epi32(state1, cdgh);
  }
  t = _mm_shuffle_epi32(state0, 0x1B);
  state1 = _mm_shuffle_epi32(state1, 0xB1);
  state0 = _mm_blend_epi16(t, state1, 0xF0);
  state1 = _mm_alignr_epi8(state1, t, 8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h), state0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h + 4), state1);
}
#else
bool CpuHasShaInstructions() { return false; }
void ShaInstructionBlocks(uint32_t*, const uint8_t*, size_t) {}
#endif

bool ShaInstructionsPresent() {
  static const bool present = CpuHasShaInstructions();
  return present;
}
}  // namespace

bool Sha256EngineAvailable(Sha256Engine engine) {
  return engine != Sha256Engine::kShaInstructions || ShaInstructionsPresent();
}

Sha256::Sha256(Sha256Engine engine)
    : shaInstructions_(engine != Sha256Engine::kPortable && ShaInstructionsPresent()),
      h_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::Blocks(const uint8_t* blocks, size_t count) {
  if (shaInstructions_) {
    ShaInstructionBlocks(h_, blocks, count);
    return;
  }
  for (size_t i = 0; i < count; ++i) PortableBlock(h_, blocks + 64 * i);
}

void Sha256::Add(const uint8_t* data, size_t length) {
  totalLength_ += length;
  while (length > 0) {
    if (pendingLength_ == 0 && length >= 64) {
      const size_t count = length / 64;
      Blocks(data, count);
      data += 64 * count;
      length -= 64 * count;
      continue;
    }
    const size_t n = std::min(length, 64 - pendingLength_);
    std::memcpy(pending_ + pendingLength_, data, n);
    pendingLength_ += n;
    data += n;
    length -= n;
    if (pendingLength_ == 64) {
      Blocks(pending_, 1);
      pendingLength_ = 0;
    }
  }
}

std::string Sha256::HexDigest() {
  const uint64_t bits = totalLength_ * 8;
  const uint8_t one = 0x80, zero = 0;
  Add(&one, 1);
  while (pendingLength_ != 56) Add(&zero, 1);
  uint8_t length[8];
  for (int i = 0; i < 8; ++i) length[i] = uint8_t(bits >> (56 - 8 * i));
  Add(length, 8);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (uint32_t v : h_)
    for (int shift = 28; shift >= 0; shift -= 4) out += kHex[(v >> shift) & 0xF];
  return out;
}

std::string Sha256Hex(const uint8_t* data, size_t length) {
  Sha256 hash;
  hash.Add(data, length);
  return hash.HexDigest();
}

bool Sha256OfFile(const std::string& path, std::string* hex, uint64_t* size, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  Sha256 hash;
  std::vector<uint8_t> buffer(1 << 20);
  uint64_t total = 0;
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = path + ": " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    hash.Add(buffer.data(), static_cast<size_t>(n));
    total += static_cast<uint64_t>(n);
  }
  ::close(fd);
  *hex = hash.HexDigest();
  *size = total;
  return true;
}

}  // namespace brim
