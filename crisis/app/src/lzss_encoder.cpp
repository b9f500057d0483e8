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

// cond ? yes : no, by a conditional move.
inline unsigned Pick(bool cond, unsigned yes, unsigned no) {
#if defined(__x86_64__)
  asm("testl %[c], %[c]\n\tcmovnz %[yes], %[no]"
      : [no] "+r"(no)
      : [yes] "r"(yes), [c] "r"(static_cast<int>(cond))
      : "cc");
  return no;
#else
  return cond ? yes : no;
#endif
}

// Lengths are kept as ranks, 8 less the length (lower is longer): a word
// compare's rank is then the byte index of the highest differing bit.
constexpr int Rank(int length) { return 8 - length; }
inline int WordRank(uint64_t x) { return (__builtin_clzll(x) ^ 63) >> 3; }

// bestRank, bestPos = rank, p when rank < bestRank (strictly: the first
// candidate on a descent's path wins a tie). Whether it holds is as good as
// random.
inline void KeepLonger(int rank, unsigned p, int& bestRank, unsigned& bestPos) {
#if defined(__x86_64__)
  asm("cmpl %[best], %[rank]\n\tcmovl %[rank], %[best]\n\tcmovl %[p], %[pos]"
      : [best] "+r"(bestRank), [pos] "+r"(bestPos)
      : [rank] "r"(rank), [p] "r"(p)
      : "cc");
#else
  if (rank < bestRank) {
    bestRank = rank;
    bestPos = p;
  }
#endif
}

// to = from when node p is a real node (not `none`), without a branch: a
// descent beside another runs on after its end, and its result must stay.
template <unsigned None>
inline void MoveIfNode(unsigned p, unsigned from, unsigned& to) {
#if defined(__x86_64__)
  asm("cmpl %[none], %[p]\n\tcmovne %[from], %[to]"
      : [to] "+r"(to)
      : [p] "r"(p), [from] "r"(from), [none] "i"(None)
      : "cc");
#else
  if (p != None) to = from;
#endif
}

}  // namespace

// The steps below are small and hot; a call each would cost as much again.
#define LZSS_INLINE inline __attribute__((always_inline))

// Steps taken at once on data that doesn't compress: four descents side by
// side (three, five and six were slower).
constexpr int kBatch = 4;
// Batch steps that met a string sharing the new one's second byte: random
// data has more than 12 in a group of items about once in 8,000 groups,
// code and tables every other group.
constexpr unsigned kSlowStepsPerGroup = 12;
constexpr int kPauseGroups = 16;
static_assert(kBatch <= 8, "a batch may end kBatch - 1 steps past the item being written");

template <bool kMayBeRun>
LZSS_INLINE void LzssEncoder::Begin(Search& q, unsigned r) {
  static_assert(F == 18, "the word compares cover bytes 1..17");
  const uint8_t* key = &ring_[r];
  q.r = r;
  q.key1 = BigEndian64(key + 1);
  const uint64_t run = key[0] * 0x0101010101010101ull;
  q.isRun = kMayBeRun && q.key1 == run && BigEndian64(key + 9) == run && key[17] == key[0];
  links_[2 * r] = links_[2 * r + 1] = NIL;
  q.bestPos = matchPosition_;
  q.bestRank = Rank(0);
  q.equal = NIL;
  q.last = N + 1 + key[0];  // the tree's root
  if (q.isRun && runShortcut_ && runNode_[key[0]] != NIL) {
    // The descent would end at the one node holding the same run.
    q.equal = q.bestPos = runNode_[key[0]];
    q.bestRank = Rank(F);
    q.p = NIL;
    return;
  }
  q.p = links_[2 * q.last + 1];  // the root's right link: the first step goes right
}

