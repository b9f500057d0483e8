// Names with the wildcards '?' (any one character) and '*' matched the way a
// user reads them, without regard to case.
#pragma once
#include <string>

namespace crisis {

bool MatchesPattern(const std::string& pattern, const std::string& name);

// The first entry (in name order) of a folder whose name matches the pattern
// and which is a regular file longer than 0 bytes; "" when there is none.
std::string FindFirstMatch(const std::string& folder, const std::string& pattern);

}  // namespace crisis
