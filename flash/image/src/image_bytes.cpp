#include "image/image_bytes.h"

#include <sys/mman.h>

#include <new>

namespace brim {

namespace {
// From this size on a buffer is its own mapping, its pages made in one go:
// a ROM-sized buffer is filled whole right after, and a page fault for each
// of its pages cost half again as much as the fill.
constexpr size_t kMappedFrom = size_t(4) << 20;
}  // namespace

uint8_t* ImageBytes::Allocate(size_t n) {
  if (n == 0) return nullptr;
  if (n < kMappedFrom) return new uint8_t[n];
  void* p = ::mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  return static_cast<uint8_t*>(p);
}

void ImageBytes::Release(uint8_t* p, size_t n) {
  if (!p) return;
  if (n < kMappedFrom)
    delete[] p;
  else
    ::munmap(p, n);
}

}  // namespace brim
