#include <cstdio>
#include <cstring>

#include "core/flash_settings.h"
#include "firmware/driver_message.h"
#include "firmware/flash_device.h"
#include "firmware/lock_bit_table.h"
#include "firmware/rom_access.h"
#include "ini_number.h"
#include "platform/address_window.h"
#include "platform/message_box.h"

namespace brim {

namespace {

constexpr unsigned kErrorBox = plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST;

// A ROMSIZE that the lock-bit table cannot describe is refused, not clamped:
// programming a ROM of another size than the real one would be worse.
bool BlocksUsable(uint32_t blocks) {
  if (blocks >= 1 && blocks <= kMaxRomBlocks) return true;
  char text[96];
  std::snprintf(text, sizeof text, "ROMSIZE %d in setting.ini is not supported (1 to %u) !",
                static_cast<int>(blocks), static_cast<unsigned>(kMaxRomBlocks));
  plat::MessageBox(text, "Brimlet Error", kErrorBox);
  return false;
}

int GeometryFromIni(BiosImage& image, const std::string& path, bool withLockBits) {
  uint32_t blocks = ConfigNumber("ROMSIZE", path);
  if (!BlocksUsable(blocks)) return 0;
  image.baseAddress = ConfigNumber("ROMMAPING", path);
  image.size = blocks * kRomBlockSize;
  image.flagWord = ConfigNumber("FLAG", path);
  if (withLockBits) {
    SizeLockBits(image, blocks);
    LockBitTable& table = LockBitsOf(image);
    uint32_t first = ConfigNumber("LOCKBITADDRESS", path);
    for (uint32_t i = 0; i < blocks; ++i) table.addresses[i] = first + i * kRomBlockSize;
    MirrorLockBits(image);
  }
  ImageStatus() |= kStatusGeometryFromIni;
  return 1;
}

// RUNNEWMODULE in the current directory's setting.ini supplies the geometry
// of machines whose firmware cannot. -1: does not apply.
int Fallback(BiosImage& image) {
  if (!RunNewModule()) return -1;
  return GeometryFromIni(image, ".\\setting.ini", false);
}

void ShowNotSupported(uint32_t status) {
  char text[64];
  std::snprintf(text, sizeof text, "Function not supported, Status: %d", static_cast<int>(status));
  plat::MessageBox(WithDriverMessage(text), "LoadSetupDefault", plat::MB_OK);
}

// An extended ROM information request (EAX 0x9616, EBX `function`), asked
// without boxes: a firmware that does not know it refuses it, and that is
// normal. False when it was not answered.
bool AskExtended(uint32_t function, uint32_t* ecx, uint32_t* edx) {
  if (IsNtFamily()) {
    BiosRegs in;
    in.eax = 0x9616;
    in.ebx = function;
    BiosRegsBytes inBytes = EncodeBiosRegs(in);
    BiosRegsBytes outBytes{};
    BiosRegs out;
    uint32_t err = 0;
    if (!FlashIoControl(kIoctlCallBios, inBytes.data(), kBiosRegsSize, outBytes.data(),
                        kBiosRegsSize, &err) ||
        !DecodeBiosRegs(outBytes.data(), outBytes.size(), &out) || out.status == kCallFailed ||
        AhOf(out.eax) != 0)
      return false;
    *ecx = out.ecx;
    *edx = out.edx;
    return true;
  }
  VxdPacket packet;
  packet.eax = 0x9616;
  packet.ebx = function;
  if (!VxdCall(kIoctlVxdCallBios, &packet, false) || packet.errorFlag != 0 || AhOf(packet.eax) != 0)
    return false;
  *ecx = packet.ecx;
  *edx = packet.edx;
  return true;
}

// The 32-bit ROM size in blocks, asked before the ROM information; without
// an answer (0) the information's CL stands alone.
uint32_t AskRomBlocks() {
  uint32_t blocks = 0, unused = 0;
  return AskExtended(kRomBlocksFunction, &blocks, &unused) ? blocks : 0;
}

// Where the firmware keeps the boot block, asked once the firmware has told
// the ROM size (a geometry from setting.ini leaves it unasked). An answer
// that does not lie wholly inside the ROM counts as none.
void AskBootBlock(BiosImage& image) {
  uint32_t offset = 0, size = 0;
  if (!AskExtended(kBootBlockFunction, &offset, &size)) return;
  if (size == 0 || uint64_t(offset) + size > image.size) return;
  image.bootBlockOffset = offset;
  image.bootBlockSize = size;
}

// A ROM larger than brimlet can take is refused before anything is read.
bool ExtendedBlocksUsable(uint32_t blocks) {
  if (blocks <= kMaxRomBlocks) return true;
  char text[96];
  std::snprintf(text, sizeof text, "The flash ROM of %u blocks is larger than %u blocks !",
                static_cast<unsigned>(blocks), static_cast<unsigned>(kMaxRomBlocks));
  plat::MessageBox(text, "Brimlet Error", kErrorBox);
  return false;
}

// The buffers the firmware writes into, mapped for one request.
struct InfoBuffers {
  explicit InfoBuffers(BiosImage& image)
      : lockBits(LockBitsOf(image).addresses.data(),
                 static_cast<uint32_t>(sizeof(uint32_t) * LockBitsOf(image).addresses.size())),
        fSegment(static_cast<void*>(&image.fSegmentMapping), sizeof(uint32_t)),
        typeText(static_cast<void*>(image.flashRomType), sizeof image.flashRomType),
        cellValue{typeText.address()},
        cell(static_cast<const void*>(cellValue), sizeof cellValue),
        listValue{fSegment.address(), cell.address(), 0},
        list(static_cast<const void*>(listValue), sizeof listValue) {}
  bool ok() const { return lockBits.ok() && fSegment.ok() && typeText.ok() && cell.ok() && list.ok(); }

