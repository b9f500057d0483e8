// How far a flash has come, as the programming dialog and the terminal show
// it: one share of the whole run, from the driver's own byte count, that
// never goes down.
#pragma once
#include <chrono>
#include <cstdint>

namespace brim {

// Programming fills the bar to 80 %, the read-back the rest: erasing and
// writing a flash part takes several times as long as reading it, and 80 %
// is where the bar always stood while the firmware finished.
constexpr int kProgressRange = 20000;
constexpr int kProgrammedShare = 16000;

enum class FlashStage { kProgramming, kVerifying };

// The driver's answer: bytes done of the request that runs now or ran last.
struct DriverReading {
  enum class Phase { kOther, kProgramming, kReading };
  Phase phase = Phase::kOther;
  uint64_t done = 0;
  uint64_t total = 0;
};

struct ProgressShown {
  FlashStage stage = FlashStage::kProgramming;
  // False while the driver cannot tell: a moving bar and the time, no number.
  bool measured = false;
  int position = 0;  // 0..kProgressRange
  std::chrono::seconds elapsed{0};
  // Whole percent, rounded down: 100 only when the read-back is complete.
  int Percent() const { return static_cast<int>(int64_t(position) * 100 / kProgressRange); }
};

// Turns the driver's readings into the share shown. A reading of another
// phase (the request before this stage's began) counts as nothing done of
// this stage; an answer that would move the share back leaves it where it is.
class ProgressMeter {
 public:
  void Begin(FlashStage stage);
  // answered: whether the driver could tell at all.
  const ProgressShown& Take(bool answered, const DriverReading& reading, std::chrono::seconds elapsed);
  const ProgressShown& Shown() const { return shown_; }

 private:
  ProgressShown shown_;
};

}  // namespace brim
