#include "emulator/emulated_firmware.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "emulator/flash_rom.h"
#include "le.h"
#include "platform/device.h"
#include "platform/file_system.h"
#include "platform/ini_profile.h"

namespace emu {

namespace {
constexpr uint32_t kStatusFailed = 0xFFFFFFFFu;
constexpr uint32_t kBlockSize = 84;
constexpr uint32_t kErrorGenFailure = 31;

// Offsets in the 84-byte block.
constexpr size_t kStatus = 0, kEax = 4, kEbx = 8, kEcx = 12, kEdx = 16, kEsi = 20, kEdi = 24;
constexpr size_t kPhysical = 44, kImage = 48, kBuffer = 56, kLength = 60, kModule = 64,
                 kLockBits = 68, kFSegment = 72;

void SetAh(uint32_t& eax, uint32_t ah) { eax = (eax & 0xFFFF00FFu) | (ah & 0xFF) << 8; }

bool Check(const FlashDriverMemory& mem, uint32_t address, uint64_t size, bool forWrite) {
  return size <= 0xFFFFFFFFull &&
         mem.check(mem.context, address, static_cast<uint32_t>(size), forWrite ? 1 : 0) != 0;
}

std::string StatePath(const std::string& folder) { return folder + "/state.ini"; }

uint32_t StateNumber(const std::string& folder, const char* key) {
  return static_cast<uint32_t>(std::strtoul(
      plat::GetProfileString("STATE", key, "0", 32, StatePath(folder)).c_str(), nullptr, 0));
}

void RealSleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// An exclusive advisory lock on the machine folder's lock file, released when it goes.
struct MachineLock {
  explicit MachineLock(const std::string& folder) {
    fd = ::open((folder + "/" + kMachineLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  }
  ~MachineLock() {
    if (fd >= 0) ::close(fd);
  }
  MachineLock(const MachineLock&) = delete;
  MachineLock& operator=(const MachineLock&) = delete;
  int fd = -1;
  bool held = false;
};
}  // namespace

bool LoadDefaultsRequested(const std::string& folder) {
  return StateNumber(folder, "LOADDEFAULTS") != 0;
}

uint32_t ProgrammingRuns(const std::string& folder) { return StateNumber(folder, "PROGRAMRUNS"); }

EmulatedFirmware::EmulatedFirmware(SleepFn sleep) : sleep_(sleep ? std::move(sleep) : RealSleep) {}

EmulatedFirmware::~EmulatedFirmware() {
  if (!mapper_) return;
  for (auto& entry : maps_)
    if (entry.second.first) mapper_->unmap(mapper_->context, entry.second.first);
}

bool EmulatedFirmware::Fault(const MachineConfig& m, const char* request, Registers& r) const {
  if (!m.ahError || !plat::EqualsNoCase(m.ahErrorFor, request)) return false;
  SetAh(r.eax, m.ahError);
  return true;
}

void EmulatedFirmware::Dispatch(const MachineConfig& m, Registers& r, const FlashDriverMemory& mem) {
  uint32_t function = r.eax & 0xFFFF;
  if (function == 0x9616 && r.ebx == 0) {
    RomInfo(m, r, mem);
  } else if (function == 0x9616 && r.ebx == kRomBlocksFunction && m.romSize / kBlock > kMaxCl8Blocks) {
    // Only a machine CL cannot describe knows the 32-bit size; the others
    // refuse it as they always did.
    r.ecx = m.romSize / kBlock;
    SetAh(r.eax, 0);
  } else if (function == 0x9616 && r.ebx == kBootBlockFunction) {
    // Told as configured, even outside the ROM: checking it is the caller's job.
    r.ecx = m.bootBlockOffset;
    r.edx = m.bootBlockSize;
    SetAh(r.eax, 0);
  } else if (function == 0x9610 && r.ebx == 0x0108) {
    if (!Fault(m, "AskSetupPasswd", r)) SetAh(r.eax, m.hasPassword ? 0 : kAhNoPassword);
  } else if (function == 0x9610 && (r.ebx & 0xFFFF00FF) == 0x08 && (r.ebx >> 8) == 3) {
    CheckPassword(m, r, mem);
  } else if (function == 0x9610 && r.ebx == 0) {
    if (!Fault(m, "WSBICheck", r)) {
      r.ebx = m.wsbiValue & 0xFFFF;
      SetAh(r.eax, 0);
    }
  } else if (function == 0x9604 && r.ebx == 0xF700) {
    if (!Fault(m, "AskIsVemoModel", r)) {
      r.edx = (r.edx & 0xFFFF0000u) | (m.brand & 0xFFFF);
      SetAh(r.eax, 0);
    }
  } else {
    SetAh(r.eax, kAhNotSupported);
  }
}

void EmulatedFirmware::RomInfo(const MachineConfig& m, Registers& r, const FlashDriverMemory& mem) {
  if (Fault(m, "GetROMInfo", r)) return;
  uint32_t blocks = m.romSize / kBlock;
  std::vector<uint8_t> lockBits(blocks * 4u);
  for (uint32_t i = 0; i < blocks; ++i) PutLe32(&lockBits[i * 4u], m.lockBitBlock0 + i * kBlock);
  std::string type = m.romType.substr(0, 26);  // the caller's field holds 27 bytes

  // Everything is checked before the first byte is written.
  uint8_t list[12];
  uint8_t cell[4];
  bool ok = Check(mem, r.esi, lockBits.size(), true) && Check(mem, r.edi, sizeof list, false) &&
            mem.read(mem.context, r.edi, list, sizeof list);
  ok = ok && Check(mem, Le32(list), 4, true) && Check(mem, Le32(list + 4), 4, false) &&
       mem.read(mem.context, Le32(list + 4), cell, sizeof cell) &&
       Check(mem, Le32(cell), type.size() + 1, true);
  if (!ok) {
    r.failed = true;
    SetAh(r.eax, kAhBadRequest);
    return;
  }
  uint8_t fSegment[4];
  PutLe32(fSegment, m.fSegmentMapping);
  mem.write(mem.context, r.esi, lockBits.data(), static_cast<uint32_t>(lockBits.size()));
  mem.write(mem.context, Le32(list), fSegment, 4);
  mem.write(mem.context, Le32(cell), type.c_str(), static_cast<uint32_t>(type.size() + 1));
  r.edi = m.base;
  r.ebx = m.firmwareRomValue;
  r.ecx = (r.ecx & 0xFFFFFF00u) | (blocks <= kMaxCl8Blocks ? blocks : 0);
  r.edx = (r.edx & 0xFFFFFF00u) | (m.flag & 0xFF);
  SetAh(r.eax, 0);
}

void EmulatedFirmware::CheckPassword(const MachineConfig& m, Registers& r,
                                     const FlashDriverMemory& mem) {
  uint32_t length = r.ecx & 0xFFFF;
  std::vector<uint8_t> given(length);
  if (length > kMaxPasswordLength || !Check(mem, r.esi, length, false) ||
      (length && !mem.read(mem.context, r.esi, given.data(), length))) {
    r.failed = true;
    SetAh(r.eax, kAhBadRequest);
    return;
  }
  if (Fault(m, "SetChkSetupPasswd", r)) return;
  bool match = !m.hasPassword || given == m.password;
  SetAh(r.eax, match ? 0 : kAhBadPassword);
}

bool EmulatedFirmware::Program(const MachineConfig& m, uint32_t ecx, uint32_t imageAddress,
                               uint32_t moduleAddress, uint32_t lockBitAddress,
                               const FlashDriverMemory& mem, uint8_t* ah) {
  Registers faultRegs;
  if (Fault(m, "ProgramFlashROM", faultRegs)) {
    *ah = static_cast<uint8_t>(faultRegs.eax >> 8);
    return true;
  }
  uint32_t blocks = m.romSize / kBlock;
  uint8_t tag[4] = {};
  bool ok = Check(mem, imageAddress, m.romSize, false) && Check(mem, moduleAddress, 4, false) &&
            mem.read(mem.context, moduleAddress, tag, 4) && std::memcmp(tag, "A!FR", 4) == 0 &&
            Check(mem, lockBitAddress, uint64_t(blocks) * 4, false);
  if (!ok) {
    *ah = kAhBadRequest;
    return false;
  }
  // One programming run per machine, whichever process or session asks.
  MachineLock lock(m.folder);
  if (!lock.held) {
    *ah = kAhMachineBusy;
    return false;
  }
  if (!m.holdUntil.empty())
    while (!plat::FileExists(m.holdUntil)) sleep_(5);
  FlashRom rom(m.romPath, m.romSize);
  std::vector<uint8_t> block(kBlock);
  uint64_t bootStart = m.bootBlockOffset;
  uint64_t bootEnd = bootStart + m.bootBlockSize;
  bool writeBootBlock = (ecx & 0x1) != 0;
  int32_t written = 0;
  for (uint32_t i = 0; i < blocks; ++i) {
    uint64_t start = uint64_t(i) * kBlock;
    // A kept boot block keeps its own bytes only; the rest of its blocks is written.
    bool keep = !writeBootBlock && start < bootEnd && start + kBlock > bootStart;
    if (keep && start >= bootStart && start + kBlock <= bootEnd) continue;
    if (m.cutOffAfterBlocks >= 0 && written >= m.cutOffAfterBlocks) {
      *ah = 0;
      return false;  // power lost: what was written stays written
    }
    bool read = mem.read(mem.context, imageAddress + i * kBlock, block.data(), kBlock);
    if (read && keep) {
      std::vector<uint8_t> current;
      read = rom.Read(i * kBlock, kBlock, &current);
      uint64_t from = std::max(start, bootStart) - start;
      uint64_t to = std::min(start + kBlock, bootEnd) - start;
      if (read) std::copy(current.begin() + from, current.begin() + to, block.begin() + from);
    }
    // A worn block: some cells do not take the new bytes, and nobody notices.
    if (read && static_cast<int32_t>(i) == m.badBlock)
      for (uint32_t k = 0; k < 16; ++k) block[k] ^= 0xA5;
    if (!read || !rom.Write(i * kBlock, block.data(), kBlock)) {
      *ah = kAhBadRequest;
      return false;
    }
    ++written;
    if (m.blockTimeMs) sleep_(m.blockTimeMs);
  }
  std::string state = StatePath(m.folder);
  if (ecx & 0x2) plat::WritePrivateProfileString("STATE", "LOADDEFAULTS", "1", state);
  plat::WritePrivateProfileString("STATE", "PROGRAMRUNS",
                                  std::to_string(ProgrammingRuns(m.folder) + 1), state);
  plat::WritePrivateProfileString("STATE", "LASTECX", std::to_string(ecx), state);
  *ah = 0;
  return true;
}

uint32_t EmulatedFirmware::MapMemory(const MachineConfig& m, uint32_t physical, uint32_t length,
                                     const FlashDriverMemory& mem) {
  if (length == 0) return 0;
  uint64_t offset;
  if (physical >= m.base && uint64_t(physical) - m.base + length <= m.romSize) {
    offset = physical - m.base;
  } else if (physical >= 0xF0000 && uint64_t(physical) + length <= 0x100000) {
    offset = m.romSize - kBlock + (physical - 0xF0000);  // the F-segment shadows the top block
  } else {
    return 0;
  }
  std::vector<uint8_t> bytes;
  if (!FlashRom(m.romPath, m.romSize).Read(static_cast<uint32_t>(offset), length, &bytes)) return 0;
  auto& slot = maps_[std::make_pair(physical, length)];
  // The old window goes before its bytes change, so no caller sees them move.
  if (slot.first) mem.unmap(mem.context, slot.first);
  slot.second = std::move(bytes);
  slot.first = mem.map(mem.context, slot.second.data(), length);
  mapper_ = &mem;
  return slot.first;
}

uint32_t EmulatedFirmware::Handle(const MachineConfig& m, uint32_t code, const uint8_t* in,
                                  uint32_t inSize, uint8_t* out, uint32_t outSize,
                                  uint32_t* bytesReturned, const FlashDriverMemory& mem) {
  *bytesReturned = 0;
  if (m.ioctlFailCode && code == m.ioctlFailCode) return m.ioctlError ? m.ioctlError : kErrorGenFailure;
  uint32_t need;
  switch (code) {
    case kCallBios: case kGetRomData: case kProgramRom: case kCheckSupport: need = kBlockSize; break;
    case kVxdCallBios: need = 32; break;
    case kVxdProgramRom: need = 40; break;
    case kVxdMapMemory: need = 12; break;
    default: return plat::ERROR_INVALID_FUNCTION;
  }
  if (!in || !out || inSize < need || outSize < need) return plat::ERROR_INVALID_PARAMETER;
  std::vector<uint8_t> b(in, in + need);
  Registers r;
  if (need >= 24 + 4) {
    // 9x packets have no status dword: their registers start at 0.
    size_t at = code >= kVxdCallBios ? 0 : kEax;
    uint32_t* regs[] = {&r.eax, &r.ebx, &r.ecx, &r.edx, &r.esi, &r.edi};
    for (size_t i = 0; i < 6; ++i) *regs[i] = Le32(&b[at + i * 4]);
  }

  switch (code) {
    case kCheckSupport:
      PutLe32(&b[kStatus], m.supported ? 0 : kStatusFailed);
      break;
    case kCallBios:
      if (Le32(&b[kFSegment]) == 0xFFFFFFFFu) PutLe32(&b[kFSegment], m.fSegmentMapping);
      Dispatch(m, r, mem);
      break;
    case kGetRomData: {
      uint32_t physical = Le32(&b[kPhysical]), length = Le32(&b[kLength]);
      uint32_t buffer = Le32(&b[kBuffer]);
      std::vector<uint8_t> bytes;
      bool ok = !m.readFails && length > 0 && physical >= m.base &&
                uint64_t(physical) - m.base + length <= m.romSize &&
                Check(mem, buffer, length, true) &&
                FlashRom(m.romPath, m.romSize).Read(physical - m.base, length, &bytes) &&
                mem.write(mem.context, buffer, bytes.data(), length);
      r.failed = !ok;
      if (ok) r.ebx = m.mappedRom;
      break;
    }
    case kProgramRom: {
      uint8_t ah = kAhNotSupported;
      uint8_t list[24];
      if ((r.eax & 0xFFFF) == 0x9616 && r.ebx == 1) {
        bool listOk = Check(mem, r.esi, sizeof list, false) &&
                      mem.read(mem.context, r.esi, list, sizeof list);
        if (!listOk || Le32(&b[kLength]) != m.romSize) {
          r.failed = true;
          ah = kAhBadRequest;
        } else {
          r.failed = !Program(m, r.ecx, Le32(&b[kImage]), Le32(&b[kModule]), Le32(&b[kLockBits]),
                              mem, &ah);
        }
      }
      SetAh(r.eax, ah);
      break;
    }
    case kVxdCallBios:
      Dispatch(m, r, mem);
      break;
    case kVxdProgramRom: {
      uint8_t ah = kAhNotSupported;
      uint8_t list[24];
      if ((r.eax & 0xFFFF) == 0x9616 && r.ebx == 1) {
        if (Check(mem, r.esi, sizeof list, false) && mem.read(mem.context, r.esi, list, sizeof list))
          r.failed = !Program(m, r.ecx, Le32(list), Le32(&b[32]), Le32(&b[36]), mem, &ah);
        else {
          r.failed = true;
          ah = kAhBadRequest;
        }
      }
      SetAh(r.eax, ah);
      break;
    }
    case kVxdMapMemory: {
      uint32_t linear = MapMemory(m, Le32(&b[0]), Le32(&b[4]), mem);
      if (!linear) return plat::ERROR_INVALID_PARAMETER;
      PutLe32(&b[8], linear);
      std::memcpy(out, b.data(), need);
      *bytesReturned = need;
      return plat::ERROR_SUCCESS;
    }
  }

  if (code >= kVxdCallBios) {
    const uint32_t regs[] = {r.eax, r.ebx, r.ecx, r.edx, r.esi, r.edi};
    for (size_t i = 0; i < 6; ++i) PutLe32(&b[i * 4], regs[i]);
    PutLe32(&b[28], r.failed ? 1 : 0);
  } else if (code != kCheckSupport) {
    const uint32_t regs[] = {r.eax, r.ebx, r.ecx, r.edx, r.esi, r.edi};
    for (size_t i = 0; i < 6; ++i) PutLe32(&b[kEax + i * 4], regs[i]);
    PutLe32(&b[kStatus], r.failed ? kStatusFailed : 0);
  }
  std::memcpy(out, b.data(), need);
  *bytesReturned = need;
  return plat::ERROR_SUCCESS;
}

}  // namespace emu
