// The flash chip reached through libflashrom: one programmer session per
// Open/Close, the chip probed in it, verify after write always on.
// libflashrom's own messages go to standard error from warning level up;
// its errors of the running operation become the operation's error text.
#pragma once
#include <memory>

#include "flashrom_driver/flash_chip.h"
#include "flashrom_driver/flashrom_config.h"

namespace frd {

std::unique_ptr<FlashChip> MakeLibflashromChip(const FlashromConfig& config);

}  // namespace frd
