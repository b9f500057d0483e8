#include "driver_protocol/request_handler.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/device.h"
#include "platform/le_bytes.h"

namespace drv {

namespace {
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

bool IsVxd(uint32_t code) { return code >= kVxdCallBios; }

constexpr uint32_t kReadPiece = 0x100000;
}  // namespace

RequestHandler::RequestHandler(std::unique_ptr<Backend> backend) : backend_(std::move(backend)) {}

RequestHandler::~RequestHandler() { Unmap(); }

void RequestHandler::Unmap() {
  if (mapper_ && mapped_) mapper_->unmap(mapper_->context, mapped_);
  mapped_ = 0;
  std::vector<uint8_t>().swap(mappedBytes_);
}

std::string RequestHandler::message() const {
  std::lock_guard<std::mutex> guard(messageLock_);
  return message_;
}

void RequestHandler::SetMessage(const std::string& text) {
  std::lock_guard<std::mutex> guard(messageLock_);
  message_ = text;
}

bool RequestHandler::Fail(const std::string& text) {
  SetMessage(text);
  const std::string prefix = backend_->LogPrefix();
  if (!prefix.empty()) std::fprintf(stderr, "%s: %s\n", prefix.c_str(), text.c_str());
  return false;
}

bool RequestHandler::Fault(const char* function, Registers& r) {
  uint8_t ah = backend_->InjectedAh(function);
  if (!ah) return false;
  SetAh(r.eax, ah);
  return true;
}

bool RequestHandler::Describe(ChipDescription* d, uint8_t* ah) {
  std::string why;
  *ah = backend_->Describe(d, &why);
  if (*ah) return Fail(why);
  return true;
}

bool RequestHandler::HoldForRequest(MachineHold* temporary, uint8_t* ah) {
  const std::string file = backend_->HoldFile();
  if (hold_.held() && hold_.file() == file) return true;
  std::string why;
  switch (temporary->Take(file, &why)) {
    case MachineHold::Result::kTaken:
      return true;
    case MachineHold::Result::kBusy:
      *ah = kAhMachineBusy;
      return Fail(why);
    case MachineHold::Result::kUnavailable:
      break;
  }
  *ah = kAhHoldUnavailable;
  return Fail(why);
}

std::vector<ChipSpan> RequestHandler::SpansToWrite(uint32_t size, uint64_t bootOffset,
                                                   uint32_t bootSize, bool writeBootBlock) {
  if (size == 0) return {};
  if (writeBootBlock || bootSize == 0) return {{0, size - 1}};
  const uint64_t start = std::min<uint64_t>(bootOffset, size);
  const uint64_t end = std::min<uint64_t>(bootOffset + bootSize, size);
  std::vector<ChipSpan> spans;
  if (start > 0) spans.push_back({0, static_cast<uint32_t>(start - 1)});
  if (end < size) spans.push_back({static_cast<uint32_t>(end), size - 1});
  return spans;
}

void RequestHandler::Dispatch(Registers& r, const FlashDriverMemory& mem) {
  std::string why;
  if (!backend_->Available(&why)) {
    SetMessage(why);
    SetAh(r.eax, kAhNotSupported);
    return;
  }
  const FixedAnswers fixed = backend_->Fixed();
  const uint32_t function = r.eax & 0xFFFF;
  if (function == 0x9616 && r.ebx == 0) {
    RomInfo(r, mem);
  } else if (function == 0x9616 && (r.ebx == kRomBlocksFunction || r.ebx == kBootBlockFunction)) {
    ChipDescription d;
    uint8_t ah = 0;
    if (!Describe(&d, &ah)) {
      SetAh(r.eax, ah);
    } else if (r.ebx == kRomBlocksFunction) {
      // Older firmware refuses what CL can tell.
      const bool answers = fixed.wideSizeAlways || d.size / kBlock > kMaxCl8Blocks;
      if (answers) r.ecx = d.size / kBlock;
      SetAh(r.eax, answers ? 0 : kAhNotSupported);
    } else if (d.bootBlockOffset > 0xFFFFFFFFull) {
      Fail("the boot block lies beyond 4 GiB");
      SetAh(r.eax, kAhChipFailed);
    } else {
      // Told as described, even outside the ROM: checking it is the caller's job.
      r.ecx = static_cast<uint32_t>(d.bootBlockOffset);
      r.edx = d.bootBlockSize;
      SetAh(r.eax, 0);
    }
  } else if (function == 0x9610 && r.ebx == 0x0108) {
    if (!Fault("AskSetupPasswd", r)) SetAh(r.eax, fixed.hasPassword ? 0 : kAhNoPassword);
  } else if (function == 0x9610 && (r.ebx & 0xFFFF00FF) == 0x08 && (r.ebx >> 8) == 3) {
    CheckPassword(r, mem);
  } else if (function == 0x9610 && r.ebx == 0) {
    if (!Fault("WSBICheck", r)) {
      r.ebx = fixed.wsbi & 0xFFFF;
      SetAh(r.eax, 0);
    }
  } else if (function == 0x9604 && r.ebx == 0xF700) {
    if (!Fault("AskIsVemoModel", r)) {
      r.edx = (r.edx & 0xFFFF0000u) | (fixed.brand & 0xFFFF);
      SetAh(r.eax, 0);
    }
  } else {
    SetAh(r.eax, kAhNotSupported);
  }
}

void RequestHandler::RomInfo(Registers& r, const FlashDriverMemory& mem) {
  if (Fault("GetROMInfo", r)) return;
  ChipDescription d;
  uint8_t ah = 0;
  if (!Describe(&d, &ah)) {
    SetAh(r.eax, ah);
    return;
  }
  const FixedAnswers fixed = backend_->Fixed();
  const uint32_t blocks = d.size / kBlock;
  std::vector<uint8_t> lockBits(blocks * 4u);
  for (uint32_t i = 0; i < blocks; ++i)
    plat::PutLe32(lockBits.data(), lockBits.size(), i * 4u, d.lockBitBlock0 + i * kBlock);
  const std::string type = d.romType.substr(0, 26);  // the caller's field holds 27 bytes

  // Everything is checked before the first byte is written.
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
  uint8_t fSegment[4];
  plat::PutLe32(fSegment, 4, 0, fixed.fSegmentMapping);
  mem.write(mem.context, r.esi, lockBits.data(), static_cast<uint32_t>(lockBits.size()));
  mem.write(mem.context, Le(list), fSegment, 4);
  mem.write(mem.context, Le(cell), type.c_str(), static_cast<uint32_t>(type.size() + 1));
  r.edi = d.base;
  r.ebx = d.firmwareRomValue;
  // CL holds 8 bits: a larger ROM reports 0 there, so a caller that cannot
  // ask for the 32-bit size refuses it instead of using a wrong one.
  r.ecx = (r.ecx & 0xFFFFFF00u) | (blocks <= kMaxCl8Blocks ? blocks : 0);
  r.edx = (r.edx & 0xFFFFFF00u) | (d.flag & 0xFF);
  SetAh(r.eax, 0);
}

void RequestHandler::CheckPassword(Registers& r, const FlashDriverMemory& mem) {
  const uint32_t length = r.ecx & 0xFFFF;
  std::vector<uint8_t> given(length);
  if (length > kMaxPasswordLength || !Check(mem, r.esi, length, false) ||
      (length && !mem.read(mem.context, r.esi, given.data(), length))) {
    r.failed = true;
    SetAh(r.eax, kAhBadRequest);
    return;
  }
  if (Fault("SetChkSetupPasswd", r)) return;
  const FixedAnswers fixed = backend_->Fixed();
  SetAh(r.eax, !fixed.hasPassword || given == fixed.password ? 0 : kAhBadPassword);
}

bool RequestHandler::ReadRom(uint32_t physical, uint32_t length, uint32_t buffer,
                             const FlashDriverMemory& mem, uint32_t* ebx) {
  ChipDescription d;
  uint8_t ah = 0;
  MachineHold temporary;
  if (!HoldForRequest(&temporary, &ah) || !Describe(&d, &ah)) return false;
  if (length == 0 || physical < d.base || uint64_t(physical) - d.base + length > d.size)
    return Fail("read of " + Hex(length) + " bytes at " + Hex(physical) +
                " lies outside the ROM (" + Hex(d.base) + ", " + Hex(d.size) + " bytes)");
  if (!Check(mem, buffer, length, true))
    return Fail("the read buffer is not writable for " + Hex(length) + " bytes");
  // Handed over a piece at a time: a whole ROM's copy here would be a third
  // ROM-sized buffer beside the caller's two. Filled by the read itself.
  const uint32_t room = std::min(length, kReadPiece);
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[room]);
  if (!bytes) return Fail("no memory for a read of " + Hex(room) + " bytes");
  std::string why;
  bool handed = true;
  progress_.Start(kPhaseReading, length);
  const auto take = [&](uint32_t done, const uint8_t* piece, uint32_t n) {
    handed = mem.write(mem.context, buffer + done, piece, n) != 0;
    return handed;
  };
  if (!backend_->ReadPieces(physical - d.base, length, bytes.get(), room, take, progress_, &why))
    return Fail(handed ? why : "the ROM bytes could not be handed to the caller");
  *ebx = d.mappedRom ? d.mappedRom : physical;
  return true;
}

