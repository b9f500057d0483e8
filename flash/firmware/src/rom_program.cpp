#include <cstdio>

#include "core/flash_settings.h"
#include "core/settings_word.h"
#include "firmware/driver_message.h"
#include "firmware/flash_device.h"
#include "firmware/lock_bit_table.h"
#include "firmware/rom_access.h"
#include "ini_number.h"
#include "platform/address_window.h"
#include "platform/message_box.h"

namespace brim {

namespace {

const uint8_t* ChooseModuleAsSet(const BiosImage& rom, const BiosImage& image, uint32_t settingsWord) {
  bool geometryFromIni = (ImageStatus() & kStatusGeometryFromIni) != 0;
  if (IsNtFamily()) {
    if (geometryFromIni) return image.flashModule;
    if ((settingsWord & kExecuteFromNewBios) && image.flashModule) return image.flashModule;
    return rom.flashModule;
  }
  if (geometryFromIni) return RunNewModule() && image.flashModule ? image.flashModule : rom.flashModule;
  return (settingsWord & kExecuteFromNewBios) ? image.flashModule : rom.flashModule;
}

// A ROM without a module of its own (a Quorvel ROM's is never located, its
// package brings one) is programmed with the new image's, so that a plain
// ROM file such as a backup can be flashed back.
const uint8_t* ChooseModule(const BiosImage& rom, const BiosImage& image, uint32_t settingsWord) {
  const uint8_t* module = ChooseModuleAsSet(rom, image, settingsWord);
  if (!module && !rom.flashModule) module = image.flashModule;
  return module;
}

// The window address of a module inside one of the two mapped images, 0 when
// it lies in neither (then it cannot be handed over).
uint32_t ModuleAddress(const uint8_t* module, const BiosImage& image, uint32_t imageAddress,
                       const BiosImage& rom, uint32_t romAddress) {
  constexpr size_t kTagLength = 4;  // at least its "A!FR" tag
  if (RangeInImage(image, module, kTagLength))
    return imageAddress + static_cast<uint32_t>(OffsetInImage(image, module));
  if (RangeInImage(rom, module, kTagLength))
    return romAddress + static_cast<uint32_t>(OffsetInImage(rom, module));
  return 0;
}

void Refuse(const char* text) { plat::MessageBox(text, "Program ROM", plat::MB_OK); }

}  // namespace

const uint8_t* ChosenFlashModule() {
  return ChooseModule(CurrentRomImage(), NewImage(), Settings().settingsWord);
}

uint32_t ProgramOptionBits(uint32_t settingsWord) {
  uint32_t ecx = 0;
  if (!(settingsWord & kKeepBootBlock)) ecx |= 0x1;  // write the boot block
  if (settingsWord & kLoadDefaultCmos) ecx |= 0x2;   // load the setup defaults
  return ecx;
}

int ProgramFlashROM(uint32_t* optionBits, bool* requestSent) {
  if (requestSent) *requestSent = false;
  BiosImage& rom = CurrentRomImage();
  BiosImage& image = NewImage();
  uint32_t settingsWord = Settings().settingsWord;

  // Never program against a ROM that was not read, nor hand the firmware
  // fewer image bytes than it will write.
  if ((ImageStatus() & kStatusRomReadFailed) || !rom.bytes || rom.size == 0) {
    Refuse("The current ROM could not be read. Flash is cancelled !");
    return 0;
  }
  if (!image.bytes || image.size < rom.size) {
    Refuse("The new BIOS image is smaller than the flash ROM !");
    return 0;
  }

  const uint8_t* module = ChooseModule(rom, image, settingsWord);
  if (!module) {
    Refuse("BIOS Program Module Not Found !");
    return 0;
  }
  uint32_t ecx = ProgramOptionBits(settingsWord);
  if (optionBits) *optionBits = ecx;

  plat::MappedBuffer imageMap(static_cast<const void*>(image.bytes), image.size);
  plat::MappedBuffer romMap(static_cast<const void*>(rom.bytes), rom.size);
  SizeLockBits(rom, rom.size / kRomBlockSize);  // the firmware reads one entry per block
  const LockBitTable& lockBits = LockBitsOf(rom);
  plat::MappedBuffer lockMap(static_cast<const void*>(lockBits.addresses.data()),
                             static_cast<uint32_t>(sizeof(uint32_t) * lockBits.addresses.size()));
  plat::MappedBuffer fSegmentMap(static_cast<void*>(&rom.fSegmentMapping), sizeof(uint32_t));
  bool nt = IsNtFamily();
  const uint32_t list[6] = {imageMap.address(), rom.mappedRomAddress,  lockMap.address(),
                            fSegmentMap.address(), nt ? rom.firmwareRomValue : 0, 0};
  plat::MappedBuffer listMap(static_cast<const void*>(list), sizeof list);
  if (!imageMap.ok() || !romMap.ok() || !lockMap.ok() || !fSegmentMap.ok() || !listMap.ok())
    return 0;
  uint32_t moduleAddress =
      ModuleAddress(module, image, imageMap.address(), rom, romMap.address());
  if (!moduleAddress) {
    Refuse("BIOS Program Module Not Found !");
    return 0;
  }

  if (requestSent) *requestSent = true;
  if (nt) {
    BiosRegs in, out;
    in.eax = 0x9616;
    in.ebx = 1;
    in.ecx = ecx;
    in.edx = 0x1000;
    in.esi = listMap.address();
    in.imageAddress = imageMap.address();
    in.length = rom.size;
    in.flashModuleAddress = moduleAddress;
    in.lockBitTableAddress = lockMap.address();
    in.flagWord = rom.flagWord;
    in.firmwareRomValue = rom.firmwareRomValue;
    if (!IssueBiosRegs(kIoctlProgramRom, in, &out, "Program Flash ROM")) return 0;
    if (out.status != kCallFailed && AhOf(out.eax) == 0) return 1;
    char text[64];
    std::snprintf(text, sizeof text, "Function not supported, Status: %d",
                  static_cast<int>(AhOf(out.eax)));
    plat::MessageBox(WithDriverMessage(text), "LoadSetupDefault", plat::MB_OK);
    return 0;
  }

  VxdPacket packet;
  packet.eax = 0x9616;
  packet.ebx = 1;
  packet.ecx = ecx;
  packet.esi = listMap.address();
  packet.flashModuleAddress = moduleAddress;
  packet.lockBitTableAddress = lockMap.address();
  if (!VxdCall(kIoctlVxdProgramRom, &packet, true)) return 0;
  return packet.errorFlag == 0 && AhOf(packet.eax) == 0 ? 1 : 0;
}

}  // namespace brim
