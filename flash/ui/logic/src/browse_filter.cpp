#include "ui/browse_filter.h"

namespace brim {

namespace {
std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}
}  // namespace

std::string BrowseFilter(bool romIsQuorvel) {
  if (romIsQuorvel) return std::string("ROMFiles (*.rom) | *.rom|") + "QZWFiles (*.qzw) | *.qzw||";
  return "BINFiles (*.bin) | *.bin||";
}

std::vector<FilterEntry> ParseFilter(const std::string& filter) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (size_t bar; (bar = filter.find('|', from)) != std::string::npos; from = bar + 1)
    parts.push_back(filter.substr(from, bar - from));
  std::vector<FilterEntry> entries;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty() && parts[i + 1].empty()) break;  // the closing "||"
    entries.push_back({Trim(parts[i]), Trim(parts[i + 1])});
  }
  return entries;
}

}  // namespace brim
