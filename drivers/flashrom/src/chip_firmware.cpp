#include "flashrom_driver/chip_firmware.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/device.h"
#include "platform/le_bytes.h"

namespace frd {

namespace {
constexpr uint32_t kStatusFailed = 0xFFFFFFFFu;
constexpr uint32_t kBlockSize = 84;

// Offsets in the 84-byte block.
constexpr size_t kStatus = 0, kEax = 4, kPhysical = 44, kImage = 48, kBuffer = 56, kLength = 60,
                 kFSegment = 72;

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) { return plat::Le32(b.data(), b.size(), at); }
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { plat::PutLe32(b.data(), b.size(), at, v); }
uint32_t Le(const uint8_t* p) { return plat::Le32(p, 4, 0); }

void SetAh(uint32_t& eax, uint32_t ah) { eax = (eax & 0xFFFF00FFu) | (ah & 0xFF) << 8; }

bool Check(const FlashDriverMemory& mem, uint32_t address, uint64_t size, bool forWrite) {
  return size <= 0xFFFFFFFFull &&
         mem.check(mem.context, address, static_cast<uint32_t>(size), forWrite ? 1 : 0) != 0;
}

std::string Hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
  return text;
}
}  // namespace

ChipFirmware::ChipFirmware(const FlashromConfig* config, std::unique_ptr<FlashChip> chip,
                           std::string reason)
    : supported_(config != nullptr && chip != nullptr), chip_(std::move(chip)),
      message_(std::move(reason)) {
  if (config) config_ = *config;
}

ChipFirmware::~ChipFirmware() {
  if (mapper_)
    for (auto& entry : maps_)
      if (entry.second.first) mapper_->unmap(mapper_->context, entry.second.first);
  if (chip_) {
    std::string ignored;
    chip_->Close(&ignored);
  }
}

bool ChipFirmware::Fail(const std::string& text) {
  message_ = text;
  std::fprintf(stderr, "flashrom driver: %s\n", text.c_str());
  return false;
}

bool ChipFirmware::CloseChip() {
  std::string error;
  if (chip_->Close(&error)) return true;
  return Fail("closing the programmer failed: " + error);
}

bool ChipFirmware::Probe(Geometry* g) {
  knownValid_ = false;
  std::string error;
  if (!chip_->Open(&error)) return Fail(error);
  uint64_t size = chip_->Size();
  g->name = chip_->Name();
  if (size == 0 || size % kBlock != 0 || size / kBlock > kMaxBlocks) {
    CloseChip();
    return Fail("flash chip " + g->name + " holds " + std::to_string(size) +
                " bytes, not a whole number of 64 KiB blocks (1 to " + std::to_string(kMaxBlocks) +
                "); it is not used");
  }
  g->size = static_cast<uint32_t>(size);
  g->base = BaseOf(g->size);
  known_ = *g;
  knownValid_ = true;
  return true;
}

bool ChipFirmware::KnownGeometry(Geometry* g) {
  if (knownValid_) {
    *g = known_;
    return true;
  }
  bool probed = Probe(g);
  return CloseChip() && probed;
}

bool ChipFirmware::ReadChip(std::vector<uint8_t>* contents, Geometry* g) {
  if (!Probe(g)) return false;
  contents->assign(g->size, 0);
  std::string error;
  bool ok = chip_->Read(contents->data(), contents->size(), &error);
  if (!ok) Fail("reading flash chip " + g->name + " failed: " + error);
  return CloseChip() && ok;
}

bool ChipFirmware::ReadRange(uint32_t physical, uint32_t length, std::vector<uint8_t>* bytes) {
  std::vector<uint8_t> contents;
  Geometry g;
  if (!ReadChip(&contents, &g)) return false;
  if (length == 0 || physical < g.base || uint64_t(physical) - g.base + length > g.size)
    return Fail("read of " + Hex(length) + " bytes at " + Hex(physical) +
                " lies outside the flash chip (" + Hex(g.base) + ", " + Hex(g.size) + " bytes)");
  bytes->assign(contents.begin() + (physical - g.base),
                contents.begin() + (physical - g.base) + length);
  return true;
}

