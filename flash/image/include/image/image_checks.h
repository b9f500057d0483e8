// Decides whether the new image fits the machine before it is flashed.
#pragma once
#include <cstdint>

#include "core/flash_settings.h"
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

// The errorCode values the checks set are kErrImage* of core/flash_settings.h.

// Checks NewImage() against CurrentRomImage() with the verify settings.
int CheckNewImage();

// Lindar boot-block checksum; 1 when it holds.
int CheckCompressedChecksum(const BiosImage& image);

}  // namespace brim
