// The main window's answer to the system's power broadcasts.
#pragma once
#include <cstdint>
#include <optional>

namespace brim {

constexpr unsigned kPbtApmQuerySuspend = 0;
constexpr uintptr_t kBroadcastQueryDeny = 0x424D5144;

// The answer to give at once, or nothing when the broadcast goes on to the
// default handling: a suspend query is refused while the ROM is programmed.
std::optional<uintptr_t> PowerBroadcastAnswer(unsigned event, bool flashInProgress);

}  // namespace brim
