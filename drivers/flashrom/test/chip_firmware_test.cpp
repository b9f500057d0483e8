// The request handler on an in-memory chip: what each request answers, which
// spans a programming run writes, and that every refusal writes nothing.
#include <gtest/gtest.h>

#include <cstring>

#include "flashrom_driver/chip_firmware.h"
#include "platform/address_window.h"
#include "platform/file_system.h"
#include "temp_dir.h"
#include "platform/le_bytes.h"

namespace frd {
namespace {

using namespace drv;  // the request codes and answers

class MemoryChip : public FlashChip {
 public:
  explicit MemoryChip(size_t size) : bytes(size) {
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 13 + i / kBlock);
  }
  bool Open(std::string* error) override {
    if (failOpen) {
      *error = "programmer gone";
      return false;
    }
    ++opens;
    open = true;
    return true;
  }
  uint64_t Size() const override { return bytes.size(); }
  std::string Name() const override { return "MEM25Q"; }
  bool Read(uint32_t offset, uint8_t* buffer, size_t length, std::string*) override {
    EXPECT_TRUE(open);
    std::memcpy(buffer, bytes.data() + offset, length);
    ++reads;
    return true;
  }
  bool Write(size_t, const std::vector<ChipSpan>& s, const ImageSource& image, const Written& written,
             std::string* error) override {
    EXPECT_TRUE(open);
    if (failWrite) {
      *error = "verify failed at 0x1000";
      return false;
    }
    spans = s;
    for (const ChipSpan& span : s) {
      if (!image(span.first, span.last - span.first + 1, &bytes[span.first])) return false;
      written(span.last - span.first + 1);
    }
    return true;
  }
  bool Close(std::string*) override {
    if (open) ++closes;
    open = false;
    return true;
  }

  std::vector<uint8_t> bytes;
  std::vector<ChipSpan> spans;
  bool failOpen = false, failWrite = false, open = false;
  int opens = 0, closes = 0, reads = 0;
};

std::vector<uint8_t> Regs(uint32_t eax, uint32_t ebx, uint32_t ecx = 0, uint32_t esi = 0, uint32_t edi = 0) {
  std::vector<uint8_t> b(84);
  const uint32_t v[] = {eax, ebx, ecx, 0, esi, edi};
  for (size_t i = 0; i < 6; ++i) plat::PutLe32(b.data(), b.size(), 4 + i * 4, v[i]);
  return b;
}
uint32_t At(const std::vector<uint8_t>& b, size_t offset) { return plat::Le32(b.data(), b.size(), offset); }
void Set(std::vector<uint8_t>& b, size_t offset, uint32_t v) { plat::PutLe32(b.data(), b.size(), offset, v); }
uint32_t Ah(const std::vector<uint8_t>& b) { return (At(b, 4) >> 8) & 0xFF; }

class Handler : public ::testing::Test {
 protected:
  void Make(size_t size, const std::string& lines = "") {
    config.programmer = "dummy";
    config.flag = 0x10;
    config.path = "/x/flashrom.ini";
    if (lines == "bootblock 1") {
      config.bootBlockGiven = true;
      config.bootBlockOffset = kBlock;
    }
    auto owned = std::make_unique<MemoryChip>(size);
    chip = owned.get();
    firmware = std::make_unique<ChipFirmware>(&config, std::move(owned), "");
  }
  uint32_t Send(uint32_t code, std::vector<uint8_t>& b) {
    std::vector<uint8_t> in = b;
    uint32_t returned = 0;
    return firmware->Handle(code, in.data(), static_cast<uint32_t>(in.size()), b.data(),
                            static_cast<uint32_t>(b.size()), &returned, *plat::ProcessDriverMemory());
  }
  // A programming request for `image` with option bits ecx.
  std::vector<uint8_t> Program(const std::vector<uint8_t>& image, uint32_t ecx, uint32_t length = 0) {
    plat::MappedBuffer map(static_cast<const void*>(image.data()), static_cast<uint32_t>(image.size()));
    const uint32_t list[6] = {map.address(), 0, 0, 0, 0, 0};
    plat::MappedBuffer listMap(static_cast<const void*>(list), sizeof list);
    auto b = Regs(0x9616, 1, ecx, listMap.address());
    Set(b, 48, map.address());
    Set(b, 60, length ? length : static_cast<uint32_t>(image.size()));
    EXPECT_EQ(Send(kProgramRom, b), 0u);
    return b;
  }
  std::string Message() {
    char text[1024];
    std::memset(text, 'x', sizeof text);
    plat::MappedBuffer map(static_cast<void*>(text), sizeof text);
    auto b = Regs(0, 0);
    Set(b, 56, map.address());
    Set(b, 60, sizeof text);
    EXPECT_EQ(Send(kDriverMessage, b), 0u);
    EXPECT_EQ(At(b, 0), 0u);
    return std::string(text);
  }

