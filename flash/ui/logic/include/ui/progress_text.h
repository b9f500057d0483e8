// The text beside the programming bar: the share programmed and verified
// and how long programming has been going on.
#pragma once
#include <string>

namespace brim {

// "37 %  1:05" for a bar position in 0..range and the seconds since the
// dialog was shown; positions outside the range are clamped.
std::string ProgressText(int position, int range, long elapsedSeconds);
// "1:05": the time alone, while the driver cannot tell how far it is.
std::string ElapsedText(long elapsedSeconds);

}  // namespace brim
