// Shared set-up of the disk tests: a temporary working folder (the current
// directory), image files attached as drives, the bundled boot sectors, and
// the outside tools (dosfstools, mtools) that check what was written.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "crisis_samples/boot_sectors.h"
#include "platform/disk_drives.h"
#include "platform/os_personality.h"
#include "platform/quit_request.h"
#include "platform/virtual_memory.h"
#include "scripted_message_box.h"

namespace tavrin_test {

class DiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tavrin-disk-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    oldCwd_ = cwd;
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    for (const char* v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
      setenv(v, dir_.c_str(), 1);
    unsetenv("BIOS_TOOLS_REAL_DISKS");
    unsetenv("BIOS_TOOLS_DISK_IMAGES");
    setenv("MTOOLS_SKIP_CHECK", "1", 1);
    plat::DetachDiskImages();
    plat::SetPlatformId(plat::VER_PLATFORM_WIN32_NT);
    plat::ClearQuitRequest();
    plat::FailVirtualAllocAfter(-1);
  }

  void TearDown() override {
    plat::DetachDiskImages();
    plat::SetPlatformId(0);
    plat::FailVirtualAllocAfter(-1);
    plat::ClearQuitRequest();
    if (!oldCwd_.empty()) (void)chdir(oldCwd_.c_str());
    Run("rm -rf '" + dir_ + "'");
  }

  // Helpers are public so free check functions of a test file can use them.
 public:
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // A zero-filled (sparse) image of the given number of sectors.
  std::string MakeImage(const std::string& name, uint64_t sectors) {
    std::string p = Path(name);
    std::FILE* f = std::fopen(p.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
      EXPECT_EQ(ftruncate(fileno(f), static_cast<off_t>(sectors * 512)), 0);
      std::fclose(f);
    }
    return p;
  }

  void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream f(Path(name), std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  static std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> v(size);
    uint32_t x = 0x9E3779B9u * (seed + 1);
    for (size_t i = 0; i < size; ++i) {
      x = x * 1664525u + 1013904223u;
      v[i] = static_cast<uint8_t>(x >> 24);
    }
    return v;
  }

  void WriteBootFiles() { ASSERT_TRUE(crisis_samples::WriteSampleBootFiles(dir_)); }

  std::vector<uint8_t> ReadImage(const std::string& path, uint64_t sector, uint32_t count) {
    std::vector<uint8_t> v(static_cast<size_t>(count) * 512);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    EXPECT_NE(f, nullptr);
    if (!f) return v;
    std::fseek(f, static_cast<long>(sector * 512), SEEK_SET);
    size_t got = std::fread(v.data(), 1, v.size(), f);
    v.resize(got);
    std::fclose(f);
    return v;
  }

  std::vector<uint8_t> ReadLocal(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  }

  // Runs a shell command; returns its exit status and fills *out with stdout and stderr.
  static int Run(const std::string& cmd, std::string* out = nullptr) {
    std::FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    int status = ::pclose(p);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // fsck.fat -n on a file system starting at a sector of an image (copied
  // out extent by extent, so the holes of a sparse image cost nothing).
  int Fsck(const std::string& image, uint64_t startSector, std::string* out) {
    std::string target = image;
    if (startSector) {
      target = image + ".part";
      if (!CopySparseTail(image, startSector * 512, target)) return -1;
    }
    return Run("fsck.fat -n '" + target + "'", out);
  }

  static bool CopySparseTail(const std::string& from, uint64_t offset, const std::string& to) {
    int in = ::open(from.c_str(), O_RDONLY);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool ok = in >= 0 && out >= 0;
    struct stat st;
    ok = ok && ::fstat(in, &st) == 0 && static_cast<uint64_t>(st.st_size) >= offset;
    off_t pos = static_cast<off_t>(offset);
    std::vector<char> buf(1 << 20);
    while (ok && pos < st.st_size) {
      off_t data = ::lseek(in, pos, SEEK_DATA);
      if (data < 0) break;  // only a hole is left
      off_t hole = ::lseek(in, data, SEEK_HOLE);
      ok = hole > data;
      for (off_t p = data; ok && p < hole;) {
        ssize_t n = ::pread(in, buf.data(), static_cast<size_t>(std::min<off_t>(hole - p, buf.size())), p);
        ok = n > 0 && ::pwrite(out, buf.data(), static_cast<size_t>(n), p - static_cast<off_t>(offset)) == n;
        p += n;
      }
      pos = hole;
    }
    ok = ok && ::ftruncate(out, st.st_size - static_cast<off_t>(offset)) == 0;
    if (in >= 0) ::close(in);
    if (out >= 0 && ::close(out) != 0) ok = false;
    return ok;
  }

  // The bytes of a file read back with mtype.
  std::vector<uint8_t> Mtype(const std::string& image, uint64_t offsetBytes, const std::string& name) {
    std::string out = Path("mtype.out");
    Run("mtype -i '" + image + "@@" + std::to_string(offsetBytes) + "' ::" + name + " > '" + out + "'");
    return ReadLocal(out);
  }

  std::string dir_;
  std::string oldCwd_;
};

}  // namespace tavrin_test
