// Carries the kept data areas of the current ROM image into the new image.
#pragma once
#include <string>
#include <vector>

#include "image/bios_image.h"

namespace brim {

// An area a keep setting asked for, which the current ROM has, but which the
// merge could not carry over (or carried from another place).
struct UnkeptArea {
  std::string area;    // e.g. "NVS (A!KN)"
  std::string reason;  // why
};

// Variant chosen by the current ROM image's FLAG word. Returns 1. The merge
// rules stay silent; `unkept`, when given, receives what they left behind.
int MergeKeptRegions();
int MergeKeptRegions(BiosImage& newImage, BiosImage& currentRom, std::vector<UnkeptArea>* unkept = nullptr);

// A readable name of a data area.
const char* AreaName(RegionId id);

}  // namespace brim
