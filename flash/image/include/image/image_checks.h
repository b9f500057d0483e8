// Decides whether the new image fits the machine before it is flashed.
#pragma once
#include <cstdint>

#include "image/bios_image.h"

namespace brim {

enum CheckResult : int {
  kCheckPassed = 0,
  kCheckSize = 1,
  kCheckOlderRelease = 2,
  kCheckModel = 3,
  kCheckChecksum = 4,
  kCheckNoFSegment = 5,
};

// errorCode values the checks set.
constexpr int32_t kErrorChecksum = 1;
constexpr int32_t kErrorSize = 2;
constexpr int32_t kErrorModel = 3;
constexpr int32_t kErrorRelease = 4;

// Checks NewImage() against CurrentRomImage() with the verify settings.
int CheckNewImage();

// Lindar boot-block checksum; 1 when it holds.
int CheckCompressedChecksum(const BiosImage& image);

}  // namespace brim
