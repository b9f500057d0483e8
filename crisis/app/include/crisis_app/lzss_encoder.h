// LZSS coder of the compressed BIOS image: 4096-byte ring, 18-byte look-ahead,
// matches found through one binary search tree per first byte. The DOS flash
// program decodes this stream, so parameters and tie-breaking are fixed.
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

  int MatchPosition() const { return matchPosition_; }
  int MatchLength() const { return matchLength_; }

 private:
  static constexpr int N = kLzssRingSize;
  static constexpr int F = kLzssMaxMatch;
  static constexpr int NIL = N;

  bool NextByte(ByteSource& in, uint8_t& c) {
    if (inPos_ == inLen_ && !Refill(in)) return false;
    c = inBuf_[inPos_++];
    return true;
  }
  bool Refill(ByteSource& in);
  void Emit(ByteSink& out, const uint8_t* p, int n);
  void Flush(ByteSink& out);

  // Bytes N..N+F-2 mirror 0..F-2 so an F-byte compare never wraps.
  uint8_t ring_[N + F - 1];
  // A tree node: the links and, beside them, bytes 1..4 of the node's string
  // (big-endian), which decide most steps of a descent without touching the
  // ring. A node's bytes don't change while it is in a tree: the ring is
  // overwritten only behind the oldest position, which has been deleted.
  // Nodes N+1..N+256 are the roots, one per first byte (only their right
  // link is used); N is "none". 16-bit links keep all nodes in 35 KiB.
  struct Node {
    uint32_t head;
    uint16_t child[2];  // left, right
  };
  static_assert(sizeof(Node) == 8 && offsetof(Node, child) == 4, "head, left, right in one word");
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "LoadNode's bit positions");
  Node node_[N + 257];
  uint16_t parent_[N + 1];

  // The node as one little-endian word: head in bits 0-31, left link in
  // 32-47, right link in 48-63.
  uint64_t LoadNode(int p) const {
    uint64_t v;
    std::memcpy(&v, &node_[p], sizeof v);
    return v;
  }
  uint16_t& Left(int p) { return node_[p].child[0]; }
  uint16_t& Right(int p) { return node_[p].child[1]; }
  // The link in `parent` that points at `node`.
  uint16_t& ChildLink(int parent, int node) {
    return Right(parent) == node ? Right(parent) : Left(parent);
  }
  int matchPosition_ = 0;
  int matchLength_ = 0;

  uint8_t inBuf_[65536];
  size_t inPos_ = 0, inLen_ = 0;
  uint8_t outBuf_[65536];
  size_t outLen_ = 0;
};

}  // namespace crisis
