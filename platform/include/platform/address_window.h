// The 32-bit address window between a program and its flash driver.
// The request blocks carry buffer addresses as 32-bit values, as on the
// system they were laid out for; here a buffer is mapped into this window
// for the time of a request and the driver reaches it only through
// bounds-checked reads and writes.
#pragma once
#include <cstdint>
#include <map>
#include <mutex>

namespace plat {

class AddressWindow {
 public:
  // First address handed out; 0 and low addresses stay invalid.
  static constexpr uint32_t kBase = 0x10000000u;

  static AddressWindow& Instance();

  // Maps size bytes at p; returns the window address, or 0 when the window
  // has no room. Writable ranges accept Write.
  uint32_t Map(void* p, uint32_t size);
  uint32_t MapReadOnly(const void* p, uint32_t size);
  // Removes the range that starts at address (no-op for an unknown address).
  void Unmap(uint32_t address);

  // Copy in or out; false (nothing copied) unless the whole span lies inside one range.
  bool Read(uint32_t address, void* dst, uint32_t size) const;
  bool Write(uint32_t address, const void* src, uint32_t size);
  // True when Read (or, forWrite, Write) of the span would succeed.
  bool Check(uint32_t address, uint32_t size, bool forWrite) const;

  size_t MappedCount() const;

 private:
  struct Range {
    uint8_t* data;
    uint32_t size;
    bool writable;
  };
  uint32_t Insert(uint8_t* p, uint32_t size, bool writable);
  const Range* Find(uint32_t address, uint32_t size, uint32_t* offset) const;

  mutable std::mutex lock_;
  std::map<uint32_t, Range> ranges_;  // by start address
};

// Maps a buffer for the lifetime of the object.
class MappedBuffer {
 public:
  MappedBuffer(void* p, uint32_t size) : address_(AddressWindow::Instance().Map(p, size)) {}
  MappedBuffer(const void* p, uint32_t size)
      : address_(AddressWindow::Instance().MapReadOnly(p, size)) {}
  ~MappedBuffer() {
    if (address_) AddressWindow::Instance().Unmap(address_);
  }
  MappedBuffer(const MappedBuffer&) = delete;
  MappedBuffer& operator=(const MappedBuffer&) = delete;

  uint32_t address() const { return address_; }
  bool ok() const { return address_ != 0; }

 private:
  uint32_t address_;
};

}  // namespace plat