LZSS_INLINE bool LzssEncoder::CompareTail(Search& q, unsigned p, uint64_t& k, uint64_t& c, int& rank) {
  const uint64_t key9 = BigEndian64(&ring_[q.r + 9]);
  const uint64_t c9 = BigEndian64(&ring_[p + 9]);
  if (key9 != c9) {
    k = key9;
    c = c9;
    rank = Rank(9) + WordRank(key9 ^ c9) - Rank(1);
    return true;
  }
  if (ring_[q.r + 17] != ring_[p + 17]) {
    k = ring_[q.r + 17];
    c = ring_[p + 17];
    rank = Rank(17);
    return true;
  }
  // A full match ends the descent: r will take p's place, so equal strings
  // never pile up.
  q.equal = q.bestPos = p;
  q.bestRank = Rank(F);
  return false;
}

LZSS_INLINE void LzssEncoder::Step(Search& q) {
  const unsigned p = q.p;
  // Both children are read beforehand so the next node is a select, not a
  // second load after the compare.
  uint32_t kids;
  std::memcpy(&kids, &links_[2 * p], sizeof kids);
  const uint64_t c1 = BigEndian64(&ring_[p + 1]);
  // The rank of the number of equal leading bytes (the first always is).
  // The step goes right when the key's word k is above the candidate's word c.
  int rank;
  uint64_t k = q.key1, c = c1;
  if (__builtin_expect(q.key1 != c1, 1)) {
    rank = WordRank(q.key1 ^ c1);
  } else if (!CompareTail(q, p, k, c, rank)) {
    q.p = NIL;
    return;
  }
  KeepLonger(rank, p, q.bestRank, q.bestPos);
  // The side is found again at the end, once, rather than kept at each step.
  q.last = p;
  q.p = ChildOf(kids, k, c);
}

LZSS_INLINE unsigned LzssEncoder::LaneStep(Search& q, unsigned& at) {
  // 64 bits wide, so p + 1 and 2 * p fold into the addresses.
  const size_t p = at;
  uint32_t kids;
  std::memcpy(&kids, &links_[2 * p], sizeof kids);
  const uint64_t c1 = BigEndian64(&ring_[p + 1]);
  uint64_t k = q.key1, c = c1;
  // A batch's descent starts with its first node as the best match, one
  // byte long: a string differing in its second byte can't beat that, and
  // in trees of few strings (data that doesn't compress) that is nearly all.
  if (__builtin_expect((q.key1 ^ c1) >> 56 == 0, 0)) {
    ++laneSlowSteps_;
    int rank;
    if (q.key1 != c1) {
      rank = WordRank(q.key1 ^ c1);
    } else if (!CompareTail(q, p, k, c, rank)) {
      return NIL;  // q stays on the equal node
    }
    KeepLonger(rank, p, q.bestRank, q.bestPos);
  }
  const unsigned child = ChildOf(kids, k, c);
  MoveIfNode<NIL>(child, child, at);
  return child;
}

LZSS_INLINE bool LzssEncoder::Above(unsigned r, unsigned p) const {
  const uint64_t k1 = BigEndian64(&ring_[r + 1]), c1 = BigEndian64(&ring_[p + 1]);
  if (k1 != c1) return k1 > c1;
  const uint64_t k9 = BigEndian64(&ring_[r + 9]), c9 = BigEndian64(&ring_[p + 9]);
  if (k9 != c9) return k9 > c9;
  return ring_[r + 17] > ring_[p + 17];
}

LZSS_INLINE void LzssEncoder::End(Search& q) {
  if (q.equal != NIL) {
    Replace(q.equal, q.r);
  } else {
    // Below a root, r always hangs on the right link.
    const unsigned slot = 2 * q.last + (q.last > N || Above(q.r, q.last));
    links_[slot] = static_cast<uint16_t>(q.r);
    slot_[q.r] = static_cast<uint16_t>(slot);
  }
  if (q.isRun) runNode_[ring_[q.r]] = static_cast<uint16_t>(q.r);
}

void LzssEncoder::InsertNode(int r) {
  Search q;
  Begin<true>(q, static_cast<unsigned>(r));
  while (q.p != NIL) Step(q);
  End(q);
  matchPosition_ = q.bestPos;
  matchLength_ = Rank(q.bestRank);
}

