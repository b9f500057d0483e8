// Golden bytes of every request block the firmware layer sends.
#include <gtest/gtest.h>

#include <cstring>

#include "core/settings_word.h"
#include "firmware/firmware_queries.h"
#include "firmware/lock_bit_table.h"
#include "firmware/rom_access.h"
#include "firmware_test_support.h"
#include "scripted_message_box.h"

namespace brim {
namespace {

using test::Dwords;
using test::FakeFlashDevice;
using test::Le32At;
using test::PutLe32At;
using test::TempEnvironment;
using V = std::vector<uint32_t>;

constexpr uint32_t W = plat::AddressWindow::kBase;  // first window address of a test

TEST(BiosRegsLayout, FieldsSitAtTheirOffsets) {
  BiosRegs r;
  r.status = 0x11111111; r.eax = 0x22222222; r.ebx = 0x33333333; r.ecx = 0x44444444;
  r.edx = 0x55555555; r.esi = 0x66666666; r.edi = 0x77777777;
  r.flagByte40 = 0xA0; r.flagByte41 = 0xA1;
  r.physicalAddress = 0x0C0C0C0C; r.imageAddress = 0x0D0D0D0D; r.bufferAddress = 0x0E0E0E0E;
  r.length = 0x0F0F0F0F; r.flashModuleAddress = 0x10203040; r.lockBitTableAddress = 0x50607080;
  r.fSegmentMapping = 0x90A0B0C0; r.flagWord = 0xD0E0F000; r.firmwareRomValue = 0x01020304;
  BiosRegsBytes b = EncodeBiosRegs(r);
  std::vector<uint8_t> bytes(b.begin(), b.end());
  ASSERT_EQ(bytes.size(), 84u);
  EXPECT_EQ(Dwords(bytes), (V{0x11111111, 0x22222222, 0x33333333, 0x44444444, 0x55555555,
                              0x66666666, 0x77777777, 0, 0, 0, 0x0000A1A0, 0x0C0C0C0C, 0x0D0D0D0D,
                              0, 0x0E0E0E0E, 0x0F0F0F0F, 0x10203040, 0x50607080, 0x90A0B0C0,
                              0xD0E0F000, 0x01020304}));
  EXPECT_EQ(bytes[4], 0x22);  // little-endian
  BiosRegs back;
  ASSERT_TRUE(DecodeBiosRegs(b.data(), b.size(), &back));
  EXPECT_EQ(EncodeBiosRegs(back), b);
  EXPECT_FALSE(DecodeBiosRegs(b.data(), 83, &back));
}

TEST(BiosRegsLayout, NineXPacketsAre32And40And12Bytes) {
  VxdPacket p;
  p.eax = 1; p.ebx = 2; p.ecx = 3; p.edx = 4; p.esi = 5; p.edi = 6; p.errorFlag = 8;
  p.flashModuleAddress = 9; p.lockBitTableAddress = 10;
  auto small = EncodeVxdPacket(p);
  auto large = EncodeVxdProgramPacket(p);
  EXPECT_EQ(Dwords({small.begin(), small.end()}), (V{1, 2, 3, 4, 5, 6, 0, 8}));
  EXPECT_EQ(Dwords({large.begin(), large.end()}), (V{1, 2, 3, 4, 5, 6, 0, 8, 9, 10}));
  auto map = EncodeVxdMapPacket({0xF0000, 0xFFFF, 0x1234});
  EXPECT_EQ(Dwords({map.begin(), map.end()}), (V{0xF0000, 0xFFFF, 0x1234}));
  VxdMapPacket m;
  EXPECT_FALSE(DecodeVxdMapPacket(map.data(), 11, &m));
}

// An NT block as dwords: the 21 fields with the named ones set.
V Block(std::initializer_list<std::pair<size_t, uint32_t>> fields) {
  V v(21, 0);
  for (auto& f : fields) v[f.first / 4] = f.second;
  return v;
}

TEST(RequestBlocks, SupportAndPasswordAndInterfaceQueries) {
  TempEnvironment env;
  plat::ScriptedMessageBox boxes;
  std::vector<uint8_t> passwordSeen;
  FakeFlashDevice device([&](uint32_t code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    if (code == kIoctlCallBios && Le32At(in, 8) == 0x308) {
      uint32_t len = Le32At(in, 12);
      passwordSeen.resize(len);
      EXPECT_TRUE(plat::AddressWindow::Instance().Read(Le32At(in, 20), passwordSeen.data(), len));
    }
    if (code == kIoctlCallBios && Le32At(in, 4) == 0x9610 && Le32At(in, 8) == 0) PutLe32At(out, 8, 0xABCD1234);
    if (code == kIoctlCallBios && Le32At(in, 4) == 0x9604) PutLe32At(out, 16, 0x7777564D);
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  uint32_t code = 99, value = 0;
  EXPECT_EQ(CheckBiosSupport(), 1);
  EXPECT_EQ(AskSetupPasswd(&code), 1);
  EXPECT_EQ(code, 0u);
  const uint8_t text[] = {0x1E, 0x30, 0x2E};
  EXPECT_EQ(SetChkSetupPasswd(kCheckPasswordFunction, text, 3, &code), 1);
  EXPECT_EQ(WSBICheck(&code, &value), 1);
  EXPECT_EQ(value, 0x1234u);
  EXPECT_EQ(AskIsVemoModel(), 1);

  ASSERT_EQ(device.requests.size(), 5u);
  EXPECT_EQ(device.requests[0].code, kIoctlCheckSupport);
  EXPECT_EQ(Dwords(device.requests[0].in), Block({}));
  for (size_t i = 1; i < 5; ++i) EXPECT_EQ(device.requests[i].code, kIoctlCallBios);
  EXPECT_EQ(Dwords(device.requests[1].in), Block({{4, 0x9610}, {8, 0x0108}}));
  EXPECT_EQ(Dwords(device.requests[2].in), Block({{4, 0x9610}, {8, 0x0308}, {12, 3}, {20, W}}));
  EXPECT_EQ(passwordSeen, std::vector<uint8_t>(text, text + 3));
  EXPECT_EQ(Dwords(device.requests[3].in), Block({{4, 0x9610}}));
  EXPECT_EQ(Dwords(device.requests[4].in), Block({{4, 0x9604}, {8, 0xF700}}));
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(plat::AddressWindow::Instance().MappedCount(), 0u);
}

TEST(RequestBlocks, GetRomInfoSendsTheMappingProbeThenTheInformationRequest) {
  TempEnvironment env;
  uint32_t listSeen[3] = {}, cellSeen = 0;
  FakeFlashDevice device([&](uint32_t, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    if (Le32At(in, 72) == 0xFFFFFFFF) {
      PutLe32At(out, 72, 0x000F0000);
      return 0u;
    }
    if (Le32At(in, 8) == kRomBlocksFunction || Le32At(in, 8) == kBootBlockFunction) {
      PutLe32At(out, 4, 0x8616);  // neither the 32-bit size nor the boot block is known here
      return 0u;
    }
    uint32_t esi = Le32At(in, 20), edi = Le32At(in, 24);
    for (int i = 0; i < 3; ++i) listSeen[i] = test::WindowDword(edi + 4 * i);
    cellSeen = test::WindowDword(listSeen[1]);
    uint32_t locks[16];
    for (uint32_t i = 0; i < 16; ++i) locks[i] = 0xFFB00000 + i * 0x10000;
    EXPECT_TRUE(plat::AddressWindow::Instance().Write(esi, locks, sizeof locks));
    EXPECT_TRUE(plat::AddressWindow::Instance().Write(cellSeen, "SST 49LF008A", 13));
    uint32_t fseg = 0xC0DE0000;
    EXPECT_TRUE(plat::AddressWindow::Instance().Write(listSeen[0], &fseg, 4));
    PutLe32At(out, 4, 0x00000016);  // AH 0
    PutLe32At(out, 8, 0x5A5A);      // firmware ROM value
    PutLe32At(out, 12, 0x10);       // CL: 16 blocks
    PutLe32At(out, 16, 0x10);       // DL: FLAG
    PutLe32At(out, 24, 0xFFF00000); // EDI: base
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  BiosImage& rom = CurrentRomImage();
  std::memset(rom.flashRomType, 'x', sizeof rom.flashRomType);
  ASSERT_EQ(GetROMInfo(rom), 1);

  ASSERT_EQ(device.requests.size(), 4u);
  EXPECT_EQ(Dwords(device.requests[0].in), Block({{72, 0xFFFFFFFF}}));
  EXPECT_EQ(Dwords(device.requests[1].in), Block({{4, 0x9616}, {8, kRomBlocksFunction}}));
  // Lock bits (1020 bytes), F-segment field, type text, cell, list: each mapped in turn.
  EXPECT_EQ(Dwords(device.requests[2].in),
            Block({{4, 0x9616}, {20, W}, {24, W + 0x8000}, {72, 0x000F0000}}));
  EXPECT_EQ(listSeen[0], W + 0x2000);
  EXPECT_EQ(listSeen[1], W + 0x6000);
  EXPECT_EQ(listSeen[2], 0u);
  EXPECT_EQ(cellSeen, W + 0x4000);
  EXPECT_EQ(Dwords(device.requests[3].in), Block({{4, 0x9616}, {8, kBootBlockFunction}}));

  EXPECT_EQ(rom.baseAddress, 0xFFF00000u);
  EXPECT_EQ(rom.size, 0x100000u);
  EXPECT_EQ(rom.flagWord, 0x10u);
  EXPECT_EQ(rom.firmwareRomValue, 0x5A5Au);
  EXPECT_EQ(rom.fSegmentMapping, 0xC0DE0000u);
  EXPECT_STREQ(rom.flashRomType, "SST 49LF008A");
  EXPECT_EQ(rom.lockBitAddresses[15], 0xFFBF0000u);
  EXPECT_EQ(LockBitsOf(rom).addresses[1], 0xFFB10000u);
}

TEST(RequestBlocks, GetRomDataNamesAddressBufferAndLength) {
  TempEnvironment env;
  FakeFlashDevice device([&](uint32_t, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_TRUE(plat::AddressWindow::Instance().Write(Le32At(in, 56), bytes, 4));
    PutLe32At(out, 8, 0x80000000);
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  uint8_t dest[4] = {};
  ASSERT_EQ(GetROMData(0xFFFFFFFC, 4, dest), 1);
  ASSERT_EQ(device.requests.size(), 1u);
  EXPECT_EQ(device.requests[0].code, kIoctlGetRomData);
  EXPECT_EQ(Dwords(device.requests[0].in), Block({{44, 0xFFFFFFFC}, {56, W}, {60, 4}}));
  EXPECT_EQ(dest[3], 4);
  EXPECT_EQ(CurrentRomImage().mappedRomAddress, 0x80000000u);
}

// A one-block ROM and image, each with a module, ready to program.
void PrepareImages() {
  BiosImage& rom = CurrentRomImage();
  AllocateImageBuffer(rom, 0x10000);
  std::memset(rom.bytes, 0, 0x10000);
  rom.size = 0x10000;
  rom.baseAddress = 0xFFFF0000;
  rom.flagWord = 0x10;
  rom.firmwareRomValue = 0x5A5A;
  rom.mappedRomAddress = 0x80000000;
  rom.flashModule = rom.bytes + 0x100;
  BiosImage& image = NewImage();
  AllocateImageBuffer(image, 0x10000);
  std::memset(image.bytes, 0, 0x10000);
  image.size = 0x10000;
  image.flashModule = image.bytes + 0x200;
}

TEST(RequestBlocks, ProgramFlashRomNt) {
  TempEnvironment env;
  PrepareImages();
  Settings().settingsWord = kLoadDefaultCmos | kExecuteFromNewBios;  // boot block written, defaults
  uint32_t list[6] = {};
  FakeFlashDevice device([&](uint32_t, const std::vector<uint8_t>& in, std::vector<uint8_t>&) {
    for (int i = 0; i < 6; ++i) list[i] = test::WindowDword(Le32At(in, 20) + 4 * i);
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  uint32_t optionBits = 0;
  ASSERT_EQ(ProgramFlashROM(&optionBits), 1);
  EXPECT_EQ(optionBits, 3u) << "what the verify judges is what the request carried";
  ASSERT_EQ(device.requests.size(), 1u);
  EXPECT_EQ(device.requests[0].code, kIoctlProgramRom);
  // Image (0x11000 with its guard page), ROM, lock bits, F-segment field, list.
  const uint32_t image = W, lock = W + 0x22000, fseg = W + 0x24000, lst = W + 0x26000;
  EXPECT_EQ(Dwords(device.requests[0].in),
            Block({{4, 0x9616}, {8, 1}, {12, 3}, {16, 0x1000}, {20, lst}, {48, image},
                   {60, 0x10000}, {64, image + 0x200}, {68, lock}, {76, 0x10}, {80, 0x5A5A}}));
  EXPECT_EQ(std::vector<uint32_t>(list, list + 6),
            (V{image, 0x80000000, lock, fseg, 0x5A5A, 0}));
}

TEST(RequestBlocks, NineXPacketsForInfoAndProgramming) {
  TempEnvironment env;
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  FakeFlashDevice device([&](uint32_t code, const std::vector<uint8_t>&, std::vector<uint8_t>& out) {
    if (code == kIoctlVxdMapMemory) PutLe32At(out, 8, 0x00C00000);
    if (code == kIoctlVxdCallBios &&
        (Le32At(out, 4) == kRomBlocksFunction || Le32At(out, 4) == kBootBlockFunction)) {
      PutLe32At(out, 0, 0x8616);  // neither the 32-bit size nor the boot block is known here
    } else if (code == kIoctlVxdCallBios) {
      PutLe32At(out, 0, 0x16);
      PutLe32At(out, 8, 2);  // CL
      PutLe32At(out, 20, 0xFFFE0000);
    }
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  ASSERT_EQ(GetROMInfo(CurrentRomImage()), 1);
  EXPECT_EQ(CurrentRomImage().size, 0x20000u);
  EXPECT_EQ(CurrentRomImage().fSegmentMapping, 0x00C00000u);
  EXPECT_EQ(CurrentRomImage().firmwareRomValue, 0u);
  ASSERT_EQ(device.requests.size(), 4u);
  EXPECT_EQ(device.requests[0].code, kIoctlVxdMapMemory);
  EXPECT_EQ(Dwords(device.requests[0].in), (V{0xF0000, 0xFFFF, 0}));
  EXPECT_EQ(Dwords(device.requests[1].in), (V{0x9616, kRomBlocksFunction, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(device.requests[2].code, kIoctlVxdCallBios);
  EXPECT_EQ(Dwords(device.requests[2].in), (V{0x9616, 0, 0, 0, W, W + 0x8000, 0, 0}));
  EXPECT_EQ(device.requests[3].code, kIoctlVxdCallBios);
  EXPECT_EQ(Dwords(device.requests[3].in), (V{0x9616, kBootBlockFunction, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(CurrentRomImage().bootBlockSize, 0u);

  device.requests.clear();
  PrepareImages();
  Settings().settingsWord = kKeepBootBlock | kExecuteFromNewBios;
  ASSERT_EQ(ProgramFlashROM(), 1);
  ASSERT_EQ(device.requests.size(), 1u);
  EXPECT_EQ(device.requests[0].code, kIoctlVxdProgramRom);
  EXPECT_EQ(Dwords(device.requests[0].in),
            (V{0x9616, 1, 0, 0, W + 0x26000, 0, 0, 0, W + 0x200, W + 0x22000}));
}

// A ROM read on 9x maps a MiB at a time: the driver copies what it maps.
TEST(RequestBlocks, NineXRomReadMapsAMebibyteAtATime) {
  TempEnvironment env;
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  constexpr uint32_t kBase = 0xFF800000;
  std::vector<uint8_t> chip(0x400000);
  for (size_t i = 0; i < chip.size(); ++i) chip[i] = static_cast<uint8_t>(i * 13 + i / 0x100000);
  uint32_t window = 0;
  FakeFlashDevice device([&](uint32_t code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    if (code != kIoctlVxdMapMemory) return 1u;
    const uint32_t at = Le32At(in, 0) - kBase, n = Le32At(in, 4);
    if (window) plat::AddressWindow::Instance().Unmap(window);
    window = n && at < chip.size() && n <= chip.size() - at
                 ? plat::AddressWindow::Instance().MapReadOnly(chip.data() + at, n) : 0;
    PutLe32At(out, 8, window);
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  const struct { uint32_t offset, length; int result; V pieces; } cases[] = {
      {0, 0x10, 1, {0x10}},
      {0, 0x100000, 1, {0x100000}},
      {0x10, 0x100001, 1, {0x100000, 1}},
      {0, 0x400000, 1, {0x100000, 0x100000, 0x100000, 0x100000}},
      {0x300000, 0x100001, 0, {0x100000, 1}},  // runs past the chip: the last piece fails
  };
  for (const auto& c : cases) {
    device.requests.clear();
    std::vector<uint8_t> read(c.length, 0xEE);
    EXPECT_EQ(GetROMData(kBase + c.offset, c.length, read.data()), c.result) << c.offset << "+" << c.length;
    V lengths;
    uint32_t next = kBase + c.offset;
    for (const test::RecordedRequest& r : device.requests) {
      EXPECT_EQ(Le32At(r.in, 0), next) << "pieces follow each other";
      next += Le32At(r.in, 4);
      lengths.push_back(Le32At(r.in, 4));
    }
    EXPECT_EQ(lengths, c.pieces) << c.offset << "+" << c.length;
    if (c.result) {
      EXPECT_TRUE(std::equal(read.begin(), read.end(), chip.begin() + c.offset));
    }
  }
  device.requests.clear();
  std::vector<uint8_t> read(0x10);
  EXPECT_EQ(GetROMData(0xFFFFFFF8, 0x10, read.data()), 0) << "past the top of the address space";
  EXPECT_TRUE(device.requests.empty());
  if (window) plat::AddressWindow::Instance().Unmap(window);
}

TEST(RequestBlocks, NineXCallBiosRefusesFlagBytesAndMapsTheErrorFlag) {
  TempEnvironment env;
  plat::SetPlatformId(plat::VER_PLATFORM_WIN32_WINDOWS);
  FakeFlashDevice device([&](uint32_t, const std::vector<uint8_t>&, std::vector<uint8_t>& out) {
    PutLe32At(out, 28, 1);
    return 0u;
  });
  ASSERT_TRUE(OpenFlashDevice());
  BiosRegs in, out;
  in.flagByte41 = 1;
  EXPECT_FALSE(CallBios(in, &out, "x"));
  EXPECT_TRUE(device.requests.empty());
  in.flagByte41 = 0;
  in.eax = 0x9604;
  ASSERT_TRUE(CallBios(in, &out, "x"));
  EXPECT_EQ(out.status, kCallFailed);
  ASSERT_EQ(device.requests.size(), 1u);
  EXPECT_EQ(device.requests[0].in.size(), 32u);
}

}  // namespace
}  // namespace brim