  FlashromConfig config;
  MemoryChip* chip = nullptr;
  std::unique_ptr<ChipFirmware> firmware;
};

TEST_F(Handler, WithoutConfigurationEverythingIsUnsupportedAndNothingOpens) {
  auto owned = std::make_unique<MemoryChip>(kBlock);
  MemoryChip* c = owned.get();
  firmware = std::make_unique<ChipFirmware>(nullptr, std::move(owned), "no flashrom.ini found");
  auto support = Regs(0, 0);
  ASSERT_EQ(Send(kCheckSupport, support), 0u);
  EXPECT_EQ(At(support, 0), 0xFFFFFFFFu);
  for (uint32_t ebx : {0u, kRomBlocksFunction, kBootBlockFunction, 0x0108u}) {
    auto b = Regs(ebx == 0x0108u ? 0x9610 : 0x9616, ebx);
    ASSERT_EQ(Send(kCallBios, b), 0u);
    EXPECT_EQ(Ah(b), kAhNotSupported);
  }
  std::vector<uint8_t> image(kBlock, 0);
  EXPECT_EQ(Ah(Program(image, 1)), kAhNotSupported);
  EXPECT_EQ(c->opens, 0);
  EXPECT_EQ(Message(), "no flashrom.ini found");
}

TEST_F(Handler, SixteenMebibyteChipAnswersThirtyTwoBitsAndZeroInCl) {
  Make(256 * kBlock);
  auto size = Regs(0x9616, kRomBlocksFunction);
  ASSERT_EQ(Send(kCallBios, size), 0u);
  EXPECT_EQ(Ah(size), 0u);
  EXPECT_EQ(At(size, 12), 256u);

  std::vector<uint32_t> locks(256);
  char type[27] = {};
  uint32_t fseg = 0xDEAD;
  plat::MappedBuffer lockMap(static_cast<void*>(locks.data()), 256 * 4);
  plat::MappedBuffer typeMap(static_cast<void*>(type), sizeof type);
  plat::MappedBuffer fsegMap(static_cast<void*>(&fseg), 4);
  const uint32_t cell = typeMap.address();
  plat::MappedBuffer cellMap(static_cast<const void*>(&cell), 4);
  const uint32_t list[3] = {fsegMap.address(), cellMap.address(), 0};
  plat::MappedBuffer listMap(static_cast<const void*>(list), sizeof list);
  auto info = Regs(0x9616, 0, 0xAABBCC11, lockMap.address(), listMap.address());
  ASSERT_EQ(Send(kCallBios, info), 0u);
  EXPECT_EQ(Ah(info), 0u);
  EXPECT_EQ(At(info, 12), 0xAABBCC00u) << "CL holds 0 for 256 blocks";
  EXPECT_EQ(At(info, 16) & 0xFF, 0x10u);
  EXPECT_EQ(At(info, 24), 0xFF000000u);
  EXPECT_EQ(locks[0], 0xFF000000u);
  EXPECT_EQ(locks[255], 0xFFFF0000u);
  EXPECT_STREQ(type, "MEM25Q");
  EXPECT_EQ(fseg, 0u);
  EXPECT_EQ(chip->opens, chip->closes) << "no session outlives its request";
  EXPECT_EQ(chip->opens, 1) << "the information reuses the size answer's probe";

  // A table too small for the chip is refused before anything is written.
  std::vector<uint32_t> small(255, 7);
  plat::MappedBuffer smallMap(static_cast<void*>(small.data()), 255 * 4);
  auto refused = Regs(0x9616, 0, 0, smallMap.address(), listMap.address());
  ASSERT_EQ(Send(kCallBios, refused), 0u);
  EXPECT_EQ(Ah(refused), kAhBadRequest);
  EXPECT_EQ(small[0], 7u);
}

TEST_F(Handler, BootBlockAsConfiguredOrTheChipsTop) {
  Make(16 * kBlock);
  auto top = Regs(0x9616, kBootBlockFunction);
  ASSERT_EQ(Send(kCallBios, top), 0u);
  EXPECT_EQ(Ah(top), 0u);
  EXPECT_EQ(At(top, 12), 15 * kBlock);
  EXPECT_EQ(At(top, 16), kBlock);

  Make(16 * kBlock, "bootblock 1");
  config.bootBlockSize = 0x4000;
  firmware = std::make_unique<ChipFirmware>(&config, std::make_unique<MemoryChip>(16 * kBlock), "");
  auto given = Regs(0x9616, kBootBlockFunction);
  ASSERT_EQ(Send(kCallBios, given), 0u);
  EXPECT_EQ(Ah(given), 0u);
  EXPECT_EQ(At(given, 12), kBlock);
  EXPECT_EQ(At(given, 16), 0x4000u);

  Make(0x18000);
  auto broken = Regs(0x9616, kBootBlockFunction);
  ASSERT_EQ(Send(kCallBios, broken), 0u);
  EXPECT_EQ(Ah(broken), kAhChipFailed) << "no answer for a chip that is not used";
}

TEST_F(Handler, ChipOfNoWholeNumberOfBlocksIsRefusedWithItsReason) {
  Make(0x18000);
  auto size = Regs(0x9616, kRomBlocksFunction);
  ASSERT_EQ(Send(kCallBios, size), 0u);
  EXPECT_EQ(Ah(size), kAhChipFailed);
  EXPECT_NE(Message().find("98304 bytes, not a whole number of 64 KiB blocks"), std::string::npos);
  std::vector<uint8_t> out(0x18000);
  plat::MappedBuffer map(static_cast<void*>(out.data()), 0x18000);
  auto read = Regs(0, 0);
  Set(read, 44, BaseOf(0x18000));
  Set(read, 56, map.address());
  Set(read, 60, 0x18000);
  ASSERT_EQ(Send(kGetRomData, read), 0u);
  EXPECT_EQ(At(read, 0), 0xFFFFFFFFu);
  EXPECT_EQ(chip->opens, chip->closes);
}

TEST_F(Handler, RomDataIsTheChipsSliceAtItsPhysicalAddress) {
  Make(16 * kBlock);
  std::vector<uint8_t> out(0x100);
  plat::MappedBuffer map(static_cast<void*>(out.data()), 0x100);
  auto read = Regs(0, 0);
  Set(read, 44, 0xFFF10000);
  Set(read, 56, map.address());
  Set(read, 60, 0x100);
  ASSERT_EQ(Send(kGetRomData, read), 0u);
  EXPECT_EQ(At(read, 0), 0u);
  EXPECT_EQ(At(read, 8), 0xFFF10000u);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), chip->bytes.begin() + kBlock));
  Set(read, 44, 0xFFFFFF80);  // runs past 4 GiB
  ASSERT_EQ(Send(kGetRomData, read), 0u);
  EXPECT_EQ(At(read, 0), 0xFFFFFFFFu);
}

