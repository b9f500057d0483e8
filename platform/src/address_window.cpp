#include "platform/address_window.h"

#include <cstring>

namespace plat {

namespace {
constexpr uint64_t kPage = 0x1000;
constexpr uint64_t kLimit = 0x100000000ull;

// Each range takes whole pages plus one unmapped guard page, so a span that
// runs off the end of a buffer never lands in its neighbour.
uint64_t Footprint(uint32_t size) { return ((uint64_t(size) + kPage - 1) / kPage + 1) * kPage; }
}  // namespace

AddressWindow& AddressWindow::Instance() {
  // Never destroyed: drivers may still unmap while the process exits.
  static AddressWindow* window = new AddressWindow();
  return *window;
}

uint32_t AddressWindow::Insert(uint8_t* p, uint32_t size, bool writable) {
  std::lock_guard<std::mutex> guard(lock_);
  // Lowest free gap first, so the same sequence of mappings gives the same addresses.
  uint64_t candidate = kBase;
  for (const auto& entry : ranges_) {
    if (candidate + Footprint(size) <= entry.first) break;
    candidate = uint64_t(entry.first) + Footprint(entry.second.size);
  }
  if (candidate + Footprint(size) > kLimit) return 0;
  uint32_t address = static_cast<uint32_t>(candidate);
  ranges_[address] = Range{p, size, writable};
  return address;
}

uint32_t AddressWindow::Map(void* p, uint32_t size) {
  return Insert(static_cast<uint8_t*>(p), size, true);
}

uint32_t AddressWindow::MapReadOnly(const void* p, uint32_t size) {
  return Insert(const_cast<uint8_t*>(static_cast<const uint8_t*>(p)), size, false);
}

void AddressWindow::Unmap(uint32_t address) {
  std::lock_guard<std::mutex> guard(lock_);
  ranges_.erase(address);
}

const AddressWindow::Range* AddressWindow::Find(uint32_t address, uint32_t size,
                                                uint32_t* offset) const {
  auto it = ranges_.upper_bound(address);
  if (it == ranges_.begin()) return nullptr;
  --it;
  uint64_t start = it->first;
  uint64_t end = start + it->second.size;
  if (address < start || uint64_t(address) + size > end) return nullptr;
  if (size > 0 && address >= end) return nullptr;
  *offset = static_cast<uint32_t>(address - start);
  return &it->second;
}

bool AddressWindow::Read(uint32_t address, void* dst, uint32_t size) const {
  std::lock_guard<std::mutex> guard(lock_);
  uint32_t offset = 0;
  const Range* r = Find(address, size, &offset);
  if (!r) return false;
  if (size) std::memcpy(dst, r->data + offset, size);
  return true;
}

bool AddressWindow::Write(uint32_t address, const void* src, uint32_t size) {
  std::lock_guard<std::mutex> guard(lock_);
  uint32_t offset = 0;
  const Range* r = Find(address, size, &offset);
  if (!r || !r->writable) return false;
  if (size) std::memcpy(r->data + offset, src, size);
  return true;
}

bool AddressWindow::Check(uint32_t address, uint32_t size, bool forWrite) const {
  std::lock_guard<std::mutex> guard(lock_);
  uint32_t offset = 0;
  const Range* r = Find(address, size, &offset);
  return r && (!forWrite || r->writable);
}

size_t AddressWindow::MappedCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return ranges_.size();
}

}  // namespace plat
