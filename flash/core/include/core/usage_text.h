#pragma once
#include <string>

namespace brim {

// The text shown for "/?".
const std::string& UsageText();

}  // namespace brim
