// Runs the real brimlet program, with a package appended, against an
// emulated machine in a temporary folder.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "imagegen/layouts.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using imagegen::Bytes;

inline void WriteBytes(const std::string& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

inline Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class SilentFlash : public ::testing::Test {
 protected:
  // A machine holding `rom`, and a brimlet with `image` packaged behind it.
  void Prepare(const Bytes& rom, uint32_t flag, const Bytes& image, const std::string& settings) {
    fs::create_directories(dir / "machine");
    fs::create_directories(dir / "prog");
    WriteBytes(dir / "machine/rom.bin", rom);
    std::ofstream(dir / "machine/machine.ini") << "[MACHINE]\nBASE=0xFFF00000\nFLAG=" << flag << "\n";
    WriteBytes(dir / "new.rom", image);
    fs::copy_file(fs::path(BRIMLET_EXE).parent_path() / "flash.sys", dir / "prog/flash.sys");
    const std::string pack = std::string(BRIMLET_PACK_EXE) + " --settings " + settings + " --image " +
                             (dir / "new.rom") + " --exe " + BRIMLET_EXE + " -o " + (dir / "prog/brimlet") +
                             " >/dev/null";
    ASSERT_EQ(std::system(pack.c_str()), 0);
  }

  // The environment of one brimlet run; `session` names its runtime folder.
  std::string Environment(const std::string& session = "state") {
    fs::create_directories(dir / "state");
    fs::create_directories(dir / session);
    fs::create_directories(dir / "lock");
    return "BRIMLET_MACHINE=" + (dir / "machine") + " XDG_STATE_HOME=" + (dir / "state") +
           " XDG_DATA_HOME=" + (dir / "data") + " XDG_CONFIG_HOME=" + (dir / "config") +
           " XDG_RUNTIME_DIR=" + (dir / session) + " BIOS_TOOLS_LOCK_DIR=" + (dir / "lock") +
           " BIOS_TOOLS_POWER_SUPPLY_ROOT=" + (dir / "power") + " BIOS_TOOLS_NO_POWER_ACTION=1";
  }

  int RunBrimlet(const std::string& args, const std::string& env = "") {
    const std::string cmd = "cd " + (dir / "prog") + " && " + (env.empty() ? Environment() : env) +
                            " ./brimlet " + args + " </dev/null >" + (dir / "log") + " 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  Bytes Rom() { return ReadBytes(dir / "machine/rom.bin"); }
  std::string Log() {
    Bytes b = ReadBytes(dir / "log");
    return std::string(b.begin(), b.end());
  }

  plat::TempDir dir;
};
