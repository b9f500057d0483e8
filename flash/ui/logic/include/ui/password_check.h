// The password dialog's two outcomes, with the firmware behind them.
#pragma once
#include "ui/password_keys.h"

namespace brim {

// The coding of the current ROM image; asks the firmware for the brand on
// the Quorvel layout (the flash device must be open).
PasswordCoding CurrentPasswordCoding();

// OK: sends the recorded codes to the firmware's check; on a refusal shows
// "Password Check Error !" and returns false.
bool ConfirmPassword(const PasswordKeys& keys);

}  // namespace brim