LZSS_INLINE void LzssEncoder::InsertTwo(unsigned r1, unsigned r2) {
  // r1's string is no run: its second byte is r2's first, which differs
  // from r1's first (the two trees differ).
  Search a, b;
  Begin<false>(a, r1);
  Begin<true>(b, r2);
  // The two descents don't depend on each other: stepping them in turn lets
  // the processor overlap their memory loads. The longer one finishes alone,
  // which costs less than stepping a finished one along without effect.
  while (a.p != NIL && b.p != NIL) {
    Step(a);
    Step(b);
  }
  while (a.p != NIL) Step(a);
  while (b.p != NIL) Step(b);
  End(a);
  End(b);
  resultPos_[r1 & (kResults - 1)] = a.bestPos;
  resultLen_[r1 & (kResults - 1)] = Rank(a.bestRank);
  matchPosition_ = resultPos_[r2 & (kResults - 1)] = b.bestPos;
  matchLength_ = resultLen_[r2 & (kResults - 1)] = Rank(b.bestRank);
}

// r, whose string equals p's, takes p's place in its tree.
LZSS_INLINE void LzssEncoder::Replace(unsigned p, unsigned r) {
  const unsigned left = links_[2 * p];
  const unsigned right = links_[2 * p + 1];
  links_[2 * r] = static_cast<uint16_t>(left);
  links_[2 * r + 1] = static_cast<uint16_t>(right);
  slot_[left] = static_cast<uint16_t>(2 * r);
  slot_[right] = static_cast<uint16_t>(2 * r + 1);
  const unsigned at = slot_[p];
  slot_[r] = static_cast<uint16_t>(at);
  links_[at] = static_cast<uint16_t>(r);
  slot_[p] = kNoSlot;
}

LZSS_INLINE void LzssEncoder::Unlink(unsigned p) {
  const unsigned at = slot_[p];
  if (at == kNoSlot) return;
  if (runNode_[ring_[p]] == p) runNode_[ring_[p]] = NIL;
  const unsigned left = links_[2 * p];
  const unsigned right = links_[2 * p + 1];
  static_assert((NIL & (NIL - 1)) == 0 && NIL > N - 1, "a node index has NIL's bit clear");
  // Which case a removal is (a child missing, or two children and how far
  // down the left subtree's rightmost node lies) is as good as random, so the
  // cases are told apart by conditional moves, and the writes a case doesn't
  // need go to spare entries: the unused left link of the first root and the
  // slot of "none".
  constexpr unsigned kSpareLink = 2 * (N + 1);
  constexpr unsigned kSpareSlot = NIL;
  const bool two = ((left | right) & NIL) == 0;
  // The rightmost node of the left subtree takes p's place (two children).
  unsigned q = Pick(two, left, NIL);
  for (int k = 0; k < 2; ++k) MoveIfNode<NIL>(links_[2 * q + 1], links_[2 * q + 1], q);
  while (links_[2 * q + 1] != NIL) q = links_[2 * q + 1];
  // It leaves its place to its left subtree when it is not p's left child.
  const bool moved = q != left && two;
  const unsigned qLeft = links_[2 * q];
  // Not slot_[NIL] (q is NIL when p lacks a child): every removal writes
  // there, and reading it would tie this removal to the one before.
  const unsigned qAt = Pick(moved, slot_[q & (N - 1)], kSpareLink);
  links_[qAt] = static_cast<uint16_t>(qLeft);
  slot_[Pick(moved, qLeft, kSpareSlot)] = static_cast<uint16_t>(qAt);
  links_[Pick(moved, 2 * q, kSpareLink)] = static_cast<uint16_t>(left);
  slot_[Pick(moved, left, kSpareSlot)] = static_cast<uint16_t>(2 * q);
  links_[Pick(two, 2 * q + 1, kSpareLink)] = static_cast<uint16_t>(right);
  slot_[Pick(two, right, kSpareSlot)] = static_cast<uint16_t>(2 * q + 1);
  // With a child missing, the other (or none) takes p's place.
  q = Pick(two, q, left + right - NIL);
  slot_[q] = static_cast<uint16_t>(at);  // slot_[NIL] when p was a leaf: never read
  links_[at] = static_cast<uint16_t>(q);
  slot_[p] = kNoSlot;
}

