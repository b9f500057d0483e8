// On-demand benchmark: a silent flash of a package by brimlet through the
// flashrom driver module, against the flashrom command writing the same
// final image, both onto the same dummy-emulated chip file (a 16 MiB
// W25Q128FV and a 64 MiB chip of the dummy's own size), every block changed,
// alternating in one run: wall time and peak resident memory of each
// process. flashrom verifies after writing; brimlet's verify is its
// read-back of the chip, a session per piece.
// The bench never holds a chip-sized buffer itself (a child's peak resident
// memory would include its parent's, as it survives exec): the images are
// made in a forked child and compared from their files.
// Usage: flashrom_flash_bench [RUNS [BRIMLET FLASH_SYS]] (another brimlet
// and its flashrom module, e.g. the main branch's, instead of this build's)
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "imagegen/layouts.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void WriteBytes(const fs::path& path, const imagegen::Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

imagegen::Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return imagegen::Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A Quorvel image whose blocks all differ from another seed's, so every
// erase block is erased and written.
imagegen::Bytes Image(uint32_t size, const std::string& date, uint32_t seed) {
  imagegen::QuorvelSpec spec;
  spec.size = size;
  spec.base = 0u - size;
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

// Wall time of one program run with its output sent to `log`, its peak
// resident memory in MiB in *peak; -1 on failure.
double Run(const std::vector<std::string>& args, const fs::path& cwd, const fs::path& log, double* peak) {
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
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return -1;
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  *peak = usage.ru_maxrss / 1024.0;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

bool SameFiles(const fs::path& a, const fs::path& b) {
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  std::vector<char> p(1 << 20), q(1 << 20);
  while (x && y) {
    x.read(p.data(), static_cast<std::streamsize>(p.size()));
    y.read(q.data(), static_cast<std::streamsize>(q.size()));
    if (x.gcount() != y.gcount() || std::memcmp(p.data(), q.data(), static_cast<size_t>(x.gcount())) != 0)
      return false;
  }
  return !x && !y;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Chip {
  const char* name;
  std::string emulate;
  uint32_t size;
};

// Alternating runs of both programs on one chip; false when one failed.
bool Compare(const Chip& chip, int runs, const fs::path& brimletExe, const fs::path& module) {
  const fs::path dir = fs::temp_directory_path() / "flashrom-bench";
  fs::remove_all(dir);
  fs::create_directories(dir / "prog");
  fs::create_directories(dir / "state");
  const fs::path file = dir / "chip.bin";
  const std::string programmer = "dummy:emulate=" + chip.emulate + ",image=" + file.string();
  std::ofstream(dir / "prog/flashrom.ini") << "[FLASHROM]\nPROGRAMMER=" << programmer << "\nFLAG=0x10\n";
  fs::copy_file(module, dir / "prog/flash.sys");
  const pid_t maker = fork();
  if (maker < 0) return false;
  if (maker == 0) {
    const imagegen::Bytes oldRom = Image(chip.size, "06/28/07", 1);
    const imagegen::Bytes image = Image(chip.size, "07/15/07", 2);
    imagegen::Bytes program = ReadBytes(brimletExe);
    const imagegen::Bytes package = imagegen::BuildPackage(image, "0000000000000000000000000001000000");
    program.insert(program.end(), package.begin(), package.end());
    WriteBytes(dir / "prog/brimlet", program);
    WriteBytes(dir / "old.rom", oldRom);
    WriteBytes(dir / "final.rom", image);
    int unchanged = 0;
    for (size_t block = 0; block < chip.size; block += 0x10000)
      unchanged += std::equal(oldRom.begin() + block, oldRom.begin() + block + 0x10000, image.begin() + block);
    if (unchanged) std::fprintf(stderr, "%d blocks are alike in the two images\n", unchanged);
    _exit(unchanged ? 1 : 0);
  }
  int made = 0;
  if (waitpid(maker, &made, 0) != maker || !WIFEXITED(made) || WEXITSTATUS(made) != 0) return false;
  fs::permissions(dir / "prog/brimlet", fs::perms::owner_all);

  for (const char* var : {"XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
    setenv(var, (dir / "state").c_str(), 1);
  setenv("BIOS_TOOLS_CONFIG_DIR", (dir / "state").c_str(), 1);
  setenv("BIOS_TOOLS_NO_POWER_ACTION", "1", 1);
  setenv("BIOS_TOOLS_FLASHROM_LOCK_DIR", (dir / "state").c_str(), 1);

  std::vector<double> brimlet, flashrom, brimletPeak, flashromPeak;
  for (int i = 0; i < runs; ++i) {
    double peak = 0;
    fs::copy_file(dir / "old.rom", file, fs::copy_options::overwrite_existing);
    fs::remove_all(dir / "state");
    fs::create_directories(dir / "state");
    double t = Run({(dir / "prog/brimlet").string(), "/silent", "/wb"}, dir / "prog", dir / "brimlet.log", &peak);
    if (t < 0 || !SameFiles(file, dir / "final.rom")) {
      std::fprintf(stderr, "brimlet run %d failed or left another chip (see %s)\n", i,
                   (dir / "brimlet.log").c_str());
      return false;
    }
    brimlet.push_back(t);
    brimletPeak.push_back(peak);

    fs::copy_file(dir / "old.rom", file, fs::copy_options::overwrite_existing);
    t = Run({"flashrom", "-p", programmer, "-w", (dir / "final.rom").string()}, dir, dir / "flashrom.log", &peak);
    if (t < 0 || !SameFiles(file, dir / "final.rom")) {
      std::fprintf(stderr, "flashrom run %d failed or left another chip (see %s)\n", i,
                   (dir / "flashrom.log").c_str());
      return false;
    }
    flashrom.push_back(t);
    flashromPeak.push_back(peak);
  }
  const double b = Median(brimlet), f = Median(flashrom);
  const double bp = Median(brimletPeak), fp = Median(flashromPeak);
  std::printf("%s dummy chip (%u MiB), every block changed, both verified (median of %d, alternating)\n",
              chip.name, chip.size >> 20, runs);
  std::printf("  brimlet /silent /wb through the flashrom module: %7.3f s  %6.0f MiB peak\n", b, bp);
  std::printf("  flashrom -p dummy:... -w (reference):            %7.3f s  %6.0f MiB peak\n", f, fp);
  std::printf("  ratio brimlet / flashrom:                        %7.2f    %6.2f\n", b / f, bp / fp);
  fs::remove_all(dir);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (std::system("command -v flashrom >/dev/null 2>&1") != 0) {
    std::fprintf(stderr, "the flashrom command is needed for the reference run "
                         "(Debian: apt-get install flashrom)\n");
    return 1;
  }
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const Chip chips[] = {{"W25Q128FV", "W25Q128FV", 0x1000000},
                        {"VARIABLE_SIZE", "VARIABLE_SIZE,size=67108864", 0x4000000}};
  const fs::path brimletExe = argc > 3 ? fs::absolute(argv[2]) : fs::path(BRIMLET_EXE);
  const fs::path module = argc > 3 ? fs::absolute(argv[3]) : fs::path(FLASHROM_SYS_PATH);
  for (const Chip& chip : chips)
    if (!Compare(chip, runs, brimletExe, module)) return 1;
  return 0;
}
