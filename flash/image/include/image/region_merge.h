// Carries the kept data areas of the current ROM image into the new image.
#pragma once
#include "image/bios_image.h"

namespace brim {

// Variant chosen by the current ROM image's FLAG word. Returns 1.
int MergeKeptRegions();
int MergeKeptRegions(BiosImage& newImage, BiosImage& currentRom);

}  // namespace brim
