// The driver's hold on the machine: taken before brimlet's first ROM read
// and given back after the read-back verify, so that no other process reads
// or programs the ROM in between.
#pragma once
#include <string>

namespace brim {

enum class HoldResult {
  kHeld,         // this process has the machine
  kBusy,         // another process has it
  kUnavailable,  // the driver cannot lock it; *why says why
  kNotAnswered,  // a driver without the request
};

// Asks through the open flash device; *why is the driver's reason on refusal.
HoldResult HoldMachine(std::string* why);
// Gives the machine back (opens the device for it when it is closed).
void ReleaseMachine();

}  // namespace brim
