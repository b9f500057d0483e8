#include "inspect/layout_detection.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace inspect {

namespace {

// Any byte position: a package header in front of the image moves the
// image off its 16-byte and bank alignment within the file. memmem, as a
// byte-wise search takes long on files of hundreds of MiB.
bool Find(const uint8_t* data, size_t size, const char* tag) {
  const size_t n = std::strlen(tag);
  return size >= n && ::memmem(data, size, tag, n) != nullptr;
}

struct Evidence {
  const char* tag;
  int lindar, quorvel, tarvex;
};

// Tags only one layout's parts look for count most; "A!ID" and "W!DA"
// mark the two directory layouts against Tarvex.
constexpr Evidence kEvidence[] = {
    {"DEVEL", 0, 2, 0}, {"BCPSYS", 0, 2, 0}, {"-lh5-", 2, 0, 0}, {"*BS1", 2, 0, 0},
    {"*BBSS*", 2, 0, 0}, {"A!DM", 2, 0, 0},  {"A!NV", 1, 0, 0},  {"A!F0", 0, 0, 3},
    {"A!MI", 0, 0, 3},  {"_SM_", 0, 0, 1},  {"A!ID", 1, 1, 0},  {"W!DA", 1, 1, 0},
};

}  // namespace

LayoutGuess DetectLayout(const uint8_t* data, size_t size) {
  int lindar = 0, quorvel = 0, tarvex = 0;
  std::string seen;
  for (const Evidence& e : kEvidence) {
    if (!Find(data, size, e.tag)) continue;
    lindar += e.lindar;
    quorvel += e.quorvel;
    tarvex += e.tarvex;
    seen += std::string(seen.empty() ? "" : ", ") + e.tag;
  }
  LayoutGuess guess;
  if (seen.empty()) {
    guess.reason = "no layout tags found; Tarvex assumed";
    return guess;
  }
  // Quorvel images carry "DEVEL" or "BCPSYS"; a directory and an identity
  // block without them are Lindar's.
  if (lindar == quorvel && lindar > tarvex) ++lindar;
  const int best = std::max({lindar, quorvel, tarvex});
  const int winners = (lindar == best) + (quorvel == best) + (tarvex == best);
  if (winners > 1) {
    guess.reason = "tags " + seen + " fit more than one layout; Tarvex assumed";
    return guess;
  }
  guess.flagWord = quorvel == best ? 0x10 : lindar == best ? 0x08 : 0;
  guess.reason = "tags seen: " + seen;
  return guess;
}

}  // namespace inspect
