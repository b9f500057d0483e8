// The real brimlet program with an appended package, flashing emulated
// machines of each layout in silent mode.
#include <algorithm>

#include "platform/named_mutex.h"
#include "silent_flash_fixture.h"

namespace {

// The programming run uses the flash module ("A!FR" block) of the BIOS in the ROM.
imagegen::QuorvelSpec WithModule(imagegen::QuorvelSpec spec) {
  spec.flashModules = {0xD0000};
  return spec;
}

bool SameRange(const Bytes& a, const Bytes& b, size_t from, size_t to) {
  return a.size() >= to && b.size() >= to && std::equal(a.begin() + from, a.begin() + to, b.begin() + from);
}

// Keep password and the boot block, verify date, model and size, and program
// with the new image's flash module (a Quorvel ROM's own module is located
// only while an image is loaded, so only the new one can be used there).
const char kSettings[] = "0100010000000000011010000001000000";

TEST_F(SilentFlash, QuorvelKeepsPasswordAreaAndBootBlock) {
  imagegen::QuorvelSpec oldSpec;
  oldSpec.flashModules = {0xD0000};
  imagegen::QuorvelSpec newSpec;
  newSpec.flashModules = {0xD0000};
  newSpec.date = "07/15/07";
  newSpec.seed = 9;
  const Bytes oldRom = imagegen::BuildQuorvel(oldSpec);
  const Bytes image = imagegen::BuildQuorvel(newSpec);
  ASSERT_NE(oldRom, image);
  Prepare(oldRom, 0x10, image, kSettings);

  ASSERT_EQ(RunBrimlet("/silent /kpsw"), 0) << Log();
  const Bytes rom = Rom();
  ASSERT_EQ(rom.size(), image.size());
  EXPECT_TRUE(SameRange(rom, image, 0, 0x15000));
  EXPECT_TRUE(SameRange(rom, oldRom, 0x15000, 0x16000)) << "A!PS area carried over";
  EXPECT_TRUE(SameRange(rom, image, 0x16000, 0xF0000));
  EXPECT_TRUE(SameRange(rom, oldRom, 0xF0000, 0x100000)) << "boot block kept";
}

TEST_F(SilentFlash, WritingBootBlockReplacesWholeRom) {
  imagegen::QuorvelSpec newSpec;
  newSpec.flashModules = {0xD0000};
  newSpec.date = "07/15/07";
  newSpec.seed = 9;
  const Bytes image = imagegen::BuildQuorvel(newSpec);
  Prepare(imagegen::BuildQuorvel(WithModule(imagegen::QuorvelSpec{})), 0x10, image, kSettings);
  ASSERT_EQ(RunBrimlet("/silent /wb"), 0);
  EXPECT_EQ(Rom(), image);
}

TEST_F(SilentFlash, TarvexKeepsDmiModule) {
  imagegen::TarvexSpec oldSpec;
  oldSpec.flashModules = {0xD0000};
  imagegen::TarvexSpec newSpec;
  newSpec.flashModules = {0xD0000};
  newSpec.release = "070715";
  newSpec.date = "07/15/07";
  newSpec.seed = 7;
  Bytes oldRom = imagegen::BuildTarvex(oldSpec);
  Bytes image = imagegen::BuildTarvex(newSpec);
  // Both DMI areas begin with the same text, as the areas of one model do.
  std::copy_n("DMI1", 4, oldRom.begin() + 0x20000);
  std::copy_n("DMI1", 4, image.begin() + 0x20000);
  Prepare(oldRom, 0, image, kSettings);

  ASSERT_EQ(RunBrimlet("/silent /kdmi"), 0) << Log();
  const Bytes rom = Rom();
  EXPECT_TRUE(SameRange(rom, oldRom, 0x20000, 0x20800)) << "DMI module carried over";
  EXPECT_TRUE(SameRange(rom, image, 0x20800, 0xF0000));
  EXPECT_TRUE(SameRange(rom, oldRom, 0xF0000, 0x100000));
}

TEST_F(SilentFlash, LindarKeepsDmiArea) {
  imagegen::LindarSpec oldSpec;
  oldSpec.flashModules = {0xD0000};
  imagegen::LindarSpec newSpec;
  newSpec.flashModules = {0xD0000};
  newSpec.texts[4] = "071507";
  newSpec.seed = 5;
  const Bytes oldRom = imagegen::BuildLindar(oldSpec);
  const Bytes image = imagegen::BuildLindar(newSpec);
  Prepare(oldRom, 0x08, image, kSettings);

  ASSERT_EQ(RunBrimlet("/silent /kdmi"), 0) << Log();
  const Bytes rom = Rom();
  EXPECT_TRUE(SameRange(rom, oldRom, 0x20000, 0x20800)) << "DMI area carried over";
  EXPECT_TRUE(SameRange(rom, image, 0x20800, 0xF0000));
}

TEST_F(SilentFlash, RefusedImagesLeaveRomUntouched) {
  const Bytes oldRom = imagegen::BuildQuorvel(WithModule(imagegen::QuorvelSpec{}));
  imagegen::QuorvelSpec olderSpec;
  olderSpec.flashModules = {0xD0000};
  olderSpec.date = "01/02/07";
  olderSpec.seed = 11;
  Prepare(oldRom, 0x10, imagegen::BuildQuorvel(olderSpec), kSettings);
  EXPECT_EQ(RunBrimlet("/silent"), 4) << "older release";
  EXPECT_EQ(Rom(), oldRom);

  imagegen::QuorvelSpec otherModel;
  otherModel.flashModules = {0xD0000};
  otherModel.date = "07/15/07";
  otherModel.identityModel = "ZZZ";
  otherModel.develModel = "ZZZ";
  fs::remove_all(dir / "prog");
  Prepare(oldRom, 0x10, imagegen::BuildQuorvel(otherModel), kSettings);
  EXPECT_EQ(RunBrimlet("/silent"), 3) << "model mismatch";
  EXPECT_EQ(Rom(), oldRom);
}

TEST_F(SilentFlash, UnreadableRomIsNeverFlashed) {
  const Bytes oldRom = imagegen::BuildQuorvel(WithModule(imagegen::QuorvelSpec{}));
  imagegen::QuorvelSpec newSpec;
  newSpec.flashModules = {0xD0000};
  newSpec.date = "07/15/07";
  Prepare(oldRom, 0x10, imagegen::BuildQuorvel(newSpec), kSettings);
  std::ofstream(dir / "machine/machine.ini", std::ios::app) << "[FAULTS]\nREADFAIL=1\n";
  EXPECT_NE(RunBrimlet("/silent /wb"), 0);
  EXPECT_EQ(Rom(), oldRom);
}

TEST_F(SilentFlash, SecondInstanceFlashesNothing) {
  const Bytes oldRom = imagegen::BuildQuorvel(WithModule(imagegen::QuorvelSpec{}));
  imagegen::QuorvelSpec newSpec;
  newSpec.date = "07/15/07";
  newSpec.flashModules = {0xD0000};
  Prepare(oldRom, 0x10, imagegen::BuildQuorvel(newSpec), kSettings);
  plat::ScopedEnv env;
  fs::create_directories(dir / "lock");
  env.Set("BIOS_TOOLS_LOCK_DIR", dir / "lock");
  plat::NamedMutex first("Brimlet");
  ASSERT_TRUE(first.TryAcquire());

  EXPECT_EQ(RunBrimlet("/silent /wb"), 22);
  EXPECT_NE(Log().find("Brimlet have been running !"), std::string::npos) << Log();
  EXPECT_EQ(Rom(), oldRom);
  EXPECT_FALSE(fs::exists(dir / "state/bios-tools")) << "the driver service was not touched";
}

// The loader takes the last model code in the program file as the package
// header; the program's own bytes must therefore never hold one.
TEST(BrimletProgram, HoldsNoPackageHeaderOfItsOwn) {
  const Bytes program = ReadBytes(BRIMLET_EXE);
  ASSERT_FALSE(program.empty());
  const char code[] = "HOLBRIKE";
  EXPECT_EQ(std::search(program.begin(), program.end(), code, code + 8), program.end());
}

TEST_F(SilentFlash, ProgramWithoutPackageRefusesWithError9) {
  fs::create_directories(dir / "machine");
  fs::create_directories(dir / "prog");
  const Bytes oldRom = imagegen::BuildQuorvel(WithModule(imagegen::QuorvelSpec{}));
  WriteBytes(dir / "machine/rom.bin", oldRom);
  std::ofstream(dir / "machine/machine.ini") << "[MACHINE]\nFLAG=16\n";
  fs::copy_file(BRIMLET_EXE, dir / "prog/brimlet");
  fs::copy_file(fs::path(BRIMLET_EXE).parent_path() / "flash.sys", dir / "prog/flash.sys");
  EXPECT_EQ(RunBrimlet("/silent"), 9);
  EXPECT_EQ(Rom(), oldRom);
}

TEST_F(SilentFlash, FileOptionFlashesNamedFile) {
  const Bytes oldRom = imagegen::BuildQuorvel(WithModule(imagegen::QuorvelSpec{}));
  imagegen::QuorvelSpec newSpec;
  newSpec.flashModules = {0xD0000};
  newSpec.date = "07/15/07";
  newSpec.seed = 9;
  const Bytes image = imagegen::BuildQuorvel(newSpec);
  fs::create_directories(dir / "machine");
  fs::create_directories(dir / "prog/Images");
  WriteBytes(dir / "machine/rom.bin", oldRom);
  std::ofstream(dir / "machine/machine.ini") << "[MACHINE]\nFLAG=16\n";
  fs::copy_file(BRIMLET_EXE, dir / "prog/brimlet");
  fs::copy_file(fs::path(BRIMLET_EXE).parent_path() / "flash.sys", dir / "prog/flash.sys");
  std::ofstream(dir / "prog/setting.ini") << "[EXECUTE_MODULE]\nEXECUTEFROMNEWBIOS=1\n";
  WriteBytes(dir / "prog/Images/New.Rom", image);
  ASSERT_EQ(RunBrimlet("/silent /wb /f:" + (dir / "prog/Images/New.Rom")), 0) << Log();
  EXPECT_EQ(Rom(), image);
}

// With new.rom and NEW.ROM side by side, each name flashes its own file;
// a name that matches only without regard to case, and more than one file
// so, flashes nothing and names both.
TEST_F(SilentFlash, FileOptionFlashesTheFileAsNamed) {
  const Bytes oldRom = imagegen::BuildQuorvel(WithModule(imagegen::QuorvelSpec{}));
  auto image = [](uint32_t seed) {
    imagegen::QuorvelSpec spec;
    spec.flashModules = {0xD0000};
    spec.date = "07/15/07";
    spec.seed = seed;
    return imagegen::BuildQuorvel(spec);
  };
  fs::create_directories(dir / "machine");
  fs::create_directories(dir / "prog");
  std::ofstream(dir / "machine/machine.ini") << "[MACHINE]\nFLAG=16\n";
  fs::copy_file(BRIMLET_EXE, dir / "prog/brimlet");
  fs::copy_file(fs::path(BRIMLET_EXE).parent_path() / "flash.sys", dir / "prog/flash.sys");
  std::ofstream(dir / "prog/setting.ini") << "[EXECUTE_MODULE]\nEXECUTEFROMNEWBIOS=1\n";
  WriteBytes(dir / "new.rom", image(9));
  WriteBytes(dir / "NEW.ROM", image(10));
  ASSERT_NE(image(9), image(10));
  for (const std::string name : {"new.rom", "NEW.ROM"}) {
    WriteBytes(dir / "machine/rom.bin", oldRom);
    ASSERT_EQ(RunBrimlet("/silent /wb /f:" + (dir / name)), 0) << Log();
    EXPECT_EQ(Rom(), ReadBytes(dir / name)) << name;
  }
  WriteBytes(dir / "machine/rom.bin", oldRom);
  EXPECT_EQ(RunBrimlet("/silent /wb /f:" + (dir / "New.Rom")), 9);
  EXPECT_EQ(Rom(), oldRom);
  EXPECT_NE(Log().find("Could not open file " + (dir / "New.Rom") + ": names that differ only in case: " +
                       (dir / "NEW.ROM") + " " + (dir / "new.rom")),
            std::string::npos)
      << Log();
  EXPECT_EQ(RunBrimlet("/silent /wb /f:" + (dir / "nonexist.rom")), 9);
  EXPECT_NE(Log().find("Could not open file " + (dir / "nonexist.rom") + ": No such file or directory"),
            std::string::npos)
      << Log();
}

}  // namespace
