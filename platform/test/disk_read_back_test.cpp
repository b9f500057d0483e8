// Reading a drive back: the bytes as the file holds them at any offset and
// length (the direct path goes through aligned blocks), nothing past the end.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/disk_drives.h"
#include "platform/disk_read_back.h"

namespace {

TEST(DiskReadBack, ReadsTheImageAtAnyOffsetAndRefusesThePastEnd) {
  char tmpl[] = "/tmp/read-back-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl, image = dir + "/key.img";
  // Not a whole number of 4 KiB blocks, so the last block is short.
  std::vector<uint8_t> bytes(3 * 1024 * 1024 + 512);
  std::mt19937 rng(4);
  for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  std::FILE* f = std::fopen(image.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  ASSERT_EQ(std::fclose(f), 0);
  unsetenv("BIOS_TOOLS_DISK_IMAGES");
  unsetenv("BIOS_TOOLS_REAL_DISKS");
  plat::DetachDiskImages();
  plat::AttachDiskImage(image, plat::DiskKind::Removable);

  plat::DiskReadBack back;
  std::string error;
  ASSERT_TRUE(back.Open("\\\\.\\PhysicalDrive0", &error)) << error;
  EXPECT_EQ(back.Size(), bytes.size());
  struct Span {
    uint64_t at;
    size_t size;
  } spans[] = {{0, 512}, {1, 1}, {4095, 2}, {1000, 1 << 20}, {(1 << 20) - 7, (2 << 20) + 100},
               {bytes.size() - 513, 513}, {0, bytes.size()}};
  for (const Span& s : spans) {
    std::vector<uint8_t> got(s.size);
    ASSERT_TRUE(back.Read(s.at, got.data(), got.size(), &error)) << s.at << ": " << error;
    EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes.begin() + static_cast<long>(s.at))) << s.at;
  }
  std::vector<uint8_t> past(2);
  EXPECT_FALSE(back.Read(bytes.size() - 1, past.data(), 2, &error));
  EXPECT_NE(error.find("past the end"), std::string::npos) << error;

  plat::DiskReadBack missing;
  EXPECT_FALSE(missing.Open("\\\\.\\PhysicalDrive7", &error));
  plat::DetachDiskImages();
  std::remove(image.c_str());
  rmdir(tmpl);
}

}  // namespace
