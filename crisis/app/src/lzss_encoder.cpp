#include "crisis_app/lzss_encoder.h"

#include <cstddef>
#include <cstring>

namespace crisis {

namespace {

// Bytes p[0..7] as a big-endian number: comparing two such numbers orders
// the strings by their first differing byte, as a byte-wise compare would.
inline uint64_t BigEndian64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the swap makes the first byte highest");
  return __builtin_bswap64(v);
}

// The right child (high half of `kids`) when k > c, else the left one
// (low half). Which one is as good as random, so it is chosen with a
// conditional move straight off the compare: a mispredicted branch on every
// step of a descent costs more than the step itself.
inline uint32_t ChildOf(uint32_t kids, uint64_t k, uint64_t c) {
  uint32_t child = kids & 0xFFFF;
#if defined(__x86_64__)
  const uint32_t high = kids >> 16;
  asm("cmpq %[c], %[k]\n\tcmova %[high], %[child]"
      : [child] "+r"(child)
      : [high] "r"(high), [k] "r"(k), [c] "r"(c)
      : "cc");
#else
  if (k > c) child = kids >> 16;
#endif
  return child;
}

}  // namespace

void LzssEncoder::InsertNode(int r) {
  static_assert(F == 18, "the word compares cover bytes 1..17");
  const uint8_t* key = &ring_[r];
  // The key's bytes 1..16 as two words, held for the whole descent.
  const uint64_t key1 = BigEndian64(key + 1);
  const uint64_t key9 = BigEndian64(key + 9);
  const uint64_t run = key[0] * 0x0101010101010101ull;
  const bool isRun = key1 == run && key9 == run && key[17] == key[0];
  links_[2 * r] = links_[2 * r + 1] = NIL;
  if (isRun && runShortcut_ && runNode_[key[0]] != NIL) {
    matchPosition_ = runNode_[key[0]];
    matchLength_ = F;
    Replace(matchPosition_, r);
    runNode_[key[0]] = static_cast<uint16_t>(r);
    return;
  }
  // Best match so far, chosen without branches: which way it goes is as
  // good as random on code and compressed data.
  int bestPos = matchPosition_;
  int bestLen = 0;
  int slot = 2 * (N + 1 + key[0]) + 1;  // the root's right link: the first step goes right
  int p = links_[slot];
  while (p != NIL) {
    // The step's direction depends only on the compare; both children are
    // read beforehand so the next node is a select, not a second load.
    uint32_t kids;
    std::memcpy(&kids, &links_[2 * p], sizeof kids);
    const uint64_t c1 = BigEndian64(&ring_[p + 1]);
    // i: number of equal leading bytes (the first always is). The step goes
    // right when the key's word k is above the candidate's word c (or the
    // whole strings are equal, which ends the descent below).
    int i;
    uint64_t k = key1, c = c1;
    if (key1 != c1) {
      i = 1 + __builtin_clzll(key1 ^ c1) / 8;
    } else {
      const uint64_t c9 = BigEndian64(&ring_[p + 9]);
      if (key9 != c9) {
        k = key9;
        c = c9;
        i = 9 + __builtin_clzll(key9 ^ c9) / 8;
      } else if (key[17] != ring_[p + 17]) {
        k = key[17];
        c = ring_[p + 17];
        i = 17;
      } else {
        // A full match: r takes p's place, so equal strings never pile up.
        matchPosition_ = p;
        matchLength_ = F;
        Replace(p, r);
        if (isRun) runNode_[key[0]] = static_cast<uint16_t>(r);
        return;
      }
    }
    // Strictly longer only: the first candidate on the path wins a tie.
    const bool longer = i > bestLen;
    bestPos = longer ? p : bestPos;
    bestLen = longer ? i : bestLen;
    slot = 2 * p + (k > c);
    p = static_cast<int>(ChildOf(kids, k, c));
  }
  links_[slot] = static_cast<uint16_t>(r);
  slot_[r] = static_cast<uint16_t>(slot);
  if (isRun) runNode_[key[0]] = static_cast<uint16_t>(r);
  matchPosition_ = bestPos;
  matchLength_ = bestLen;
}

// r, whose string equals p's, takes p's place in its tree.
void LzssEncoder::Replace(int p, int r) {
  const int left = links_[2 * p];
  const int right = links_[2 * p + 1];
  links_[2 * r] = static_cast<uint16_t>(left);
  links_[2 * r + 1] = static_cast<uint16_t>(right);
  slot_[left] = static_cast<uint16_t>(2 * r);
  slot_[right] = static_cast<uint16_t>(2 * r + 1);
  const int at = slot_[p];
  slot_[r] = static_cast<uint16_t>(at);
  links_[at] = static_cast<uint16_t>(r);
  slot_[p] = kNoSlot;
}

