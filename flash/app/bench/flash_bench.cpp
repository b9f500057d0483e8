// On-demand benchmark: silent flashes by the real program on an emulated
// machine with zero programming time (backup with its fsync, programming,
// read-back verify and history line included) of 16 to 256 MiB ROMs: wall
// time and peak resident memory of the process, the time's slope per MiB and
// fixed cost, against a reference in the same run (reading the ROM file,
// writing it to a new file and syncing it: the least a flash must do), and
// the CPU time the user-interface thread spends while the worker programs.
// The bench itself never holds a ROM-sized buffer: a process's peak
// resident memory survives exec, so a child started by a big parent would
// report the parent's. Images are made and the reference is run in forked
// children.
// Usage: brimlet_flash_bench [RUNS [LABEL=OTHER_BRIMLET ...]]
// Other brimlet programs (flash.sys beside each) run alternately with this
// build's, e.g. the main branch's for a before/after comparison.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/flash_sequence.h"
#include "imagegen/layouts.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr uint32_t kMiB = 0x100000;

bool WriteBytes(const fs::path& path, const imagegen::Bytes& b) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  return static_cast<bool>(out);
}

imagegen::Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return imagegen::Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool SameFiles(const fs::path& a, const fs::path& b) {
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  std::vector<char> p(kMiB), q(kMiB);
  while (x && y) {
    x.read(p.data(), static_cast<std::streamsize>(p.size()));
    y.read(q.data(), static_cast<std::streamsize>(q.size()));
    if (x.gcount() != y.gcount() || std::memcmp(p.data(), q.data(), static_cast<size_t>(x.gcount())) != 0)
      return false;
  }
  return !x && !y;
}

// A fresh copy of the old ROM as the machine's, on the disk before the
// clock starts: its dirty pages would otherwise be written out by the
// next fsync of the same file system and counted against whoever calls it.
bool FreshRom(const fs::path& from, const fs::path& to) {
  if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing)) return false;
  const int fd = ::open(to.c_str(), O_RDONLY | O_CLOEXEC);
  const bool ok = fd >= 0 && ::fsync(fd) == 0;
  if (fd >= 0) ::close(fd);
  return ok;
}

// Runs `work` in a forked child; its exit status 0 is success.
template <class Work>
bool InChild(Work work) {
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) _exit(work() ? 0 : 1);
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
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

struct Program {
  std::string label;
  fs::path exe;  // with flash.sys beside it
};

struct Sample {
  double seconds = -1;
  double cpu = 0;  // user and system time of the process
  long peakKiB = 0;
};

