// The protocol library over a fake backend: the spans a run writes, the
// progress request beside a running request, the machine hold across
// handlers, and the entry point's checks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <condition_variable>
#include <cstdlib>
#include <thread>

#include "driver_protocol/request_handler.h"
#include "platform/address_window.h"
#include "platform/device.h"
#include "platform/le_bytes.h"
#include "temp_dir.h"

namespace drv {
namespace {

class FakeBackend : public Backend {
 public:
  FakeBackend(uint32_t blocks, std::string lock) : rom(blocks * kBlock, 0x11), lock_(std::move(lock)) {}

  FixedAnswers Fixed() override { return FixedAnswers(); }
  uint8_t Describe(ChipDescription* d, std::string*) override {
    d->size = static_cast<uint32_t>(rom.size());
    d->base = static_cast<uint32_t>(0x100000000ull - rom.size());
    d->lockBitBlock0 = d->base;
    d->bootBlockOffset = rom.size() - kBlock;
    return 0;
  }
  bool Read(uint32_t offset, uint32_t length, uint8_t* to, Progress& progress, std::string*) override {
    std::copy(rom.begin() + offset, rom.begin() + offset + length, to);
    progress.Add(length);
    return true;
  }
  bool Program(const ProgramJob& job, Progress& progress, uint8_t* ah, std::string* why) override {
    spans = job.spans;
    for (const ChipSpan& s : job.spans)
      for (uint64_t at = s.first; at <= s.last; at += kBlock) {
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kBlock, uint64_t(s.last) + 1 - at));
        if (!job.readImage(static_cast<uint32_t>(at), n, &rom[at])) {
          *why = "image unreadable";
          return false;
        }
        progress.Add(n);
        if (pauseAt == at) Pause();
      }
    *ah = 0;
    return true;
  }
  std::string HoldFile() override { return lock_; }

  // The run stops at pauseAt until Resume(); Paused() waits for it to get there.
  void Pause() {
    std::unique_lock<std::mutex> guard(lock);
    paused = true;
    changed.notify_all();
    changed.wait(guard, [this] { return resumed; });
  }
  void WaitPaused() {
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [this] { return paused; });
  }
  void Resume() {
    std::lock_guard<std::mutex> guard(lock);
    resumed = true;
    changed.notify_all();
  }

  std::vector<uint8_t> rom;
  std::vector<ChipSpan> spans;
  uint64_t pauseAt = ~0ull;
  std::mutex lock;
  std::condition_variable changed;
  bool paused = false, resumed = false;

 private:
  std::string lock_;
};

uint32_t At(const std::vector<uint8_t>& b, size_t at) { return plat::Le32(b.data(), b.size(), at); }
void Set(std::vector<uint8_t>& b, size_t at, uint32_t v) { plat::PutLe32(b.data(), b.size(), at, v); }
uint32_t Ah(const std::vector<uint8_t>& b) { return (At(b, kEax) >> 8) & 0xFF; }

struct Driver {
  Driver(uint32_t blocks, const std::string& lock) {
    auto owned = std::make_unique<FakeBackend>(blocks, lock);
    fake = owned.get();
    handler = std::make_unique<RequestHandler>(std::move(owned));
  }
  uint32_t Send(uint32_t code, std::vector<uint8_t>& b) {
    std::vector<uint8_t> in = b;
    uint32_t returned = 0;
    return EnterDriver(*handler, code, in.data(), static_cast<uint32_t>(in.size()), b.data(),
                       static_cast<uint32_t>(b.size()), &returned, plat::ProcessDriverMemory());
  }
  std::vector<uint8_t> Regs(uint32_t eax, uint32_t ebx = 0) {
    std::vector<uint8_t> b(kRegsBlockSize);
    Set(b, kEax, eax);
    Set(b, kEax + 4, ebx);
    return b;
  }
  std::vector<uint8_t> Hold(uint32_t take) {
    auto b = Regs(take);
    EXPECT_EQ(Send(kHold, b), 0u);
    return b;
  }
  // Status dword of a whole-ROM read into `into`.
  uint32_t ReadRom(std::vector<uint8_t>& into) {
    plat::MappedBuffer map(static_cast<void*>(into.data()), static_cast<uint32_t>(into.size()));
    auto b = Regs(0);
    Set(b, kPhysical, static_cast<uint32_t>(0x100000000ull - into.size()));
    Set(b, kBuffer, map.address());
    Set(b, kLength, static_cast<uint32_t>(into.size()));
    EXPECT_EQ(Send(kGetRomData, b), 0u);
    return At(b, kStatus);
  }
  // AH of a programming run of `image` with option bits ecx.
  uint32_t Program(const std::vector<uint8_t>& image, uint32_t ecx) {
    plat::MappedBuffer map(static_cast<const void*>(image.data()), static_cast<uint32_t>(image.size()));
    const uint32_t list[6] = {map.address(), 0, 0, 0, 0, 0};
    plat::MappedBuffer listMap(static_cast<const void*>(list), sizeof list);
    auto b = Regs(0x9616, 1);
    Set(b, kEax + 8, ecx);
    Set(b, kEax + 16, listMap.address());
    Set(b, kImage, map.address());
    Set(b, kLength, static_cast<uint32_t>(image.size()));
    EXPECT_EQ(Send(kProgramRom, b), 0u);
    return Ah(b);
  }
  struct Reading {
    uint32_t phase, done, total;
  };
  Reading Progress() {
    auto b = Regs(0);
    EXPECT_EQ(Send(kProgress, b), 0u);
    return {At(b, kEax + 4), At(b, kEax + 8), At(b, kEax + 12)};
  }

