// The description of an emulated machine: a folder with the ROM contents
// ("rom.bin" unless ROMFILE says otherwise) and "machine.ini".
//
// [MACHINE] BASE, FLAG, ROMTYPE, LOCKBITBLOCK0 (lock-bit address of block 0),
//   PASSWORD (scan codes in hex, or "none"), BRAND, SUPPORTED, FSEGMENT
//   (F-segment mapping), ROMVALUE (firmware ROM value), MAPPEDROM, WSBI,
//   BOOTBLOCK and BOOTBLOCKSIZE (ROM offset and size of the boot block; a
//   run that keeps it keeps exactly these bytes, and the boot block request
//   tells them),
//   BLOCKTIME (milliseconds per 64 KiB block programmed)
// [FAULTS] AHERROR with AHERRORFOR (AskSetupPasswd, SetChkSetupPasswd,
//   WSBICheck, AskIsVemoModel, GetROMInfo, ProgramFlashROM), READFAIL,
//   CUTOFF (blocks written before a programming run stops), IOCTLFAIL with
//   IOCTLERROR (a request code whose system call fails, and its error)
// Numbers are decimal or 0x-prefixed hex.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace emu {

constexpr uint32_t kBlock = 0x10000;
constexpr uint32_t kMaxCl8Blocks = 255;  // what CL of the ROM information can report
// A machine above 255 blocks also answers the 32-bit ROM size request.
constexpr uint32_t kMaxBlocks = 4096;
constexpr const char* kMachineLockFile = "machine.lock";

struct MachineConfig {
  std::string folder;
  std::string romPath;
  uint32_t romSize = 0;
  uint32_t base = 0xFFF00000u;
  uint32_t flag = 0x10;
  std::string romType = "SST 49LF008A";
  uint32_t lockBitBlock0 = 0xFFB00000u;
  bool hasPassword = false;
  std::vector<uint8_t> password;
  uint32_t brand = 0x564D;
  bool supported = true;
  uint32_t fSegmentMapping = 0x000F0000u;
  uint32_t firmwareRomValue = 0;
  uint32_t mappedRom = 0;  // 0: the base address
  uint32_t wsbiValue = 0x0100;
  uint32_t bootBlockOffset = 0;  // default: the last 64 KiB block
  uint32_t bootBlockSize = kBlock;
  uint32_t blockTimeMs = 0;
  // Faults.
  uint32_t ahError = 0;
  std::string ahErrorFor;
  bool readFails = false;
  int32_t cutOffAfterBlocks = -1;
  uint32_t ioctlFailCode = 0;
  uint32_t ioctlError = 0;
  int32_t badBlock = -1;
  std::string holdUntil;  // full path, "" when not set
};

// Reads the folder's description; false with *error when the ROM file is
// missing or not a whole number (1 to kMaxBlocks) of 64 KiB blocks.
bool LoadMachineConfig(const std::string& folder, MachineConfig* config, std::string* error);

// "1E 30 2E" -> bytes; false on anything that is not a hex byte.
bool ParseScanCodes(const std::string& text, std::vector<uint8_t>* codes);

}  // namespace emu
