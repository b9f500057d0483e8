// Brimlet's command line.
#pragma once
#include <string>

#include "core/flash_settings.h"

namespace brim {

// Upper-cases text in place and sets the fields of s that its options name.
void ParseCommandLine(std::string& text, FlashSettings& s);

// Joins argv[1..] into one command-line text. Inside a "/F:" argument every
// '/' becomes '\', so a Linux path stays one name instead of starting options.
// brimlet's command line from its arguments; --dry-run is left out.
std::string JoinArguments(int argc, const char* const* argv);

constexpr const char* kDryRunOption = "--dry-run";

}  // namespace brim