  FakeBackend* fake;
  std::unique_ptr<RequestHandler> handler;
};

TEST(Spans, EverythingButAKeptBootBlockInsideTheRom) {
  struct Case {
    uint32_t size;
    uint64_t bootOffset;
    uint32_t bootSize;
    bool writeBoot;
    std::vector<std::pair<uint32_t, uint32_t>> spans;
  } cases[] = {
      {4 * kBlock, 3 * kBlock, kBlock, true, {{0, 4 * kBlock - 1}}},
      {4 * kBlock, 3 * kBlock, kBlock, false, {{0, 3 * kBlock - 1}}},
      {4 * kBlock, 0, kBlock, false, {{kBlock, 4 * kBlock - 1}}},
      {4 * kBlock, kBlock + 0x100, 0x200, false, {{0, kBlock + 0xFF}, {kBlock + 0x300, 4 * kBlock - 1}}},
      {4 * kBlock, 0, 4 * kBlock, false, {}},
      {4 * kBlock, 3 * kBlock, 2 * kBlock, false, {{0, 3 * kBlock - 1}}},  // cut at the ROM's end
  };
  for (const Case& c : cases) {
    std::vector<std::pair<uint32_t, uint32_t>> got;
    for (const ChipSpan& s : RequestHandler::SpansToWrite(c.size, c.bootOffset, c.bootSize, c.writeBoot))
      got.emplace_back(s.first, s.last);
    EXPECT_EQ(got, c.spans) << "boot block at " << c.bootOffset << " size " << c.bootSize;
  }
}

TEST(ProgressRequest, AnsweredWhileARunGoesOnAndNeverGoesBack) {
  plat::TempDir dir;
  Driver d(16, (dir / "machine.lock"));
  d.fake->pauseAt = 7 * kBlock;
  std::vector<uint8_t> image(16 * kBlock, 0x5A);
  uint32_t ah = 0xFF;
  std::thread run([&] { ah = d.Program(image, 0); });
  d.fake->WaitPaused();
  const Driver::Reading mid = d.Progress();
  d.fake->Resume();
  run.join();
  EXPECT_EQ(ah, 0u);
  EXPECT_EQ(mid.phase, kPhaseProgramming);
  EXPECT_EQ(mid.done, 8 * kBlock) << "eight blocks were written when the run paused";
  EXPECT_EQ(mid.total, 15 * kBlock) << "the kept boot block is not part of the run";
  const Driver::Reading end = d.Progress();
  EXPECT_EQ(end.done, end.total);

  std::vector<uint8_t> back(16 * kBlock);
  EXPECT_EQ(d.ReadRom(back), 0u);
  const Driver::Reading read = d.Progress();
  EXPECT_EQ(read.phase, kPhaseReading);
  EXPECT_EQ(read.done, 16 * kBlock);
  EXPECT_EQ(read.total, 16 * kBlock);
}

TEST(HoldRequest, OneHolderAcrossHandlersAndEveryOtherRequestWaitsItsTurn) {
  plat::TempDir dir;
  const std::string lock = (dir / "machine.lock");
  Driver first(4, lock), second(4, lock);
  ASSERT_EQ(Ah(first.Hold(1)), 0u);
  struct stat st;
  ASSERT_EQ(::stat(lock.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u) << "every user can take the same lock";

  auto refused = second.Hold(1);
  EXPECT_EQ(At(refused, kStatus), kStatusFailed);
  EXPECT_EQ(Ah(refused), kAhMachineBusy);
  EXPECT_NE(second.handler->message().find(lock), std::string::npos) << second.handler->message();
  std::vector<uint8_t> rom(4 * kBlock, 0);
  EXPECT_EQ(second.ReadRom(rom), kStatusFailed) << "no read while another process holds the machine";
  const std::vector<uint8_t> image(4 * kBlock, 0x77);
  EXPECT_EQ(second.Program(image, 1), kAhMachineBusy);
  EXPECT_EQ(second.fake->rom, std::vector<uint8_t>(4 * kBlock, 0x11)) << "nothing written";

  EXPECT_EQ(first.ReadRom(rom), 0u) << "the holder reads and programs";
  EXPECT_EQ(first.Program(image, 1), 0u);
  ASSERT_EQ(Ah(first.Hold(0)), 0u);
  EXPECT_EQ(Ah(second.Hold(1)), 0u) << "given back, the machine is the next one's";

  Driver nowhere(4, (dir / "no-such-folder/machine.lock"));
  auto unavailable = nowhere.Hold(1);
  EXPECT_EQ(Ah(unavailable), kAhHoldUnavailable);
  EXPECT_NE(nowhere.handler->message().find("no-such-folder/machine.lock cannot be opened"),
            std::string::npos)
      << nowhere.handler->message();
}

TEST(EntryPoint, RefusesWhatItCannotAnswer) {
  plat::TempDir dir;
  Driver d(4, (dir / "machine.lock"));
  std::vector<uint8_t> b(kRegsBlockSize), out(kRegsBlockSize);
  uint32_t returned = 7;
  EXPECT_EQ(EnterDriver(*d.handler, kCallBios, b.data(), kRegsBlockSize, out.data(), kRegsBlockSize,
                        &returned, nullptr),
            plat::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(d.Send(0x222FFC, b), plat::ERROR_INVALID_FUNCTION);
  std::vector<uint8_t> shortBlock(kRegsBlockSize - 1);
  EXPECT_EQ(d.Send(kProgress, shortBlock), plat::ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace drv
