// Where the boot block lies: the firmware's answer, its checks, and the
// read-back compare that keeps exactly those bytes.
#include <cstring>
#include <vector>

#include "firmware/rom_access.h"
#include "firmware/rom_verify.h"
#include "firmware_test_support.h"
#include "scripted_message_box.h"

namespace brim {
namespace {

using test::FakeFlashDevice;
using test::Le32At;
using test::PutLe32At;
using test::TempEnvironment;

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 13 + seed);
  return b;
}

// A 16-block ROM; the boot block request is refused when `answered` is false.
FakeFlashDevice::Handler Firmware(bool answered, uint32_t offset, uint32_t size) {
  return [=](uint32_t code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    if (code == kIoctlVxdMapMemory) return 1u;
    const bool vxd = code == kIoctlVxdCallBios;
    const size_t eax = vxd ? 0 : 4;
    if (Le32At(in, eax) != 0x9616) return 0u;
    const uint32_t function = Le32At(in, eax + 4);
    if (function == kRomBlocksFunction) {
      PutLe32At(out, eax, 0x8616);
    } else if (function == kBootBlockFunction) {
      PutLe32At(out, eax, answered ? 0x0016 : 0x8616);
      PutLe32At(out, eax + 8, offset);
      PutLe32At(out, eax + 12, size);
    } else {
      PutLe32At(out, eax + 8, 16);            // CL
      PutLe32At(out, eax + 20, 0xFFF00000);  // EDI: base
    }
    return 0u;
  };
}

struct Case {
  bool answered;
  uint32_t offset, size;
  uint32_t expectOffset, expectSize;  // size 0: taken as not told
};

TEST(BootBlockRequest, AnswersInsideTheRomAreKeptOthersCountAsNone) {
  const Case cases[] = {
      {true, 0x10000, 0x10000, 0x10000, 0x10000},
      {true, 0xF8000, 0x8000, 0xF8000, 0x8000},
      {true, 0xF8000, 0x8001, 0, 0},            // one byte past the ROM
      {true, 0xFFFFF000, 0x2000, 0, 0},         // the sum wraps in 32 bits
      {true, 0x100000, 0, 0, 0},                // no bytes
      {false, 0x10000, 0x10000, 0, 0},          // refused: whatever the registers hold
  };
  for (bool nineX : {false, true}) {
    for (const Case& c : cases) {
      TempEnvironment env;
      if (nineX) plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
      FakeFlashDevice device(Firmware(c.answered, c.offset, c.size));
      ASSERT_TRUE(OpenFlashDevice());
      BiosImage& rom = CurrentRomImage();
      rom.bootBlockOffset = 0x1234;  // a previous ROM's answer must not linger
      rom.bootBlockSize = 0x1234;
      ASSERT_EQ(GetROMInfo(rom), 1);
      ASSERT_EQ(rom.size, 0x100000u);
      const uint32_t question = Le32At(device.requests.back().in, nineX ? 4 : 8);
      EXPECT_EQ(question, kBootBlockFunction) << "asked last, once the size is known";
      EXPECT_EQ(rom.bootBlockOffset, c.expectOffset) << nineX << std::hex << " " << c.offset;
      EXPECT_EQ(rom.bootBlockSize, c.expectSize) << nineX << std::hex << " " << c.offset;
      const BootBlockSpan span = BootBlockOf(rom);
      EXPECT_EQ(span.offset, c.expectSize ? c.expectOffset : 0xF0000u);
      EXPECT_EQ(span.size, c.expectSize ? c.expectSize : 0x10000u);
    }
  }
}

TEST(BootBlockRequest, NotAskedWhenTheInformationFails) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  FakeFlashDevice device([](uint32_t, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    if (Le32At(in, 4) == 0x9616) PutLe32At(out, 4, 0x8616);
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  EXPECT_EQ(GetROMInfo(CurrentRomImage()), 0);
  for (const auto& request : device.requests) EXPECT_NE(Le32At(request.in, 8), kBootBlockFunction);
}

class KeptBootBlock : public ::testing::Test {
 protected:
  static constexpr uint32_t kSize = 4 * kRomBlock;
  // What a firmware that keeps exactly `span` leaves in the ROM.
  std::vector<uint8_t> Programmed(BootBlockSpan span) const {
    std::vector<uint8_t> rom = image;
    std::memcpy(rom.data() + span.offset, old.data() + span.offset, span.size);
    return rom;
  }
  uint32_t Bad(const std::vector<uint8_t>& rom, bool written, BootBlockSpan span) const {
    return CompareReadBack(image.data(), old.data(), rom.data(), kSize, written, span).badBlocks;
  }
  const std::vector<uint8_t> image = Pattern(kSize, 1), old = Pattern(kSize, 2);
};

TEST_F(KeptBootBlock, SmallerThanABlockTheRestOfItsBlockIsTheNewImage) {
  const BootBlockSpan half{kSize - 0x8000, 0x8000};
  std::vector<uint8_t> rom = Programmed(half);
  EXPECT_EQ(Bad(rom, false, half), 0u);
  // Assuming the whole top block was kept is exactly the false failure.
  EXPECT_EQ(Bad(rom, false, {kSize - kRomBlock, kRomBlock}), 1u);
  // A stray byte just below the boot block, in its own block, is caught.
  rom[kSize - 0x8001] ^= 0x40;
  EXPECT_EQ(Bad(rom, false, half), 1u);
}

TEST_F(KeptBootBlock, ElsewhereAndAcrossBlocks) {
  const BootBlockSpan second{kRomBlock, kRomBlock};
  std::vector<uint8_t> rom = Programmed(second);
  EXPECT_EQ(Bad(rom, false, second), 0u);
  EXPECT_EQ(Bad(rom, true, second), 1u) << "written after all: its block differs";
  EXPECT_EQ(Bad(rom, false, {kSize - kRomBlock, kRomBlock}), 2u) << "the top-block guess fails both";
  EXPECT_EQ(Bad(image, false, second), 1u) << "a kept boot block that was overwritten";

  // Straddling blocks 1 and 2: each block compares its own part of it.
  const BootBlockSpan straddle{0x18000, 0x10000};
  rom = Programmed(straddle);
  EXPECT_EQ(Bad(rom, false, straddle), 0u);
  rom[0x27FFF] ^= 1;  // last boot-block byte
  rom[0x28000] ^= 1;  // first new byte after it, same block
  EXPECT_EQ(Bad(rom, false, straddle), 1u) << "one 64 KiB block, however many bytes";
  rom[0x18000] ^= 1;
  EXPECT_EQ(Bad(rom, false, straddle), 2u);
}

TEST_F(KeptBootBlock, ASpanPastTheRomIsCutNeverRead) {
  // The compare gets only checked spans; this one guards the indexing alone.
  const std::vector<uint8_t> rom = Programmed({kSize - 0x1000, 0x1000});
  EXPECT_EQ(Bad(rom, false, {kSize - 0x1000, 0xFFFFFFFFu}), 0u);
  EXPECT_EQ(Bad(image, false, {0xFFFFFFF0u, 0x100}), 0u);
}

}  // namespace
}  // namespace brim