// A read longer than the handler's 1 MiB piece arrives whole and in order,
// each piece read from the chip, all in one session.
TEST_F(Handler, LongReadIsOneSessionOfPieces) {
  Make(40 * kBlock);  // two whole pieces and a half
  std::vector<uint8_t> out(chip->bytes.size());
  plat::MappedBuffer map(static_cast<void*>(out.data()), static_cast<uint32_t>(out.size()));
  auto read = Regs(0, 0);
  Set(read, 44, BaseOf(40 * kBlock));
  Set(read, 56, map.address());
  Set(read, 60, static_cast<uint32_t>(out.size()));
  ASSERT_EQ(Send(kGetRomData, read), 0u);  // the first also probes for the size
  const int opens = chip->opens, reads = chip->reads;
  std::fill(out.begin(), out.end(), 0);
  ASSERT_EQ(Send(kGetRomData, read), 0u);
  EXPECT_EQ(At(read, 0), 0u);
  EXPECT_EQ(out, chip->bytes);
  EXPECT_EQ(chip->opens - opens, 1);
  EXPECT_EQ(chip->reads - reads, 3);
  EXPECT_EQ(chip->opens, chip->closes);
}

TEST_F(Handler, ProgrammingLeavesTheBootBlockOutUnlessAsked) {
  Make(16 * kBlock);
  std::vector<uint8_t> image(16 * kBlock, 0xA5);
  auto b = Program(image, 0);
  EXPECT_EQ(Ah(b), 0u);
  ASSERT_EQ(chip->spans.size(), 1u);
  EXPECT_EQ(chip->spans[0].first, 0u);
  EXPECT_EQ(chip->spans[0].last, 15u * kBlock - 1);
  EXPECT_FALSE(chip->open) << "the session ends with the programming run";

  auto progress = Regs(0, 0);
  ASSERT_EQ(Send(kProgress, progress), 0u);
  EXPECT_EQ(At(progress, 8), 1u) << "programming";
  EXPECT_EQ(At(progress, 12), 15u * kBlock) << "every piece the chip reported";
  EXPECT_EQ(At(progress, 16), 15u * kBlock);

  b = Program(image, 1);
  EXPECT_EQ(Ah(b), 0u);
  ASSERT_EQ(chip->spans.size(), 1u);
  EXPECT_EQ(chip->spans[0].last, 16u * kBlock - 1);

  Make(16 * kBlock, "bootblock 1");
  b = Program(image, 0);
  ASSERT_EQ(chip->spans.size(), 2u);
  EXPECT_EQ(chip->spans[0].first, 0u);
  EXPECT_EQ(chip->spans[0].last, kBlock - 1);
  EXPECT_EQ(chip->spans[1].first, 2 * kBlock);
  EXPECT_EQ(chip->spans[1].last, 16 * kBlock - 1);
}