bool RequestHandler::Program(uint32_t ecx, bool lengthGiven, uint32_t length, uint32_t imageAddress,
                             uint32_t moduleAddress, uint32_t lockBitAddress,
                             const FlashDriverMemory& mem, uint8_t* ah) {
  Registers fault;
  if (Fault("ProgramFlashROM", fault)) {
    *ah = static_cast<uint8_t>(fault.eax >> 8);
    return true;
  }
  ChipDescription d;
  if (!Describe(&d, ah)) return false;
  *ah = kAhBadRequest;
  if (!lengthGiven) length = d.size;
  const bool writeBootBlock = (ecx & 0x1) != 0;
  if (length != d.size)
    return Fail("image of " + std::to_string(length) + " bytes for a ROM of " +
                std::to_string(d.size) + " bytes");
  if (!Check(mem, imageAddress, d.size, false))
    return Fail("the image buffer is not readable for " + Hex(d.size) + " bytes");
  if (backend_->Fixed().runsFlashModule) {
    uint8_t tag[4] = {};
    if (!Check(mem, moduleAddress, 4, false) || !mem.read(mem.context, moduleAddress, tag, 4) ||
        std::memcmp(tag, "A!FR", 4) != 0)
      return Fail("the programming request names no flash module");
    if (!Check(mem, lockBitAddress, uint64_t(d.size / kBlock) * 4, false))
      return Fail("the programming request's lock-bit table is too short");
  }
  if (!writeBootBlock && d.bootBlockOffset + d.bootBlockSize > d.size)
    return Fail("boot block " + Hex(d.bootBlockOffset) + "+" + Hex(d.bootBlockSize) + " of " +
                d.source + " lies outside the flash chip (" + Hex(d.size) + " bytes)");
  // One programming run per machine, whichever process asks.
  MachineHold temporary;
  if (!HoldForRequest(&temporary, ah)) return false;

  ProgramJob job;
  job.size = d.size;
  job.spans = SpansToWrite(d.size, d.bootBlockOffset, d.bootBlockSize, writeBootBlock);
  job.optionBits = ecx;
  job.loadDefaults = (ecx & 0x2) != 0;
  job.readImage = [&mem, imageAddress](uint32_t offset, uint32_t n, uint8_t* to) {
    return mem.read(mem.context, imageAddress + offset, to, n) != 0;
  };
  uint64_t total = 0;
  for (const ChipSpan& span : job.spans) total += uint64_t(span.last) - span.first + 1;
  progress_.Start(kPhaseProgramming, static_cast<uint32_t>(total));
  std::string why;
  *ah = 0;
  if (!backend_->Program(job, progress_, ah, &why)) return Fail(why);
  return true;
}

