#include "platform/floppy_tools.h"

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <mutex>

#include "platform/disk_drives.h"
#include "platform/file_system.h"

extern char** environ;

namespace plat {

namespace {
std::mutex g_lock;
FormatDriveHandler g_handler;
}  // namespace

int RunTool(const std::vector<std::string>& argv) {
  if (argv.empty()) return -1;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

unsigned long FormatFloppyWithMkfs(unsigned drive) {
  DiskDrive d;
  if (drive != 0 || !FindFloppyDrive(&d)) return SHFMT_ERROR;
  if (CheckDriveWritable(d) != DiskRefusal::None) return SHFMT_NOFORMAT;
  // 1.44 MB diskette: 2880 sectors, 18 per track, 2 heads, 224 root entries, media F0.
  int rc = RunTool({"mkfs.fat", "-F", "12", "-M", "0xF0", "-r", "224", "-s", "1", "-g", "2/18", "-h", "0", d.path});
  return rc == 0 ? 0 : SHFMT_ERROR;
}

unsigned long SHFormatDrive(unsigned drive, unsigned formatId, unsigned options) {
  FormatDriveHandler h;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    h = g_handler;
  }
  if (h) return h(drive, formatId, options);
  return FormatFloppyWithMkfs(drive);
}

void SetFormatDriveHandler(FormatDriveHandler handler) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_handler = std::move(handler);
}

bool CopyFileToFloppy(const std::string& source, const std::string& name) {
  DiskDrive d;
  if (!FindFloppyDrive(&d) || CheckDriveWritable(d) != DiskRefusal::None) return false;
  if (name.empty() || name.find_first_of("/\\:") != std::string::npos) return false;
  std::string src = ResolvePath(source);
  if (!FileExists(src)) return false;
  // -o replaces an existing file; MTOOLS_SKIP_CHECK lets odd geometries through.
  setenv("MTOOLS_SKIP_CHECK", "1", 1);
  return RunTool({"mcopy", "-o", "-i", d.path, src, "::" + name}) == 0;
}

}  // namespace plat
