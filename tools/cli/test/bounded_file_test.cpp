#include "tool_cli/bounded_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "temp_dir.h"

namespace toolcli {
namespace {

using plat::TempDir;

TEST(BoundedFile, ReadsARegularFileUpToTheLimitAndRefusesOneByteMore) {
  TempDir dir;
  const std::string path = dir.path() + "/f.bin";
  std::ofstream(path, std::ios::binary) << std::string(100, 'x');
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(ReadBoundedFile(path, 100, bytes, error)) << error;
  EXPECT_EQ(bytes.size(), 100u);
  EXPECT_FALSE(ReadBoundedFile(path, 99, bytes, error));
  EXPECT_NE(error.find("more than the limit of 99 bytes"), std::string::npos) << error;
}

TEST(BoundedFile, DevicesPipesAndMissingFilesAreRefusedWithoutReading) {
  TempDir dir;
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_FALSE(ReadBoundedFile("/dev/zero", 64 * kMiB, bytes, error));
  EXPECT_NE(error.find("/dev/zero: not a regular file"), std::string::npos) << error;
  const std::string fifo = dir.path() + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // No writer ever opens the pipe: a read would wait for ever.
  EXPECT_FALSE(ReadBoundedFile(fifo, 64 * kMiB, bytes, error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos);
  EXPECT_FALSE(ReadBoundedFile(dir.path() + "/none", 10, bytes, error));
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
  EXPECT_FALSE(ReadBoundedFile(dir.path(), 10, bytes, error));
}

}  // namespace
}  // namespace toolcli