double CpuSeconds(const rusage& u) {
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// One machine folder and one program file per brimlet, for one ROM size.
class Setup {
 public:
  Setup(uint32_t size, const std::vector<Program>& programs)
      : size_(size), dir_(fs::temp_directory_path() / ("brimlet-bench-" + std::to_string(size >> 20))) {
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "machine");
    std::ofstream(dir_ / "machine/machine.ini")
        << "[MACHINE]\nBASE=" << (0u - size) << "\nFLAG=16\nBLOCKTIME=0\n";
    ok_ = InChild([&] {
      const imagegen::Bytes image = Image(size, "07/15/07");
      if (!WriteBytes(dir_ / "old.rom", Image(size, "06/28/07")) || !WriteBytes(dir_ / "new.rom", image))
        return false;
      const imagegen::Bytes package = imagegen::BuildPackage(image, "0000000000000000000000000001000000");
      for (size_t i = 0; i < programs.size(); ++i) {
        const fs::path prog = dir_ / ("prog" + std::to_string(i));
        fs::create_directories(prog);
        imagegen::Bytes program = ReadBytes(programs[i].exe);
        program.insert(program.end(), package.begin(), package.end());
        if (!WriteBytes(prog / "brimlet", program)) return false;
        fs::permissions(prog / "brimlet", fs::perms::owner_all);
        fs::copy_file(programs[i].exe.parent_path() / "flash.sys", prog / "flash.sys");
      }
      return true;
    });
  }
  ~Setup() { fs::remove_all(dir_); }
  bool ok() const { return ok_; }

  Sample Flash(size_t program) {
    Sample s;
    const fs::path state = dir_ / "state";
    fs::remove_all(state);
    fs::create_directories(state);
    const fs::path rom = dir_ / "machine/rom.bin";
    if (!FreshRom(dir_ / "old.rom", rom)) return s;
    setenv("BRIMLET_MACHINE", (dir_ / "machine").c_str(), 1);
    for (const char* var : {"XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR",
                            "BIOS_TOOLS_LOCK_DIR"})
      setenv(var, state.c_str(), 1);
    setenv("BIOS_TOOLS_NO_POWER_ACTION", "1", 1);
    const std::string exe = (dir_ / ("prog" + std::to_string(program)) / "brimlet").string();
    char* argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>("/silent"),
                    const_cast<char*>("/wb"), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid;
    const int spawned = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return s;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return s;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "%s: %u MiB flash ended with status %d\n", exe.c_str(), size_ >> 20, status);
      return s;
    }
    if (!SameFiles(rom, dir_ / "new.rom")) {
      std::fprintf(stderr, "%s: %u MiB flash left an unexpected ROM\n", exe.c_str(), size_ >> 20);
      return s;
    }
    s.seconds = seconds;
    s.cpu = CpuSeconds(usage);
    s.peakKiB = usage.ru_maxrss;
    return s;
  }

  // The ROM file read into fresh memory, written to a new file and synced,
  // in a child of its own.
  Sample Reference() {
    Sample s;
    const fs::path rom = dir_ / "machine/rom.bin";
    const fs::path copy = dir_ / "copy.bin";
    if (!FreshRom(dir_ / "old.rom", rom)) return s;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) return s;
    if (pid == 0) {
      const int in = ::open(rom.c_str(), O_RDONLY | O_CLOEXEC);
      const int out = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      std::unique_ptr<uint8_t[]> bytes(new uint8_t[size_]);
      bool ok = in >= 0 && out >= 0;
      for (size_t done = 0; ok && done < size_;) {
        const ssize_t n = ::read(in, bytes.get() + done, size_ - done);
        ok = n > 0;
        done += ok ? size_t(n) : 0;
      }
      for (size_t done = 0; ok && done < size_;) {
        const ssize_t n = ::write(out, bytes.get() + done, size_ - done);
        ok = n > 0;
        done += ok ? size_t(n) : 0;
      }
      ok = ok && ::fsync(out) == 0 && ::close(out) == 0;
      _exit(ok ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return s;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    fs::remove(copy);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return s;
    s.seconds = seconds;
    s.cpu = CpuSeconds(usage);
    s.peakKiB = usage.ru_maxrss;
    return s;
  }

 private:
  uint32_t size_;
  fs::path dir_;
  bool ok_ = false;
};

