// Prepares a 64 MiB key image ("Removable" and "Fixed") and adds the five
// files of a raw-image crisis disk, against mkfs.fat -F 16 plus mcopy of the
// same files on an image of the same size. Prints the median of several runs.
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

constexpr uint64_t kImageBytes = 64ull * 1024 * 1024;

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
  bool ok = ftruncate(fileno(f), static_cast<off_t>(kImageBytes)) == 0;
  return std::fclose(f) == 0 && ok;
}

double Millis(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

bool Tavrin(const std::string& image, int fixed, double* ms) {
  if (!FreshImage(image)) return false;
  auto start = std::chrono::steady_clock::now();
  tavrin::CUSBKeyDisk key("\\\\.\\PhysicalDrive0", fixed);
  if (!key.WriteBootSector("crisboot.bin")) return false;
  for (const auto& f : kFiles)
    if (!key.CopyFileToDisk(f.name)) return false;
  key.EjectMedia();
  *ms = Millis(std::chrono::steady_clock::now() - start);
  return true;
}

bool MkfsAndMcopy(const std::string& image, double* ms) {
  if (!FreshImage(image)) return false;
  auto start = std::chrono::steady_clock::now();
  if (plat::RunTool({"mkfs.fat", "-F", "16", image}) != 0) return false;
  std::vector<std::string> mcopy = {"mcopy", "-i", image};
  for (const auto& f : kFiles) mcopy.push_back(f.name);
  mcopy.push_back("::");
  if (plat::RunTool(mcopy) != 0) return false;
  *ms = Millis(std::chrono::steady_clock::now() - start);
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
  std::vector<double> removable, fixed, tools;
  for (int i = 0; i < runs; ++i) {
    double ms = 0;
    if (!Tavrin(image, 0, &ms)) return std::fprintf(stderr, "Removable run failed\n"), 1;
    removable.push_back(ms);
    if (!Tavrin(image, 1, &ms)) return std::fprintf(stderr, "Fixed run failed\n"), 1;
    fixed.push_back(ms);
    if (!MkfsAndMcopy(image, &ms)) return std::fprintf(stderr, "mkfs.fat/mcopy run failed\n"), 1;
    tools.push_back(ms);
  }
  std::printf("64 MiB key, 5 files (3.3 MiB), median of %d runs:\n", runs);
  std::printf("  Tavrin \"Removable\"       %8.2f ms\n", Median(removable));
  std::printf("  Tavrin \"Fixed\"           %8.2f ms\n", Median(fixed));
  std::printf("  mkfs.fat -F 16 + mcopy   %8.2f ms\n", Median(tools));
  std::system(("rm -rf '" + dir + "'").c_str());
  return 0;
}
