// On-demand benchmark: wall time of a silent flash by the real program on an
// emulated machine with zero programming time (backup, programming, read-back
// verify and history line included), and the CPU time the
// user-interface thread spends while the worker programs.
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "core/flash_sequence.h"
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

imagegen::Bytes Image(uint32_t size, const std::string& date) {
  imagegen::QuorvelSpec spec;
  spec.size = size;
  spec.base = 0u - size;
  spec.date = date;
  spec.flashModules = {0xD0000};
  // Directory addresses follow the base so the areas stay inside the image.
  for (auto& e : spec.directory) e.where = spec.base + (e.where - 0xFFF00000u);
  return imagegen::BuildQuorvel(spec);
}

// Median wall time of `runs` silent flashes of a package with an image of `size` bytes.
double SilentFlashSeconds(uint32_t size, int runs) {
  const fs::path dir = fs::temp_directory_path() / ("brimlet-bench-" + std::to_string(size));
  fs::remove_all(dir);
  fs::create_directories(dir / "machine");
  fs::create_directories(dir / "prog");
  fs::create_directories(dir / "state");
  const imagegen::Bytes oldRom = Image(size, "06/28/07");
  const imagegen::Bytes image = Image(size, "07/15/07");
  std::ofstream(dir / "machine/machine.ini")
      << "[MACHINE]\nBASE=" << (0u - size) << "\nFLAG=16\nBLOCKTIME=0\n";

  imagegen::Bytes program = ReadBytes(BRIMLET_EXE);
  const imagegen::Bytes package =
      imagegen::BuildPackage(image, "0000000000000000000000000001000000");
  program.insert(program.end(), package.begin(), package.end());
  WriteBytes(dir / "prog/brimlet", program);
  fs::permissions(dir / "prog/brimlet", fs::perms::owner_all);
  fs::copy_file(fs::path(BRIMLET_EXE).parent_path() / "flash.sys", dir / "prog/flash.sys");

  setenv("BRIMLET_MACHINE", (dir / "machine").c_str(), 1);
  for (const char* var :
       {"XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "BIOS_TOOLS_LOCK_DIR"})
    setenv(var, (dir / "state").c_str(), 1);
  setenv("BIOS_TOOLS_NO_POWER_ACTION", "1", 1);

  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    WriteBytes(dir / "machine/rom.bin", oldRom);
    const std::string exe = (dir / "prog/brimlet").string();
    char* argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>("/silent"),
                    const_cast<char*>("/wb"), nullptr};
    const auto start = Clock::now();
    pid_t pid;
    if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "run %d ended with status %d\n", i, status);
      return -1;
    }
    if (ReadBytes(dir / "machine/rom.bin") != image) {
      std::fprintf(stderr, "run %d left an unexpected ROM\n", i);
      return -1;
    }
  }
  fs::remove_all(dir);
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

class SleepingSteps : public brim::FlashSteps {
 public:
  int CheckNewImage() override { return 0; }
  void MergeKeptRegions() override {}
  bool OpenFlashDevice() override { return true; }
  bool WSBICheck() override { return true; }
  void CloseFlashDevice() override {}
  bool ProgramFlashROM() override {
    std::this_thread::sleep_for(std::chrono::seconds(5));
    return true;
  }
  bool BackupCurrentRom() override { return true; }
  brim::RomVerifyResult VerifyProgrammedRom() override { return {true, 1, 0}; }
  std::string BackupPath() override { return ""; }
  uint32_t CurrentRomFlag() override { return 0; }
  void RefreshCurrentRom() override {}
  void DiscardNewImage() override {}
};

class CountingView : public brim::FlashView {
 public:
  long steps = 0;
  void AppendStatusLine(const std::string&) override {}
  void ShowProgrammingDialog(bool) override {}
  void ShowProgress(const brim::ProgressShown&) override { ++steps; }
  void PumpMessages() override {}
  void Pause(std::chrono::milliseconds) override {}
};

double ThreadCpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

}  // namespace

int main() {
  // 255 blocks is the most the 8-bit ROM size reports; 16 MiB needs the
  // 32-bit answer.
  for (uint32_t size : {0x100000u, 0xFF0000u, 0x1000000u}) {
    const double t = SilentFlashSeconds(size, 5);
    if (t < 0) return 1;
    std::printf("silent flash, %5u KiB image, process start to exit: %.3f s (median of 5)\n",
                size >> 10, t);
  }

  brim::FlashSettings s;
  SleepingSteps steps;
  CountingView view;
  const double cpu0 = ThreadCpuSeconds();
  const auto wall0 = Clock::now();
  brim::ProgressMeter meter;
  brim::ProgrammingRunner(s, steps, view, meter);
  const double cpu = ThreadCpuSeconds() - cpu0;
  const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
  std::printf("user-interface thread while the worker programs for 5 s: %.3f s CPU in %.2f s (%.2f %% of one core), %ld progress updates\n",
              cpu, wall, 100.0 * cpu / wall, view.steps);
  return 0;
}
