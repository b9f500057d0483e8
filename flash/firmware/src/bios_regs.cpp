#include "firmware/bios_regs.h"

#include "le_bytes.h"

namespace brim {

BiosRegsBytes EncodeBiosRegs(const BiosRegs& r) {
  BiosRegsBytes b{};
  const uint32_t dwords[] = {r.status, r.eax, r.ebx, r.ecx, r.edx, r.esi, r.edi,
                             r.reserved28[0], r.reserved28[1], r.reserved28[2]};
  for (size_t i = 0; i < 10; ++i) StoreLe32(&b[i * 4], dwords[i]);
  b[40] = r.flagByte40;
  b[41] = r.flagByte41;  // 42 and 43 stay 0
  StoreLe32(&b[44], r.physicalAddress);
  StoreLe32(&b[48], r.imageAddress);
  StoreLe32(&b[52], r.reserved52);
  StoreLe32(&b[56], r.bufferAddress);
  StoreLe32(&b[60], r.length);
  StoreLe32(&b[64], r.flashModuleAddress);
  StoreLe32(&b[68], r.lockBitTableAddress);
  StoreLe32(&b[72], r.fSegmentMapping);
  StoreLe32(&b[76], r.flagWord);
  StoreLe32(&b[80], r.firmwareRomValue);
  return b;
}

bool DecodeBiosRegs(const uint8_t* d, size_t size, BiosRegs* r) {
  if (!d || !r || size < kBiosRegsSize) return false;
  r->status = LoadLe32(d);
  r->eax = LoadLe32(d + 4);
  r->ebx = LoadLe32(d + 8);
  r->ecx = LoadLe32(d + 12);
  r->edx = LoadLe32(d + 16);
  r->esi = LoadLe32(d + 20);
  r->edi = LoadLe32(d + 24);
  for (size_t i = 0; i < 3; ++i) r->reserved28[i] = LoadLe32(d + 28 + i * 4);
  r->flagByte40 = d[40];
  r->flagByte41 = d[41];
  r->physicalAddress = LoadLe32(d + 44);
  r->imageAddress = LoadLe32(d + 48);
  r->reserved52 = LoadLe32(d + 52);
  r->bufferAddress = LoadLe32(d + 56);
  r->length = LoadLe32(d + 60);
  r->flashModuleAddress = LoadLe32(d + 64);
  r->lockBitTableAddress = LoadLe32(d + 68);
  r->fSegmentMapping = LoadLe32(d + 72);
  r->flagWord = LoadLe32(d + 76);
  r->firmwareRomValue = LoadLe32(d + 80);
  return true;
}

namespace {
void StoreRegisters(uint8_t* b, const VxdPacket& p) {
  const uint32_t dwords[] = {p.eax, p.ebx, p.ecx, p.edx, p.esi, p.edi, p.zero, p.errorFlag};
  for (size_t i = 0; i < 8; ++i) StoreLe32(b + i * 4, dwords[i]);
}
}  // namespace

std::array<uint8_t, kVxdPacketSize> EncodeVxdPacket(const VxdPacket& p) {
  std::array<uint8_t, kVxdPacketSize> b{};
  StoreRegisters(b.data(), p);
  return b;
}

std::array<uint8_t, kVxdProgramPacketSize> EncodeVxdProgramPacket(const VxdPacket& p) {
  std::array<uint8_t, kVxdProgramPacketSize> b{};
  StoreRegisters(b.data(), p);
  StoreLe32(&b[32], p.flashModuleAddress);
  StoreLe32(&b[36], p.lockBitTableAddress);
  return b;
}

bool DecodeVxdPacket(const uint8_t* d, size_t size, VxdPacket* p) {
  if (!d || !p || size < kVxdPacketSize) return false;
  uint32_t* regs[] = {&p->eax, &p->ebx, &p->ecx, &p->edx, &p->esi, &p->edi, &p->zero, &p->errorFlag};
  for (size_t i = 0; i < 8; ++i) *regs[i] = LoadLe32(d + i * 4);
  if (size >= kVxdProgramPacketSize) {
    p->flashModuleAddress = LoadLe32(d + 32);
    p->lockBitTableAddress = LoadLe32(d + 36);
  }
  return true;
}

std::array<uint8_t, kVxdMapPacketSize> EncodeVxdMapPacket(const VxdMapPacket& p) {
  std::array<uint8_t, kVxdMapPacketSize> b{};
  StoreLe32(&b[0], p.physicalAddress);
  StoreLe32(&b[4], p.length);
  StoreLe32(&b[8], p.linearAddress);
  return b;
}

bool DecodeVxdMapPacket(const uint8_t* d, size_t size, VxdMapPacket* p) {
  if (!d || !p || size < kVxdMapPacketSize) return false;
  p->physicalAddress = LoadLe32(d);
  p->length = LoadLe32(d + 4);
  p->linearAddress = LoadLe32(d + 8);
  return true;
}

}  // namespace brim
