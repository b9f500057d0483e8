// A page-aligned block of whole sectors, committed on construction and
// released on destruction (sector buffers must suit raw device transfers).
#pragma once
#include <cstddef>
#include <cstdint>

namespace tavrin {

constexpr uint32_t kSectorSize = 512;

class SectorBuffer {
 public:
  explicit SectorBuffer(size_t sectors);
  ~SectorBuffer();
  SectorBuffer(const SectorBuffer&) = delete;
  SectorBuffer& operator=(const SectorBuffer&) = delete;

  bool ok() const { return data_ != nullptr; }
  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }  // bytes; 0 when not committed
  void Zero();

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace tavrin
