// Request blocks exchanged with the flash driver, and the request codes.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace brim {

// Device type 0x22, buffered, any access.
constexpr uint32_t kIoctlCallBios = 0x222000;       // NT, BiosRegs
constexpr uint32_t kIoctlGetRomData = 0x222010;     // NT, BiosRegs
constexpr uint32_t kIoctlProgramRom = 0x222014;     // NT, BiosRegs
constexpr uint32_t kIoctlCheckSupport = 0x222018;   // NT, BiosRegs
constexpr uint32_t kIoctlDriverMessage = 0x22201C;  // NT, BiosRegs: the driver's last failure text
constexpr uint32_t kIoctlProgress = 0x222020;       // BiosRegs: ECX bytes done, EDX in all, EBX phase
constexpr uint32_t kIoctlHold = 0x222024;           // BiosRegs: EAX 1 holds the machine, 0 gives it back
constexpr uint32_t kIoctlVxdCallBios = 0x222400;    // 9x, 32-byte packet
constexpr uint32_t kIoctlVxdMapMemory = 0x222404;   // 9x, 12-byte packet
constexpr uint32_t kIoctlVxdProgramRom = 0x222408;  // 9x, 40-byte packet

constexpr uint32_t kCallFailed = 0xFFFFFFFFu;  // status of a failed call

// EBX of the ROM size request (EAX 0x9616): ECX answers the number of 64 KiB
// blocks in 32 bits. Asked before the ROM information; firmware without it
// refuses it.
constexpr uint32_t kRomBlocksFunction = 2;
// EBX of the boot block request (EAX 0x9616): ECX answers its ROM offset and
// EDX its size in bytes. Asked once the ROM size is known; firmware without
// it refuses it, and the boot block is then taken to be the top 64 KiB.
constexpr uint32_t kBootBlockFunction = 3;

struct BiosRegs {
  uint32_t status = 0;
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0, esi = 0, edi = 0;
  uint32_t reserved28[3] = {0, 0, 0};
  uint8_t flagByte40 = 0;
  uint8_t flagByte41 = 0;
  uint32_t physicalAddress = 0;     // 44
  uint32_t imageAddress = 0;        // 48
  uint32_t reserved52 = 0;          // 52
  uint32_t bufferAddress = 0;       // 56
  uint32_t length = 0;              // 60
  uint32_t flashModuleAddress = 0;  // 64
  uint32_t lockBitTableAddress = 0; // 68
  uint32_t fSegmentMapping = 0;     // 72
  uint32_t flagWord = 0;            // 76
  uint32_t firmwareRomValue = 0;    // 80
};

constexpr size_t kBiosRegsSize = 84;
using BiosRegsBytes = std::array<uint8_t, kBiosRegsSize>;

BiosRegsBytes EncodeBiosRegs(const BiosRegs& regs);
// False when fewer than 84 bytes are given.
bool DecodeBiosRegs(const uint8_t* data, size_t size, BiosRegs* regs);

// 9x register packet: 32 bytes, or 40 with the two programming addresses.
struct VxdPacket {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0, esi = 0, edi = 0;
  uint32_t zero = 0;
  uint32_t errorFlag = 0;           // out: non-zero = failure
  uint32_t flashModuleAddress = 0;  // 40-byte form only
  uint32_t lockBitTableAddress = 0; // 40-byte form only
};

constexpr size_t kVxdPacketSize = 32;
constexpr size_t kVxdProgramPacketSize = 40;
constexpr size_t kVxdMapPacketSize = 12;

std::array<uint8_t, kVxdPacketSize> EncodeVxdPacket(const VxdPacket& p);
std::array<uint8_t, kVxdProgramPacketSize> EncodeVxdProgramPacket(const VxdPacket& p);
// Reads 32 bytes (and the two addresses when size >= 40).
bool DecodeVxdPacket(const uint8_t* data, size_t size, VxdPacket* p);

struct VxdMapPacket {
  uint32_t physicalAddress = 0;
  uint32_t length = 0;
  uint32_t linearAddress = 0;  // out
};
std::array<uint8_t, kVxdMapPacketSize> EncodeVxdMapPacket(const VxdMapPacket& p);
bool DecodeVxdMapPacket(const uint8_t* data, size_t size, VxdMapPacket* p);

// AH: bits 8 to 15 of EAX.
inline uint32_t AhOf(uint32_t eax) { return (eax >> 8) & 0xFF; }

}  // namespace brim
