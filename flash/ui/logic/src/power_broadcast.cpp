#include "ui/power_broadcast.h"

namespace brim {

std::optional<uintptr_t> PowerBroadcastAnswer(unsigned event, bool flashInProgress) {
  if (event == kPbtApmQuerySuspend && flashInProgress) return kBroadcastQueryDeny;
  return std::nullopt;
}

}  // namespace brim
