// The three image layouts, chosen by the FLAG word.
#pragma once
#include <cstdint>

namespace brim {

enum class ImageLayout { kTarvex, kLindar, kQuorvel };

constexpr uint32_t kFlagLindar = 0x08;
constexpr uint32_t kFlagQuorvel = 0x10;

// Lindar wins over Quorvel when both bits are set.
inline ImageLayout LayoutOf(uint32_t flagWord) {
  if (flagWord & kFlagLindar) return ImageLayout::kLindar;
  if (flagWord & kFlagQuorvel) return ImageLayout::kQuorvel;
  return ImageLayout::kTarvex;
}

const char* LayoutName(ImageLayout layout);

}  // namespace brim