void LzssEncoder::DeleteNode(int p) { Unlink(static_cast<unsigned>(p)); }

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

LZSS_INLINE void LzssEncoder::Advance(int c) {
  Unlink(s_);
  if (c >= 0) {
    ring_[s_] = static_cast<uint8_t>(c);
    if (s_ < F - 1) ring_[s_ + N] = static_cast<uint8_t>(c);
  } else {
    --len_;
  }
  s_ = (s_ + 1) & (N - 1);
  r_ = (r_ + 1) & (N - 1);
  if (len_) {
    InsertNode(static_cast<int>(r_));
    Record(r_);
  }
}

LZSS_INLINE bool LzssEncoder::AdvanceInRun(uint8_t c) {
  // The current string is F times b and c is b again, so the next string
  // is that run too: its descent would end at the current string's node.
  const uint8_t b = ring_[r_];
  if (c != b || runNode_[b] != r_ || !runShortcut_) return false;
  const unsigned previous = r_;
  Unlink(s_);
  ring_[s_] = c;
  if (s_ < F - 1) ring_[s_ + N] = c;
  s_ = (s_ + 1) & (N - 1);
  r_ = (r_ + 1) & (N - 1);
  links_[2 * r_] = links_[2 * r_ + 1] = NIL;
  Replace(previous, r_);
  runNode_[b] = static_cast<uint16_t>(r_);
  matchPosition_ = previous;
  matchLength_ = F;
  Record(r_);
  return true;
}

void LzssEncoder::AdvanceRun(int n) {
  // Each step would move the run's node one place on (its descent ends
  // there); nothing looks at it in between, as the strings removed meanwhile
  // are the oldest, so it moves once, n places.
  const uint8_t b = ring_[r_];
  const unsigned previous = r_;
  for (int i = 0; i < n; ++i) {
    Unlink(s_);
    ring_[s_] = b;
    if (s_ < F - 1) ring_[s_ + N] = b;
    s_ = (s_ + 1) & (N - 1);
  }
  r_ = (r_ + static_cast<unsigned>(n)) & (N - 1);
  links_[2 * r_] = links_[2 * r_ + 1] = NIL;
  Replace(previous, r_);
  runNode_[b] = static_cast<uint16_t>(r_);
  matchPosition_ = (r_ - 1) & (N - 1);
  matchLength_ = F;
  Record(r_);
}

LZSS_INLINE void LzssEncoder::AdvanceTwo(uint8_t c1, uint8_t c2) {
  const unsigned s2 = (s_ + 1) & (N - 1);
  const unsigned r1 = (r_ + 1) & (N - 1);
  const unsigned r2 = (r_ + 2) & (N - 1);
  // In order the steps are: delete s, insert r1, delete s2, insert r2. The
  // second deletion may go before the first insertion when they are in
  // different trees (ring_[s2] is still s2's first byte), and the two
  // insertions may overlap when their trees differ. Nodes in the trees never
  // cover s or s2, so the new bytes are stored before either descent.
  if (!pairedSteps_ || ring_[s2] == ring_[r1] || ring_[r1] == ring_[r2]) {
    // Inside a run of one byte the insertions share a tree.
    if (!AdvanceInRun(c1)) Advance(c1);
    if (!AdvanceInRun(c2)) Advance(c2);
    return;
  }
  Unlink(s_);
  ring_[s_] = c1;
  if (s_ < F - 1) ring_[s_ + N] = c1;
  Unlink(s2);
  ring_[s2] = c2;
  if (s2 < F - 1) ring_[s2 + N] = c2;
  s_ = (s2 + 1) & (N - 1);
  r_ = r2;
  InsertTwo(r1, r2);
}

