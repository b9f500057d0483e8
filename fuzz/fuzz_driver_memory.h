// The caller's memory of a driver request, backed by the fuzzer's bytes at a
// fixed window address, plus the windows the module maps for the caller.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "platform/driver_module.h"

namespace fuzz {

constexpr uint32_t kWindowAddress = 0x00100000;  // where the input's memory appears
constexpr uint32_t kMapBase = 0x40000000;        // first address handed out by map
constexpr uint32_t kMapStep = 0x01000000;        // 16 MiB apart, so windows never touch

// Request codes both modules know, and one that neither does.
constexpr uint32_t kRequestCodes[] = {0x222000, 0x222010, 0x222014, 0x222018, 0x22201C, 0x222020,
                                      0x222024, 0x222400, 0x222404, 0x222408, 0x222004};

class CallerMemory {
 public:
  CallerMemory(const uint8_t* data, size_t size) : window_(data, data + size) {
    api_ = {this, &Read, &Write, &Check, &Map, &Unmap};
  }
  const FlashDriverMemory& api() const { return api_; }
  size_t OpenMaps() const { return maps_.size(); }

 private:
  struct Span {
    uint8_t* p;
    uint64_t size;
    bool writable;
  };
  // The span [address, address + size) inside one window, or p null.
  Span Find(uint32_t address, uint32_t size) {
    uint64_t end = uint64_t{address} + size;
    if (address >= kWindowAddress && end <= kWindowAddress + uint64_t{window_.size()})
      return {window_.data() + (address - kWindowAddress), size, true};
    for (auto& [at, m] : maps_)
      if (address >= at && end <= uint64_t{at} + m.second)
        return {const_cast<uint8_t*>(static_cast<const uint8_t*>(m.first)) + (address - at), size, false};
    return {nullptr, 0, false};
  }
  static int Read(void* c, uint32_t address, void* dst, uint32_t size) {
    Span s = static_cast<CallerMemory*>(c)->Find(address, size);
    if (!s.p) return 0;
    if (size) std::memmove(dst, s.p, size);
    return 1;
  }
  static int Write(void* c, uint32_t address, const void* src, uint32_t size) {
    Span s = static_cast<CallerMemory*>(c)->Find(address, size);
    if (!s.p || !s.writable) return 0;
    if (size) std::memmove(s.p, src, size);
    return 1;
  }
  static int Check(void* c, uint32_t address, uint32_t size, int forWrite) {
    Span s = static_cast<CallerMemory*>(c)->Find(address, size);
    return s.p && (s.writable || !forWrite) ? 1 : 0;
  }
  static uint32_t Map(void* c, const void* p, uint32_t size) {
    auto* self = static_cast<CallerMemory*>(c);
    if (self->maps_.size() >= 32 || size == 0 || size > kMapStep) return 0;
    uint32_t at = kMapBase + self->next_++ * kMapStep;
    self->maps_[at] = {p, size};
    return at;
  }
  static void Unmap(void* c, uint32_t address) {
    auto* self = static_cast<CallerMemory*>(c);
    if (self->maps_.erase(address) != 1) __builtin_trap();  // unmapping what was never mapped
  }

  std::vector<uint8_t> window_;
  std::map<uint32_t, std::pair<const void*, uint32_t>> maps_;
  uint32_t next_ = 0;
  FlashDriverMemory api_;
};

}  // namespace fuzz
