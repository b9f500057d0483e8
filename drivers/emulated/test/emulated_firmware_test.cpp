// The emulated firmware on its own: answers, faults, and refusal of every
// request whose addresses or lengths do not check out.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "temp_dir.h"
#include "emulator/default_machine.h"
#include "emulator/emulated_firmware.h"
#include "emulator/machine_config.h"
#include "platform/address_window.h"
#include "platform/device.h"
#include "platform/driver_module.h"
#include "platform/file_system.h"
#include "platform/le_bytes.h"

namespace emu {
namespace {

using namespace drv;  // the request codes and answers

uint32_t Le32At(const std::vector<uint8_t>& b, size_t at) { return plat::Le32(b.data(), b.size(), at); }
void PutLe32At(std::vector<uint8_t>& b, size_t at, uint32_t v) { plat::PutLe32(b.data(), b.size(), at, v); }

std::vector<uint8_t> Rom(uint32_t blocks, uint8_t seed) {
  std::vector<uint8_t> rom(blocks * kBlock);
  for (size_t i = 0; i < rom.size(); ++i) rom[i] = uint8_t(i * 7 + seed + i / kBlock);
  return rom;
}

class Machine {
 public:
  Machine(const plat::TempDir& env, std::vector<std::string> lines, uint32_t blocks = 2)
      : folder((env / "machine")), rom(Rom(blocks, 1)) {
    lines.insert(lines.begin(), "BASE=0xFFFE0000");
    EXPECT_TRUE(WriteMachine(folder, rom, lines));
  }
  void Fault(const std::string& line) {
    std::string ini = "\n[FAULTS]\n" + line + "\n";
    std::FILE* f = std::fopen((folder + "/machine.ini").c_str(), "a");
    std::fputs(ini.c_str(), f);
    std::fclose(f);
  }
  // Sends one block; returns the Win32 error.
  uint32_t Send(uint32_t code, std::vector<uint8_t>& block) {
    MachineConfig config;
    std::string error;
    EXPECT_TRUE(LoadMachineConfig(folder, &config, &error)) << error;
    std::vector<uint8_t> in = block;
    uint32_t returned = 0;
    uint32_t err = firmware.Handle(config, code, in.data(), static_cast<uint32_t>(in.size()),
                                   block.data(), static_cast<uint32_t>(block.size()), &returned,
                                   *plat::ProcessDriverMemory());
    return err;
  }
  std::vector<uint8_t> RomFile() const {
    std::vector<uint8_t> bytes;
    plat::ReadWholeFile(folder + "/rom.bin", bytes);
    return bytes;
  }

