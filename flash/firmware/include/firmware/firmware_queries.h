// Small questions to the firmware: support, setup password, interface and brand.
#pragma once
#include <cstdint>

namespace brim {

constexpr uint32_t kVemoBrandCode = 0x564D;
constexpr uint32_t kCheckPasswordFunction = 3;

// NT only (1 elsewhere without a request): request 0x222018 with a zero block.
int CheckBiosSupport();
// AH in *code; 1 when the request went through and AH is 0 (a password is set).
int AskSetupPasswd(uint32_t* code);
// function 3 checks the password; AH in *code; 1 when AH is 0.
int SetChkSetupPasswd(uint32_t function, const uint8_t* text, uint32_t length, uint32_t* code);
// AH in *code even on failure; BX in *value on success.
int WSBICheck(uint32_t* code, uint32_t* value);
// 1 when the firmware answers with the brand code in DX.
int AskIsVemoModel();

}  // namespace brim
