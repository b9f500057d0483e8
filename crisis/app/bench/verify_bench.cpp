// Whole crisis disk builds (MINIDOS, compressed 1 MiB image) onto a 64 MiB
// and a 2 GiB key image, with the read-back verify off and on, alternating
// in one run. Prints the median and the least wall time of each, and what
// verify adds (the machine is shared: the least is the least disturbed).
//
//   verify_bench [RUNS]     (works in a temporary folder)
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "crisis_app/control_ids.h"
#include "crisis_app/disk_medium.h"
#include "crisis_app/tavrin_dlg.h"
#include "crisis_samples/boot_sectors.h"
#include "platform/dialog_controls.h"
#include "platform/disk_drives.h"
#include "platform/file_system.h"
#include "platform/message_box.h"

namespace {

using namespace crisis;

// The answers of a build that goes through: erase confirmed, no second disk.
class Answers : public plat::MessageBoxBackend {
 public:
  int Show(const std::string& text, const std::string&, unsigned flags) override {
    last = text;
    if ((flags & plat::MB_TYPEMASK) == plat::MB_YESNO) return plat::IDNO;
    return plat::IDOK;
  }
  std::string last;
};

bool WriteFile(const std::string& path, const std::vector<uint8_t>& v) {
  return plat::WriteWholeFile(path, v.data(), v.size());
}

// Erased runs, repeated code-like stretches and noise, as in a BIOS image.
std::vector<uint8_t> BiosLike(size_t size) {
  std::mt19937 rng(1);
  std::vector<uint8_t> img;
  while (img.size() < size) {
    size_t n = 512 + rng() % 8192;
    switch (rng() % 4) {
      case 0: img.insert(img.end(), n, 0xFF); break;
      case 1:
        for (size_t i = 0; i < n; ++i) img.push_back(static_cast<uint8_t>(rng()));
        break;
      default:
        for (size_t i = 0; i < n; ++i) img.push_back(img.empty() ? 0x55 : img[(img.size() * 7 + i) % img.size()] ^ (rng() % 64 == 0));
    }
  }
  img.resize(size);
  return img;
}

bool FreshImage(const std::string& path, uint64_t bytes) {
  std::remove(path.c_str());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = ftruncate(fileno(f), static_cast<off_t>(bytes)) == 0;
  return std::fclose(f) == 0 && ok;
}

double Build(const std::string& image, uint64_t bytes, bool verify, Answers& answers) {
  if (!FreshImage(image, bytes)) return -1;
  plat::DetachDiskImages();
  plat::AttachDiskImage(image, plat::DiskKind::Removable);
  plat::FakeDialogControls controls;
  NullDialogView view;
  DiskMediumFactory media;
  SystemDriveSource drives;
  CTavrinDlg dlg(controls, view, media, drives);
  dlg.m_bVerify = verify;
  if (!dlg.OnInitDialog()) return -1;
  controls.SetCheck(IDC_COMPRESS, true);
  auto start = std::chrono::steady_clock::now();
  int result = dlg.CreateCrisisDisk(kModeMiniDos);
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  if (result != plat::IDNO) {
    std::fprintf(stderr, "build failed: %s\n", answers.last.c_str());
    return -1;
  }
  return ms;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  if (runs < 1) runs = 1;
  char tmpl[] = "/tmp/verify-bench-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const std::string dir = tmpl;
  if (chdir(tmpl) != 0 || !crisis_samples::WriteSampleBootFiles(dir)) return 1;
  std::mt19937 rng(2);
  auto noise = [&](size_t n) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
  };
  if (!WriteFile("minidos.sys", noise(64 * 1024)) || !WriteFile("KAVLO16.EXE", noise(150 * 1024)) ||
      !WriteFile("vgabios.exe", noise(40 * 1024)) || !WriteFile("bios.qzw", BiosLike(1 << 20)))
    return 1;
  ::unsetenv("BIOS_TOOLS_DISK_IMAGES");
  ::unsetenv("BIOS_TOOLS_REAL_DISKS");
  Answers answers;
  plat::SetMessageBoxBackend(&answers);

  const std::string image = dir + "/key.img";
  std::printf("MINIDOS build, 1 MiB BIOS-like image compressed; median of %d runs, alternating\n", runs);
  for (uint64_t size : {64ull << 20, 2048ull << 20}) {
    std::vector<double> off, on;
    for (int i = 0; i < runs; ++i) {
      double a = Build(image, size, false, answers), b = Build(image, size, true, answers);
      if (a < 0 || b < 0) return 1;
      off.push_back(a);
      on.push_back(b);
    }
    double mOff = Median(off), mOn = Median(on);
    double lOff = *std::min_element(off.begin(), off.end()), lOn = *std::min_element(on.begin(), on.end());
    std::printf("%5llu MiB key, median: verify off %7.1f ms, on %7.1f ms: verify adds %6.1f ms (%+.1f %%)\n",
                static_cast<unsigned long long>(size >> 20), mOff, mOn, mOn - mOff, (mOn / mOff - 1) * 100);
    std::printf("%5llu MiB key, least:  verify off %7.1f ms, on %7.1f ms: verify adds %6.1f ms (%+.1f %%)\n",
                static_cast<unsigned long long>(size >> 20), lOff, lOn, lOn - lOff, (lOn / lOff - 1) * 100);
  }
  plat::SetMessageBoxBackend(nullptr);
  plat::DetachDiskImages();
  for (const char* f : {"key.img", "minidos.sys", "KAVLO16.EXE", "vgabios.exe", "bios.qzw", "crisboot.bin", "crismbr.bin"})
    std::remove((dir + "/" + f).c_str());
  rmdir(tmpl);
  return 0;
}
