#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/exit_status.h"
#include "core/flash_settings.h"
#include "core/startup.h"
#include "firmware/driver_message.h"
#include "firmware/flash_device.h"
#include "firmware/machine_hold.h"
#include "firmware/rom_access.h"
#include "image/image_checksum.h"
#include "image/message_list.h"
#include "image/region_locator.h"
#include "platform/address_window.h"
#include "platform/message_box.h"

namespace brim {

namespace {
constexpr unsigned kErrorBox = plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST;

int GetRomDataNt(uint32_t physicalAddress, uint32_t length, uint8_t* destination) {
  plat::MappedBuffer buffer(static_cast<void*>(destination), length);
  if (!buffer.ok()) return 0;
  BiosRegs in, out;
  in.physicalAddress = physicalAddress;
  in.bufferAddress = buffer.address();
  in.length = length;
  if (!IssueBiosRegs(kIoctlGetRomData, in, &out, "GetROMData")) return 0;
  if (out.status == kCallFailed) {
    plat::MessageBox(WithDriverMessage("Function not supported, Status: 0"), "LoadSetupDefault",
                     plat::MB_OK);
    return 0;
  }
  CurrentRomImage().mappedRomAddress = out.ebx;
  return 1;
}

// A piece at a time: the driver holds a copy of what it maps, so one
// whole-ROM mapping would cost another ROM size of memory. The mapped
// address is the last piece's.
int GetRomData9x(uint32_t physicalAddress, uint32_t length, uint8_t* destination) {
  constexpr uint32_t kPiece = 0x100000;
  if (uint64_t(physicalAddress) + length > 0x100000000ull) return 0;
  uint32_t linear = 0, done = 0;
  do {
    const uint32_t n = std::min(length - done, kPiece);
    if (!VxdMapMemory(physicalAddress + done, n, &linear)) return 0;
    // The mapping must really hold n bytes; a short one is a failed read.
    if (!plat::AddressWindow::Instance().Read(linear, destination + done, n)) return 0;
    done += n;
  } while (done < length);
  CurrentRomImage().mappedRomAddress = linear;
  return 1;
}

// The machine is this process's from the first read to the read-back
// verify; a refusal stops the run before anything is read.
bool HoldForThisRun() {
  std::string why;
  const HoldResult hold = HoldMachine(&why);
  if (hold == HoldResult::kHeld || hold == HoldResult::kNotAnswered) return true;
  FlashSettings& s = Settings();
  if (hold == HoldResult::kBusy) {
    s.alreadyRunning = 1;
    if (!s.silentMode)
      plat::MessageBox(kAlreadyRunningText, "Brimlet", plat::MB_OK | plat::MB_ICONINFORMATION);
    Refuse(s, kExitAlreadyRunning, std::string(kAlreadyRunningText) + " (" + why + ")");
    s.machineRefused = kExitAlreadyRunning;
  } else {
    const std::string text =
        "Brimlet cannot hold the machine: " + why + ".\nFlash procedure will be cancelled.";
    if (!s.silentMode) plat::MessageBox(text, "Brimlet Error", kErrorBox);
    Refuse(s, kExitLockUnavailable, text);
    s.machineRefused = kExitLockUnavailable;
  }
  return false;
}
}  // namespace

int GetROMData(uint32_t physicalAddress, uint32_t length, uint8_t* destination) {
  if (!destination && length) return 0;
  return IsNtFamily() ? GetRomDataNt(physicalAddress, length, destination)
                      : GetRomData9x(physicalAddress, length, destination);
}

int ReadCurrentRom() {
  BiosImage& rom = CurrentRomImage();
  ImageStatus() |= kStatusRomReadFailed;  // until the contents have arrived
  if (!OpenFlashDevice()) {
    plat::MessageBox("Device Driver Open Fail !", "Brimlet Error", kErrorBox);
    Settings().errorCode = kErrDevice;
    ImageStatus() |= kStatusDeviceOpenFailed;
    return 0;
  }
  if (!HoldForThisRun()) {
    CloseFlashDevice();
    return 0;
  }
  if (!GetROMInfo(rom)) {
    plat::MessageBox("Get ROM Info Fail !", "Brimlet Error", kErrorBox);
    CloseFlashDevice();
    ImageStatus() |= kStatusRomInfoFailed;
    return 0;
  }
  NewImage().flagWord = rom.flagWord;
  uint32_t size = rom.size;
  try {
    AllocateImageBuffer(rom, size);
  } catch (const std::bad_alloc&) {
    FreeImageBuffer(rom);
    plat::MessageBox("Allocate Buffer Fail !", "Brimlet Error", kErrorBox);
    CloseFlashDevice();
    return 0;
  }
  rom.size = size;
  // The read may fail and the run goes on with zeros; the status bit keeps
  // those zeros out of any merge and any flash.
  if (GetROMData(rom.baseAddress, rom.size, rom.bytes)) {
    ImageStatus() &= ~kStatusRomReadFailed;
  } else {
    if (rom.bytes) std::memset(rom.bytes, 0, rom.size);  // a failed read may have filled part
    AppendListLine("Read ROM Fail ! Flash is disabled.");
  }
  CloseFlashDevice();
  LocateRegions(rom);
  ComputeImageChecksum(rom);
  return 1;
}

}  // namespace brim