void LzssEncoder::DeleteNode(int p) {
  const int at = slot_[p];
  if (at == kNoSlot) return;
  if (runNode_[ring_[p]] == p) runNode_[ring_[p]] = NIL;
  const int left = links_[2 * p];
  const int right = links_[2 * p + 1];
  int q;
  if (right == NIL) {
    q = left;
  } else if (left == NIL) {
    q = right;
  } else {
    // The rightmost node of the left subtree takes p's place.
    q = left;
    if (links_[2 * q + 1] != NIL) {
      do {
        q = links_[2 * q + 1];
      } while (links_[2 * q + 1] != NIL);
      const int qLeft = links_[2 * q];
      const int qAt = slot_[q];
      links_[qAt] = static_cast<uint16_t>(qLeft);
      slot_[qLeft] = static_cast<uint16_t>(qAt);
      links_[2 * q] = static_cast<uint16_t>(left);
      slot_[left] = static_cast<uint16_t>(2 * q);
    }
    links_[2 * q + 1] = static_cast<uint16_t>(right);
    slot_[right] = static_cast<uint16_t>(2 * q + 1);
  }
  slot_[q] = static_cast<uint16_t>(at);  // slot_[NIL] when p was a leaf: never read
  links_[at] = static_cast<uint16_t>(q);
  slot_[p] = kNoSlot;
}

bool LzssEncoder::Refill(ByteSource& in) {
  inLen_ = in.Read(inBuf_, sizeof inBuf_);
  inPos_ = 0;
  return inLen_ != 0;
}

void LzssEncoder::Emit(ByteSink& out, const uint8_t* p, int n) {
  if (outLen_ + static_cast<size_t>(n) > sizeof outBuf_) Flush(out);
  std::memcpy(outBuf_ + outLen_, p, static_cast<size_t>(n));
  outLen_ += static_cast<size_t>(n);
}

void LzssEncoder::Flush(ByteSink& out) {
  if (outLen_) out.Write(outBuf_, outLen_);
  outLen_ = 0;
}

void LzssEncoder::Encode(ByteSource& in, ByteSink& out) {
  inPos_ = inLen_ = outLen_ = 0;
  matchPosition_ = matchLength_ = 0;
  for (int i = N + 1; i <= N + 256; ++i) links_[2 * i + 1] = NIL;
  for (int i = 0; i <= N; ++i) slot_[i] = kNoSlot;
  for (uint16_t& node : runNode_) node = NIL;
  // Bytes past the input's end take part in comparisons near the end, so
  // they are given a fixed value (zero) to keep the output reproducible.
  std::memset(ring_, kLzssFill, kLzssStart);
  std::memset(ring_ + kLzssStart, 0, sizeof ring_ - kLzssStart);

  int s = 0;
  int r = kLzssStart;
  int len = 0;
  uint8_t c;
  while (len < F && NextByte(in, c)) ring_[r + len++] = c;
  if (len == 0) return;

  for (int i = 1; i <= F; ++i) InsertNode(r - i);
  InsertNode(r);

  uint8_t group[1 + 8 * 2];
  group[0] = 0;
  int groupLen = 1;
  uint8_t mask = 1;
  do {
    if (matchLength_ > len) matchLength_ = len;
    if (matchLength_ <= kLzssThreshold) {
      matchLength_ = 1;
      group[0] |= mask;
      group[groupLen++] = ring_[r];
    } else {
      group[groupLen++] = static_cast<uint8_t>(matchPosition_ & 0xFF);
      group[groupLen++] = static_cast<uint8_t>(((matchPosition_ >> 4) & 0xF0) |
                                               (matchLength_ - (kLzssThreshold + 1)));
    }
    mask = static_cast<uint8_t>(mask << 1);
    if (mask == 0) {
      Emit(out, group, groupLen);
      group[0] = 0;
      groupLen = 1;
      mask = 1;
    }
    const int k = matchLength_;
    int i = 0;
    for (; i < k && NextByte(in, c); ++i) {
      DeleteNode(s);
      ring_[s] = c;
      if (s < F - 1) ring_[s + N] = c;
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      InsertNode(r);
    }
    for (; i < k; ++i) {
      DeleteNode(s);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      if (--len) InsertNode(r);
    }
  } while (len > 0);
  if (groupLen > 1) Emit(out, group, groupLen);
  Flush(out);
}

}  // namespace crisis