void ChipFirmware::Dispatch(Registers& r, const FlashDriverMemory& mem) {
  if (!supported_) {
    SetAh(r.eax, kAhNotSupported);
    return;
  }
  uint32_t function = r.eax & 0xFFFF;
  if (function == 0x9616 && r.ebx == 0) {
    RomInfo(r, mem);
  } else if (function == 0x9616 && r.ebx == kRomBlocksFunction) {
    Geometry g;
    bool ok = KnownGeometry(&g);
    if (ok) r.ecx = g.size / kBlock;
    SetAh(r.eax, ok ? 0 : kAhChipFailed);
  } else if (function == 0x9616 && r.ebx == kBootBlockFunction) {
    Geometry g;
    bool ok = KnownGeometry(&g);
    uint64_t start = ok ? BootBlockStart(g.size) : 0;
    ok = ok && start <= 0xFFFFFFFFu;
    if (ok) {
      r.ecx = static_cast<uint32_t>(start);
      r.edx = config_.bootBlockSize;
    }
    SetAh(r.eax, ok ? 0 : kAhChipFailed);
  } else if (function == 0x9610 && r.ebx == 0x0108) {
    SetAh(r.eax, kAhNoPassword);  // a chip knows of no setup password
  } else if (function == 0x9610 && (r.ebx & 0xFFFF00FF) == 0x08 && (r.ebx >> 8) == 3) {
    SetAh(r.eax, 0);  // nothing to check without a password
  } else if (function == 0x9610 && r.ebx == 0) {
    r.ebx = config_.wsbi & 0xFFFF;
    SetAh(r.eax, 0);
  } else if (function == 0x9604 && r.ebx == 0xF700) {
    r.edx = (r.edx & 0xFFFF0000u) | (config_.brand & 0xFFFF);
    SetAh(r.eax, 0);
  } else {
    SetAh(r.eax, kAhNotSupported);
  }
}

void ChipFirmware::RomInfo(Registers& r, const FlashDriverMemory& mem) {
  Geometry g;
  if (!KnownGeometry(&g)) {
    SetAh(r.eax, kAhChipFailed);
    return;
  }
  uint32_t blocks = g.size / kBlock;
  std::vector<uint8_t> lockBits(blocks * 4u);
  // A chip has no lock-bit registers in the address space; each entry names its block.
  for (uint32_t i = 0; i < blocks; ++i)
    plat::PutLe32(lockBits.data(), lockBits.size(), i * 4u, g.base + i * kBlock);
  std::string type = (config_.romType.empty() ? g.name : config_.romType).substr(0, 26);

  uint8_t list[12];
  uint8_t cell[4];
  bool ok = Check(mem, r.esi, lockBits.size(), true) && Check(mem, r.edi, sizeof list, false) &&
            mem.read(mem.context, r.edi, list, sizeof list);
  ok = ok && Check(mem, Le(list), 4, true) && Check(mem, Le(list + 4), 4, false) &&
       mem.read(mem.context, Le(list + 4), cell, sizeof cell) &&
       Check(mem, Le(cell), type.size() + 1, true);
  if (!ok) {
    Fail("ROM information request with buffers too small for " + std::to_string(blocks) +
         " blocks");
    r.failed = true;
    SetAh(r.eax, kAhBadRequest);
    return;
  }
  const uint8_t noMapping[4] = {0, 0, 0, 0};
  mem.write(mem.context, r.esi, lockBits.data(), static_cast<uint32_t>(lockBits.size()));
  mem.write(mem.context, Le(list), noMapping, 4);
  mem.write(mem.context, Le(cell), type.c_str(), static_cast<uint32_t>(type.size() + 1));
  r.edi = g.base;
  r.ebx = 0;
  // CL holds 8 bits: a larger chip reports 0 there, so a caller that cannot
  // ask for the 32-bit size refuses it instead of using a wrong one.
  r.ecx = (r.ecx & 0xFFFFFF00u) | (blocks <= 0xFF ? blocks : 0);
  r.edx = (r.edx & 0xFFFFFF00u) | (config_.flag & 0xFF);
  SetAh(r.eax, 0);
}

uint64_t ChipFirmware::BootBlockStart(uint32_t size) const {
  return config_.bootBlockGiven ? config_.bootBlockOffset
                                : uint64_t(size) - std::min(config_.bootBlockSize, size);
}

