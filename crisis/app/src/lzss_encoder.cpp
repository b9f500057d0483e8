#include "crisis_app/lzss_encoder.h"

#include <cstring>

namespace crisis {

void LzssEncoder::InsertNode(int r) {
  const uint8_t* key = &ring_[r];
  int cmp = 1;
  int p = N + 1 + key[0];
  right_[r] = left_[r] = NIL;
  matchLength_ = 0;
  for (;;) {
    if (cmp >= 0) {
      if (right_[p] != NIL) {
        p = right_[p];
      } else {
        right_[p] = r;
        parent_[r] = p;
        return;
      }
    } else {
      if (left_[p] != NIL) {
        p = left_[p];
      } else {
        left_[p] = r;
        parent_[r] = p;
        return;
      }
    }
    const uint8_t* cand = &ring_[p];
    int i = 1;
    cmp = 0;
    for (; i < F; ++i) {
      cmp = static_cast<int>(key[i]) - static_cast<int>(cand[i]);
      if (cmp != 0) break;
    }
    // Strictly longer only: the first candidate on the path wins a tie.
    if (i > matchLength_) {
      matchPosition_ = p;
      matchLength_ = i;
      if (i >= F) break;
    }
  }
  // A full match: r takes p's place, so equal strings never pile up.
  parent_[r] = parent_[p];
  left_[r] = left_[p];
  right_[r] = right_[p];
  parent_[left_[p]] = r;
  parent_[right_[p]] = r;
  if (right_[parent_[p]] == p)
    right_[parent_[p]] = r;
  else
    left_[parent_[p]] = r;
  parent_[p] = NIL;
}

void LzssEncoder::DeleteNode(int p) {
  if (parent_[p] == NIL) return;
  int q;
  if (right_[p] == NIL) {
    q = left_[p];
  } else if (left_[p] == NIL) {
    q = right_[p];
  } else {
    q = left_[p];
    if (right_[q] != NIL) {
      do {
        q = right_[q];
      } while (right_[q] != NIL);
      right_[parent_[q]] = left_[q];
      parent_[left_[q]] = parent_[q];
      left_[q] = left_[p];
      parent_[left_[p]] = q;
    }
    right_[q] = right_[p];
    parent_[right_[p]] = q;
  }
  parent_[q] = parent_[p];
  if (right_[parent_[p]] == p)
    right_[parent_[p]] = q;
  else
    left_[parent_[p]] = q;
  parent_[p] = NIL;
}

bool LzssEncoder::NextByte(ByteSource& in, uint8_t& c) {
  if (inPos_ == inLen_) {
    inLen_ = in.Read(inBuf_, sizeof inBuf_);
    inPos_ = 0;
    if (inLen_ == 0) return false;
  }
  c = inBuf_[inPos_++];
  return true;
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
  for (int i = N + 1; i <= N + 256; ++i) right_[i] = NIL;
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