  std::string folder;
  std::vector<uint8_t> rom;
  EmulatedFirmware firmware{[](uint32_t) {}};
};

std::vector<uint8_t> Regs(uint32_t eax, uint32_t ebx, uint32_t ecx = 0, uint32_t esi = 0,
                          uint32_t edi = 0) {
  std::vector<uint8_t> b(84);
  PutLe32At(b, 4, eax);
  PutLe32At(b, 8, ebx);
  PutLe32At(b, 12, ecx);
  PutLe32At(b, 20, esi);
  PutLe32At(b, 24, edi);
  return b;
}

uint32_t Ah(const std::vector<uint8_t>& b, size_t at = 4) { return (Le32At(b, at) >> 8) & 0xFF; }

// The progress answer: phase, bytes done, bytes in all.
std::vector<uint32_t> Progress(Machine& m) {
  auto b = Regs(0, 0);
  EXPECT_EQ(m.Send(kProgress, b), 0u);
  return {Le32At(b, 8), Le32At(b, 12), Le32At(b, 16)};
}

TEST(MachineDescription, RomSizeMustBeWholeBlocksUpToTheLargestRom) {
  plat::TempDir env;
  MachineConfig c;
  std::string error;
  EXPECT_FALSE(LoadMachineConfig((env / "none"), &c, &error));
  ASSERT_TRUE(WriteMachine((env / "odd"), std::vector<uint8_t>(0x10001), {}));
  EXPECT_FALSE(LoadMachineConfig((env / "odd"), &c, &error));
  ASSERT_TRUE(WriteMachine((env / "big"), std::vector<uint8_t>(kBlock), {}));
  std::filesystem::resize_file((env / "big") + "/rom.bin", uint64_t(kMaxBlocks + 1) * kBlock);
  EXPECT_FALSE(LoadMachineConfig((env / "big"), &c, &error));
  std::filesystem::resize_file((env / "big") + "/rom.bin", uint64_t(kMaxBlocks) * kBlock);
  EXPECT_TRUE(LoadMachineConfig((env / "big"), &c, &error)) << error;
  ASSERT_TRUE(WriteMachine((env / "ok"), std::vector<uint8_t>(kBlock),
                           {"PASSWORD=1e 30 2E", "FLAG=8", "SUPPORTED=0"}));
  ASSERT_TRUE(LoadMachineConfig((env / "ok"), &c, &error));
  EXPECT_EQ(c.password, (std::vector<uint8_t>{0x1E, 0x30, 0x2E}));
  EXPECT_TRUE(c.hasPassword);
  EXPECT_EQ(c.flag, 8u);
  EXPECT_FALSE(c.supported);
  EXPECT_EQ(c.bootBlockOffset, 0u);  // the only block is the top block
  EXPECT_EQ(c.mappedRom, c.base);
}

TEST(FirmwareAnswers, RomInformationFillsTheCallersBuffers) {
  plat::TempDir env;
  Machine m(env, {"FLAG=0x18", "ROMTYPE=A very long flash part name beyond 26", "ROMVALUE=0x77"});
  uint32_t locks[kMaxBlocks] = {};
  char type[27];
  std::memset(type, 'x', sizeof type);
  uint32_t fseg = 0;
  plat::MappedBuffer lockMap(static_cast<void*>(locks), sizeof locks);
  plat::MappedBuffer typeMap(static_cast<void*>(type), sizeof type);
  plat::MappedBuffer fsegMap(static_cast<void*>(&fseg), 4);
  const uint32_t cell = typeMap.address();
  plat::MappedBuffer cellMap(static_cast<const void*>(&cell), 4);
  const uint32_t list[3] = {fsegMap.address(), cellMap.address(), 0};
  plat::MappedBuffer listMap(static_cast<const void*>(list), sizeof list);
  auto b = Regs(0x9616, 0, 0, lockMap.address(), listMap.address());
  ASSERT_EQ(m.Send(kCallBios, b), 0u);
  EXPECT_EQ(Le32At(b, 0), 0u);
  EXPECT_EQ(Ah(b), 0u);
  EXPECT_EQ(Le32At(b, 24), 0xFFFE0000u);
  EXPECT_EQ(Le32At(b, 8), 0x77u);
  EXPECT_EQ(Le32At(b, 12) & 0xFF, 2u);
  EXPECT_EQ(Le32At(b, 16) & 0xFF, 0x18u);
  EXPECT_EQ(locks[0], 0xFFB00000u);
  EXPECT_EQ(locks[1], 0xFFB10000u);
  EXPECT_EQ(locks[2], 0u);
  EXPECT_EQ(std::string(type), "A very long flash part nam");
  EXPECT_EQ(fseg, 0xF0000u);
}

// The boot block is told as configured: the top block unless machine.ini says.
TEST(FirmwareAnswers, BootBlockFromTheMachineDescription) {
  plat::TempDir env;
  Machine top(env, {}, 4);
  auto b = Regs(0x9616, kBootBlockFunction, 0x1111, 0x2222);
  ASSERT_EQ(top.Send(kCallBios, b), 0u);
  EXPECT_EQ(Ah(b), 0u);
  EXPECT_EQ(Le32At(b, 12), 3 * kBlock);
  EXPECT_EQ(Le32At(b, 16), kBlock);

  plat::TempDir other;
  Machine small(other, {"BOOTBLOCK=0x18000", "BOOTBLOCKSIZE=0x2000"}, 4);
  auto packet = std::vector<uint8_t>(32, 0);
  PutLe32At(packet, 0, 0x9616);
  PutLe32At(packet, 4, kBootBlockFunction);
  ASSERT_EQ(small.Send(kVxdCallBios, packet), 0u);
  EXPECT_EQ(Ah(packet, 0), 0u);
  EXPECT_EQ(Le32At(packet, 8), 0x18000u);
  EXPECT_EQ(Le32At(packet, 12), 0x2000u);
  EXPECT_EQ(Le32At(packet, 28), 0u);
}

// Up to 255 blocks the machine answers only the 8-bit way, as it always did;
// above, CL holds 0 and the 32-bit size request answers.
TEST(FirmwareAnswers, ThirtyTwoBitSizeOnlyAboveWhatClReports) {
  plat::TempDir env;
  for (uint32_t blocks : {2u, 255u, 256u, 300u}) {
    SCOPED_TRACE(blocks);
    Machine m(env, {}, blocks);
    auto size = Regs(0x9616, kRomBlocksFunction, 0x12345678);
    ASSERT_EQ(m.Send(kCallBios, size), 0u);
    std::vector<uint32_t> locks(blocks);
    char type[27];
    uint32_t fseg = 0;
    plat::MappedBuffer lockMap(static_cast<void*>(locks.data()), blocks * 4);
    plat::MappedBuffer typeMap(static_cast<void*>(type), sizeof type);
    plat::MappedBuffer fsegMap(static_cast<void*>(&fseg), 4);
    const uint32_t cell = typeMap.address();
    plat::MappedBuffer cellMap(static_cast<const void*>(&cell), 4);
    const uint32_t list[3] = {fsegMap.address(), cellMap.address(), 0};
    plat::MappedBuffer listMap(static_cast<const void*>(list), sizeof list);
    auto info = Regs(0x9616, 0, 0, lockMap.address(), listMap.address());
    ASSERT_EQ(m.Send(kCallBios, info), 0u);
    EXPECT_EQ(Ah(info), 0u);
    EXPECT_EQ(locks[blocks - 1], 0xFFB00000u + (blocks - 1) * kBlock);
    if (blocks <= kMaxCl8Blocks) {
      EXPECT_EQ(Ah(size), kAhNotSupported);
      EXPECT_EQ(Le32At(size, 12), 0x12345678u);
      EXPECT_EQ(Le32At(info, 12) & 0xFF, blocks);
    } else {
      EXPECT_EQ(Ah(size), 0u);
      EXPECT_EQ(Le32At(size, 12), blocks);
      EXPECT_EQ(Le32At(info, 12) & 0xFF, 0u);
    }
  }
}

TEST(FirmwareAnswers, InformationRequestWithATooSmallTableIsRefusedUntouched) {
  plat::TempDir env;
  Machine m(env, {});
  uint32_t locks[1] = {0xAAAAAAAA};  // the machine has two blocks
  char type[27] = "untouched";
  plat::MappedBuffer lockMap(static_cast<void*>(locks), sizeof locks);
  plat::MappedBuffer typeMap(static_cast<void*>(type), sizeof type);
  const uint32_t cell = typeMap.address();
  plat::MappedBuffer cellMap(static_cast<const void*>(&cell), 4);
  const uint32_t list[3] = {cellMap.address(), cellMap.address(), 0};  // F-segment field read-only
  plat::MappedBuffer listMap(static_cast<const void*>(list), sizeof list);
  auto b = Regs(0x9616, 0, 0, lockMap.address(), listMap.address());
  ASSERT_EQ(m.Send(kCallBios, b), 0u);
  EXPECT_EQ(Le32At(b, 0), 0xFFFFFFFFu);
  EXPECT_EQ(locks[0], 0xAAAAAAAAu);
  EXPECT_STREQ(type, "untouched");
}

TEST(FirmwareAnswers, PasswordCheckComparesScanCodesAndRefusesBadLengths) {
  plat::TempDir env;
  Machine m(env, {"PASSWORD=1E 30"});
  uint8_t good[2] = {0x1E, 0x30}, bad[2] = {0x1E, 0x31};
  uint8_t long_[kMaxPasswordLength + 1] = {};
  plat::MappedBuffer goodMap(static_cast<const void*>(good), 2);
  plat::MappedBuffer badMap(static_cast<const void*>(bad), 2);
  plat::MappedBuffer longMap(static_cast<const void*>(long_), sizeof long_);
  auto ask = Regs(0x9610, 0x0108);
  ASSERT_EQ(m.Send(kCallBios, ask), 0u);
  EXPECT_EQ(Ah(ask), 0u);  // a password is set
  auto b = Regs(0x9610, 0x0308, 2, goodMap.address());
  m.Send(kCallBios, b);
  EXPECT_EQ(Ah(b), 0u);
  b = Regs(0x9610, 0x0308, 2, badMap.address());
  m.Send(kCallBios, b);
  EXPECT_EQ(Ah(b), kAhBadPassword);
  b = Regs(0x9610, 0x0308, 3, goodMap.address());  // longer than the mapped text
  m.Send(kCallBios, b);
  EXPECT_EQ(Le32At(b, 0), 0xFFFFFFFFu);
  b = Regs(0x9610, 0x0308, sizeof long_, longMap.address());
  m.Send(kCallBios, b);
  EXPECT_EQ(Le32At(b, 0), 0xFFFFFFFFu);
}

TEST(FirmwareAnswers, InterfaceBrandAndInjectedFaults) {
  plat::TempDir env;
  Machine m(env, {"WSBI=0x0203", "BRAND=0x1234", "SUPPORTED=0"});
  auto b = Regs(0x9610, 0);
  m.Send(kCallBios, b);
  EXPECT_EQ(Le32At(b, 8), 0x0203u);
  b = Regs(0x9604, 0xF700);
  m.Send(kCallBios, b);
  EXPECT_EQ(Le32At(b, 16) & 0xFFFF, 0x1234u);
  b = std::vector<uint8_t>(84);
  m.Send(kCheckSupport, b);
  EXPECT_EQ(Le32At(b, 0), 0xFFFFFFFFu);
  b = Regs(0x1234, 0);
  m.Send(kCallBios, b);
  EXPECT_EQ(Ah(b), kAhNotSupported);

  m.Fault("AHERROR=0x86\nAHERRORFOR=GetROMInfo\nIOCTLFAIL=0x222018\nIOCTLERROR=21");
  b = Regs(0x9616, 0);
  m.Send(kCallBios, b);
  EXPECT_EQ(Ah(b), 0x86u);
  b = std::vector<uint8_t>(84);
  EXPECT_EQ(m.Send(kCheckSupport, b), 21u);
  std::vector<uint8_t> shortBlock(80);
  EXPECT_EQ(m.Send(kCallBios, shortBlock), plat::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(m.Send(0x222FFC, b), plat::ERROR_INVALID_FUNCTION);
}

TEST(FirmwareAnswers, RomDataChecksRangeAndBuffer) {
  plat::TempDir env;
  Machine m(env, {"MAPPEDROM=0x80000000"});
  std::vector<uint8_t> dest(0x20000, 0);
  plat::MappedBuffer map(static_cast<void*>(dest.data()), 0x20000);
  auto b = std::vector<uint8_t>(84);
  PutLe32At(b, 44, 0xFFFE0000);
  PutLe32At(b, 56, map.address());
  PutLe32At(b, 60, 0x20000);
  ASSERT_EQ(m.Send(kGetRomData, b), 0u);
  EXPECT_EQ(Le32At(b, 0), 0u);
  EXPECT_EQ(Le32At(b, 8), 0x80000000u);
  EXPECT_EQ(dest, m.rom);

  std::fill(dest.begin(), dest.end(), 0);
  PutLe32At(b, 0, 0);
  PutLe32At(b, 44, 0xFFFE0001);  // one byte past the ROM's end
  m.Send(kGetRomData, b);
  EXPECT_EQ(Le32At(b, 0), 0xFFFFFFFFu);
  PutLe32At(b, 0, 0);
  PutLe32At(b, 44, 0xFFFE0000);
  PutLe32At(b, 56, map.address() + 1);  // buffer one byte short
  m.Send(kGetRomData, b);
  EXPECT_EQ(Le32At(b, 0), 0xFFFFFFFFu);
  EXPECT_EQ(dest[0], 0);

  m.Fault("READFAIL=1");
  PutLe32At(b, 0, 0);
  PutLe32At(b, 56, map.address());
  m.Send(kGetRomData, b);
  EXPECT_EQ(Le32At(b, 0), 0xFFFFFFFFu);
}

// A programming request for the machine's ROM size from an image in the window.
struct ProgramCall {
  std::vector<uint8_t> image;
  uint32_t locks[kMaxBlocks] = {};
  uint32_t list[6] = {};
  plat::MappedBuffer imageMap, lockMap, listMap;
  explicit ProgramCall(std::vector<uint8_t> bytes, uint32_t mappedLength)
      : image(std::move(bytes)),
        imageMap(static_cast<const void*>(image.data()), mappedLength),
        lockMap(static_cast<const void*>(locks), sizeof locks),
        listMap(static_cast<const void*>(list), sizeof list) {}
  std::vector<uint8_t> Block(uint32_t ecx, uint32_t module) {
    auto b = Regs(0x9616, 1, ecx, listMap.address());
    PutLe32At(b, 48, imageMap.address());
    PutLe32At(b, 60, static_cast<uint32_t>(image.size()));
    PutLe32At(b, 64, imageMap.address() + module);
    PutLe32At(b, 68, lockMap.address());
    return b;
  }
};

TEST(FirmwareProgramming, BootBlockIsLeftAloneUnlessAsked) {
  plat::TempDir env;
  Machine m(env, {}, 4);
  std::vector<uint8_t> image = Rom(4, 9);
  std::memcpy(image.data() + 0x100, "A!FR", 4);
  ProgramCall call(image, static_cast<uint32_t>(image.size()));
  auto b = call.Block(0x2, 0x100);  // keep the boot block, load defaults
  ASSERT_EQ(m.Send(kProgramRom, b), 0u);
  EXPECT_EQ(Le32At(b, 0), 0u);
  EXPECT_EQ(Ah(b), 0u);
  std::vector<uint8_t> expected = image;
  std::copy(m.rom.begin() + 3 * kBlock, m.rom.end(), expected.begin() + 3 * kBlock);
  EXPECT_EQ(m.RomFile(), expected);
  EXPECT_TRUE(LoadDefaultsRequested(m.folder));
  EXPECT_EQ(ProgrammingRuns(m.folder), 1u);
  EXPECT_EQ(Progress(m), (std::vector<uint32_t>{1, 3 * kBlock, 3 * kBlock})) << "the boot block is no part of the run";

  b = call.Block(0x1, 0x100);
  ASSERT_EQ(m.Send(kProgramRom, b), 0u);
  EXPECT_EQ(m.RomFile(), image);
  EXPECT_EQ(Progress(m), (std::vector<uint32_t>{1, 4 * kBlock, 4 * kBlock}));
}

TEST(FirmwareProgramming, BadImageModuleOrLengthIsRefusedWithoutWriting) {
  plat::TempDir env;
  Machine m(env, {}, 2);
  std::vector<uint8_t> image = Rom(2, 5);
  std::memcpy(image.data() + 0x20, "A!FR", 4);
  {
    ProgramCall shortMap(image, 0x1FFFF);  // one byte fewer than the ROM
    auto b = shortMap.Block(1, 0x20);
    m.Send(kProgramRom, b);
    EXPECT_EQ(Le32At(b, 0), 0xFFFFFFFFu);
  }
  ProgramCall call(image, static_cast<uint32_t>(image.size()));
  auto b = call.Block(1, 0x30);  // no module there
  m.Send(kProgramRom, b);
  EXPECT_EQ(Le32At(b, 0), 0xFFFFFFFFu);
  b = call.Block(1, 0x20);
  PutLe32At(b, 60, 0x10000);  // wrong length
  m.Send(kProgramRom, b);
  EXPECT_EQ(Le32At(b, 0), 0xFFFFFFFFu);
  EXPECT_EQ(m.RomFile(), m.rom);
  EXPECT_EQ(ProgrammingRuns(m.folder), 0u);
}

TEST(FirmwareProgramming, CutOffRunLeavesAPartlyWrittenRom) {
  plat::TempDir env;
  Machine m(env, {}, 4);
  m.Fault("CUTOFF=2");
  std::vector<uint8_t> image = Rom(4, 3);
  std::memcpy(image.data(), "A!FR", 4);
  ProgramCall call(image, static_cast<uint32_t>(image.size()));
  auto b = call.Block(1, 0);
  ASSERT_EQ(m.Send(kProgramRom, b), 0u);
  EXPECT_EQ(Le32At(b, 0), 0xFFFFFFFFu);
  std::vector<uint8_t> rom = m.RomFile();
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + 2 * kBlock, rom.begin()));
  EXPECT_TRUE(std::equal(m.rom.begin() + 2 * kBlock, m.rom.end(), rom.begin() + 2 * kBlock));
}

TEST(FirmwareProgramming, BadBlockKeepsWrongBytesWhileReportingSuccess) {
  plat::TempDir env;
  Machine m(env, {}, 4);
  m.Fault("BADBLOCK=1");
  std::vector<uint8_t> image = Rom(4, 3);
  std::memcpy(image.data(), "A!FR", 4);
  ProgramCall call(image, static_cast<uint32_t>(image.size()));
  auto b = call.Block(1, 0);
  ASSERT_EQ(m.Send(kProgramRom, b), 0u);
  EXPECT_EQ(Le32At(b, 0), 0u);
  EXPECT_EQ(Ah(b), 0u);
  const std::vector<uint8_t> rom = m.RomFile();
  for (uint32_t block = 0; block < 4; ++block)
    EXPECT_EQ(std::equal(image.begin() + block * kBlock, image.begin() + (block + 1) * kBlock,
                         rom.begin() + block * kBlock),
              block != 1)
        << block;
}

// A second process that wants to program the same machine is refused while
// the machine is held, and writes nothing.
TEST(FirmwareProgramming, HeldMachineRefusesReadingAndProgramming) {
  plat::TempDir env;
  Machine m(env, {}, 2);
  std::vector<uint8_t> image = Rom(2, 3);
  std::memcpy(image.data(), "A!FR", 4);
  const int fd = ::open((m.folder + "/" + kMachineLockFile).c_str(), O_RDWR | O_CREAT, 0666);
  ASSERT_GE(fd, 0);
  int toParent[2];
  ASSERT_EQ(::pipe(toParent), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    const int own = ::open((m.folder + "/" + kMachineLockFile).c_str(), O_RDWR);
    char ok = ::flock(own, LOCK_EX) == 0 ? 'y' : 'n';
    (void)!::write(toParent[1], &ok, 1);
    ::pause();
    ::_exit(0);
  }
  char held = 0;
  ASSERT_EQ(::read(toParent[0], &held, 1), 1);
  ASSERT_EQ(held, 'y');
  ProgramCall call(image, static_cast<uint32_t>(image.size()));
  auto b = call.Block(1, 0);
  ASSERT_EQ(m.Send(kProgramRom, b), 0u);
  auto hold = Regs(1, 0);
  ASSERT_EQ(m.Send(kHold, hold), 0u);
  EXPECT_EQ(Ah(hold), kAhMachineBusy) << "the hold request names the same lock";
  std::vector<uint8_t> bytes(2 * kBlock);
  plat::MappedBuffer readMap(static_cast<void*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
  auto read = Regs(0, 0);
  PutLe32At(read, 44, 0xFFFE0000);
  PutLe32At(read, 56, readMap.address());
  PutLe32At(read, 60, 2 * kBlock);
  ASSERT_EQ(m.Send(kGetRomData, read), 0u);
  EXPECT_EQ(Le32At(read, 0), 0xFFFFFFFFu) << "nothing is read while another process holds the machine";
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_EQ(Le32At(b, 0), 0xFFFFFFFFu);
  EXPECT_EQ(Ah(b), kAhMachineBusy);
  EXPECT_EQ(m.RomFile(), m.rom);

  b = call.Block(1, 0);
  ASSERT_EQ(m.Send(kProgramRom, b), 0u);
  EXPECT_EQ(Le32At(b, 0), 0u) << "the lock went with its holder";
  EXPECT_EQ(m.RomFile(), image);
  for (int f : {fd, toParent[0], toParent[1]}) ::close(f);
}

TEST(FirmwareProgramming, NineXMappingShowsRomBytesAndTheFSegment) {
  plat::TempDir env;
  Machine m(env, {}, 2);
  plat::AddressWindow& window = plat::AddressWindow::Instance();
  const size_t windowsBefore = window.MappedCount();
  std::vector<uint8_t> b(12);
  PutLe32At(b, 0, 0xF0000);
  PutLe32At(b, 4, 0xFFFF);
  ASSERT_EQ(m.Send(kVxdMapMemory, b), 0u);
  std::vector<uint8_t> seen(0xFFFF);
  ASSERT_TRUE(window.Read(Le32At(b, 8), seen.data(), 0xFFFF));
  EXPECT_TRUE(std::equal(seen.begin(), seen.end(), m.rom.begin() + kBlock));
  EXPECT_FALSE(window.Read(Le32At(b, 8), seen.data(), 0x10000));

  // The next mapping ends this one: the driver keeps one copy, not one per range.
  PutLe32At(b, 0, 0xFFFE0000);
  PutLe32At(b, 4, 0x100);
  ASSERT_EQ(m.Send(kVxdMapMemory, b), 0u);
  ASSERT_TRUE(window.Read(Le32At(b, 8), seen.data(), 0x100));
  EXPECT_TRUE(std::equal(seen.begin(), seen.begin() + 0x100, m.rom.begin()));
  EXPECT_EQ(window.MappedCount(), windowsBefore + 1);
  PutLe32At(b, 0, 0xFFFE0000);
  PutLe32At(b, 4, 0x20001);
  EXPECT_EQ(m.Send(kVxdMapMemory, b), plat::ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace emu

namespace emu {
namespace {

// Random blocks with addresses near a small mapped buffer: no request may
// write outside it, and none can program the ROM without a whole image.
TEST(FirmwareRobustness, RandomRequestsStayInsideTheirBuffers) {
  plat::TempDir env;
  Machine m(env, {"PASSWORD=1E"}, 2);
  std::vector<uint8_t> arena(0x3000, 0xCC);
  plat::MappedBuffer map(static_cast<void*>(arena.data() + 0x1000), 0x1000);  // middle page only
  const uint32_t codes[] = {kCallBios, kGetRomData, kProgramRom, kCheckSupport,
                            kVxdCallBios, kVxdMapMemory, kVxdProgramRom, 0x222004};
  const uint32_t functions[][2] = {{0x9616, 0}, {0x9616, 1}, {0x9610, 0x0108}, {0x9610, 0x0308},
                                   {0x9610, 0}, {0x9604, 0xF700}};
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  auto address = [&] {
    uint32_t pick = next() % 4;
    if (pick == 0) return next();
    return map.address() + (next() % 0x1400) - 0x200;  // around the mapped page
  };
  for (int i = 0; i < 3000; ++i) {
    uint32_t code = codes[next() % 8];
    std::vector<uint8_t> b(next() % 2 ? 84 : 40 + next() % 50);
    for (size_t at = 0; at + 4 <= b.size(); at += 4) PutLe32At(b, at, address());
    if (b.size() >= 28) {
      const uint32_t* f = functions[next() % 6];
      size_t at = code >= kVxdCallBios ? 0 : 4;
      PutLe32At(b, at, f[0]);
      PutLe32At(b, at + 4, f[1]);
      PutLe32At(b, at + 8, next() % 3 ? next() % 0x80 : next());
    }
    m.Send(code, b);
  }
  for (size_t i = 0; i < 0x1000; ++i) ASSERT_EQ(arena[i], 0xCC) << i;
  for (size_t i = 0x2000; i < 0x3000; ++i) ASSERT_EQ(arena[i], 0xCC) << i;
  EXPECT_EQ(m.RomFile(), m.rom);
}

}  // namespace
}  // namespace emu
