// A driver module may explain its last failure in words (a real chip's
// programmer does); the boxes that report a failed answer show that text
// below their own.
#pragma once
#include <string>

namespace brim {

// The driver's text (request 0x22201C, NT family); "" when it gives none.
std::string DriverMessage();
// text, then a line break and the driver's text when there is one.
std::string WithDriverMessage(const std::string& text);

}  // namespace brim