std::vector<ChipSpan> ChipFirmware::Spans(uint32_t size, bool writeBootBlock) const {
  if (writeBootBlock) return {{0, size - 1}};
  uint64_t start = BootBlockStart(size);
  uint64_t end = start + config_.bootBlockSize;
  std::vector<ChipSpan> spans;
  if (start > 0) spans.push_back({0, static_cast<uint32_t>(start - 1)});
  if (end < size) spans.push_back({static_cast<uint32_t>(end), size - 1});
  return spans;
}

bool ChipFirmware::Program(uint32_t ecx, bool lengthGiven, uint32_t length, uint32_t imageAddress,
                           const FlashDriverMemory& mem, uint8_t* ah) {
  *ah = kAhBadRequest;
  if ((ecx & 0x2) && !config_.ignoreLoadDefaults) {
    *ah = kAhNotSupported;
    return Fail("loading the setup defaults cannot be asked of a flash chip; set "
                "IGNORELOADDEFAULTS=1 in " + config_.path + " to program without it");
  }
  Geometry g;
  if (!Probe(&g)) {
    *ah = kAhChipFailed;
    return false;
  }
  bool writeBootBlock = (ecx & 0x1) != 0;
  if (!lengthGiven) length = g.size;
  std::vector<uint8_t> image;
  bool ok = true;
  if (length != g.size) {
    ok = Fail("image of " + std::to_string(length) + " bytes for a flash chip of " +
              std::to_string(g.size) + " bytes");
  } else if (!writeBootBlock &&
             uint64_t(config_.bootBlockGiven ? config_.bootBlockOffset : 0) +
                     config_.bootBlockSize > g.size) {
    ok = Fail("boot block " + Hex(config_.bootBlockOffset) + "+" + Hex(config_.bootBlockSize) +
              " of " + config_.path + " lies outside the flash chip (" + Hex(g.size) + " bytes)");
  } else if (!Check(mem, imageAddress, g.size, false)) {
    ok = Fail("the image buffer is not readable for " + Hex(g.size) + " bytes");
  } else {
    image.resize(g.size);
    ok = mem.read(mem.context, imageAddress, image.data(), g.size) != 0;
    if (!ok) Fail("the image could not be read from the caller");
  }
  if (!ok) {
    CloseChip();
    return false;
  }
  std::vector<ChipSpan> spans = Spans(g.size, writeBootBlock);
  std::string error;
  bool written = spans.empty() || chip_->Write(image.data(), image.size(), spans, &error);
  if (!written) Fail("programming flash chip " + g.name + " failed: " + error);
  // The session must end for the chip's new contents to count as stored.
  bool closed = CloseChip();
  *ah = written && closed ? 0 : kAhChipFailed;
  return written && closed;
}

uint32_t ChipFirmware::MapMemory(uint32_t physical, uint32_t length, const FlashDriverMemory& mem) {
  // Below 1 MiB lies the F-segment brimlet maps on 9x; a chip has no copy there.
  if (physical < 0x100000u) return 0;
  std::vector<uint8_t> bytes;
  if (!supported_ || !ReadRange(physical, length, &bytes)) return 0;
  auto& slot = maps_[std::make_pair(physical, length)];
  if (slot.first) mem.unmap(mem.context, slot.first);
  slot.second = std::move(bytes);
  slot.first = mem.map(mem.context, slot.second.data(), length);
  mapper_ = &mem;
  return slot.first;
}

