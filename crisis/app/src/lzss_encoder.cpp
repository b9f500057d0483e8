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

}  // namespace

void LzssEncoder::InsertNode(int r) {
  static_assert(F == 18, "the word compare covers bytes 1..17");
  const uint8_t* key = &ring_[r];
  // The key's bytes 1..17, held for the whole descent.
  const uint64_t key1 = BigEndian64(key + 1);
  const uint32_t keyHead = static_cast<uint32_t>(key1 >> 32);
  int p = N + 1 + key[0];
  node_[r].head = keyHead;
  Left(r) = Right(r) = NIL;
  // Best match so far, kept in registers and chosen without branches: which
  // way it goes is as good as random on code and compressed data.
  int bestPos = matchPosition_;
  int bestLen = 0;
  int right = 1;  // the first step goes right (cmp starts at 1)
  // A node is read whole (head and both links in one load), so the next
  // step's address waits for one memory access only.
  uint64_t bits = LoadNode(p);
  for (;;) {
    const int next = static_cast<int>((bits >> (32 + 16 * right)) & 0xFFFF);
    if (next == NIL) {
      node_[p].child[right] = static_cast<uint16_t>(r);
      parent_[r] = static_cast<uint16_t>(p);
      matchPosition_ = bestPos;
      matchLength_ = bestLen;
      return;
    }
    p = next;
    bits = LoadNode(p);
    // i: number of equal leading bytes (the first always is); right: key >= candidate.
    const uint32_t head = static_cast<uint32_t>(bits);
    int i;
    if (keyHead != head) {
      right = keyHead > head;
      i = 1 + __builtin_clz(keyHead ^ head) / 8;
    } else {
      const uint8_t* cand = &ring_[p];
      const uint64_t c1 = BigEndian64(cand + 1);
      const uint64_t key9 = BigEndian64(key + 9);
      const uint64_t c9 = BigEndian64(cand + 9);
      if (key1 != c1) {
        right = key1 > c1;
        i = 1 + __builtin_clzll(key1 ^ c1) / 8;
      } else if (key9 != c9) {
        right = key9 > c9;
        i = 9 + __builtin_clzll(key9 ^ c9) / 8;
      } else if (key[17] != cand[17]) {
        right = key[17] > cand[17];
        i = 17;
      } else {
        right = 1;
        i = F;
      }
    }
    // Strictly longer only: the first candidate on the path wins a tie.
    const bool longer = i > bestLen;
    bestPos = longer ? p : bestPos;
    bestLen = longer ? i : bestLen;
    if (i >= F) break;
  }
  matchPosition_ = bestPos;
  matchLength_ = bestLen;
  // A full match: r takes p's place, so equal strings never pile up.
  parent_[r] = parent_[p];
  Left(r) = Left(p);
  Right(r) = Right(p);
  parent_[Left(p)] = r;
  parent_[Right(p)] = r;
  ChildLink(parent_[p], p) = r;
  parent_[p] = NIL;
}

void LzssEncoder::DeleteNode(int p) {
  if (parent_[p] == NIL) return;
  int q;
  if (Right(p) == NIL) {
    q = Left(p);
  } else if (Left(p) == NIL) {
    q = Right(p);
  } else {
    q = Left(p);
    if (Right(q) != NIL) {
      do {
        q = Right(q);
      } while (Right(q) != NIL);
      Right(parent_[q]) = Left(q);
      parent_[Left(q)] = parent_[q];
      Left(q) = Left(p);
      parent_[Left(p)] = q;
    }
    Right(q) = Right(p);
    parent_[Right(p)] = q;
  }
  parent_[q] = parent_[p];
  ChildLink(parent_[p], p) = q;
  parent_[p] = NIL;
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
  for (int i = N + 1; i <= N + 256; ++i) Right(i) = NIL;
  for (int i = 0; i < N; ++i) parent_[i] = NIL;
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
