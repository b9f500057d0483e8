// Prepares a 64 MiB and a 2 GiB key image ("Removable" and "Fixed") and adds
// the five files of a raw-image crisis disk, against mkfs.fat -F 16 plus
// mcopy of the same files on an image of the same size. Prints the median
// time of several runs and the bytes each run hands to write calls (the
// process's and its tools' "wchar" in /proc/self/io).
//
//   crisis_disk_bench [RUNS]     (run from any folder; works in a temp folder)
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "crisis_samples/boot_sectors.h"
#include "disk/usb_key_disk.h"
#include "platform/disk_drives.h"
#include "platform/floppy_tools.h"

namespace {

uint64_t g_imageBytes = 64ull * 1024 * 1024;

// Bytes passed to write calls by this process and its reaped children.
uint64_t BytesWritten() {
  std::FILE* f = std::fopen("/proc/self/io", "r");
  if (!f) return 0;
  char line[128];
  unsigned long long v = 0;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "wchar: %llu", &v) == 1) break;
  std::fclose(f);
  return v;
}

const struct {
  const char* name;
  size_t size;
} kFiles[] = {{"minidos.sys", 64 * 1024}, {"kavlo.exe", 150 * 1024}, {"vgabios.exe", 40 * 1024},
              {"platform.bin", 1024 * 1024}, {"bios.rom", 2 * 1024 * 1024}};

bool WriteBytes(const std::string& path, size_t size, unsigned seed) {
  std::vector<unsigned char> v(size);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : v) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<unsigned char>(x >> 24);
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(v.data(), 1, v.size(), f) == v.size();
  return std::fclose(f) == 0 && ok;
}

bool FreshImage(const std::string& path) {
  std::remove(path.c_str());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = ftruncate(fileno(f), static_cast<off_t>(g_imageBytes)) == 0;
  return std::fclose(f) == 0 && ok;
}

double Millis(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Run {
  double ms = 0;
  uint64_t bytes = 0;
};

bool Tavrin(const std::string& image, int fixed, Run* run) {
  if (!FreshImage(image)) return false;
  uint64_t written = BytesWritten();
  auto start = std::chrono::steady_clock::now();
  tavrin::CUSBKeyDisk key("\\\\.\\PhysicalDrive0", fixed);
  if (!key.WriteBootSector("crisboot.bin")) return false;
  for (const auto& f : kFiles)
    if (!key.CopyFileToDisk(f.name)) return false;
  key.EjectMedia();
  run->ms = Millis(std::chrono::steady_clock::now() - start);
  run->bytes = BytesWritten() - written;
  return true;
}

bool MkfsAndMcopy(const std::string& image, Run* run) {
  if (!FreshImage(image)) return false;
  uint64_t written = BytesWritten();
  auto start = std::chrono::steady_clock::now();
  if (plat::RunTool({"mkfs.fat", "-F", "16", image}) != 0) return false;
  std::vector<std::string> mcopy = {"mcopy", "-i", image};
  for (const auto& f : kFiles) mcopy.push_back(f.name);
  mcopy.push_back("::");
  if (plat::RunTool(mcopy) != 0) return false;
  run->ms = Millis(std::chrono::steady_clock::now() - start);
  run->bytes = BytesWritten() - written;
  return true;
}

// One image size: every kind of run in turn, then the medians side by side.
bool Compare(const std::string& image, uint64_t bytes, int runs) {
  g_imageBytes = bytes;
  std::vector<double> removable, fixed, tools;
  Run r, f, t;
  for (int i = 0; i < runs; ++i) {
    if (!Tavrin(image, 0, &r)) return std::fprintf(stderr, "Removable run failed\n"), false;
    removable.push_back(r.ms);
    if (!Tavrin(image, 1, &f)) return std::fprintf(stderr, "Fixed run failed\n"), false;
    fixed.push_back(f.ms);
    if (!MkfsAndMcopy(image, &t)) return std::fprintf(stderr, "mkfs.fat/mcopy run failed\n"), false;
    tools.push_back(t.ms);
  }
  double tm = Median(tools);
  std::printf("%llu MiB key, 5 files (3.3 MiB), median of %d runs:\n",
              static_cast<unsigned long long>(bytes >> 20), runs);
  std::printf("  %-26s %10s %8s %14s %8s\n", "", "time", "ratio", "bytes written", "ratio");
  auto row = [&](const char* name, double ms, uint64_t b) {
    std::printf("  %-26s %7.2f ms %7.2fx %14llu %7.2fx\n", name, ms, ms / tm, static_cast<unsigned long long>(b),
                static_cast<double>(b) / static_cast<double>(t.bytes));
  };
  row("Tavrin \"Removable\"", Median(removable), r.bytes);
  row("Tavrin \"Fixed\"", Median(fixed), f.bytes);
  row("mkfs.fat -F 16 + mcopy", tm, t.bytes);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  char tmpl[] = "/tmp/crisis-bench-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  std::string dir = tmpl;
  if (chdir(dir.c_str()) != 0) return 1;
  setenv("MTOOLS_SKIP_CHECK", "1", 1);
  if (!crisis_samples::WriteSampleBootFiles(dir)) return 1;
  unsigned seed = 1;
  for (const auto& f : kFiles)
    if (!WriteBytes(f.name, f.size, seed++)) return 1;

  std::string image = dir + "/key.img";
  plat::AttachDiskImage(image, plat::DiskKind::Removable);
  if (!Compare(image, 64ull << 20, runs) || !Compare(image, 2048ull << 20, runs)) return 1;
  std::system(("rm -rf '" + dir + "'").c_str());
  return 0;
}