uint32_t ChipFirmware::Handle(uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                              uint32_t outSize, uint32_t* bytesReturned,
                              const FlashDriverMemory& mem) {
  *bytesReturned = 0;
  // A failure's text lives until the next request that may fail, a refused
  // one included: a later failed call must not show an older reason.
  if (supported_ && code != kDriverMessage && code != kCheckSupport) message_.clear();
  uint32_t need;
  switch (code) {
    case kCallBios: case kGetRomData: case kProgramRom: case kCheckSupport: case kDriverMessage:
      need = kBlockSize;
      break;
    case kVxdCallBios: need = 32; break;
    case kVxdProgramRom: need = 40; break;
    case kVxdMapMemory: need = 12; break;
    default: return plat::ERROR_INVALID_FUNCTION;
  }
  if (!in || !out || inSize < need || outSize < need) return plat::ERROR_INVALID_PARAMETER;
  std::vector<uint8_t> b(in, in + need);
  Registers r;
  if (need >= 28) {
    size_t at = code >= kVxdCallBios ? 0 : kEax;  // 9x packets have no status dword
    uint32_t* regs[] = {&r.eax, &r.ebx, &r.ecx, &r.edx, &r.esi, &r.edi};
    for (size_t i = 0; i < 6; ++i) *regs[i] = Get32(b, at + i * 4);
  }

  switch (code) {
    case kCheckSupport:
      if (!supported_) std::fprintf(stderr, "flashrom driver: %s\n", message_.c_str());
      Put32(b, kStatus, supported_ ? 0 : kStatusFailed);
      break;
    case kDriverMessage: {
      // The text of the last failure, cut to the room given, always terminated.
      uint32_t buffer = Get32(b, kBuffer), room = Get32(b, kLength);
      uint32_t n = room ? static_cast<uint32_t>(std::min<size_t>(message_.size(), room - 1)) : 0;
      std::string text = message_.substr(0, n);
      bool ok = room > 0 && Check(mem, buffer, n + 1, true) &&
                mem.write(mem.context, buffer, text.c_str(), n + 1);
      r.failed = !ok;
      r.ecx = ok ? n : 0;
      break;
    }
    case kCallBios:
      if (Get32(b, kFSegment) == 0xFFFFFFFFu) Put32(b, kFSegment, 0);
      Dispatch(r, mem);
      break;
    case kGetRomData: {
      uint32_t physical = Get32(b, kPhysical), length = Get32(b, kLength);
      uint32_t buffer = Get32(b, kBuffer);
      std::vector<uint8_t> bytes;
      bool ok = supported_ && Check(mem, buffer, length, true) &&
                ReadRange(physical, length, &bytes) &&
                mem.write(mem.context, buffer, bytes.data(), length);
      r.failed = !ok;
      if (ok) r.ebx = physical;
      break;
    }
    case kProgramRom:
    case kVxdProgramRom: {
      uint8_t ah = kAhNotSupported;
      uint8_t list[24];
      if (supported_ && (r.eax & 0xFFFF) == 0x9616 && r.ebx == 1) {
        if (!Check(mem, r.esi, sizeof list, false) || !mem.read(mem.context, r.esi, list, sizeof list)) {
          Fail("programming request without its address list");
          r.failed = true;
          ah = kAhBadRequest;
        } else if (code == kProgramRom) {
          r.failed = !Program(r.ecx, true, Get32(b, kLength), Get32(b, kImage), mem, &ah);
        } else {
          r.failed = !Program(r.ecx, false, 0, Le(list), mem, &ah);  // the packet names no length
        }
      }
      SetAh(r.eax, ah);
      break;
    }
    case kVxdCallBios:
      Dispatch(r, mem);
      break;
    case kVxdMapMemory: {
      uint32_t linear = MapMemory(Get32(b, 0), Get32(b, 4), mem);
      if (!linear) return plat::ERROR_INVALID_PARAMETER;
      Put32(b, 8, linear);
      std::memcpy(out, b.data(), need);
      *bytesReturned = need;
      return plat::ERROR_SUCCESS;
    }
  }

  if (code >= kVxdCallBios) {
    const uint32_t regs[] = {r.eax, r.ebx, r.ecx, r.edx, r.esi, r.edi};
    for (size_t i = 0; i < 6; ++i) Put32(b, i * 4, regs[i]);
    Put32(b, 28, r.failed ? 1 : 0);
  } else if (code != kCheckSupport) {
    const uint32_t regs[] = {r.eax, r.ebx, r.ecx, r.edx, r.esi, r.edi};
    for (size_t i = 0; i < 6; ++i) Put32(b, kEax + i * 4, regs[i]);
    Put32(b, kStatus, r.failed ? kStatusFailed : 0);
  }
  std::memcpy(out, b.data(), need);
  *bytesReturned = need;
  return plat::ERROR_SUCCESS;
}

}  // namespace frd