template <int K>
LZSS_INLINE bool LzssEncoder::AdvanceBatch() {
  static_assert(K == 4, "four descents side by side");
  const unsigned s = s_, r = r_;
  // t[j]: the tree of new string r+1+j; t[K] is the byte after the last new
  // string's first, so the last is no run of one byte when the two differ.
  unsigned t[K + 1], u[K];
  for (int j = 0; j <= K; ++j) t[j] = ring_[(r + 1 + static_cast<unsigned>(j)) & (N - 1)];
  for (int j = 0; j < K; ++j) u[j] = ring_[(s + static_cast<unsigned>(j)) & (N - 1)];
  // In order, removal j comes after insertions 0..j-1: it may go first when
  // it is in none of their trees.
  bool clash = t[K - 1] == t[K];
  for (int j = 1; j < K; ++j) {
    for (int i = 0; i < j; ++i) clash |= (t[i] == t[j]) | (u[j] == t[i]);
  }
  if (clash) return false;
  // All removals first, in their order.
  for (int j = 0; j < K; ++j) Unlink((s + static_cast<unsigned>(j)) & (N - 1));
  // An empty tree has no node for its descent to stay on; the steps then
  // finish one at a time.
  unsigned start[K], empty = 0;
  for (int j = 0; j < K; ++j) empty |= start[j] = links_[2 * (N + 1 + t[j]) + 1];
  const uint8_t* in = &inBuf_[inPos_];
  inPos_ += K;
  for (int j = 0; j < K; ++j) {
    const unsigned at = (s + static_cast<unsigned>(j)) & (N - 1);
    ring_[at] = in[j];
    if (at < F - 1) ring_[at + N] = in[j];
  }
  s_ = (s + K) & (N - 1);
  if (empty & NIL) {
    for (int j = 0; j < K; ++j) {
      r_ = (r_ + 1) & (N - 1);
      InsertNode(static_cast<int>(r_));
      Record(r_);
    }
    return true;
  }
  r_ = (r + K) & (N - 1);
  Search q[K];
  for (int j = 0; j < K; ++j) {
    const unsigned rj = (r + 1 + static_cast<unsigned>(j)) & (N - 1);
    q[j].r = rj;
    q[j].key1 = BigEndian64(&ring_[rj + 1]);
    links_[2 * rj] = links_[2 * rj + 1] = NIL;
    q[j].equal = NIL;
    q[j].bestRank = Rank(1);
    q[j].bestPos = start[j];
  }
  // Separate variables, not an array, keep the nodes in registers. Node
  // indices have NIL's bit clear: the children's AND has it only when every
  // descent is over.
  unsigned p0 = start[0], p1 = start[1], p2 = start[2], p3 = start[3];
  unsigned all;
  do {
    all = LaneStep(q[0], p0) & LaneStep(q[1], p1) & LaneStep(q[2], p2) & LaneStep(q[3], p3);
  } while (!(all & NIL));
  start[0] = p0;
  start[1] = p1;
  start[2] = p2;
  start[3] = p3;
  for (int j = 0; j < K; ++j) {
    Search& e = q[j];
    if (e.equal != NIL) {
      Replace(e.equal, e.r);
    } else {
      const unsigned slot = 2 * start[j] + Above(e.r, start[j]);
      links_[slot] = static_cast<uint16_t>(e.r);
      slot_[e.r] = static_cast<uint16_t>(slot);
    }
    resultPos_[e.r & (kResults - 1)] = e.bestPos;
    resultLen_[e.r & (kResults - 1)] = Rank(e.bestRank);
  }
  matchPosition_ = q[K - 1].bestPos;
  matchLength_ = Rank(q[K - 1].bestRank);
  return true;
}

