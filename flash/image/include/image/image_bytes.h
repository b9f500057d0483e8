// The bytes of an image buffer: owned, contiguous, and left as they are when
// the buffer is made, since the read that follows fills them; zeroing
// hundreds of MiB first only costs time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>

namespace brim {

class ImageBytes {
 public:
  ImageBytes() = default;
  ~ImageBytes() { Release(bytes_, size_); }
  ImageBytes(const ImageBytes& other) { *this = other; }
  ImageBytes(ImageBytes&& other) noexcept { swap(other); }
  ImageBytes& operator=(const ImageBytes& other) {
    if (this != &other) assign(other.begin(), other.end());
    return *this;
  }
  ImageBytes& operator=(ImageBytes&& other) noexcept {
    ImageBytes gone(std::move(*this));
    swap(other);
    return *this;
  }

  // Bytes are copied whole, never one at a time: sanitised builds would keep
  // a per-byte loop of a general container.
  template <class It>
  void assign(It first, It last) {
    const size_t n = static_cast<size_t>(std::distance(first, last));
    ImageBytes fresh(n);
    if (n) std::memcpy(fresh.data(), &*first, n);
    swap(fresh);
  }
  // Keeps the first bytes up to the new size; the added ones are undefined.
  // Throws std::bad_alloc when the memory is not there.
  void resize(size_t n) {
    if (n == size_) return;
    ImageBytes fresh(n);
    if (n && size_) std::memcpy(fresh.data(), data(), n < size_ ? n : size_);
    swap(fresh);
  }
  void swap(ImageBytes& other) noexcept {
    std::swap(bytes_, other.bytes_);
    std::swap(size_, other.size_);
  }

  uint8_t* data() { return bytes_; }
  const uint8_t* data() const { return bytes_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  uint8_t* begin() { return data(); }
  uint8_t* end() { return data() + size_; }
  const uint8_t* begin() const { return data(); }
  const uint8_t* end() const { return data() + size_; }
  uint8_t& operator[](size_t i) { return bytes_[i]; }
  const uint8_t& operator[](size_t i) const { return bytes_[i]; }

  friend bool operator==(const ImageBytes& a, const ImageBytes& b) {
    return a.size_ == b.size_ && (a.size_ == 0 || std::memcmp(a.data(), b.data(), a.size_) == 0);
  }
  friend bool operator!=(const ImageBytes& a, const ImageBytes& b) { return !(a == b); }

 private:
  explicit ImageBytes(size_t n) : bytes_(Allocate(n)), size_(n) {}
  static uint8_t* Allocate(size_t n);
  static void Release(uint8_t* p, size_t n);

  uint8_t* bytes_ = nullptr;
  size_t size_ = 0;
};

}  // namespace brim