void RequestHandler::HoldRequest(Registers& r) {
  if (r.eax == 0) {
    hold_.Release();
    SetAh(r.eax, 0);
    return;
  }
  if (r.eax != 1) {
    r.failed = true;
    SetAh(r.eax, kAhBadRequest);
    return;
  }
  std::string why;
  switch (hold_.Take(backend_->HoldFile(), &why)) {
    case MachineHold::Result::kTaken:
      SetAh(r.eax, 0);
      return;
    case MachineHold::Result::kBusy:
      SetAh(r.eax, kAhMachineBusy);
      break;
    case MachineHold::Result::kUnavailable:
      SetAh(r.eax, kAhHoldUnavailable);
      break;
  }
  r.failed = true;
  Fail(why);
}

uint32_t RequestHandler::MapMemory(uint32_t physical, uint32_t length, const FlashDriverMemory& mem) {
  std::string why;
  if (length == 0 || !backend_->Available(&why)) return 0;
  ChipDescription d;
  uint8_t ah = 0;
  if (!Describe(&d, &ah)) return 0;
  uint64_t offset;
  if (physical >= d.base && uint64_t(physical) - d.base + length <= d.size) {
    offset = physical - d.base;
  } else if (backend_->Fixed().shadowsFSegment && physical >= 0xF0000 &&
             uint64_t(physical) + length <= 0x100000 && d.size >= kBlock) {
    offset = d.size - kBlock + (physical - 0xF0000);
  } else {
    return 0;
  }
  MachineHold temporary;
  if (!HoldForRequest(&temporary, &ah)) return 0;
  // One window at a time, so copies never pile up: the last one ends before
  // the new one is read, and its address may be handed out again.
  Unmap();
  std::vector<uint8_t> bytes(length);
  progress_.Start(kPhaseReading, length);
  if (!backend_->Read(static_cast<uint32_t>(offset), length, bytes.data(), progress_, &why)) {
    Fail(why);
    return 0;
  }
  mappedBytes_ = std::move(bytes);
  mapper_ = &mem;
  mapped_ = mem.map(mem.context, mappedBytes_.data(), length);
  if (!mapped_) std::vector<uint8_t>().swap(mappedBytes_);
  return mapped_;
}