void LzssEncoder::Encode(ByteSource& in, ByteSink& out) {
  inPos_ = inLen_ = outLen_ = 0;
  matchPosition_ = matchLength_ = 0;
  for (int i = N + 1; i <= N + 256; ++i) links_[2 * i + 1] = NIL;
  links_[2 * NIL] = links_[2 * NIL + 1] = NIL;
  for (int i = 0; i <= N; ++i) slot_[i] = kNoSlot;
  for (uint16_t& node : runNode_) node = NIL;
  // Bytes past the input's end take part in comparisons near the end, so
  // they are given a fixed value (zero) to keep the output reproducible.
  std::memset(ring_, kLzssFill, kLzssStart);
  std::memset(ring_ + kLzssStart, 0, sizeof ring_ - kLzssStart);

  s_ = 0;
  r_ = kLzssStart;
  len_ = 0;
  uint8_t c;
  while (len_ < F && NextByte(in, c)) ring_[r_ + len_++] = c;
  if (len_ == 0) return;

  for (int i = 1; i <= F; ++i) InsertNode(static_cast<int>(r_) - i);
  InsertNode(static_cast<int>(r_));
  Record(r_);

  uint8_t group[1 + 8 * 2];
  group[0] = 0;
  int groupLen = 1;
  uint8_t mask = 1;
  // Steps the coder has taken past the start of the item being written (0
  // to kBatch - 1): a step pair or batch may end beyond an item. The
  // look-ahead at the item is the coder's plus those steps, at most F.
  int ahead = 0;
  // Batches pay off on data that doesn't compress, where trees are small
  // and strings seldom share their second byte (each such string costs a
  // mispredicted branch in a batch): they run after a group of 8 items that
  // were all literals, and pause for a while after a group whose batches
  // met many such strings.
  bool batches = false;
  int batchPause = 0;
  laneSlowSteps_ = 0;
  while (len_ + ahead > 0) {
    const unsigned at = (r_ - static_cast<unsigned>(ahead)) & (N - 1);
    int matchLength = resultLen_[at & (kResults - 1)];
    const unsigned matchPosition = resultPos_[at & (kResults - 1)];
    const int len = len_ + ahead < F ? len_ + ahead : F;
    if (matchLength > len) matchLength = len;
    if (matchLength <= kLzssThreshold) {
      matchLength = 1;
      group[0] |= mask;
      group[groupLen++] = ring_[at];
    } else {
      group[groupLen++] = static_cast<uint8_t>(matchPosition & 0xFF);
      group[groupLen++] = static_cast<uint8_t>(((matchPosition >> 4) & 0xF0) |
                                               static_cast<unsigned>(matchLength - (kLzssThreshold + 1)));
    }
    mask = static_cast<uint8_t>(mask << 1);
    if (mask == 0) {
      if (laneSlowSteps_ > kSlowStepsPerGroup) {
        batchPause = kPauseGroups;
      } else if (batchPause > 0) {
        --batchPause;
      }
      laneSlowSteps_ = 0;
      batches = group[0] == 0xFF && batchPause == 0;
      Emit(out, group, groupLen);
      group[0] = 0;
      groupLen = 1;
      mask = 1;
    }
    int need = matchLength - ahead;
    if (need > 1 && runShortcut_ && runNode_[ring_[r_]] == r_ && inLen_ - inPos_ >= static_cast<size_t>(need)) {
      // Inside a run of one byte that goes on for all the steps to take.
      const uint8_t b = ring_[r_];
      bool same = true;
      for (int i = 0; i < need; ++i) same &= inBuf_[inPos_ + static_cast<size_t>(i)] == b;
      if (same) {
        inPos_ += static_cast<size_t>(need);
        AdvanceRun(need);
        need = 0;
      }
    }
    while (need > 0) {
      if (batches && pairedSteps_ && inLen_ - inPos_ >= static_cast<size_t>(kBatch) &&
          AdvanceBatch<kBatch>()) {
        need -= kBatch;
        continue;
      }
      uint8_t c1, c2;
      if (!NextByte(in, c1)) {
        Advance(-1);
        --need;
      } else if (!NextByte(in, c2)) {
        Advance(c1);
        --need;
      } else {
        AdvanceTwo(c1, c2);
        need -= 2;
      }
    }
    ahead = -need;
  }
  if (groupLen > 1) Emit(out, group, groupLen);
  Flush(out);
}

#undef LZSS_INLINE

}  // namespace crisis
