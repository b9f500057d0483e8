#include "image/bios_image.h"

#include <cstring>
#include <exception>

namespace brim {

BiosImage& CurrentRomImage() {
  static BiosImage image;
  return image;
}

BiosImage& NewImage() {
  static BiosImage image;
  return image;
}

namespace {

void ClearPointers(BiosImage& image) {
  image.bytes = nullptr;
  image.size = 0;
  image.identityBlock = nullptr;
  image.flashModule = nullptr;
  for (RegionPair& r : image.regions) r = RegionPair{};
}

}  // namespace

bool AllocateImageBuffer(BiosImage& image, size_t size) {
  ClearPointers(image);
  ImageBytes().swap(image.buffer);
  try {
    image.buffer.resize(size);
  } catch (const std::exception&) {  // a size from a ROM or INI value can be absurd
    ImageBytes().swap(image.buffer);
    return false;
  }
  image.bytes = image.buffer.data();
  return true;
}

void FreeImageBuffer(BiosImage& image) {
  ClearPointers(image);
  ImageBytes().swap(image.buffer);
}

bool RangeInImage(const BiosImage& image, const uint8_t* p, size_t length) {
  if (!p || !image.bytes) return false;
  // Compare as integers: pointers into different objects are not ordered.
  uintptr_t start = reinterpret_cast<uintptr_t>(image.bytes);
  uintptr_t at = reinterpret_cast<uintptr_t>(p);
  if (at < start) return false;
  uintptr_t offset = at - start;
  return offset <= image.size && length <= image.size - offset;
}

int64_t OffsetInImage(const BiosImage& image, const uint8_t* p) {
  if (!RangeInImage(image, p, 0)) return -1;
  return static_cast<int64_t>(reinterpret_cast<uintptr_t>(p) -
                              reinterpret_cast<uintptr_t>(image.bytes));
}

std::string IdentityText(const BiosImage& image) {
  int64_t at = OffsetInImage(image, image.identityBlock);
  if (at < 0) return {};
  const char* from = reinterpret_cast<const char*>(image.bytes) + at;
  const size_t left = image.size - static_cast<size_t>(at);
  const void* nul = std::memchr(from, 0, left);
  return std::string(from, nul ? static_cast<const char*>(nul) - from : left);
}

}  // namespace brim