uint32_t RequestHandler::Handle(uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                                uint32_t outSize, uint32_t* bytesReturned,
                                const FlashDriverMemory& mem) {
  *bytesReturned = 0;
  uint32_t need;
  switch (code) {
    case kCallBios: case kGetRomData: case kProgramRom: case kCheckSupport: case kDriverMessage:
    case kProgress: case kHold:
      need = kRegsBlockSize;
      break;
    case kVxdCallBios: need = kVxdCallSize; break;
    case kVxdProgramRom: need = kVxdProgramSize; break;
    case kVxdMapMemory: need = kVxdMapSize; break;
    default: return plat::ERROR_INVALID_FUNCTION;
  }
  if (!in || !out || inSize < need || outSize < need) return plat::ERROR_INVALID_PARAMETER;
  std::vector<uint8_t> b(in, in + need);

  if (code == kProgress) {
    // Answered beside a running request, from what it reported last.
    Put32(b, kStatus, 0);
    Put32(b, kEax, Get32(b, kEax) & 0xFFFF00FFu);
    Put32(b, kEax + 4, progress_.phase());
    Put32(b, kEax + 8, progress_.done());
    Put32(b, kEax + 12, progress_.total());
  } else if (code == kDriverMessage) {
    // The text of the last failure, cut to the room given, always terminated.
    const std::string text = message();
    const uint32_t buffer = Get32(b, kBuffer), room = Get32(b, kLength);
    const uint32_t n = room ? static_cast<uint32_t>(std::min<size_t>(text.size(), room - 1)) : 0;
    const bool ok = room > 0 && Check(mem, buffer, n + 1, true) &&
                    mem.write(mem.context, buffer, text.substr(0, n).c_str(), n + 1);
    Put32(b, kStatus, ok ? 0 : kStatusFailed);
    Put32(b, kEax + 8, ok ? n : 0);
  } else {
    std::lock_guard<std::mutex> guard(requestLock_);
    std::string why;
    if (uint32_t refused = backend_->Prepare(&why)) {
      SetMessage(why);
      return refused;
    }
    if (uint32_t injected = backend_->InjectedSystemError(code)) return injected;
    // A failure's text lives until the next request that may fail, so a
    // later failed call never shows an older reason.
    SetMessage("");
    if (uint32_t err = Answer(code, b, mem)) return err;
  }
  std::memcpy(out, b.data(), need);
  *bytesReturned = need;
  return plat::ERROR_SUCCESS;
}

