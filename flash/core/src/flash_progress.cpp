#include "core/flash_progress.h"

#include <algorithm>

namespace brim {

void ProgressMeter::Begin(FlashStage stage) { shown_.stage = stage; }

const ProgressShown& ProgressMeter::Take(bool answered, const DriverReading& reading,
                                         std::chrono::seconds elapsed) {
  shown_.elapsed = elapsed;
  if (!answered) return shown_;
  const bool verifying = shown_.stage == FlashStage::kVerifying;
  const DriverReading::Phase wanted =
      verifying ? DriverReading::Phase::kReading : DriverReading::Phase::kProgramming;
  const int from = verifying ? kProgrammedShare : 0;
  const int span = verifying ? kProgressRange - kProgrammedShare : kProgrammedShare;
  int position = from;
  if (reading.phase == wanted && reading.total > 0) {
    const uint64_t done = std::min(reading.done, reading.total);
    position = from + static_cast<int>(done * static_cast<uint64_t>(span) / reading.total);
  }
  shown_.measured = true;
  shown_.position = std::max(shown_.position, position);
  return shown_;
}

}  // namespace brim
