// The one process-wide handle of the flash driver and the raw requests on it.
#pragma once
#include <cstdint>
#include <string>

#include "firmware/bios_regs.h"

namespace brim {

// GetOsFamily results.
enum OsFamily : int {
  kOsWin32s = 0,
  kOsWin95 = 1,  // 9x, minor version 0
  kOsWin9x = 2,  // other 9x, and any other platform
  kOsWinNT = 3,
};
int GetOsFamily();
inline bool IsNtFamily() { return GetOsFamily() == kOsWinNT; }

// NT: "\\.\flash"; other Windows: "\\.\ABVXD.VXD". True when the handle is valid.
bool OpenFlashDevice();
void CloseFlashDevice();
bool FlashDeviceIsOpen();

// DeviceIoControl on the flash handle; false with *lastError on failure
// (ERROR_INVALID_HANDLE when the device is not open).
bool FlashIoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                    uint32_t* lastError);

// An NT request with a BiosRegs block both ways; a failing system call shows
// "DeviceIoControl failed, Error: %d" titled with the caption.
bool IssueBiosRegs(uint32_t code, const BiosRegs& in, BiosRegs* out, const std::string& caption);

// NT: request 0x222000. 9x: EAX..EDI through a 32-byte packet, refused when
// a flag byte is set; out.status = 0xFFFFFFFF when the error flag is set.
bool CallBios(const BiosRegs& in, BiosRegs* out, const std::string& caption);

// 9x packet requests (no message on failure).
bool VxdCall(uint32_t code, VxdPacket* packet, bool programForm);
// 9x memory mapping; the linear address reaches the bytes through the address window.
bool VxdMapMemory(uint32_t physicalAddress, uint32_t length, uint32_t* linearAddress);

}  // namespace brim
