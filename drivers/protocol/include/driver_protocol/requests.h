// The requests a flash driver module answers, in one place.
//
// The NT requests carry an 84-byte block (status dword, then EAX..EDI, then
// the address fields below); the 9x requests carry packets that start with
// the registers. Answers come back in the same block.
//
// Firmware functions (CallBios, EAX and EBX as below; AH of the answer is 0
// or an error from the list further down):
//   0x9616 EBX 0   ROM information: ESI lock-bit table (4 bytes a block),
//                  EDI a list whose first cell receives the F-segment mapping
//                  and whose second names the cell of the type text (27
//                  bytes); answers EDI base, EBX firmware ROM value, CL blocks
//                  (0 above 255), DL the FLAG word's low byte
//   0x9616 EBX 2   ROM size in 64 KiB blocks, 32 bits, in ECX
//   0x9616 EBX 3   boot block: ECX its ROM offset, EDX its size (as the
//                  backend describes it; checking it is the caller's job)
//   0x9610 EBX 0x0108        is a setup password set (AH 0) or not (AH 1)
//   0x9610 BH 3, BL 8        password check: ESI scan codes, CX their count
//   0x9610 EBX 0   interface check: BX the interface value
//   0x9604 EBX 0xF700        model query: DX the brand code
// Programming (ProgramRom / VxdProgramRom, EAX 0x9616 EBX 1): ESI a list of
// six dwords (the first the image on 9x), ECX bit 0 writes the boot block,
// bit 1 asks for the setup defaults; NT blocks name the image (48), its
// length (60, the ROM's size), the flash module (64) and the lock-bit table
// (68).
//
// Extension requests, answered by the library for every backend:
//   DriverMessage  buffer address (56) and room (60): the last failure's
//                  text, cut to the room and terminated; ECX its length
//   Progress       ECX bytes done, EDX bytes in all, EBX the phase (below) of
//                  the request that runs now or ran last; answered at once,
//                  also while a read or programming request runs
//   Hold           EAX 1 takes the machine for this process, EAX 0 gives it
//                  back; while held, no other process reads or programs it.
//                  Refused with AH kAhMachineBusy when another process holds
//                  it, AH kAhHoldUnavailable when the lock cannot be had at
//                  all (the message names the lock file and why)
#pragma once
#include <cstddef>
#include <cstdint>

namespace drv {

constexpr uint32_t kCallBios = 0x222000;
constexpr uint32_t kGetRomData = 0x222010;
constexpr uint32_t kProgramRom = 0x222014;
constexpr uint32_t kCheckSupport = 0x222018;
constexpr uint32_t kDriverMessage = 0x22201C;
constexpr uint32_t kProgress = 0x222020;
constexpr uint32_t kHold = 0x222024;
constexpr uint32_t kVxdCallBios = 0x222400;
constexpr uint32_t kVxdMapMemory = 0x222404;
constexpr uint32_t kVxdProgramRom = 0x222408;

constexpr uint32_t kRomBlocksFunction = 2;
constexpr uint32_t kBootBlockFunction = 3;

constexpr uint8_t kAhNoPassword = 0x01;
constexpr uint8_t kAhBadPassword = 0x02;
constexpr uint8_t kAhBadRequest = 0x03;
constexpr uint8_t kAhChipFailed = 0x05;
constexpr uint8_t kAhNotSupported = 0x86;
constexpr uint8_t kAhMachineBusy = 0x87;
constexpr uint8_t kAhHoldUnavailable = 0x88;

// Phases the progress request reports.
constexpr uint32_t kPhaseIdle = 0;
constexpr uint32_t kPhaseProgramming = 1;
constexpr uint32_t kPhaseReading = 2;

constexpr uint32_t kBlock = 0x10000;
constexpr uint32_t kMaxBlocks = 4096;  // 256 MiB
constexpr uint32_t kMaxCl8Blocks = 255;
constexpr uint32_t kMaxPasswordLength = 64;
constexpr uint32_t kStatusFailed = 0xFFFFFFFFu;

// The NT block and its fields.
constexpr uint32_t kRegsBlockSize = 84;
constexpr size_t kStatus = 0, kEax = 4, kPhysical = 44, kImage = 48, kBuffer = 56, kLength = 60,
                 kModule = 64, kLockBits = 68, kFSegment = 72;
// 9x packets.
constexpr uint32_t kVxdCallSize = 32, kVxdProgramSize = 40, kVxdMapSize = 12;
constexpr size_t kVxdErrorFlag = 28, kVxdModule = 32, kVxdLockBits = 36;

}  // namespace drv