TEST_F(Handler, RefusedProgrammingWritesNothing) {
  Make(16 * kBlock);
  const std::vector<uint8_t> before = chip->bytes;
  std::vector<uint8_t> image(16 * kBlock, 0xA5);

  EXPECT_EQ(Ah(Program(image, 3)), kAhNotSupported) << "setup defaults asked for";
  EXPECT_NE(Message().find("IGNORELOADDEFAULTS"), std::string::npos);
  std::vector<uint8_t> shorter(15 * kBlock, 0xA5);
  EXPECT_EQ(Ah(Program(shorter, 1)), kAhBadRequest);
  EXPECT_EQ(Ah(Program(image, 1, 32 * kBlock)), kAhBadRequest) << "length beyond the mapped image";
  EXPECT_TRUE(chip->bytes == before);

  config.bootBlockGiven = true;
  config.bootBlockOffset = 16 * kBlock - 0x1000;  // runs off the chip
  Make(16 * kBlock);
  EXPECT_EQ(Ah(Program(image, 0)), kAhBadRequest);
  EXPECT_NE(Message().find("lies outside the flash chip"), std::string::npos);
  EXPECT_TRUE(chip->bytes == before);
  EXPECT_EQ(chip->opens, chip->closes);

  config.bootBlockGiven = false;
  config.ignoreLoadDefaults = true;
  Make(16 * kBlock);
  EXPECT_EQ(Ah(Program(image, 3)), 0u) << "the wish is dropped when configured so";
  chip->failWrite = true;
  auto failed = Program(image, 1);
  EXPECT_EQ(At(failed, 0), 0xFFFFFFFFu);
  EXPECT_EQ(Ah(failed), kAhChipFailed);
  EXPECT_EQ(Message(), "programming flash chip MEM25Q failed: verify failed at 0x1000");
}

