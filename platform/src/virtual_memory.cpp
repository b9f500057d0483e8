#include "platform/virtual_memory.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace plat {

namespace {

struct Block {
  uint8_t* data;
  size_t size;
  uint32_t flat;
};

// Flat addresses start above the first 4 MiB, as a 9x process's did, and
// leave a guard page between blocks so an overrun never lands in a neighbour.
constexpr uint64_t kFlatBase = 0x00400000;
constexpr uint64_t kFlatLimit = 0xFFFF0000;

std::mutex g_lock;
std::map<uint8_t*, Block>& ByPointer() {
  static std::map<uint8_t*, Block> m;
  return m;
}
std::map<uint32_t, Block>& ByFlat() {
  static std::map<uint32_t, Block> m;
  return m;
}
int g_failAfter = -1;

size_t RoundToPage(size_t n) { return (n + kPageSize - 1) / kPageSize * kPageSize; }

// Lowest free flat range of span bytes (first fit between live blocks).
bool FindFlat(size_t span, uint32_t* flat) {
  uint64_t candidate = kFlatBase;
  for (const auto& entry : ByFlat()) {
    uint64_t start = entry.first;
    if (candidate + span <= start) break;
    uint64_t end = start + RoundToPage(entry.second.size) + kPageSize;
    if (end > candidate) candidate = end;
  }
  if (candidate + span > kFlatLimit) return false;
  *flat = static_cast<uint32_t>(candidate);
  return true;
}

}  // namespace

void* VirtualAlloc(size_t size) {
  if (size == 0) return nullptr;
  std::lock_guard<std::mutex> lock(g_lock);
  if (g_failAfter == 0) return nullptr;
  if (g_failAfter > 0) --g_failAfter;
  size_t rounded = RoundToPage(size);
  if (rounded < size) return nullptr;
  uint32_t flat = 0;
  if (!FindFlat(rounded + kPageSize, &flat)) return nullptr;
  void* p = std::aligned_alloc(kPageSize, rounded);
  if (!p) return nullptr;
  std::memset(p, 0, rounded);
  Block b{static_cast<uint8_t*>(p), rounded, flat};
  ByPointer()[b.data] = b;
  ByFlat()[flat] = b;
  return p;
}

void VirtualFree(void* block) {
  if (!block) return;
  std::lock_guard<std::mutex> lock(g_lock);
  auto it = ByPointer().find(static_cast<uint8_t*>(block));
  if (it == ByPointer().end()) return;  // not ours: leave it alone
  ByFlat().erase(it->second.flat);
  ByPointer().erase(it);
  std::free(block);
}

uint32_t FlatAddress(const void* p) {
  const uint8_t* q = static_cast<const uint8_t*>(p);
  std::lock_guard<std::mutex> lock(g_lock);
  auto& m = ByPointer();
  auto it = m.upper_bound(const_cast<uint8_t*>(q));
  if (it == m.begin()) return 0;
  --it;
  const Block& b = it->second;
  if (q < b.data || q >= b.data + b.size) return 0;
  return b.flat + static_cast<uint32_t>(q - b.data);
}

uint8_t* ResolveFlatAddress(uint32_t address, size_t size) {
  std::lock_guard<std::mutex> lock(g_lock);
  auto& m = ByFlat();
  auto it = m.upper_bound(address);
  if (it == m.begin()) return nullptr;
  --it;
  const Block& b = it->second;
  uint64_t offset = static_cast<uint64_t>(address) - b.flat;
  if (offset >= b.size || size > b.size - offset) return nullptr;
  return b.data + offset;
}

void FailVirtualAllocAfter(int successes) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_failAfter = successes < 0 ? -1 : successes;
}

}  // namespace plat
