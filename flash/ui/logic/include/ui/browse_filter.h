// The file types offered by the file-name dialog's "Browse...." button.
#pragma once
#include <string>
#include <vector>

namespace brim {

// The filter text in the "description|pattern|...|" form.
std::string BrowseFilter(bool romIsQuorvel);

struct FilterEntry {
  std::string description;
  std::string pattern;
};

// Entries of a filter text, with the blanks around each part trimmed.
std::vector<FilterEntry> ParseFilter(const std::string& filter);

}  // namespace brim
