#include "crisis_app/file_pattern.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/file_system.h"

namespace crisis {

bool MatchesPattern(const std::string& pattern, const std::string& name) {
  // Iterative match with one back-tracking point for '*'.
  size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
  auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string FindFirstMatch(const std::string& folder, const std::string& pattern) {
  std::string dir = plat::ResolvePath(folder.empty() ? "." : folder);
  DIR* d = ::opendir(dir.c_str());
  if (!d) return std::string();
  std::vector<std::string> names;
  while (struct dirent* e = ::readdir(d))
    if (MatchesPattern(pattern, e->d_name)) names.push_back(e->d_name);
  ::closedir(d);
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    std::string full = dir + "/" + n;
    if (plat::FileSize(full) > 0) return n;
  }
  return std::string();
}

}  // namespace crisis
