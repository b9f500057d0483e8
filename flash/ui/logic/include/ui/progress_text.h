// The text beside the programming bar: where the bar stands and how long
// programming has been going on.
#pragma once
#include <string>

namespace brim {

// "37 %  1:05" for a bar position in 0..range and the seconds since the
// dialog was shown; positions outside the range are clamped.
std::string ProgressText(int position, int range, long elapsedSeconds);

}  // namespace brim
