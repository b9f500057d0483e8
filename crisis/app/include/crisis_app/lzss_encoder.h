// LZSS coder of the compressed BIOS image: 4096-byte ring, 18-byte look-ahead,
// matches found through one binary search tree per first byte. The DOS flash
// program decodes this stream, so parameters and tie-breaking are fixed.
//
// The coder keeps the trees exactly as a plain one-step-at-a-time coder
// would, so it reports the same match at every position; it only gets there
// faster: word compares, branch-free steps, two insertions into different
// trees walked side by side (four on data that doesn't compress), and runs
// of one byte replaced without a descent (a long run's node moved once per
// match).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "crisis_app/byte_stream.h"

namespace crisis {

constexpr int kLzssRingSize = 4096;  // N
constexpr int kLzssMaxMatch = 18;    // F
constexpr int kLzssThreshold = 2;    // longest match still sent as literals
constexpr int kLzssStart = kLzssRingSize - kLzssMaxMatch;  // 4078
constexpr uint8_t kLzssFill = 0x20;

class LzssEncoder {
 public:
  // Writes the stream of everything in `in` from its current position.
  // All state is reset first; no allocation happens while coding.
  void Encode(ByteSource& in, ByteSink& out);

  void InsertNode(int r);
  void DeleteNode(int p);

  int MatchPosition() const { return static_cast<int>(matchPosition_); }
  int MatchLength() const { return matchLength_; }

  // With the shortcut off, every insertion descends its tree; the stream is
  // the same either way (tests compare the two).
  void SetRunShortcut(bool on) { runShortcut_ = on; }
  // With paired steps off, every step's deletion and insertion run one after
  // the other (no pairs, no batches of four); the stream is the same either
  // way.
  void SetPairedSteps(bool on) { pairedSteps_ = on; }

 private:
  static constexpr int N = kLzssRingSize;
  static constexpr int F = kLzssMaxMatch;
  static constexpr unsigned NIL = N;
  static constexpr uint16_t kNoSlot = 0xFFFF;

  bool NextByte(ByteSource& in, uint8_t& c) {
    if (inPos_ == inLen_ && !Refill(in)) return false;
    c = inBuf_[inPos_++];
    return true;
  }
  bool Refill(ByteSource& in);
  void Emit(ByteSink& out, const uint8_t* p, int n);
  void Flush(ByteSink& out);
  void Replace(unsigned p, unsigned r);
  void Unlink(unsigned p);

  // One insertion's descent, kept apart from the tree it walks so that two
  // descents into different trees can be stepped in turn.
  struct Search {
    // Unsigned, so indices need no sign extension in the hot loops.
    unsigned r;
    unsigned p;      // node to compare with next; NIL when the descent is over
    unsigned last;   // the node compared last (at first the tree's root): r hangs
                     // below it if no equal string turns up
    unsigned equal;  // node whose string equals r's (r replaces it), or NIL
    unsigned bestPos;
    int bestRank;  // 8 less the best match's length: lower is longer
    uint64_t key1;  // bytes 1..8, big-endian
    bool isRun;
  };
  template <bool kMayBeRun>
  void Begin(Search& q, unsigned r);
  void Step(Search& q);
  // Compares bytes 9..17 of r's and p's strings once bytes 1..8 are equal:
  // sets the words that decide the side and the match's rank, or, when the
  // whole strings are equal, ends q's descent at p and returns false.
  bool CompareTail(Search& q, unsigned p, uint64_t& k, uint64_t& c, int& rank);
  // A step of one of a batch's descents, from node `at`: the descent stays
  // on its last node once it has nowhere further to go (comparing with it
  // again changes nothing), so the batch's descents run side by side until
  // all have ended. Returns the node stepped to, NIL when q's descent is over.
  unsigned LaneStep(Search& q, unsigned& at);
  // K steps at once when the K new strings' trees differ and none of the
  // strings removed meanwhile is in a tree an earlier new string goes to;
  // false (nothing done) otherwise.
  template <int K>
  bool AdvanceBatch();
  // Whether r's string sorts after p's, the two being different.
  bool Above(unsigned r, unsigned p) const;
  void End(Search& q);
  // Insertions of the positions after two deletions, as if each ran alone
  // in order; the caller makes sure the trees involved are distinct.
  void InsertTwo(unsigned r1, unsigned r2);
  // One step of the coder: drop the oldest string, take in c (or, at the
  // input's end, nothing) and insert the new current string.
  void Advance(int c);
  // Two steps at once, taking in c1 then c2.
  void AdvanceTwo(uint8_t c1, uint8_t c2);
  // A step that continues a run of one byte, when it is one; false (nothing
  // done) otherwise.
  bool AdvanceInRun(uint8_t c);
  // n steps inside a run of one byte, the current string being the run's
  // node and the next n bytes the run's byte.
  void AdvanceRun(int n);
  void Record(unsigned r) {
    resultPos_[r & (kResults - 1)] = matchPosition_;
    resultLen_[r & (kResults - 1)] = matchLength_;
  }

  // Bytes N..N+F-2 mirror 0..F-2 so an F-byte compare never wraps; one more
  // byte lets a finished descent read the "none" node's string harmlessly.
  uint8_t ring_[N + F];
  // Tree links, two per node: links_[2 * p] is p's left child, links_[2 * p + 1]
  // its right child. Nodes N+1..N+256 are the roots, one per first byte (only
  // their right link is used); N is "none". 16-bit links keep the trees,
  // the slots and the ring within the first-level data cache.
  uint16_t links_[2 * (N + 257)];
  // Instead of a parent: the index in links_ of the link that points at the
  // node, so unlinking needs no test of which side it hangs on. kNoSlot: the
  // node is in no tree.
  uint16_t slot_[N + 1];
  // Per byte value b, the node whose whole string is F times b, or NIL. An
  // insertion of such a string would descend to exactly that node and
  // replace it, so it is replaced at once.
  uint16_t runNode_[256];
  // Steps of batch descents that met a string sharing the new one's second
  // byte, since the last group of items was written.
  unsigned laneSlowSteps_ = 0;
  bool runShortcut_ = true;
  bool pairedSteps_ = true;

  // Coder position: oldest string s, current string r, valid look-ahead len.
  unsigned s_ = 0, r_ = 0;
  int len_ = 0;
  // Matches found for the last few current strings, by r: the coder may be
  // a few steps (a batch less one) ahead of the item being written.
  static constexpr unsigned kResults = 8;
  unsigned resultPos_[kResults] = {};
  int resultLen_[kResults] = {};

  unsigned matchPosition_ = 0;
  int matchLength_ = 0;

  uint8_t inBuf_[65536];
  size_t inPos_ = 0, inLen_ = 0;
  uint8_t outBuf_[65536];
  size_t outLen_ = 0;
};

}  // namespace crisis
