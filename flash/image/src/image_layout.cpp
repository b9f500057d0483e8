#include "image/image_layout.h"

namespace brim {

const char* LayoutName(ImageLayout layout) {
  switch (layout) {
    case ImageLayout::kLindar: return "Lindar";
    case ImageLayout::kQuorvel: return "Quorvel";
    case ImageLayout::kTarvex: break;
  }
  return "Tarvex";
}

}  // namespace brim
