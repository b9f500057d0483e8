// On-demand benchmark: a silent flash of a 16 MiB package by brimlet through
// the flashrom driver module, against the flashrom command writing the same
// final image, both onto the same dummy-emulated W25Q128FV chip file, every
// block changed, alternating in one run. flashrom verifies after writing;
// brimlet's verify is its read-back of the chip in a session of its own.
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imagegen/layouts.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr uint32_t kSize = 0x1000000;
constexpr int kRuns = 5;

void WriteBytes(const fs::path& path, const imagegen::Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

imagegen::Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return imagegen::Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A 16 MiB Quorvel image whose blocks all differ from another seed's, so
// every erase block is erased and written.
imagegen::Bytes Image(const std::string& date, uint32_t seed) {
  imagegen::QuorvelSpec spec;
  spec.size = kSize;
  spec.base = 0u - kSize;
  spec.date = date;
  spec.seed = seed;
  spec.flashModules = {0xD0000};
  for (auto& e : spec.directory) e.where = spec.base + (e.where - 0xFFF00000u);
  imagegen::Bytes b = imagegen::BuildQuorvel(spec);
  uint32_t x = seed * 2654435761u;
  for (size_t i = 0x100000; i < b.size(); ++i) {
    x = x * 1103515245u + 12345u;
    b[i] = uint8_t(x >> 24);
  }
  // The layout's own first MiB leaves some blocks alike between seeds; a
  // stamp in each (the image checks are off) makes every block change.
  for (size_t block = 0; block < 0x100000; block += 0x10000)
    for (size_t i = 0; i < 16; ++i) b[block + 0xF000 + i] = uint8_t(seed * 37 + i);
  return b;
}

// Wall time of one program run with its output sent to `log`; -1 on failure.
double Run(const std::vector<std::string>& args, const fs::path& cwd, const fs::path& log) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const fs::path old = fs::current_path();
  fs::current_path(cwd);
  const auto start = Clock::now();
  pid_t pid;
  int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  fs::current_path(old);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  if (std::system("command -v flashrom >/dev/null 2>&1") != 0) {
    std::fprintf(stderr, "the flashrom command is needed for the reference run "
                         "(Debian: apt-get install flashrom)\n");
    return 1;
  }
  const fs::path dir = fs::temp_directory_path() / "flashrom-bench";
  fs::remove_all(dir);
  fs::create_directories(dir / "prog");
  fs::create_directories(dir / "state");
  const fs::path chip = dir / "chip.bin";
  const imagegen::Bytes oldRom = Image("06/28/07", 1);
  const imagegen::Bytes image = Image("07/15/07", 2);

  imagegen::Bytes program = ReadBytes(BRIMLET_EXE);
  const imagegen::Bytes package = imagegen::BuildPackage(image, "0000000000000000000000000001000000");
  program.insert(program.end(), package.begin(), package.end());
  WriteBytes(dir / "prog/brimlet", program);
  fs::permissions(dir / "prog/brimlet", fs::perms::owner_all);
  fs::copy_file(FLASHROM_SYS_PATH, dir / "prog/flash.sys");
  const std::string programmer = "dummy:emulate=W25Q128FV,image=" + chip.string();
  std::ofstream(dir / "prog/flashrom.ini") << "[FLASHROM]\nPROGRAMMER=" << programmer << "\nFLAG=0x10\n";
  WriteBytes(dir / "final.rom", image);
  int unchanged = 0;
  for (size_t block = 0; block < kSize; block += 0x10000)
    unchanged += std::equal(oldRom.begin() + block, oldRom.begin() + block + 0x10000, image.begin() + block);
  if (unchanged) {
    std::fprintf(stderr, "%d of 256 blocks are alike in the two images\n", unchanged);
    return 1;
  }

  for (const char* var : {"XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
    setenv(var, (dir / "state").c_str(), 1);
  setenv("BIOS_TOOLS_CONFIG_DIR", (dir / "state").c_str(), 1);
  setenv("BIOS_TOOLS_NO_POWER_ACTION", "1", 1);

  std::vector<double> brimlet, flashrom;
  for (int i = 0; i < kRuns; ++i) {
    WriteBytes(chip, oldRom);
    double t = Run({(dir / "prog/brimlet").string(), "/silent", "/wb"}, dir / "prog", dir / "brimlet.log");
    if (t < 0 || ReadBytes(chip) != image) {
      std::fprintf(stderr, "brimlet run %d failed or left another chip (see %s)\n", i,
                   (dir / "brimlet.log").c_str());
      return 1;
    }
    brimlet.push_back(t);

    WriteBytes(chip, oldRom);
    t = Run({"flashrom", "-p", programmer, "-w", (dir / "final.rom").string()}, dir, dir / "flashrom.log");
    if (t < 0 || ReadBytes(chip) != image) {
      std::fprintf(stderr, "flashrom run %d failed or left another chip (see %s)\n", i,
                   (dir / "flashrom.log").c_str());
      return 1;
    }
    flashrom.push_back(t);
  }
  const double b = Median(brimlet), f = Median(flashrom);
  std::printf("16 MiB W25Q128FV dummy chip, every block changed, both verified (median of %d, alternating)\n", kRuns);
  std::printf("  brimlet /silent /wb through the flashrom module: %.3f s\n", b);
  std::printf("  flashrom -p dummy:... -w (reference):            %.3f s\n", f);
  std::printf("  ratio brimlet / flashrom:                        %.2f\n", b / f);
  fs::remove_all(dir);
  return 0;
}
