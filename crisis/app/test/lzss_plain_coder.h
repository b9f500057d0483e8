// The 1989 public-domain LZSS coder written the textbook way: byte compares,
// parent links, one step at a time. The tests take its streams as the truth
// and the benchmark measures the coder against it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "crisis_app/lzss_encoder.h"

namespace crisis {

class PlainCoder {
 public:
  std::vector<uint8_t> Encode(const std::vector<uint8_t>& in) {
    std::vector<uint8_t> out;
    size_t next = 0;
    for (int i = N + 1; i <= N + 256; ++i) right_[i] = N;
    for (int i = 0; i < N; ++i) parent_[i] = N;
    for (int i = 0; i < N + F - 1; ++i) ring_[i] = i < N - F ? kLzssFill : 0;
    int s = 0, r = N - F, len = 0;
    while (len < F && next < in.size()) ring_[r + len++] = in[next++];
    if (len == 0) return out;
    for (int i = 1; i <= F; ++i) Insert(r - i);
    Insert(r);
    std::vector<uint8_t> group{0};
    uint8_t mask = 1;
    do {
      if (matchLength_ > len) matchLength_ = len;
      if (matchLength_ <= kLzssThreshold) {
        matchLength_ = 1;
        group[0] |= mask;
        group.push_back(ring_[r]);
      } else {
        group.push_back(static_cast<uint8_t>(matchPosition_ & 0xFF));
        group.push_back(static_cast<uint8_t>(((matchPosition_ >> 4) & 0xF0) | (matchLength_ - 3)));
      }
      mask = static_cast<uint8_t>(mask << 1);
      if (mask == 0) {
        out.insert(out.end(), group.begin(), group.end());
        group.assign(1, 0);
        mask = 1;
      }
      const int k = matchLength_;
      for (int i = 0; i < k; ++i) {
        Delete(s);
        const bool more = next < in.size();
        if (more) {
          ring_[s] = in[next++];
          if (s < F - 1) ring_[s + N] = ring_[s];
        }
        s = (s + 1) % N;
        r = (r + 1) % N;
        if (more || --len) Insert(r);
      }
    } while (len > 0);
    if (group.size() > 1) out.insert(out.end(), group.begin(), group.end());
    return out;
  }

 private:
  static constexpr int N = kLzssRingSize;
  static constexpr int F = kLzssMaxMatch;

  void Insert(int r) {
    int cmp = 1, p = N + 1 + ring_[r];
    left_[r] = right_[r] = N;
    matchLength_ = 0;
    for (;;) {
      int& link = cmp >= 0 ? right_[p] : left_[p];
      if (link == N) {
        link = r;
        parent_[r] = p;
        return;
      }
      p = link;
      int i = 1;
      for (; i < F; ++i) {
        cmp = ring_[r + i] - ring_[p + i];
        if (cmp != 0) break;
      }
      if (i > matchLength_) {
        matchPosition_ = p;
        matchLength_ = i;
        if (i >= F) break;
      }
    }
    parent_[r] = parent_[p];
    left_[r] = left_[p];
    right_[r] = right_[p];
    parent_[left_[p]] = r;
    parent_[right_[p]] = r;
    LinkTo(p) = r;
    parent_[p] = N;
  }

  void Delete(int p) {
    if (parent_[p] == N) return;
    int q;
    if (right_[p] == N) {
      q = left_[p];
    } else if (left_[p] == N) {
      q = right_[p];
    } else {
      q = left_[p];
      if (right_[q] != N) {
        while (right_[q] != N) q = right_[q];
        right_[parent_[q]] = left_[q];
        parent_[left_[q]] = parent_[q];
        left_[q] = left_[p];
        parent_[left_[p]] = q;
      }
      right_[q] = right_[p];
      parent_[right_[p]] = q;
    }
    parent_[q] = parent_[p];
    LinkTo(p) = q;
    parent_[p] = N;
  }

  int& LinkTo(int p) { return right_[parent_[p]] == p ? right_[parent_[p]] : left_[parent_[p]]; }

  uint8_t ring_[N + F - 1];
  int left_[N + 257], right_[N + 257], parent_[N + 1];
  int matchPosition_ = 0, matchLength_ = 0;
};

}  // namespace crisis