// Least-squares line through (MiB, seconds): slope in ms per MiB, fixed cost in ms.
void Fit(const std::vector<double>& mib, const std::vector<double>& s, double* slope, double* fixed) {
  double mx = 0, my = 0;
  for (size_t i = 0; i < mib.size(); ++i) mx += mib[i], my += s[i];
  mx /= mib.size();
  my /= mib.size();
  double sxy = 0, sxx = 0;
  for (size_t i = 0; i < mib.size(); ++i) sxy += (mib[i] - mx) * (s[i] - my), sxx += (mib[i] - mx) * (mib[i] - mx);
  *slope = 1000 * sxy / sxx;
  *fixed = 1000 * (my - sxy / sxx * mx);
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

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  std::vector<Program> programs = {{"this build", BRIMLET_EXE}};
  for (int i = 2; i < argc; ++i) {
    const char* eq = std::strchr(argv[i], '=');
    if (!eq || eq == argv[i]) {
      std::fprintf(stderr, "usage: %s [RUNS [LABEL=BRIMLET ...]]\n", argv[0]);
      return 2;
    }
    programs.push_back({std::string(argv[i], static_cast<size_t>(eq - argv[i])), fs::absolute(eq + 1)});
  }
  const std::vector<uint32_t> sizes = {16 * kMiB, 64 * kMiB, 128 * kMiB, 256 * kMiB};
  std::vector<double> mib;
  // [program][size] samples; the reference is the last "program".
  std::vector<std::vector<std::vector<double>>> times(programs.size() + 1,
                                                      std::vector<std::vector<double>>(sizes.size()));
  std::vector<std::vector<std::vector<double>>> peaks = times, cpus = times;
  for (size_t k = 0; k < sizes.size(); ++k) {
    mib.push_back(sizes[k] / double(kMiB));
    Setup setup(sizes[k], programs);
    if (!setup.ok()) {
      std::fprintf(stderr, "the %u MiB images could not be made\n", sizes[k] >> 20);
      return 1;
    }
    // Alternating: each round runs every program and the reference once.
    for (int r = 0; r < runs; ++r) {
      for (size_t p = 0; p < programs.size(); ++p) {
        const Sample s = setup.Flash(p);
        if (s.seconds < 0) return 1;
        times[p][k].push_back(s.seconds);
        cpus[p][k].push_back(s.cpu);
        peaks[p][k].push_back(s.peakKiB / 1024.0);
      }
      const Sample ref = setup.Reference();
      if (ref.seconds < 0) {
        std::fprintf(stderr, "the reference copy of %u MiB failed\n", sizes[k] >> 20);
        return 1;
      }
      times[programs.size()][k].push_back(ref.seconds);
      cpus[programs.size()][k].push_back(ref.cpu);
      peaks[programs.size()][k].push_back(ref.peakKiB / 1024.0);
    }
  }

  std::printf("silent flash on the emulated machine, median of %d alternating runs\n", runs);
  std::printf("%-28s", "");
  for (uint32_t size : sizes) std::printf(" %9u MiB", size >> 20);
  std::printf("  slope ms/MiB  fixed ms\n");
  double refSlope = 0, refFixed = 0;
  std::vector<double> refMedians;
  for (size_t k = 0; k < sizes.size(); ++k) refMedians.push_back(Median(times[programs.size()][k]));
  Fit(mib, refMedians, &refSlope, &refFixed);
  for (size_t p = 0; p <= programs.size(); ++p) {
    const bool ref = p == programs.size();
    std::vector<double> medians;
    std::printf("%-28s", ref ? "reference read+write+fsync" : (programs[p].label + " time s").c_str());
    for (size_t k = 0; k < sizes.size(); ++k) {
      medians.push_back(Median(times[p][k]));
      std::printf(" %13.3f", medians.back());
    }
    double slope = 0, fixed = 0;
    Fit(mib, medians, &slope, &fixed);
    std::printf("  %12.2f  %8.0f", slope, fixed);
    if (!ref) std::printf("  (slope %.2f x reference, %.2f ms/MiB above it)", slope / refSlope, slope - refSlope);
    std::printf("\n");
    // CPU time is far less disturbed than wall time by a disk and cores
    // that others share.
    std::vector<double> cpuMedians;
    std::printf("%-28s", ref ? "reference CPU s" : (programs[p].label + " CPU s").c_str());
    for (size_t k = 0; k < sizes.size(); ++k) {
      cpuMedians.push_back(Median(cpus[p][k]));
      std::printf(" %13.3f", cpuMedians.back());
    }
    Fit(mib, cpuMedians, &slope, &fixed);
    std::printf("  %12.2f  %8.0f\n", slope, fixed);
    std::printf("%-28s", ref ? "reference peak RSS MiB" : (programs[p].label + " peak RSS MiB").c_str());
    for (size_t k = 0; k < sizes.size(); ++k) std::printf(" %13.0f", Median(peaks[p][k]));
    std::printf("\n");
  }
  std::printf("%-28s", "2 x ROM + 40 MiB");
  for (uint32_t size : sizes) std::printf(" %13u", 2 * (size >> 20) + 40);
  std::printf("\n");

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