TEST_F(Handler, FixedAnswersAndTheMessageCutToItsRoom) {
  Make(kBlock);
  config.wsbi = 0x0203;
  auto password = Regs(0x9610, 0x0108);
  ASSERT_EQ(Send(kCallBios, password), 0u);
  EXPECT_EQ(Ah(password), kAhNoPassword);
  auto wsbi = Regs(0x9610, 0);
  ASSERT_EQ(Send(kCallBios, wsbi), 0u);
  EXPECT_EQ(Ah(wsbi), 0u);
  EXPECT_EQ(At(wsbi, 8), 0x0100u) << "the handler keeps the configuration it was made with";
  auto brand = Regs(0x9604, 0xF700);
  ASSERT_EQ(Send(kCallBios, brand), 0u);
  EXPECT_EQ(At(brand, 16) & 0xFFFF, 0x564Du);
  EXPECT_EQ(chip->opens, 0) << "fixed answers need no chip";

  chip->failOpen = true;
  auto size = Regs(0x9616, kRomBlocksFunction);
  ASSERT_EQ(Send(kCallBios, size), 0u);
  char text[8];
  plat::MappedBuffer map(static_cast<void*>(text), sizeof text);
  auto b = Regs(0, 0);
  Set(b, 56, map.address());
  Set(b, 60, sizeof text);
  ASSERT_EQ(Send(kDriverMessage, b), 0u);
  EXPECT_STREQ(text, "program");
  EXPECT_EQ(At(b, 12), 7u);
  Set(b, 60, 0);
  ASSERT_EQ(Send(kDriverMessage, b), 0u);
  EXPECT_EQ(At(b, 0), 0xFFFFFFFFu);
}

TEST_F(Handler, HoldIsALockFilePerProgrammerInTheLockFolder) {
  plat::TempDir locks;
  plat::ScopedEnv env;
  env.Set("BIOS_TOOLS_FLASHROM_LOCK_DIR", locks.path());
  Make(kBlock);
  auto hold = Regs(1, 0);
  ASSERT_EQ(Send(kHold, hold), 0u);
  EXPECT_EQ(Ah(hold), 0u) << Message();
  EXPECT_TRUE(plat::FileExists(locks / "bios-tools-flashrom-dummy.lock"));
  EXPECT_EQ(chip->opens, 0) << "holding the machine needs no chip session";
  auto release = Regs(0, 0);
  ASSERT_EQ(Send(kHold, release), 0u);
  EXPECT_EQ(Ah(release), 0u);
}

TEST_F(Handler, NineXMappingAndProgrammingPackets) {
  Make(16 * kBlock);
  std::vector<uint8_t> map(12);
  Set(map, 0, 0xFFF00000);
  Set(map, 4, 0x20);
  ASSERT_EQ(Send(kVxdMapMemory, map), 0u);
  uint8_t seen[0x20];
  ASSERT_TRUE(plat::AddressWindow::Instance().Read(At(map, 8), seen, sizeof seen));
  EXPECT_TRUE(std::equal(seen, seen + 0x20, chip->bytes.begin()));
  const int opens = chip->opens;
  Set(map, 0, 0xF0000);  // no F-segment behind a chip
  EXPECT_NE(Send(kVxdMapMemory, map), 0u);
  EXPECT_EQ(chip->opens, opens);

  std::vector<uint8_t> image(16 * kBlock, 0x3C);
  plat::MappedBuffer imageMap(static_cast<const void*>(image.data()), static_cast<uint32_t>(image.size()));
  const uint32_t list[6] = {imageMap.address(), 0, 0, 0, 0, 0};
  plat::MappedBuffer listMap(static_cast<const void*>(list), sizeof list);
  std::vector<uint8_t> packet(40);
  Set(packet, 0, 0x9616);
  Set(packet, 4, 1);
  Set(packet, 8, 1);
  Set(packet, 16, listMap.address());
  ASSERT_EQ(Send(kVxdProgramRom, packet), 0u);
  EXPECT_EQ(At(packet, 28), 0u);
  EXPECT_TRUE(chip->bytes == image);
}

}  // namespace
}  // namespace frd