uint32_t RequestHandler::Answer(uint32_t code, std::vector<uint8_t>& b, const FlashDriverMemory& mem) {
  Registers r;
  if (code != kVxdMapMemory) {
    const size_t at = IsVxd(code) ? 0 : kEax;  // 9x packets have no status dword
    uint32_t* regs[] = {&r.eax, &r.ebx, &r.ecx, &r.edx, &r.esi, &r.edi};
    for (size_t i = 0; i < 6; ++i) *regs[i] = Get32(b, at + i * 4);
  }
  std::string why;
  switch (code) {
    case kCheckSupport: {
      const bool available = backend_->Available(&why);
      if (!available) Fail(why);
      Put32(b, kStatus, available && backend_->Fixed().supported ? 0 : kStatusFailed);
      return plat::ERROR_SUCCESS;
    }
    case kCallBios:
      if (Get32(b, kFSegment) == 0xFFFFFFFFu)
        Put32(b, kFSegment, backend_->Available(&why) ? backend_->Fixed().fSegmentMapping : 0);
      Dispatch(r, mem);
      break;
    case kVxdCallBios:
      Dispatch(r, mem);
      break;
    case kHold:
      HoldRequest(r);
      break;
    case kGetRomData: {
      uint32_t ebx = 0;
      const bool available = backend_->Available(&why);
      if (!available) SetMessage(why);
      r.failed = !available ||
                 !ReadRom(Get32(b, kPhysical), Get32(b, kLength), Get32(b, kBuffer), mem, &ebx);
      if (!r.failed) r.ebx = ebx;
      break;
    }
    case kProgramRom:
    case kVxdProgramRom: {
      uint8_t ah = kAhNotSupported;
      uint8_t list[24];
      const bool available = backend_->Available(&why);
      if (!available) SetMessage(why);
      if (available && (r.eax & 0xFFFF) == 0x9616 && r.ebx == 1) {
        if (!Check(mem, r.esi, sizeof list, false) || !mem.read(mem.context, r.esi, list, sizeof list)) {
          Fail("programming request without its address list");
          r.failed = true;
          ah = kAhBadRequest;
        } else if (code == kProgramRom) {
          r.failed = !Program(r.ecx, true, Get32(b, kLength), Get32(b, kImage), Get32(b, kModule),
                              Get32(b, kLockBits), mem, &ah);
        } else {
          // The 9x packet names no length; its image is the list's first cell.
          r.failed = !Program(r.ecx, false, 0, Le(list), Get32(b, kVxdModule),
                              Get32(b, kVxdLockBits), mem, &ah);
        }
      }
      SetAh(r.eax, ah);
      break;
    }
    case kVxdMapMemory: {
      const uint32_t linear = MapMemory(Get32(b, 0), Get32(b, 4), mem);
      if (!linear) return plat::ERROR_INVALID_PARAMETER;
      Put32(b, 8, linear);
      return plat::ERROR_SUCCESS;
    }
  }

  const uint32_t regs[] = {r.eax, r.ebx, r.ecx, r.edx, r.esi, r.edi};
  if (IsVxd(code)) {
    for (size_t i = 0; i < 6; ++i) Put32(b, i * 4, regs[i]);
    Put32(b, kVxdErrorFlag, r.failed ? 1 : 0);
  } else {
    for (size_t i = 0; i < 6; ++i) Put32(b, kEax + i * 4, regs[i]);
    Put32(b, kStatus, r.failed ? kStatusFailed : 0);
  }
  return plat::ERROR_SUCCESS;
}

uint32_t EnterDriver(RequestHandler& handler, uint32_t code, const void* in, uint32_t inSize,
                     void* out, uint32_t outSize, uint32_t* bytesReturned,
                     const FlashDriverMemory* memory) {
  uint32_t ignored = 0;
  if (!bytesReturned) bytesReturned = &ignored;
  *bytesReturned = 0;
  if (!memory || !memory->read || !memory->write || !memory->check || !memory->map ||
      !memory->unmap)
    return plat::ERROR_INVALID_PARAMETER;
  return handler.Handle(code, static_cast<const uint8_t*>(in), inSize, static_cast<uint8_t*>(out),
                        outSize, bytesReturned, *memory);
}

}  // namespace drv
