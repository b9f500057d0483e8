// Loads the new image from the package in the executable or from a file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "image/bios_image.h"

namespace brim {

constexpr size_t kPackageHeaderSize = 48;
constexpr size_t kPackageSettingsCount = 34;
constexpr uint32_t kNewImageSlack = 0x200000;

// Reads the new image (see image/package_search.h for the header rules;
// at most ROM size + 2 MiB of an image file, brimlet's own program file whole),
// applies package settings, locates its regions and computes its checksum.
void LoadNewImage();

// Applies the 34 characters that follow "W!SH".
void ApplyPackageSettings(const char* settings);

// The file the last successful load read from.
const std::string& LastLoadedPath();

// The file the automatic load reads: the /F: file when one was given, else
// the executable itself.
std::string AutomaticLoadPath();

}  // namespace brim
