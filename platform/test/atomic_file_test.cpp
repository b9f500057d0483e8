// Files replaced whole: new contents, the old mode, a link replaced rather
// than followed, and a failure that names the file and leaves it alone.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/file_system.h"
#include "temp_dir.h"

namespace plat {
namespace {

std::string Text(const std::string& path) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
  return std::string(bytes.begin(), bytes.end());
}

TEST(AtomicFile, ReplacesWholeAndKeepsWhatTheFileWas) {
  TempDir dir;
  const std::string file = dir / "setting.ini";
  ASSERT_TRUE(WriteWholeFile(file, "old contents, longer than the new", 33));
  ::chmod(file.c_str(), 0640);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(file, "new", 3, &error)) << error;
  EXPECT_EQ(Text(file), "new");
  struct stat st;
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  const std::string target = dir / "elsewhere", link = dir / "link.ini";
  ASSERT_TRUE(WriteWholeFile(target, "theirs", 6));
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  ASSERT_TRUE(WriteFileAtomically(link, "ours", 4, &error)) << error;
  EXPECT_EQ(Text(target), "theirs") << "nothing is written through a link";
  EXPECT_EQ(Text(link), "ours");

  EXPECT_FALSE(WriteFileAtomically(dir / "no-folder/x.ini", "x", 1, &error));
  EXPECT_NE(error.find(dir / "no-folder/x.ini"), std::string::npos) << error;
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  size_t leftovers = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    leftovers += e.path().filename().string().rfind(".tmp-", 0) == 0;
  EXPECT_EQ(leftovers, 0u) << "no temporary file is left behind";
}

}  // namespace
}  // namespace plat
