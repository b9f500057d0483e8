#include "ui/progress_text.h"

#include <algorithm>
#include <cstdio>

namespace brim {

std::string ProgressText(int position, int range, long elapsedSeconds) {
  const int clamped = std::max(0, std::min(position, range));
  const long percent = range > 0 ? static_cast<long>(clamped) * 100 / range : 0;
  const long seconds = std::max(0L, elapsedSeconds);
  char text[48];
  std::snprintf(text, sizeof text, "%ld %%  %ld:%02ld", percent, seconds / 60, seconds % 60);
  return text;
}

std::string ElapsedText(long elapsedSeconds) {
  const long seconds = std::max(0L, elapsedSeconds);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", seconds / 60, seconds % 60);
  return text;
}

}  // namespace brim