  plat::MappedBuffer lockBits;
  plat::MappedBuffer fSegment;
  plat::MappedBuffer typeText;
  uint32_t cellValue[1];
  plat::MappedBuffer cell;
  uint32_t listValue[3];
  plat::MappedBuffer list;
};

// `extended`: the 32-bit answer, 0 when there was none. With one, CL must
// agree where it can (a ROM above 255 blocks reports 0 there).
int Accept(BiosImage& image, uint32_t base, uint32_t ecx, uint32_t edx, uint32_t extended) {
  uint32_t blocks = ecx & 0xFF;
  if (extended) {
    if (blocks != (extended <= kMaxCl8Blocks ? extended : 0)) return 0;
    blocks = extended;
  }
  if (blocks == 0) return 0;  // a ROM of no blocks cannot be read or programmed
  image.baseAddress = base;
  image.size = blocks * kRomBlockSize;
  image.flagWord = edx & 0xFF;
  image.flashRomType[sizeof image.flashRomType - 1] = '\0';
  MirrorLockBits(image);
  return 1;
}

int GetRomInfoNt(BiosImage& image) {
  BiosRegs in, out;
  in.fSegmentMapping = 0xFFFFFFFFu;
  if (!CallBios(in, &out, "GetROMInfo")) return 0;
  image.fSegmentMapping = out.fSegmentMapping;

  if (Settings().forceReadIni) return GeometryFromIni(image, Settings().iniPath, true);

  uint32_t extended = AskRomBlocks();
  if (!ExtendedBlocksUsable(extended)) return 0;
  SizeLockBits(image, extended);
  bool sent = false;
  BiosRegs answer;
  {
    InfoBuffers buffers(image);
    if (!buffers.ok()) return 0;
    BiosRegs request;
    request.eax = 0x9616;
    request.esi = buffers.lockBits.address();
    request.edi = buffers.list.address();
    request.fSegmentMapping = image.fSegmentMapping;
    sent = CallBios(request, &answer, "GetROMInfo");
  }
  if (sent && answer.status != kCallFailed && AhOf(answer.eax) == 0) {
    if (!Accept(image, answer.edi, answer.ecx, answer.edx, extended)) return 0;
    image.firmwareRomValue = answer.ebx;
    AskBootBlock(image);
    return 1;
  }
  int fallback = Fallback(image);
  if (fallback >= 0) return fallback;
  if (sent) ShowNotSupported(AhOf(answer.eax));
  return 0;
}

int GetRomInfo9x(BiosImage& image) {
  uint32_t linear = 0;
  if (VxdMapMemory(0xF0000, 0xFFFF, &linear)) image.fSegmentMapping = linear;
  image.firmwareRomValue = 0;

  uint32_t extended = AskRomBlocks();
  if (!ExtendedBlocksUsable(extended)) return 0;
  SizeLockBits(image, extended);
  bool sent = false;
  VxdPacket packet;
  {
    InfoBuffers buffers(image);
    if (!buffers.ok()) return 0;
    packet.eax = 0x9616;
    packet.esi = buffers.lockBits.address();
    packet.edi = buffers.list.address();
    sent = VxdCall(kIoctlVxdCallBios, &packet, false);
  }
  if (sent && packet.errorFlag == 0 && AhOf(packet.eax) == 0) {
    if (!Accept(image, packet.edi, packet.ecx, packet.edx, extended)) return 0;
    AskBootBlock(image);
    return 1;
  }
  int fallback = Fallback(image);
  return fallback > 0 ? 1 : 0;
}

}  // namespace

int GetROMInfo(BiosImage& image) {
  std::memset(image.flashRomType, 0, sizeof image.flashRomType);
  image.bootBlockOffset = 0;
  image.bootBlockSize = 0;
  return IsNtFamily() ? GetRomInfoNt(image) : GetRomInfo9x(image);
}

}  // namespace brim
