// How far the driver's running read or programming request has come, as the
// driver measures it; asked from another thread while the request runs.
#pragma once
#include <cstdint>

namespace brim {

enum class DriverPhase : uint32_t { kIdle = 0, kProgramming = 1, kReading = 2 };

struct DriverProgress {
  DriverPhase phase = DriverPhase::kIdle;
  uint32_t done = 0;   // bytes
  uint32_t total = 0;  // bytes
};

// False when the device is not open or the driver cannot tell.
bool QueryDriverProgress(DriverProgress* progress);

}  // namespace brim
